#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "logging/line_format.h"
#include "tests/logging/writer_protocol.h"
#include "tests/support/profile_fixture.h"

namespace zel {
namespace {

constexpr int kWriterCount = 2;
constexpr int kLinesPerWriter = 5000;
constexpr DWORD kWritersLimitMs = 300000;
constexpr std::size_t kHeaderLineCount = 8;
constexpr std::size_t kMessageColumn = 66;

std::string WriterPath() {
    char self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path(self, length);
    return path.substr(0, path.find_last_of("\\/") + 1) + "log_writer.exe";
}

// A started writer process; one still running when the test ends is stopped.
class WriterProcess {
public:
    WriterProcess() = default;
    WriterProcess(WriterProcess&&) = default;
    ~WriterProcess() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), INFINITE);
        }
    }

    // Returns 0 or the error code of CreateProcess.
    DWORD Start(std::string commandLine) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            return GetLastError();
        }
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        return 0;
    }
    HANDLE Handle() const noexcept { return process_.get(); }
    DWORD ExitCode() const noexcept {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

private:
    ka::UniqueHandle process_;
};

std::string AsInFile(std::string line) {
    for (char& c : line) {
        if (c == '\t') c = ' ';
    }
    return line;
}

std::string ExpectedMessage(int writer, int line) {
    return "writer " + std::to_string(writer) + " line " + std::to_string(line) + " " + test::kWriterPadding;
}

std::string ExpectedColumns(int writer) {
    std::string name = test::WriterName(writer);
    name.resize(16, ' ');
    return name + "Main Thread     Information (2) ";
}

TEST(CrossProcessLog, TwoWritersLoseAndInterleaveNothing) {
    const std::string path = ka::test::TempLogPath("two-writers");
    const std::string startName = "KA-LogTest-Start-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount64());
    ka::UniqueHandle start(CreateEventA(nullptr, TRUE, FALSE, startName.c_str()));
    ASSERT_TRUE(start.valid()) << GetLastError();

    std::vector<WriterProcess> writers(kWriterCount);
    for (int writer = 1; writer <= kWriterCount; ++writer) {
        const std::string commandLine = "\"" + WriterPath() + "\" \"" + path + "\" " + std::to_string(writer) + " " +
                                        std::to_string(kLinesPerWriter) + " " + startName;
        ASSERT_EQ(writers[writer - 1].Start(commandLine), 0u) << commandLine;
    }
    ASSERT_TRUE(SetEvent(start.get()));
    std::vector<HANDLE> handles;
    for (const WriterProcess& writer : writers) handles.push_back(writer.Handle());
    ASSERT_EQ(WaitForMultipleObjects(kWriterCount, handles.data(), TRUE, kWritersLimitMs), WAIT_OBJECT_0);
    for (const WriterProcess& writer : writers) ASSERT_EQ(writer.ExitCode(), 0u);

    const std::vector<std::string> lines = ka::test::ReadLines(path);
    ASSERT_EQ(lines.size(), kHeaderLineCount + kWriterCount * kLinesPerWriter);
    const std::vector<std::string> header = {"", "", AsInFile(ColumnTitleLine()), "", "", AsInFile(RuleLine()), "", ""};
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + kHeaderLineCount), header);

    // Each writer's lines appear whole and in its own order; the two streams may alternate.
    std::vector<int> nextLine(kWriterCount + 1, 0);
    int badLines = 0;
    for (std::size_t i = kHeaderLineCount; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        int writer = 0;
        for (int candidate = 1; candidate <= kWriterCount; ++candidate) {
            if (line.compare(18, kMessageColumn - 18, ExpectedColumns(candidate)) == 0) writer = candidate;
        }
        const bool whole = writer != 0 && nextLine[writer] < kLinesPerWriter &&
                           line.substr(kMessageColumn) == ExpectedMessage(writer, nextLine[writer]);
        if (whole) {
            ++nextLine[writer];
        } else if (++badLines <= 5) {
            ADD_FAILURE() << "line " << i + 1 << " is not the next line of a writer: " << line;
        }
    }
    EXPECT_EQ(badLines, 0);
    for (int writer = 1; writer <= kWriterCount; ++writer) EXPECT_EQ(nextLine[writer], kLinesPerWriter) << writer;
    DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace zel
