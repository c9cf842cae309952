#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "logging/generation_name.h"
#include "logging/line_format.h"
#include "tests/logging/file_lines.h"
#include "tests/logging/writer_protocol.h"
#include "tests/support/profile_fixture.h"

namespace zel {
namespace {

constexpr int kWriterCount = 2;
constexpr int kLinesPerWriter = 5000;
constexpr DWORD kWritersLimitMs = 300000;
using test::FirstLines;
using test::HeaderBlock;
using test::kHeaderLineCount;
using test::kMessageColumn;

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

std::string ExpectedMessage(int writer, int line) {
    return "writer " + std::to_string(writer) + " line " + std::to_string(test::kFirstLineNumber + line) + " " +
           test::kWriterPadding;
}

std::string ExpectedColumns(int writer) {
    std::string name = test::WriterName(writer);
    name.resize(16, ' ');
    return name + "Main Thread     Information (2) ";
}

// Writer processes started together on one file, each writing its numbered lines.
class Writers {
public:
    Writers(const std::string& path, int count, int lines, std::uint64_t sizeLimit = 0) {
        const std::string startName = "KA-LogTest-Start-" + std::to_string(GetCurrentProcessId()) + "-" +
                                      std::to_string(GetTickCount64());
        start_.reset(CreateEventA(nullptr, TRUE, FALSE, startName.c_str()));
        processes_.resize(count);
        for (int writer = 1; writer <= count; ++writer) {
            std::string commandLine = "\"" + WriterPath() + "\" \"" + path + "\" " + std::to_string(writer) + " " +
                                      std::to_string(lines) + " " + startName;
            if (sizeLimit != 0) commandLine += " " + std::to_string(sizeLimit);
            if (processes_[writer - 1].Start(commandLine) != 0) ++failedStarts_;
        }
    }

    // True when every writer started, wrote all its lines and ended within the limit.
    ::testing::AssertionResult Run() {
        if (!start_ || failedStarts_ != 0) return ::testing::AssertionFailure() << failedStarts_ << " writers not started";
        SetEvent(start_.get());
        std::vector<HANDLE> handles;
        for (const WriterProcess& writer : processes_) handles.push_back(writer.Handle());
        const DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, kWritersLimitMs);
        if (waited != WAIT_OBJECT_0) return ::testing::AssertionFailure() << "writers still running: " << waited;
        for (std::size_t i = 0; i < processes_.size(); ++i) {
            if (processes_[i].ExitCode() != 0) {
                return ::testing::AssertionFailure() << "writer " << i + 1 << " exited " << processes_[i].ExitCode();
            }
        }
        return ::testing::AssertionSuccess();
    }

private:
    ka::UniqueHandle start_;
    std::vector<WriterProcess> processes_;
    int failedStarts_ = 0;
};

// Walks lines after a header block: each must be the next line of one writer, whole. Returns
// how many were not; nextLine carries each writer's place from one file to the next.
int CountStrayLines(const std::vector<std::string>& lines, std::vector<int>& nextLine, int linesPerWriter) {
    int stray = 0;
    for (std::size_t i = kHeaderLineCount; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        int writer = 0;
        for (int candidate = 1; candidate < static_cast<int>(nextLine.size()); ++candidate) {
            if (line.compare(18, kMessageColumn - 18, ExpectedColumns(candidate)) == 0) writer = candidate;
        }
        const bool whole = writer != 0 && nextLine[writer] < linesPerWriter &&
                           line.substr(kMessageColumn) == ExpectedMessage(writer, nextLine[writer]);
        if (whole) {
            ++nextLine[writer];
        } else if (++stray <= 5) {
            ADD_FAILURE() << "line " << i + 1 << " is not the next line of a writer: " << line;
        }
    }
    return stray;
}

TEST(CrossProcessLog, TwoWritersLoseAndInterleaveNothing) {
    const std::string path = ka::test::TempLogPath("two-writers");
    Writers writers(path, kWriterCount, kLinesPerWriter);
    ASSERT_TRUE(writers.Run());

    const std::vector<std::string> lines = ka::test::ReadLines(path);
    ASSERT_EQ(lines.size(), kHeaderLineCount + kWriterCount * kLinesPerWriter);
    EXPECT_EQ(FirstLines(lines, kHeaderLineCount), HeaderBlock());
    // Each writer's lines appear whole and in its own order; the two streams may alternate.
    std::vector<int> nextLine(kWriterCount + 1, 0);
    EXPECT_EQ(CountStrayLines(lines, nextLine, kLinesPerWriter), 0);
    for (int writer = 1; writer <= kWriterCount; ++writer) EXPECT_EQ(nextLine[writer], kLinesPerWriter) << writer;
    DeleteFileA(path.c_str());
}

// Whichever writer first finds that its next line would pass the limit rolls the file over; the
// others must write their next lines into the new file. The limit lets the lines fill one file
// and a half, so the file rolls over exactly once. Every line is as long as any other, so one
// line written into the older generation after the roll would carry it past the limit.
TEST(CrossProcessLog, WritersFollowARollOverByAnyOfThemAndLoseNothing) {
    constexpr int kRollingWriters = 3;
    constexpr int kRollingLines = 2000;
    const std::string path = ka::test::TempLogPath("rolling-writers");
    const std::string older = OlderGenerationPath(path);
    const std::uint64_t lineBytes = kMessageColumn + ExpectedMessage(1, 0).size() + 2;
    const std::uint64_t limit = kRollingWriters * kRollingLines * lineBytes * 3 / 5;
    Writers writers(path, kRollingWriters, kRollingLines, limit);
    ASSERT_TRUE(writers.Run());

    const std::uint64_t olderSize = ka::test::ReadWholeFile(older).size();
    EXPECT_LE(olderSize, limit) << "a line went into the older generation after the roll";
    EXPECT_GT(olderSize + lineBytes, limit) << "rolled over before the limit";
    const std::vector<std::string> olderLines = ka::test::ReadLines(older);
    const std::vector<std::string> currentLines = ka::test::ReadLines(path);
    EXPECT_EQ(FirstLines(olderLines, kHeaderLineCount), HeaderBlock());
    EXPECT_EQ(FirstLines(currentLines, kHeaderLineCount), HeaderBlock()) << "the new file starts with the header";
    // Each writer's lines run on from the older file into the current one, none lost or torn.
    std::vector<int> nextLine(kRollingWriters + 1, 0);
    EXPECT_EQ(CountStrayLines(olderLines, nextLine, kRollingLines), 0);
    EXPECT_EQ(CountStrayLines(currentLines, nextLine, kRollingLines), 0);
    for (int writer = 1; writer <= kRollingWriters; ++writer) EXPECT_EQ(nextLine[writer], kRollingLines) << writer;
    DeleteFileA(path.c_str());
    DeleteFileA(older.c_str());
}

}  // namespace
}  // namespace zel
