#include "logging/opos_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_handle.h"
#include "tests/logging/file_lines.h"
#include "tests/support/profile_fixture.h"

namespace zel {
namespace {

using ka::test::ReadLines;
using ka::test::ReadWholeFile;
using ka::test::TempLogPath;

constexpr DWORD kWaitLimitMs = 10000;
constexpr char kFifteenCharName[] = "ABCDEFGHIJKLMNO";
using test::HeaderBlock;
using test::kHeaderLineCount;
using test::kMessageColumn;

// The log's handles let others delete the file, so only an open that shares nothing tells that
// no handle is left.
bool NoHandleOpen(const std::string& path) {
    ka::UniqueFile alone(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return alone.valid();
}

// Collects what reaches the line sink.
struct SinkRecorder {
    std::vector<std::string> lines;
    static void Receive(void* context, const char* line) {
        static_cast<SinkRecorder*>(context)->lines.push_back(line);
    }
};

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = TempLogPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
        log_.SetDisplayName(kFifteenCharName);
    }
    void TearDown() override {
        log_.CloseFile();
        DeleteFileA(path_.c_str());
    }

    void Open(int verbosity) { ASSERT_EQ(log_.OpenLogFile(path_.c_str(), verbosity), 0) << path_; }

    // The lines after the header block, without their line ends.
    std::vector<std::string> BodyLines() {
        std::vector<std::string> lines = ReadLines(path_);
        if (lines.size() < kHeaderLineCount) {
            ADD_FAILURE() << "no header block in " << path_;
            return {};
        }
        return {lines.begin() + kHeaderLineCount, lines.end()};
    }
    std::vector<std::string> BodyMessages() {
        std::vector<std::string> messages;
        for (const std::string& line : BodyLines()) messages.push_back(line.substr(kMessageColumn));
        return messages;
    }

    std::string path_;
    OposLog log_;
};

TEST_F(LogFileTest, EmptyFileGetsTheHeaderBlockAndReopeningAddsNone) {
    Open(4);
    log_.Write(kMainThread, kCritical, "first");
    log_.CloseFile();
    {
        OposLog again;
        ASSERT_EQ(again.OpenLogFile(path_.c_str(), 4), 0);
        again.Write(kMainThread, kCritical, "second");
    }
    std::vector<std::string> lines = ReadLines(path_);
    ASSERT_EQ(lines.size(), kHeaderLineCount + 2);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + kHeaderLineCount), HeaderBlock());
    EXPECT_EQ(lines[kHeaderLineCount].substr(kMessageColumn), "first");
    EXPECT_EQ(lines[kHeaderLineCount + 1].substr(18, 16), "(Unassigned)    ");
    EXPECT_EQ(lines[kHeaderLineCount + 1].substr(kMessageColumn), "second");

    // Text mode: every line ends with carriage return and line feed.
    const std::string text = ReadWholeFile(path_);
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << "bare line feed at " << at;
    }
}

TEST_F(LogFileTest, ExistingEmptyFileGetsTheHeaderBlock) {
    ka::UniqueFile created(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(created.valid()) << GetLastError();
    created.reset();
    Open(0);
    EXPECT_EQ(ReadLines(path_), HeaderBlock());
}

TEST_F(LogFileTest, ColumnsSitWhereTheHeaderSays) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    Open(4);
    log_.Write(kEventThread, kFunctTrace, "message here");
    SYSTEMTIME after;
    GetLocalTime(&after);
    log_.SetDisplayName("ABCDEFGHIJKLMNOPQRST");
    log_.Write(kMainThread, kDataFlow, "shifted");

    const std::vector<std::string> lines = BodyLines();
    ASSERT_EQ(lines.size(), 2u);
    const std::string& line = lines[0];
    auto dateOf = [](const SYSTEMTIME& t) {
        char date[16];
        std::snprintf(date, sizeof date, "%02d/%02d/%02d ", static_cast<int>(t.wMonth), static_cast<int>(t.wDay),
                      t.wYear % 100);
        return std::string(date);
    };
    EXPECT_TRUE(line.substr(0, 9) == dateOf(before) || line.substr(0, 9) == dateOf(after)) << line;
    for (std::size_t digit : {9u, 10u, 12u, 13u, 15u, 16u}) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(line[digit]))) << line;
    EXPECT_EQ(line.substr(11, 1) + line.substr(14, 1) + line.substr(17, 1), ":: ");
    EXPECT_EQ(line.substr(18, 16), std::string(kFifteenCharName) + " ");
    EXPECT_EQ(line.substr(34, 16), "Event Thread    ");
    EXPECT_EQ(line.substr(50, 16), "Funct Trace (3) ");
    EXPECT_EQ(line.substr(kMessageColumn), "message here");

    const std::string& shifted = lines[1];
    EXPECT_EQ(shifted.substr(18, 21), "ABCDEFGHIJKLMNOPQRST ");
    EXPECT_EQ(shifted.substr(39, 16), "Main Thread     ");
    EXPECT_EQ(shifted.substr(55, 16), "Data Flow   (4) ");
    EXPECT_EQ(shifted.substr(kMessageColumn + 5), "shifted");
}

