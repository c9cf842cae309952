// The scale's serial adapter pulled and put back under the same port name, on a cable of the
// test's own that really ends and is laid again: while it is out every call answers at once and
// the device stays enabled, the loss and the reopening are logged once each, and the first read
// after its return weighs; pulls with a read outstanding leave no thread, handle or memory behind.

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/reliability/counting_control_object.h"
#include "tests/reliability/process_footprint.h"
#include "tests/reliability/reliability_fixture.h"
#include "tests/support/owned_cable.h"

namespace ka::test {
namespace {

constexpr char kDevice[] = "ReliabAdapter";
constexpr long kWeight = 2750;
constexpr long kReadTimeoutMs = 2000;
// A call on a pulled adapter waits for nothing: well within one attempt's 500 ms limit.
constexpr ULONGLONG kPromptMs = 500;
constexpr int kPulls = 10;
// What may still settle after the first pull: a handle the platform opens late, and for the
// platform's own serial I/O a few dozen bytes of heap a conversation.
constexpr long kHandleTolerance = 2;
constexpr long long kHeapToleranceBytes = 2048;
constexpr DWORD kThreadEndMs = 5000;

const std::string kLostLine =
    "Lost the scale's port [" + kOwnedCable.deviceSide() + "]; LE={n}. It is opened again at the next request.";
const std::string kReopenedLine =
    "Opened the scale's port [" + kOwnedCable.deviceSide() + "] again with the profile's settings.";

long Count(const std::vector<WrittenLine>& lines, int level, const std::string& pattern) {
    return static_cast<long>(std::count_if(lines.begin(), lines.end(), [&](const WrittenLine& line) {
        return line.level == level && TextMatches(line.message, pattern);
    }));
}

std::vector<DWORD> ThreadsOfThisProcess() {
    std::vector<DWORD> threads;
    ka::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    if (!snapshot || !Thread32First(snapshot.get(), &entry)) return threads;
    do {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.push_back(entry.th32ThreadID);
    } while (Thread32Next(snapshot.get(), &entry));
    return threads;
}

// The threads started since `before` that are still running once each has had `timeoutMs` to end.
std::vector<DWORD> ThreadsLeftSince(const std::vector<DWORD>& before, DWORD timeoutMs) {
    std::vector<DWORD> left;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (const DWORD id : ThreadsOfThisProcess()) {
        if (std::find(before.begin(), before.end(), id) != before.end()) continue;
        ka::UniqueHandle thread(OpenThread(SYNCHRONIZE, FALSE, id));
        if (!thread) continue;  // ended already
        const ULONGLONG now = GetTickCount64();
        const DWORD wait = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (WaitForSingleObject(thread.get(), wait) != WAIT_OBJECT_0) left.push_back(id);
    }
    return left;
}

class AdapterTest : public ReliabilityTest {
protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(cable_.Problem(), "");
        // Whatever an earlier run left laid goes first, so that its ends cannot vanish later.
        ASSERT_TRUE(cable_.Pull(kPatienceMs)) << "the test's cable could not be pulled";
        ASSERT_TRUE(cable_.Lay(kPatienceMs)) << "the test's cable could not be laid";
        StartOnCable(kDevice, kOwnedCable);
        if (HasFatalFailure()) return;
        sim_.SetWeight(kWeight);
    }
    void TearDown() override {
        ReliabilityTest::TearDown();
        EXPECT_TRUE(cable_.Pull(kPatienceMs));
    }

    // The adapter out: the scale's end goes with it.
    void PullAdapter() {
        sim_.Close();
        ASSERT_TRUE(cable_.Pull(kPatienceMs)) << "the cable's ends did not go";
    }
    // Back under the same names, with the scale answering on its end.
    void PutAdapterBack() {
        ASSERT_TRUE(cable_.Lay(kPatienceMs)) << "the cable's ends did not come back";
        StartSimulator(kOwnedCable, kWeight);
    }

    // Waits, bounded, until the event thread of a read started after `mark` has left. Read from
    // the log file rather than forwarded: the recorded lines would count as the test's growth.
    bool AwaitEventThread(size_t mark) const {
        return WaitForLogMessage(logPath_, mark, kLeavingEventThread, kPatienceMs);
    }

    // Starts an asynchronous read and waits, bounded, for its event thread to end.
    ReceivedCall ReadByEvent() {
        const size_t before = Events().size();
        const size_t mark = LogSize();
        long untouched = -1;
        EXPECT_EQ(scale_.ReadWeight(&untouched, kReadTimeoutMs), 0);
        EXPECT_TRUE(AwaitEventThread(mark)) << "the event thread did not end";
        const auto events = Events();
        EXPECT_EQ(events.size(), before + 1);
        return events.size() > before ? events.back() : ReceivedCall{};
    }

