// The log file on disk: rolling over to one older generation, and refusing a link planted where
// the file or its older generation should be.

#include "logging/log_file.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "logging/generation_name.h"
#include "logging/opos_log.h"
#include "tests/logging/file_lines.h"
#include "tests/support/profile_fixture.h"

namespace zel {
namespace {

using ka::test::ReadLines;
using ka::test::ReadWholeFile;
using ka::test::TempLogPath;
using test::FirstLines;
using test::HeaderBlock;
using test::kHeaderLineCount;
using test::kMessageColumn;

constexpr int kFirstNumber = 1000;
constexpr int kLineCount = 200;
constexpr char kPreciousText[] = "precious, not the log's\n";
// Names in the folder where ctest plants symbolic links before the suite runs (plant_links.cmake):
// Wine makes none itself.
constexpr char kPlantedFolderVariable[] = "KA_PLANTED_LINKS";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The numbers of the "line %d" messages after the header block.
std::vector<int> LineNumbers(const std::vector<std::string>& lines) {
    std::vector<int> numbers;
    for (std::size_t i = kHeaderLineCount; i < lines.size(); ++i) {
        numbers.push_back(std::atoi(lines[i].substr(kMessageColumn + 5).c_str()));
    }
    return numbers;
}

void WriteNumberedLines(OposLog& log) {
    for (int i = 0; i < kLineCount; ++i) log.Write(kMainThread, kCritical, "line %d", kFirstNumber + i);
}

TEST(LogRolling, OneOlderGenerationHoldsTheLinesJustBeforeTheCurrentFile) {
    const struct {
        std::uint64_t limit;
        bool rolls;
    } cases[] = {{4096, true}, {0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("limit " + std::to_string(c.limit));
        const std::string path = TempLogPath("rolling");
        const std::string older = OlderGenerationPath(path);
        {
            OposLog log;
            log.SetFileSizeLimit(c.limit);
            ASSERT_EQ(log.OpenLogFile(path.c_str(), kDataFlow), 0);
            WriteNumberedLines(log);
        }
        const std::vector<std::string> current = ReadLines(path);
        EXPECT_EQ(FirstLines(current, kHeaderLineCount), HeaderBlock());
        std::vector<int> kept = LineNumbers(current);
        if (c.rolls) {
            EXPECT_LE(ReadWholeFile(path).size(), c.limit);
            EXPECT_LE(ReadWholeFile(older).size(), c.limit);
            const std::vector<std::string> olderLines = ReadLines(older);
            EXPECT_EQ(FirstLines(olderLines, kHeaderLineCount), HeaderBlock());
            std::vector<int> both = LineNumbers(olderLines);
            both.insert(both.end(), kept.begin(), kept.end());
            kept = both;
            ASSERT_FALSE(kept.empty());
            EXPECT_GT(kept.front(), kFirstNumber) << "the generations before the older one are gone";
        } else {
            EXPECT_FALSE(Exists(older));
        }
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(kept.back(), kFirstNumber + kLineCount - 1);
        for (std::size_t i = 1; i < kept.size(); ++i) ASSERT_EQ(kept[i], kept[i - 1] + 1) << "a line lost";
        DeleteFileA(path.c_str());
        DeleteFileA(older.c_str());
    }
}

// The application may change its current folder after the log opened a relative path: the file
// rolls over where it was opened, and no second log begins in the new folder.
TEST(LogRolling, ARelativePathStaysInTheFolderItWasOpenedIn) {
    const std::string opened = TempLogPath("relative");
    const std::size_t nameStart = opened.find_last_of('\\') + 1;
    const std::string folder = opened.substr(0, nameStart);
    const std::string name = opened.substr(nameStart);
    const std::string elsewhere = folder + "elsewhere-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    char before[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, before);
    {
        OposLog log;
        log.SetFileSizeLimit(2048);
        ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
        ASSERT_EQ(log.OpenLogFile(name.c_str(), kDataFlow), 0);
        ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.c_str()));
        WriteNumberedLines(log);
    }
    SetCurrentDirectoryA(before);
    const std::string strayed = elsewhere + "\\" + name;
    EXPECT_TRUE(Exists(OlderGenerationPath(opened))) << "the file did not roll over where it was opened";
    EXPECT_FALSE(Exists(strayed)) << "a log began in the application's new folder";
    for (const std::string& path : {opened, OlderGenerationPath(opened), strayed, OlderGenerationPath(strayed)}) {
        DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(elsewhere.c_str());
}

// --- Links planted where the file or its older generation should be ---------------------------

std::string PlantedFolder() {
    const char* folder = std::getenv(kPlantedFolderVariable);
    return folder ? folder : "";
}

// A file of someone else's that a planted link points at.
std::string PreciousFile(const std::string& stem) {
    const std::string path = TempLogPath(stem);
    ka::UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), kPreciousText, sizeof kPreciousText - 1, &written, nullptr);
    return path;
}

