#include "tests/tools/tool_process.h"

#include <vector>

#include "common/unique_handle.h"

namespace ka::test {

namespace {
// Our tools print a few dozen lines: the pipe holds all of it until the process has ended.
constexpr DWORD kPipeBytes = 256 * 1024;

std::wstring BesideThisProgram(const std::wstring& exeName) {
    if (exeName.find_first_of(L"\\/:") != std::wstring::npos) return exeName;
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + exeName;
}

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
        text.append(buffer, got);
    }
    return text;
}
}  // namespace

ToolRun RunTool(const std::wstring& exeName, const std::wstring& commandLine, DWORD timeoutMs) {
    ToolRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inherit, kPipeBytes)) return run;
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    std::wstring exe = BesideThisProgram(exeName);
    std::wstring line = L"\"" + exe + L"\" " + commandLine;
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return run;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    writeEnd.reset();
    run.started = true;
    run.finished = WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
    if (!run.finished) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), timeoutMs);
    }
    GetExitCodeProcess(process.get(), &run.exitCode);
    run.output = ReadAll(readEnd.get());
    return run;
}

}  // namespace ka::test
