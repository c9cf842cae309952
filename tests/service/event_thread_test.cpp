// The asynchronous ReadWeight: its event thread, the one event it raises, the result it records,
// the refusal of a second conversation, and teardown while the thread still reads.

#include "logging/opos_log.h"
#include "tests/service/cable_fixture.h"
#include "tools/trm07sim/reply_forms.h"

namespace ka::test {

// From the device tests' support library (its header clashes with the service fixture's names).
unsigned long OpenHandleCount();

namespace {

constexpr long kAsyncTimeoutMs = 3000;
// Held back by the simulator so the reading is still under way when ReadWeight returns.
constexpr DWORD kSlowReplyMs = 300;
constexpr char kEventThread[] = "Event Thread";

class EventThreadTest : public ScaleOnCableTest {
protected:
    // Level 4 lines of the conversation stay out of the log, so the event thread's own
    // lines can be compared as a whole.
    int ProfileVerbosity() const override { return 3; }

    void SetUp() override {
        ScaleOnCableTest::SetUp();
        if (HasFatalFailure()) return;
        SetAsyncMode(true);
        ForwardLines(zel::kInformation);
    }

    // Starts an asynchronous read and waits, bounded, for its thread to end.
    long ReadAsyncAndWait(long* weight, long timeout) {
        lineWatch_.Expect(kLeavingEventThread);
        const long result = scale_.ReadWeight(weight, timeout);
        EXPECT_TRUE(lineWatch_.Wait(kPatienceMs)) << "the event thread did not end";
        return result;
    }
};

TEST_F(EventThreadTest, ReturnsAtOnceAndFiresOneDataEvent) {
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Text(trm07::ReadingText(4321, 0), kSlowReplyMs));
    ASSERT_EQ(Call(kDisplayText, std::move(CallArgs().Text(""))), opos::OPOS_E_ILLEGAL);
    const size_t mark = LogSize();

    lineWatch_.Expect(kLeavingEventThread);
    long weight = 777;
    EXPECT_EQ(scale_.ReadWeight(&weight, kAsyncTimeoutMs), 0);
    EXPECT_EQ(weight, 777) << "the weight arrives by event, not here";
    EXPECT_TRUE(Events().empty()) << "ReadWeight returned before the reading ended";
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL) << "the thread records the result, not ReadWeight";
    ASSERT_TRUE(lineWatch_.Wait(kPatienceMs));

    const auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "SOData");
    EXPECT_EQ(events[0].args, std::vector<long>{4321});
    EXPECT_NE(events[0].threadId, GetCurrentThreadId());
    EXPECT_EQ(scale_.ResultCode(), 0);
    EXPECT_EQ(weight, 777);

    const auto entries = EntriesSince(mark);
    EXPECT_EQ(MessagesOf(entries, kEventThread),
              (Lines{kEnteringEventThread, "Firing CO's SOData Event Request Method.",
                     "Completed firing CO's SOData Event Request Method.", "LEAVE [DoEventThread].",
                     kLeavingEventThread}));
    EXPECT_EQ(MessagesOf(entries, "Main Thread"), (Lines{"ENTER [ReadWeight]"})) << "no leave line on the async path";
}

TEST_F(EventThreadTest, SilentScaleFiresOneErrorEventWithoutRetry) {
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
    const size_t mark = LogSize();
    long weight = 777;
    EXPECT_EQ(ReadAsyncAndWait(&weight, kAsyncTimeoutMs), 0);

    const auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "SOError");
    EXPECT_EQ(events[0].args, (std::vector<long>{opos::OPOS_E_ILLEGAL, 0, 0, kErrorResponseClear}));
    EXPECT_EQ(sim_.Requests(), 1);
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(weight, 777);
    EXPECT_EQ(MissingInOrder(MessagesOf(EntriesSince(mark), kEventThread),
                             {kEnteringEventThread, "Firing CO's SOError Event Request Method.  Comm: 106; Hardware: 0",
                              "Completed firing CO's SOError Event Request Method.", "LEAVE [DoEventThread].",
                              kLeavingEventThread}),
              "");
}

TEST_F(EventThreadTest, SettlingScaleIsRetriedUntilAReadingArrives) {
    sim_.SetWeight(1500);
    sim_.SettleFor(2);
    long weight = 0;
    EXPECT_EQ(ReadAsyncAndWait(&weight, kAsyncTimeoutMs), 0);
    EXPECT_EQ(sim_.Requests(), 3);
    const auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "SOData");
    EXPECT_EQ(events[0].args, std::vector<long>{1500});
}

