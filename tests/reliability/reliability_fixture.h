#pragma once
// A service object driven through IDispatch on a real cable with the TRM-07 simulator at the
// far end, as the fault, soak and cross-process cases need it: profile on the cable, fresh log,
// timing of each call and the log lines written since a mark.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/opos.h"
#include "tests/service/frame_fixture.h"
#include "tests/support/cables.h"
#include "tools/trm07sim/scale_simulator.h"

namespace ka::test {

// From the device tests' support library (its header clashes with the service fixture's names).
unsigned long OpenHandleCount();
bool TextMatches(const std::string& actual, const std::string& pattern);

// Pseudo-terminal cables carry 8 data bits without parity only.
inline const trm07::LineSettings kCableSettings{CBR_9600, 8, NOPARITY, ONESTOPBIT};
constexpr long kClaimTimeoutMs = 1000;
constexpr long kForwardLogLines = 1000;  // the DirectIO command that installs the line sink
// A bounded wait for something that should take a fraction of it.
constexpr DWORD kPatienceMs = 20000;

// A log line expected at a level; "{n}" in the text stands for any decimal number.
struct LogExpectation {
    int level;
    std::string text;
};

inline ULONGLONG Now() { return GetTickCount64(); }

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

// What a timed call answered.
struct TimedRead {
    long result = -1;
    long weight = -1;
    ULONGLONG elapsedMs = 0;
};

// Signalled when the control object receives a forwarded log line holding a text.
class ForwardedLineWatch {
public:
    ForwardedLineWatch(RecordingControlObject& co, std::string text)
        : co_(co), text_(std::move(text)), seen_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        co_.SetOnCall(&ForwardedLineWatch::OnCall, this);
    }
    ~ForwardedLineWatch() { co_.SetOnCall(nullptr, nullptr); }
    ForwardedLineWatch(const ForwardedLineWatch&) = delete;
    ForwardedLineWatch& operator=(const ForwardedLineWatch&) = delete;

    bool Wait(DWORD timeoutMs) const { return WaitForSingleObject(seen_.get(), timeoutMs) == WAIT_OBJECT_0; }

private:
    static void OnCall(void* context, const ReceivedCall& call) {
        auto* self = static_cast<ForwardedLineWatch*>(context);
        if (call.name == "SODirectIO" && call.text.find(self->text_) != std::string::npos) SetEvent(self->seen_.get());
    }

    RecordingControlObject& co_;
    const std::string text_;
    ka::UniqueHandle seen_;
};

class CableTest : public ServiceTest {
protected:
    // A TRM-07 profile on the cable's device side, logging at `verbosity` to a fresh file.
    void WriteCableProfile(const std::string& device, const Cable& cable, int verbosity = 4) {
        WriteProfile(device, cable.deviceSide(), verbosity);
        profiles_.SetDeviceString(device, "DataSize", "8");
        profiles_.SetDeviceString(device, "Parity", "None");
    }

    // Simulator on the far end, then the service object opened, claimed and enabled.
    void StartOnCable(const std::string& device, const Cable& cable, int verbosity = 4) {
        ASSERT_EQ(sim_.Open(cable.scaleSide(), kCableSettings), 0u) << "simulator on " << cable.scaleSide();
        WriteCableProfile(device, cable, verbosity);
        scale_ = OpenedScale(device, &co_);
        ASSERT_TRUE(scale_);
        ASSERT_EQ(scale_.Claim(kClaimTimeoutMs), 0);
        ASSERT_EQ(scale_.SetDeviceEnabled(true), 0);
    }

    void TearDown() override {
        if (scale_) {
            scale_.Close();
            scale_.reset();
        }
        sim_.Close();
        if (!logPath_.empty()) DeleteFileA(logPath_.c_str());
    }

    TimedRead Read(long timeoutMs) const {
        TimedRead read;
        const ULONGLONG start = Now();
        read.result = scale_.ReadWeight(&read.weight, timeoutMs);
        read.elapsedMs = Now() - start;
        return read;
    }

    // A plain reading now answers at once with the standing weight.
    void ExpectUsableAgain(long weight = 4321) {
        sim_.SetStatus(0);
        sim_.SetWeight(weight);
        const TimedRead read = Read(1000);
        EXPECT_EQ(read.result, 0) << "the device is not usable again after the fault";
        EXPECT_EQ(read.weight, weight);
        EXPECT_EQ(scale_.ResultCode(), 0);
    }

    void SetAsyncMode(bool on) const { scale_.SetPropertyNumber(opos::pidx::kAsyncMode, on ? 1 : 0); }

    long DirectIO(long command, long value) const {
        BSTR text = nullptr;
        const long result = scale_.CallLong(kDirectIO, std::move(CallArgs().Long(command).LongRef(&value).TextRef(&text)));
        SysFreeString(text);
        return result;
    }

    ULONGLONG LogMark() const { return FileSize(logPath_); }
    std::vector<WrittenLine> LinesSince(ULONGLONG mark) const { return LinesAfter(logPath_, mark); }

    std::vector<ReceivedCall> Events() const {
        std::vector<ReceivedCall> events;
        for (const auto& call : co_.Calls())
            if (call.name == "SOData" || call.name == "SOError") events.push_back(call);
        return events;
    }

    RecordingControlObject co_;
    trm07::ScaleSimulator sim_;
    ScaleClient scale_;
};

#define EXPECT_LOGGED_IN_ORDER(lines, ...)                                       \
    do {                                                                         \
        const std::string missing = ::ka::test::MissingInOrder((lines), __VA_ARGS__); \
        EXPECT_TRUE(missing.empty()) << missing;                                 \
    } while (0)

}  // namespace ka::test