TEST_F(LogFileTest, FileVerbosityMinusOneWritesNothingNotEvenTheHeader) {
    Open(-1);
    log_.Write(kMainThread, kCritical, "never");
    log_.CloseFile();
    EXPECT_EQ(GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES, true) << "file should be created";
    EXPECT_EQ(ReadWholeFile(path_), "");
}

TEST_F(LogFileTest, LevelsAboveEachVerbosityAreFiltered) {
    SinkRecorder sink;
    Open(2);
    log_.SetLineSink(&SinkRecorder::Receive, &sink, 3, 0);
    for (int level = kCritical; level <= kDataFlow; ++level) log_.Write(kMainThread, level, "level %d", level);
    EXPECT_EQ(BodyMessages(), (std::vector<std::string>{"level 0", "level 1", "level 2"}));
    ASSERT_EQ(sink.lines.size(), 4u);
    EXPECT_EQ(sink.lines[3].substr(kMessageColumn), "level 3");

    log_.SetLineSink(&SinkRecorder::Receive, &sink, -1, 1);
    log_.Write(kMainThread, kCritical, "sink off");
    EXPECT_EQ(sink.lines.size(), 4u);
}

TEST_F(LogFileTest, LevelOutsideTheTableShowsTheDefaultTextButKeepsItsWeight) {
    Open(6);
    log_.Write(kMainThread, 7, "hidden at six");
    log_.OpenLogFile(path_.c_str(), 7);
    log_.Write(kMainThread, 7, "shown at seven");
    log_.Write(kMainThread, kDefaultIndex, "default level");
    const std::vector<std::string> lines = BodyLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(50), "Critical    (0) shown at seven");
    EXPECT_EQ(lines[1].substr(50), "Critical    (0) default level");
}

TEST_F(LogFileTest, CategoryTexts) {
    Open(4);
    const int blankCategories[] = {kUnassigned, 4, 5, -1, 99, kDefaultIndex};
    for (int category : blankCategories) log_.Write(category, kCritical, "category %d", category);
    log_.Write(kEventThread, kCritical, "event");
    const std::vector<std::string> lines = BodyLines();
    ASSERT_EQ(lines.size(), std::size(blankCategories) + 1);
    for (std::size_t i = 0; i < std::size(blankCategories); ++i) {
        EXPECT_EQ(lines[i].substr(34, 16), std::string(16, ' ')) << lines[i];
    }
    EXPECT_EQ(lines.back().substr(34, 16), "Event Thread    ");
}

TEST_F(LogFileTest, FormatRulesReachTheFile) {
    Open(4);
    log_.Write(kMainThread, kCritical, "100%% [%c] %d %l%Q [%s]%", 'Z', -12, 34, "text");
    log_.Write(kMainThread, kCritical, "own\r\nbreak, argument [%s]", "first\nsecond");
    log_.Write(kMainThread, kCritical, "null [%s]", static_cast<const char*>(nullptr));
    const std::vector<std::string> lines = BodyLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(kMessageColumn), "100%% [Z] -12 34 [text]");
    EXPECT_EQ(lines[1].substr(kMessageColumn), "own  break, argument [first");
    EXPECT_EQ(lines[2], "second]") << "a break inside an argument stays a break";
    EXPECT_EQ(lines[3].substr(kMessageColumn), "null [(null)]");
}