TEST_F(EventThreadTest, TimedOutAndUnusableReadingsAreErrors) {
    sim_.SettleFor(1000);
    long weight = 0;
    EXPECT_EQ(ReadAsyncAndWait(&weight, 0), 0);
    EXPECT_EQ(sim_.Requests(), 1) << "timeout 0 makes a single attempt";
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Text(trm07::StatusOnlyText(0)));
    EXPECT_EQ(ReadAsyncAndWait(&weight, kAsyncTimeoutMs), 0);

    const auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    for (const auto& event : events) {
        EXPECT_EQ(event.name, "SOError");
        EXPECT_EQ(event.args.front(), opos::OPOS_E_ILLEGAL) << "timed out and failed are not told apart";
    }
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL);
}

// A read or a zeroing waits for the thread's reading, not for its event; the events follow in
// the order of their reads, one at a time.
TEST_F(EventThreadTest, AnotherConversationWaitsForTheThreadsReading) {
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Text(trm07::ReadingText(10, 0), kSlowReplyMs));
    sim_.SetWeight(20);
    long weight = 0;
    ASSERT_EQ(scale_.ReadWeight(&weight, kAsyncTimeoutMs), 0);
    EXPECT_EQ(scale_.ReadWeight(&weight, kAsyncTimeoutMs), 0) << "asynchronous";
    SetAsyncMode(false);
    EXPECT_EQ(scale_.ReadWeight(&weight, kAsyncTimeoutMs), 0) << "synchronous";
    EXPECT_EQ(weight, 20);
    EXPECT_EQ(ZeroScale(), 0);
    ASSERT_TRUE(WaitForEvents(2));
    const auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].args, std::vector<long>{10});
    EXPECT_EQ(events[1].args, std::vector<long>{20});
    EXPECT_EQ(sim_.Requests(), 4) << "every conversation had the port to itself";
}

TEST_F(EventThreadTest, ForwardedLinesCarryTheEventThreadCategory) {
    lineWatch_.Expect(kLeavingEventThread);
    long weight = 0;
    ASSERT_EQ(scale_.ReadWeight(&weight, kAsyncTimeoutMs), 0);
    ASSERT_TRUE(lineWatch_.Wait(kPatienceMs));
    bool sawEventThreadLine = false;
    for (const auto& call : CallsOf("SODirectIO")) {
        if (call.text.find(kEnteringEventThread) == std::string::npos) continue;
        sawEventThreadLine = true;
        EXPECT_NE(call.text.find("Event Thread"), std::string::npos) << call.text;
        EXPECT_EQ(call.args, (std::vector<long>{kForwardLogLines, 0}));
    }
    EXPECT_TRUE(sawEventThreadLine);
}

// Without a control object the reading still happens; its event is skipped and logged.
class EventWithoutControlObjectTest : public ServiceTest {};

TEST_F(EventWithoutControlObjectTest, EventIsSkippedAndLogged) {
    trm07::ScaleSimulator sim;
    ASSERT_EQ(sim.Open(kWeighCable.scaleSide()), 0u);
    WriteProfile(kWeighDevice, kWeighCable.deviceSide());
    ScaleClient scale = EnabledScale(kWeighDevice, nullptr);
    ASSERT_TRUE(scale);
    scale.SetPropertyNumber(opos::pidx::kAsyncMode, 1);
    const size_t mark = LogSize();
    long weight = 0;
    EXPECT_EQ(scale.ReadWeight(&weight, kAsyncTimeoutMs), 0);
    EXPECT_TRUE(WaitForLogMessage(logPath_, mark, kLeavingEventThread, kPatienceMs));
    EXPECT_EQ(scale.Close(), 0);
    EXPECT_EQ(MissingInOrder(LogSince(mark), {"Firing CO's SOData Event Request Method.",
                                              "No control object to receive the SOData event; event skipped.",
                                              "LEAVE [DoEventThread].", kLeavingEventThread,
                                              "Device disabled successfully."}),
              "");
    sim.Close();
}

