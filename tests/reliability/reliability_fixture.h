#pragma once
// A service object driven through IDispatch on a real cable with the TRM-07 simulator at the
// far end, as the fault, soak and cross-process cases need it: profile on the cable, fresh log,
// timing of each call and the log lines written since a mark.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/opos.h"
#include "tests/service/cable_fixture.h"

namespace ka::test {

// From the device tests' support library (its header clashes with the service fixture's names).
unsigned long OpenHandleCount();
bool TextMatches(const std::string& actual, const std::string& pattern);


// A log line expected at a level; "{n}" in the text stands for any decimal number.
struct LogExpectation {
    int level;
    std::string text;
};

inline ULONGLONG FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// One log line as the file shows it, with the level as its number.
struct WrittenLine {
    int level = -1;
    std::string name;
    std::string message;
};

// The entries written after `skipBytes` bytes of the file.
inline std::vector<WrittenLine> LinesAfter(const std::string& path, ULONGLONG skipBytes) {
    const std::string whole = ReadWholeFile(path);
    std::vector<WrittenLine> lines;
    size_t at = static_cast<size_t>(skipBytes < whole.size() ? skipBytes : whole.size());
    constexpr size_t kName = 18, kLevelDigit = 63, kMessage = 66;
    while (at < whole.size()) {
        size_t end = whole.find('\n', at);
        if (end == std::string::npos) end = whole.size();
        std::string line = whole.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < kMessage || line[2] != '/' || line[11] != ':') continue;
        WrittenLine written;
        written.level = line[kLevelDigit] - '0';
        written.name = Trimmed(line.substr(kName, 15));
        written.message = line.substr(kMessage);
        lines.push_back(std::move(written));
    }
    return lines;
}

// Empty when every expectation appears in order among `lines`; else what is missing and what
// was logged.
inline std::string MissingInOrder(const std::vector<WrittenLine>& lines, const std::vector<LogExpectation>& expected) {
    size_t at = 0;
    for (const auto& e : expected) {
        while (at < lines.size() && !(lines[at].level == e.level && TextMatches(lines[at].message, e.text))) ++at;
        if (at == lines.size()) {
            std::string text = "missing in order: (" + std::to_string(e.level) + ") \"" + e.text + "\"\nlogged:\n";
            for (const auto& line : lines) text += "  (" + std::to_string(line.level) + ") " + line.message + "\n";
            return text;
        }
        ++at;
    }
    return {};
}

// The cable fixture with the views the fault, soak and cross-process cases add.
class ReliabilityTest : public CableTest {
protected:
    // A plain reading now answers at once with the standing weight. After a reply whose tail came
    // late, the tail may still be on its way through the cable and spoil one read, as on a real
    // line: the read after it must answer. Returns the reads made.
    int ExpectUsableAgain(long weight = 4321, bool lateTail = false) {
        sim_.SetStatus(0);
        sim_.SetWeight(weight);
        TimedRead read = Read(1000);
        int reads = 1;
        if (lateTail && read.result != 0) {
            read = Read(1000);
            ++reads;
        }
        EXPECT_EQ(read.result, 0) << "the device is not usable again after the fault";
        EXPECT_EQ(read.weight, weight);
        EXPECT_EQ(scale_.ResultCode(), 0);
        return reads;
    }

    ULONGLONG LogMark() const { return FileSize(logPath_); }
    std::vector<WrittenLine> LinesSince(ULONGLONG mark) const { return LinesAfter(logPath_, mark); }
};

#define EXPECT_LOGGED_IN_ORDER(lines, ...)                                       \
    do {                                                                         \
        const std::string missing = ::ka::test::MissingInOrder((lines), __VA_ARGS__); \
        EXPECT_TRUE(missing.empty()) << missing;                                 \
    } while (0)

}  // namespace ka::test