TEST_F(LogFileTest, TabBecomesSpaceInTheFileOnly) {
    SinkRecorder sink;
    Open(4);
    log_.SetLineSink(&SinkRecorder::Receive, &sink, 4, 0);
    log_.Write(kMainThread, kCritical, "a\tb [%s]", "c\td");
    EXPECT_EQ(BodyMessages(), (std::vector<std::string>{"a b [c d]"}));
    ASSERT_EQ(sink.lines.size(), 1u);
    const std::string& line = sink.lines[0];
    EXPECT_EQ(line.substr(kMessageColumn), "a\tb [c\td]");
    EXPECT_EQ(line.substr(8, 1) + line.substr(17, 1) + line.substr(33, 1) + line.substr(49, 1) + line.substr(65, 1),
              "\t\t\t\t\t");
}

TEST_F(LogFileTest, LongLineIsCutAt511) {
    Open(4);
    const std::string longText(1000, 'x');
    log_.Write(kMainThread, kCritical, "%s", longText.c_str());
    const std::vector<std::string> lines = BodyLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 511u);
    EXPECT_EQ(lines[0].substr(kMessageColumn), std::string(511 - kMessageColumn, 'x'));
}

TEST_F(LogFileTest, SinkReplaysTheHeaderAtLevelZeroAndStopsWhenCleared) {
    SinkRecorder sink;
    log_.SetLineSink(&SinkRecorder::Receive, &sink, 0, 1);
    ASSERT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(sink.lines[0], log_.ColumnTitleLine());
    EXPECT_EQ(sink.lines[1], log_.RuleLine());
    log_.Write(kMainThread, kCritical, "no file, sink only");
    log_.ClearLineSink();
    log_.Write(kMainThread, kCritical, "after clear");
    ASSERT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(sink.lines[2].substr(kMessageColumn), "no file, sink only");
}

TEST_F(LogFileTest, UnopenableFileLeavesTheSinkWorking) {
    SinkRecorder sink;
    log_.SetLineSink(&SinkRecorder::Receive, &sink, 4, 0);
    const std::string missingFolder = path_ + ".missing\\inner.log";
    EXPECT_EQ(log_.OpenLogFile(missingFolder.c_str(), 4), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(log_.OpenLogFile(nullptr, 4), ERROR_INVALID_PARAMETER);
    log_.Write(kMainThread, kCritical, "still reaches the sink");
    EXPECT_EQ(sink.lines.size(), 1u);
}

TEST_F(LogFileTest, ReopeningClosesTheOldFile) {
    const std::string otherPath = TempLogPath("reopened");
    Open(4);
    ASSERT_EQ(log_.OpenLogFile(otherPath.c_str(), 4), 0);
    log_.Write(kMainThread, kCritical, "to the new file");
    EXPECT_TRUE(NoHandleOpen(path_)) << "old file still open, GLE=" << GetLastError();
    log_.CloseFile();
    std::vector<std::string> lines = ReadLines(otherPath);
    ASSERT_EQ(lines.size(), kHeaderLineCount + 1);
    EXPECT_EQ(lines.back().substr(kMessageColumn), "to the new file");
    EXPECT_TRUE(NoHandleOpen(otherPath)) << "closed file still open, GLE=" << GetLastError();
    DeleteFileA(otherPath.c_str());
}

TEST_F(LogFileTest, DisplayNameAndLastError) {
    Open(4);
    log_.SetDisplayName(nullptr);
    SetLastError(1234);
    log_.Write(kMainThread, kCritical, "nameless");
    EXPECT_EQ(GetLastError(), 1234u);
    const std::vector<std::string> lines = BodyLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(18, 16), std::string(16, ' '));
}