enum class Where { LogPath, OlderGeneration };

struct PlantedLink {
    const char* what;
    Where where;
    // The log file's path and the file the link points at; empty when the link could not be made.
    std::string logPath;
    std::string target;
};

// A hard link made here; Wine makes those. Temporary names differ by their stems.
PlantedLink HardLink(const char* what, Where where) {
    const std::string stem = where == Where::LogPath ? "at-log" : "at-older";
    const std::string target = PreciousFile("precious-" + stem);
    const std::string logPath = TempLogPath("linked-" + stem);
    const std::string linkPath = where == Where::LogPath ? logPath : OlderGenerationPath(logPath);
    if (!CreateHardLinkA(linkPath.c_str(), target.c_str(), nullptr)) return {what, where, "", target};
    return {what, where, logPath, target};
}

// A symbolic link the build planted: `logName` in the planted folder, pointing at `targetName`.
PlantedLink SymbolicLink(const char* what, Where where, const char* logName, const char* targetName) {
    const std::string folder = PlantedFolder();
    if (folder.empty()) return {what, where, "", ""};
    return {what, where, folder + "\\" + logName, folder + "\\" + targetName};
}

TEST(LogFileLinks, ALinkPlantedAtTheFileOrItsOlderGenerationNeverRedirectsAWrite) {
    ASSERT_FALSE(PlantedFolder().empty()) << kPlantedFolderVariable << " unset: run through ctest, which plants links";
    const PlantedLink cases[] = {
        HardLink("hard link at the log's path", Where::LogPath),
        SymbolicLink("symbolic link at the log's path", Where::LogPath, "current-link.log", "precious-current.txt"),
        SymbolicLink("dangling symbolic link at the log's path", Where::LogPath, "dangling-link.log", "never-created.txt"),
        HardLink("hard link at the older generation's path", Where::OlderGeneration),
        SymbolicLink("symbolic link at the older generation's path", Where::OlderGeneration, "rolled.log",
                     "precious-older.txt"),
    };
    for (const PlantedLink& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.logPath.empty()) << "the link could not be planted, GLE=" << GetLastError();
        const std::string linkPath = c.where == Where::LogPath ? c.logPath : OlderGenerationPath(c.logPath);
        const bool dangling = !Exists(c.target);
        if (!dangling) {
            ASSERT_EQ(ReadWholeFile(linkPath), kPreciousText) << "planted link missing at " << linkPath;
        }

        OposLog log;
        log.SetFileSizeLimit(2048);
        const long opened = log.OpenLogFile(c.logPath.c_str(), kDataFlow);
        WriteNumberedLines(log);
        log.CloseFile();
        if (c.where == Where::LogPath) {
            EXPECT_EQ(opened, kRedirectedFile);
        } else {
            EXPECT_EQ(opened, 0);
            const std::vector<std::string> olderLines = ReadLines(linkPath);
            EXPECT_EQ(FirstLines(olderLines, kHeaderLineCount), HeaderBlock()) << "the file did not roll over";
        }
        if (dangling) {
            EXPECT_FALSE(Exists(c.target)) << "the dangling link's target was created";
        } else {
            EXPECT_EQ(ReadWholeFile(c.target), kPreciousText) << "written through the link";
        }
        for (const std::string& path : {c.logPath, OlderGenerationPath(c.logPath), c.target}) DeleteFileA(path.c_str());
    }
}

}  // namespace
}  // namespace zel