    OwnedCable cable_{kOwnedCable};
};

TEST_F(AdapterTest, WhileOutEveryCallFailsAtOnceAndTheFirstReadAfterItsReturnWeighs) {
    ASSERT_EQ(Read(kReadTimeoutMs).result, 0);
    const ULONGLONG mark = LogMark();
    PullAdapter();
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        const TimedRead read = Read(kReadTimeoutMs);
        EXPECT_EQ(read.result, opos::OPOS_E_ILLEGAL);
        EXPECT_EQ(read.weight, 0);
        EXPECT_LT(read.elapsedMs, kPromptMs);
        const ULONGLONG start = Now();
        EXPECT_EQ(ZeroScale(), opos::OPOS_E_ILLEGAL);
        EXPECT_LT(Now() - start, kPromptMs);
    }
    SetAsyncMode(true);
    const ReceivedCall error = ReadByEvent();
    EXPECT_EQ(error.name, "SOError");
    EXPECT_EQ(error.args.empty() ? 0 : error.args[0], opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kDeviceEnabled), 1) << "the pulled adapter disabled the device";
    EXPECT_EQ(Count(LinesSince(mark), 1, kLostLine), 1) << "the loss is logged once";

    PutAdapterBack();
    const ReceivedCall data = ReadByEvent();
    EXPECT_EQ(data.name, "SOData");
    EXPECT_EQ(data.args, std::vector<long>{kWeight});
    SetAsyncMode(false);
    const TimedRead read = Read(kReadTimeoutMs);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.weight, kWeight);
    const auto lines = LinesSince(mark);
    EXPECT_EQ(Count(lines, 1, kLostLine), 1);
    EXPECT_EQ(Count(lines, 1, kReopenedLine), 1) << "the reopening is logged once";
    EXPECT_LOGGED_IN_ORDER(lines, {{1, kLostLine}, {1, kReopenedLine}});
}

// The acceptance run: the adapter pulled with a read outstanding each time, then put back. The
// events are only counted: recording them would itself grow memory.
TEST_F(AdapterTest, PullsWithAReadOutstandingEachEndInAnErrorAndTheReturnWeighs) {
    CountingControlObject events;
    ASSERT_EQ(scale_.Close(), 0);
    ASSERT_EQ(scale_.OpenService(kScaleClass, kDevice, &events), 0);
    ASSERT_EQ(scale_.Claim(kClaimTimeoutMs), 0);
    ASSERT_EQ(scale_.SetDeviceEnabled(true), 0);
    SetAsyncMode(true);
    const ULONGLONG mark = LogMark();
    std::vector<DWORD> threadsBefore;
    long handlesBefore = 0;
    long long heapBefore = 0;
    for (int pull = 0; pull < kPulls; ++pull) {
        SCOPED_TRACE("pull " + std::to_string(pull + 1));
        // The scale keeps quiet, so the read still waits for its reply when the cable goes.
        sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
        const long requests = sim_.Requests();
        size_t entries = LogSize();
        long untouched = -1;
        ASSERT_EQ(scale_.ReadWeight(&untouched, kReadTimeoutMs), 0);
        ASSERT_TRUE(sim_.WaitForRequests(requests + 1, kPatienceMs)) << "the read's request did not arrive";
        PullAdapter();
        ASSERT_TRUE(events.WaitForEvent(kPatienceMs)) << "no event for the outstanding read";
        EXPECT_EQ(events.LastEvent(), CountingControlObject::kSOError);
        EXPECT_EQ(events.LastValue(), opos::OPOS_E_ILLEGAL);
        ASSERT_TRUE(AwaitEventThread(entries)) << "the outstanding read's thread did not end";

        // Measured at the same point of each pull, the scale's end closed: the first pull has set
        // up whatever a pull needs once.
        if (pull == 0) {
            threadsBefore = ThreadsOfThisProcess();
            handlesBefore = static_cast<long>(OpenHandleCount());
            heapBefore = HeapBytesInUse();
        } else if (pull == kPulls - 1) {
            EXPECT_EQ(ThreadsLeftSince(threadsBefore, kThreadEndMs), std::vector<DWORD>{}) << "threads left running";
            EXPECT_LE(static_cast<long>(OpenHandleCount()), handlesBefore + kHandleTolerance) << "handles grew";
            EXPECT_LE(HeapBytesInUse(), heapBefore + kHeapToleranceBytes) << "memory grew";
        }

        PutAdapterBack();
        entries = LogSize();
        ASSERT_EQ(scale_.ReadWeight(&untouched, kReadTimeoutMs), 0);
        ASSERT_TRUE(events.WaitForEvent(kPatienceMs)) << "no event for the read after the return";
        EXPECT_EQ(events.LastEvent(), CountingControlObject::kSOData) << "the first read after the return did not weigh";
        EXPECT_EQ(events.LastValue(), kWeight);
        ASSERT_TRUE(AwaitEventThread(entries)) << "the weighing's thread did not end";
    }
    const auto lines = LinesSince(mark);
    EXPECT_EQ(Count(lines, 1, kLostLine), kPulls);
    EXPECT_EQ(Count(lines, 1, kReopenedLine), kPulls);
    // Nothing may reach the counting control object once this test is over.
    EXPECT_EQ(scale_.Close(), 0);
}

}  // namespace
}  // namespace ka::test