TEST(ZelLogConstruction, PlainLogStartsEmptyAndCreatesBothNamedMutexes) {
    ZelLog log;
    EXPECT_EQ(log.DisplayName(), "");
    EXPECT_EQ(log.FileVerbosity(), 0);
    for (const char* name : {"ZelLog-LogFile-MUTEX", "ZelLog-Console-MUTEX"}) {
        ka::UniqueHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, name));
        EXPECT_TRUE(mutex.valid()) << name << " GLE=" << GetLastError();
    }
    SinkRecorder sink;
    log.SetLineSink(&SinkRecorder::Receive, &sink, 0, 0);
    log.Write(1, 0, "plain");
    ASSERT_EQ(sink.lines.size(), 1u);
    EXPECT_EQ(sink.lines[0].substr(18), std::string(15, ' ') + "\t" + std::string(15, ' ') + "\t" +
                                            std::string(15, ' ') + "\tplain");
    EXPECT_EQ(OposLog().DisplayName(), "(Unassigned)");
}

struct PendingWrite {
    OposLog* log;
    static DWORD WINAPI Run(void* parameter) noexcept {
        static_cast<PendingWrite*>(parameter)->log->Write(kMainThread, kCritical, "waited for the mutex");
        return 0;
    }
};

TEST_F(LogFileTest, FileWriteWaitsForTheLogFileMutex) {
    Open(4);
    ka::UniqueHandle mutex(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "ZelLog-LogFile-MUTEX"));
    ASSERT_TRUE(mutex.valid()) << GetLastError();
    ASSERT_EQ(WaitForSingleObject(mutex.get(), kWaitLimitMs), WAIT_OBJECT_0);
    PendingWrite write{&log_};
    ka::UniqueHandle writer(CreateThread(nullptr, 0, &PendingWrite::Run, &write, 0, nullptr));
    ASSERT_TRUE(writer.valid()) << GetLastError();
    const DWORD whileHeld = WaitForSingleObject(writer.get(), 200);
    ReleaseMutex(mutex.get());
    EXPECT_EQ(whileHeld, static_cast<DWORD>(WAIT_TIMEOUT)) << "the write did not wait for the mutex";
    ASSERT_EQ(WaitForSingleObject(writer.get(), kWaitLimitMs), WAIT_OBJECT_0);
    EXPECT_EQ(BodyMessages(), (std::vector<std::string>{"waited for the mutex"}));
}

// Asks another thread whether the LogFile mutex is free at this moment.
struct MutexProbe {
    std::atomic<int> freeCount{0};
    static void Receive(void* context, const char*) {
        auto* probe = static_cast<MutexProbe*>(context);
        std::thread other([probe] {
            ka::UniqueHandle mutex(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "ZelLog-LogFile-MUTEX"));
            if (mutex && WaitForSingleObject(mutex.get(), 0) == WAIT_OBJECT_0) {
                ReleaseMutex(mutex.get());
                ++probe->freeCount;
            }
        });
        other.join();
    }
};

TEST_F(LogFileTest, SinkRunsWithoutTheLogFileMutex) {
    Open(4);
    MutexProbe probe;
    log_.SetLineSink(&MutexProbe::Receive, &probe, 4, 1);
    log_.Write(kMainThread, kCritical, "probe");
    EXPECT_EQ(probe.freeCount.load(), 3);
}

// Counts lines and checks that each arrives with the context installed beside its handler.
struct ContextCheck {
    std::atomic<int> received{0};
    std::atomic<int> wrongContext{0};
    static void Receive(void* context, const char*) {
        auto* check = static_cast<ContextCheck*>(context);
        ++check->received;
    }
    static void ReceiveOther(void* context, const char*) {
        if (context != nullptr) static_cast<ContextCheck*>(context)->wrongContext++;
    }
};

TEST_F(LogFileTest, SinkCanBeSwappedWhileAnotherThreadWrites) {
    constexpr int kLines = 3000;
    ContextCheck check;
    Open(4);
    std::thread writer([this] {
        for (int i = 0; i < kLines; ++i) log_.Write(kEventThread, kCritical, "line %d", i);
    });
    for (int i = 0; i < kLines; ++i) {
        log_.SetLineSink(&ContextCheck::Receive, &check, 4, 0);
        log_.SetLineSink(&ContextCheck::ReceiveOther, nullptr, 4, 0);
        log_.ClearLineSink();
    }
    writer.join();
    EXPECT_EQ(check.wrongContext.load(), 0);
    EXPECT_LE(check.received.load(), kLines);
    EXPECT_EQ(BodyLines().size(), static_cast<std::size_t>(kLines));
}

}  // namespace
}  // namespace zel
