#include "tests/support/owned_cable.h"

#include <algorithm>

#include "common/unique_handle.h"
#include "tests/support/folder_wait.h"

namespace ka::test {

namespace {

// A process start under emulation takes about a second.
constexpr DWORD kLaunchLimitMs = 20000;

std::string Environment(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(value) : std::string();
}

// The Unix root is drive Z: in every prefix.
std::string WindowsPath(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

}  // namespace

OwnedCable::OwnedCable(const Cable& cable)
    : number_(cable.number), portsUnix_(Environment("PORTS_DIR")), script_(Environment("KA_CABLE_SCRIPT")) {
    if (portsUnix_.empty()) problem_ = "PORTS_DIR is not set: run the test through ./run";
    if (script_.empty()) problem_ = "KA_CABLE_SCRIPT is not set: run the test through ctest";
    portsFolder_ = WindowsPath(portsUnix_);
}

bool OwnedCable::Lay(DWORD timeoutMs) { return problem_.empty() && Run("lay") && WaitForEnds(true, timeoutMs); }

bool OwnedCable::Pull(DWORD timeoutMs) { return problem_.empty() && Run("pull") && WaitForEnds(false, timeoutMs); }

bool OwnedCable::Run(const char* action) {
    // Through the launcher beside this program: Wine keeps a handle open for every Unix program
    // it starts, which would show as a leak of the test's own.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string launcher(self);
    launcher = launcher.substr(0, launcher.find_last_of('\\') + 1) + "unix_launcher.exe";
    // A Unix program: Wine hands it the arguments as they are, paths included.
    std::string command = "\"" + launcher + "\" /bin/sh \"" + script_ + "\" " + action + " \"" + portsUnix_ + "\" " +
                          std::to_string(number_);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(launcher.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    ka::UniqueHandle running(process.hProcess);
    CloseHandle(process.hThread);
    DWORD exitCode = 1;
    return WaitForSingleObject(running.get(), kLaunchLimitMs) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(running.get(), &exitCode) && exitCode == 0;
}

bool OwnedCable::EndsPresent(bool present) const {
    for (const char side : {'a', 'b'}) {
        const std::string end = portsFolder_ + "\\" + side + std::to_string(number_);
        // Found by name: Wine reports no attributes for a pseudo-terminal.
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA(end.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        if ((search != INVALID_HANDLE_VALUE) != present) return false;
    }
    return true;
}

// Woken by changes in the ports folder, not by polling.
bool OwnedCable::WaitForEnds(bool present, DWORD timeoutMs) const {
    return WaitForFolderCondition(portsFolder_, FILE_NOTIFY_CHANGE_FILE_NAME, timeoutMs,
                                  [&] { return EndsPresent(present); });
}

}  // namespace ka::test