// A control object whose event request fails: logged, and the thread records its result.
TEST_F(EventThreadTest, FailingEventCallIsLoggedAndTheResultStillRecorded) {
    co_.SetInvokeResult(E_FAIL);
    const size_t mark = LogSize();
    ASSERT_EQ(Call(kDisplayText, std::move(CallArgs().Text(""))), opos::OPOS_E_ILLEGAL);
    long weight = 0;
    EXPECT_EQ(ReadAsyncAndWait(&weight, kAsyncTimeoutMs), 0);
    co_.SetInvokeResult(S_OK);
    EXPECT_EQ(scale_.ResultCode(), 0) << "recorded after the failed call";
    EXPECT_EQ(MissingInOrder(LogSince(mark), {"Firing CO's SOData Event Request Method.",
                                              "CO's SOData Event Request Method failed; HRESULT=[-2147467259].",
                                              "LEAVE [DoEventThread].", kLeavingEventThread}),
              "");
    EXPECT_FALSE(Logged(mark, "Completed firing CO's SOData Event Request Method."));
}

// Each way of tearing down while the thread reads: it ends first, the port closes after it,
// and nothing leaks.
enum class Teardown { Close, ReleaseDevice, Disable, FinalRelease };

class EventThreadTeardownTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(sim_.Open(kWeighCable.scaleSide()), 0u);
        WriteProfile(kWeighDevice, kWeighCable.deviceSide(), 2);
        sim_.SettleFor(1000000);
    }
    void TearDown() override { sim_.Close(); }

    // One instance, one asynchronous read under way, one teardown.
    void ReadAndTearDown(Teardown teardown) {
        ScaleClient scale = EnabledScale(kWeighDevice, &co_);
        ASSERT_TRUE(scale);
        scale.SetPropertyNumber(opos::pidx::kAsyncMode, 1);
        const size_t mark = LogSize();
        const size_t eventsBefore = Events().size();
        long weight = 0;
        ASSERT_EQ(scale.ReadWeight(&weight, kPatienceMs), 0);
        switch (teardown) {
        case Teardown::Close:
            EXPECT_EQ(scale.Close(), 0);
            break;
        case Teardown::ReleaseDevice:
            EXPECT_EQ(scale.ReleaseDevice(), 0);
            break;
        case Teardown::Disable:
            EXPECT_EQ(scale.SetDeviceEnabled(false), 0);
            break;
        case Teardown::FinalRelease:
            break;
        }
        if (teardown != Teardown::FinalRelease) {
            ASSERT_EQ(scale.Close(), 0);
        }
        scale.reset();
        // The scale keeps settling, so only the teardown ends the reading, and the port closes
        // after it: the control object, perhaps going away itself, gets no event.
        const auto lines = LogSince(mark);
        EXPECT_EQ(MissingInOrder(lines, {kEnteringEventThread,
                                         "Device is being disabled, released or closed; SOError event skipped.",
                                         "Device disabled successfully."}),
                  "");
        EXPECT_EQ(MissingInOrder(lines, {kLeavingEventThread}), "") << "the last release waits for the thread";
        EXPECT_EQ(Events().size(), eventsBefore);
    }
    std::vector<ReceivedCall> Events() const {
        std::vector<ReceivedCall> events;
        for (const auto& call : co_.Calls())
            if (call.name == "SOData" || call.name == "SOError") events.push_back(call);
        return events;
    }

    RecordingControlObject co_;
    trm07::ScaleSimulator sim_;
};

TEST_F(EventThreadTeardownTest, EveryTeardownWaitsForTheThread) {
    constexpr Teardown kTeardowns[] = {Teardown::Close, Teardown::ReleaseDevice, Teardown::Disable,
                                       Teardown::FinalRelease};
    constexpr int kRounds = 50;
    // COM, Wine and the log settle their own first-use handles in a round of each kind.
    for (const Teardown teardown : kTeardowns) ReadAndTearDown(teardown);
    const long handlesBefore = static_cast<long>(OpenHandleCount());
    for (int round = 0; round < kRounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ReadAndTearDown(kTeardowns[round % 4]);
    }
    EXPECT_EQ(co_.ExtraReferences(), 0);
    // A handle lost by any one way of tearing down would add one for each of its rounds.
    EXPECT_LT(static_cast<long>(OpenHandleCount()) - handlesBefore, kRounds / 4) << "handles leaked";
}

}  // namespace
}  // namespace ka::test
