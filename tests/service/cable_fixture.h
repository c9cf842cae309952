#pragma once
// A service object driven through IDispatch on a real serial cable with the TRM-07 simulator at
// the far end and the recording control object attached: the one fixture of every suite that
// weighs through a cable, with the calls and waits they share.

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "common/opos.h"
#include "common/unique_handle.h"
#include "tests/service/frame_fixture.h"
#include "tests/support/cables.h"
#include "tests/support/folder_wait.h"
#include "tools/trm07sim/scale_simulator.h"

namespace ka::test {

constexpr char kWeighDevice[] = "WeighTestScale";
constexpr Cable kWeighCable{3};
constexpr long kClaimTimeoutMs = 1000;
constexpr long kForwardLogLines = 1000;  // the DirectIO command
// The response the service object hands SOError to start with (OPOS_ER_CLEAR).
constexpr long kErrorResponseClear = 12;
// A waiting test gives up after this long; nothing it waits for should take half of it.
constexpr DWORD kPatienceMs = 20000;

constexpr char kEnteringEventThread[] = "Entering class event thread helper.";
constexpr char kLeavingEventThread[] = "Leaving class event thread helper.";

// Signalled when the control object receives a forwarded log line holding a given text. The
// event thread runs its hook, so the watch must outlive every thread that may still forward:
// the fixture owns it and drops it only after the service object is gone.
class ForwardedLineWatch {
public:
    explicit ForwardedLineWatch(RecordingControlObject& co) : co_(co), seen_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        co_.SetOnCall(&ForwardedLineWatch::OnCall, this);
    }
    ~ForwardedLineWatch() { co_.SetOnCall(nullptr, nullptr); }
    ForwardedLineWatch(const ForwardedLineWatch&) = delete;
    ForwardedLineWatch& operator=(const ForwardedLineWatch&) = delete;

    // Arms the watch; lines forwarded before this call do not count.
    void Expect(const std::string& text) {
        std::lock_guard<ka::CriticalSection> hold(lock_);
        text_ = text;
        ResetEvent(seen_.get());
    }
    bool Wait(DWORD timeoutMs) const { return WaitForSingleObject(seen_.get(), timeoutMs) == WAIT_OBJECT_0; }

private:
    static void OnCall(void* context, const ReceivedCall& call) {
        auto* self = static_cast<ForwardedLineWatch*>(context);
        if (call.name != "SODirectIO") return;
        std::lock_guard<ka::CriticalSection> hold(self->lock_);
        if (!self->text_.empty() && call.text.find(self->text_) != std::string::npos) SetEvent(self->seen_.get());
    }

    RecordingControlObject& co_;
    ka::UniqueHandle seen_;
    ka::CriticalSection lock_;
    std::string text_;
};

// Pseudo-terminal cables carry 8 data bits without parity only.
inline constexpr trm07::LineSettings kCableSettings = trm07::kPseudoTerminalLine;

inline ULONGLONG Now() { return GetTickCount64(); }

// What a timed read answered.
struct TimedRead {
    long result = -1;
    long weight = -1;
    ULONGLONG elapsedMs = 0;
};

class CableTest : public ServiceTest {
protected:
    // A TRM-07 profile on the cable's device side, logging at `verbosity` to a fresh file.
    void WriteCableProfile(const std::string& device, const Cable& cable, int verbosity = 4) {
        WriteProfile(device, cable.deviceSide(), verbosity);
    }

    // The simulated scale on the cable's far end, showing `weight`.
    void StartSimulator(const Cable& cable, long weight = 0) {
        ASSERT_EQ(sim_.Open(cable.scaleSide(), kCableSettings), 0u) << "simulator on " << cable.scaleSide();
        sim_.SetWeight(weight);
    }
    // The service object opened with the recording control object, and claimed.
    void OpenAndClaim(const std::string& device) {
        scale_ = OpenedScale(device, &co_);
        ASSERT_TRUE(scale_);
        ASSERT_EQ(scale_.Claim(kClaimTimeoutMs), 0);
    }
    // Simulator on the far end, then the service object opened, claimed and enabled.
    void StartOnCable(const std::string& device, const Cable& cable, int verbosity = 4) {
        StartSimulator(cable);
        WriteCableProfile(device, cable, verbosity);
        OpenAndClaim(device);
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

    long Call(DISPID dispid, CallArgs args = {}) const { return scale_.CallLong(dispid, std::move(args)); }
    long CheckHealth(long level) const { return Call(kCheckHealth, std::move(CallArgs().Long(level))); }
    long ZeroScale() const { return Call(kZeroScale); }
    long DirectIO(long command, long* data, BSTR* text) const {
        return Call(kDirectIO, std::move(CallArgs().Long(command).LongRef(data).TextRef(text)));
    }
    long DirectIO(long command, long value) const {
        BSTR text = nullptr;
        const long result = DirectIO(command, &value, &text);
        SysFreeString(text);
        return result;
    }
    void SetAsyncMode(bool on) const { scale_.SetPropertyNumber(opos::pidx::kAsyncMode, on ? 1 : 0); }

    // Starts forwarding log lines up to `verbosity` to the control object.
    void ForwardLines(long verbosity) const { ASSERT_EQ(DirectIO(kForwardLogLines, verbosity), 0); }

    TimedRead Read(long timeoutMs) const {
        TimedRead read;
        const ULONGLONG start = Now();
        read.result = scale_.ReadWeight(&read.weight, timeoutMs);
        read.elapsedMs = Now() - start;
        return read;
    }

    // Calls of one event request method, in arrival order.
    std::vector<ReceivedCall> CallsOf(const std::string& name) const {
        std::vector<ReceivedCall> named;
        for (const auto& call : co_.Calls())
            if (call.name == name) named.push_back(call);
        return named;
    }
    std::vector<ReceivedCall> Events() const {
        std::vector<ReceivedCall> events;
        for (const auto& call : co_.Calls())
            if (call.name == "SOData" || call.name == "SOError") events.push_back(call);
        return events;
    }

    // Waits, bounded, until `count` events have arrived in all.
    bool WaitForEvents(size_t count) const {
        const ULONGLONG deadline = Now() + kPatienceMs;
        while (Events().size() < count) {
            const ULONGLONG now = Now();
            if (now >= deadline || !co_.WaitForCalls(co_.Calls().size() + 1, static_cast<DWORD>(deadline - now))) {
                return false;
            }
        }
        return true;
    }

    std::vector<LogEntry> EntriesSince(size_t mark) const {
        auto entries = ReadLogEntries(logPath_);
        if (mark >= entries.size()) return {};
        return std::vector<LogEntry>(entries.begin() + static_cast<std::ptrdiff_t>(mark), entries.end());
    }
    bool Logged(size_t mark, const std::string& message) const {
        const auto messages = LogSince(mark);
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    RecordingControlObject co_;
    ForwardedLineWatch lineWatch_{co_};
    trm07::ScaleSimulator sim_;
    ScaleClient scale_;
};

// Claimed and enabled on the weighing cable from the start.
class ScaleOnCableTest : public CableTest {
protected:
    void SetUp() override {
        CableTest::SetUp();
        if (HasFatalFailure()) return;
        StartOnCable(kWeighDevice, kWeighCable, ProfileVerbosity());
    }
    virtual int ProfileVerbosity() const { return 4; }
};

// The messages of `entries` whose category is `category`, in order.
inline std::vector<std::string> MessagesOf(const std::vector<LogEntry>& entries, const std::string& category) {
    std::vector<std::string> messages;
    for (const auto& entry : entries)
        if (entry.category == category) messages.push_back(entry.message);
    return messages;
}

// Empty when `expected` appears in `messages` in this order (other lines may come between).
inline std::string MissingInOrder(const std::vector<std::string>& messages, const std::vector<std::string>& expected) {
    auto at = messages.begin();
    for (const auto& line : expected) {
        at = std::find(at, messages.end(), line);
        if (at == messages.end()) return "missing in order: \"" + line + "\"";
        ++at;
    }
    return {};
}

// Waits, bounded, until the log holds `message` after its first `mark` entries; woken by
// changes in the log's folder, not by polling.
inline bool WaitForLogMessage(const std::string& path, size_t mark, const std::string& message, DWORD timeoutMs) {
    return WaitForFolderCondition(path.substr(0, path.find_last_of('\\')),
                                  FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE, timeoutMs, [&] {
                                      const auto messages = MessagesAfter(path, mark);
                                      return std::find(messages.begin(), messages.end(), message) != messages.end();
                                  });
}

}  // namespace ka::test
