// Events as terminals' control objects deliver them, through the standard's control object or the
// stand-in (as the run selects): posted to the application's thread, the service object's request
// held there until the handler has run. The handler calls back into the scale; every call answers
// at once. In the stand-in's direct model the handler runs on the event thread itself, where the
// claim's thread rule holds.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/service/cable_fixture.h"
#include "tests/tools/control_under_test.h"

namespace ka::test {
namespace {

constexpr char kDevice[] = "Handler Scale";
constexpr char kSameScaleElsewhere[] = "Handler Scale Elsewhere";
constexpr Cable kCable{6};
constexpr long kWeight = 4321;
constexpr long kReadMs = 2000;
constexpr ULONGLONG kPromptMs = 1000;

enum class Action { Disable, Enable, ReadAsync, ReadSync, Zero, CheckHealth, ClearInput, Release, Close };

struct HandlerCase {
    Action action;
    const char* name;
    long result;        // inside the handler on the application's thread
    long onEventThread; // inside the handler on the event thread: the claim is the application thread's
};

constexpr HandlerCase kCases[] = {
    {Action::Disable, "disable", 0, 0},
    {Action::Enable, "enable", 0, 102},
    {Action::ReadAsync, "asynchronous ReadWeight", 0, 102},
    {Action::ReadSync, "synchronous ReadWeight", 0, 102},
    {Action::Zero, "ZeroScale", 0, 102},
    {Action::CheckHealth, "CheckHealth", 0, 102},
    {Action::ClearInput, "ClearInput", 0, 102},
    {Action::Release, "ReleaseDevice", 0, 102},
    {Action::Close, "Close", 0, 0},
};

long Act(const ControlUnderTest& control, Action action) {
    long weight = 0;
    switch (action) {
    case Action::Disable:
    case Action::Enable:
        control.PutBool(opos::control::kDeviceEnabled, action == Action::Enable);
        return control.ResultCode();
    case Action::ReadAsync:
        return control.ReadWeight(&weight, kReadMs);
    case Action::ReadSync: {
        control.PutBool(control::kAsyncMode, false);
        const long result = control.ReadWeight(&weight, kReadMs);
        if (result == 0) {
            EXPECT_EQ(weight, kWeight);
        }
        return result;
    }
    case Action::Zero:
        return control.ZeroScale();
    case Action::CheckHealth:
        return control.CheckHealth(opos::OPOS_CH_INTERNAL);
    case Action::ClearInput:
        return control.ClearInput();
    case Action::Release:
        return control.ReleaseDevice();
    case Action::Close:
        return control.Close();
    }
    return -1;
}

using ApplicationHandler = ka::com::ApplicationEvents;

// The standard's control object delivers only on the application's thread; the stand-in also
// on the event thread itself.
std::vector<bool> DeliveryModels() {
    if (SelectedControl() == ControlKind::Standard) return {false};
    return {false, true};
}

class EventHandlerTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (HasFatalFailure()) return;
        const std::string unavailable = UseSelectedControl();
        ASSERT_EQ(unavailable, "") << ControlName(SelectedControl());
        ASSERT_EQ(sim_.Open(kCable.scaleSide(), kCableSettings), 0u);
        sim_.SetWeight(kWeight);
        WriteProfile(kDevice, kCable.deviceSide());
    }
    void TearDown() override { sim_.Close(); }

    // Opened, claimed and enabled in asynchronous mode, whatever of that the control has left.
    static void MakeReady(const ControlUnderTest& control) {
        control.Open(kDevice);
        ASSERT_EQ(control.Claim(kClaimTimeoutMs), 0);
        control.PutBool(opos::control::kDeviceEnabled, true);
        ASSERT_EQ(control.ResultCode(), 0);
        control.PutBool(control::kAsyncMode, true);
        control.PutBool(control::kDataEventEnabled, true);
    }

    // A control whose events reach `handler`, on the application's thread unless `onEventThread`.
    static void Attach(ControlUnderTest& control, ApplicationHandler& handler, bool onEventThread) {
        ASSERT_TRUE(control.Connect(handler));
        if (onEventThread) control.PutBool(standin::kDispidDeliverOnCallingThread, true);
        MakeReady(control);
    }

    // One handler action inside the first event, then a synchronous read.
    void RunInsideEvent(const HandlerCase& c, bool errorEvent, bool onEventThread) {
        SCOPED_TRACE(std::string(c.name) + (errorEvent ? " inside an error event" : " inside a data event") +
                     (onEventThread ? " on the event thread" : " on the application's thread"));
        ApplicationHandler handler;
        ControlUnderTest control;
        ASSERT_TRUE(control.Create());
        Attach(control, handler, onEventThread);
        if (HasFatalFailure()) return;
        // A zeroing inside an earlier case left the scale at 0.
        sim_.SetWeight(kWeight);
        if (errorEvent) sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());

        ka::UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        long seenResult = -1;
        long result = -1;
        ULONGLONG took = 0;
        handler.OnEvent([&](const ApplicationHandler::Event& event) {
            if (event.index != 0) return;
            seenResult = control.ResultCode();
            const ULONGLONG start = Now();
            result = Act(control, c.action);
            took = Now() - start;
            SetEvent(done.get());
        });
        const size_t mark = LogSize();
        long untouched = 0;
        ASSERT_EQ(control.ReadWeight(&untouched, kReadMs), 0);
        ASSERT_TRUE(ka::com::WaitServingMessages(done.get(), kPatienceMs)) << "the handler did not run";

        const long expected = onEventThread ? c.onEventThread : c.result;
        EXPECT_EQ(result, expected);
        EXPECT_LT(took, kPromptMs) << "the call waited";
        const long outcome = errorEvent ? opos::OPOS_E_ILLEGAL : opos::OPOS_SUCCESS;
        EXPECT_EQ(seenResult, outcome) << "ResultCode as the handler found it";
        const bool nextEventDue = c.action == Action::ReadAsync && expected == 0;
        if (nextEventDue) {
            ASSERT_TRUE(AwaitEvents(handler, 2, kPatienceMs)) << "no event for the read started inside the handler";
            EXPECT_EQ(handler.Events()[1].kind, control::kDataEvent);
            EXPECT_EQ(handler.Events()[1].value, kWeight);
        }
        // A closed control answers for itself, each as it does when closed.
        if (c.action != Action::Close) {
            EXPECT_EQ(control.ResultCode(), expected) << "the event's result overwrote the handler's";
        }

        MakeReady(control);
        control.PutBool(control::kAsyncMode, false);
        sim_.SetWeight(kWeight);
        long weight = 0;
        EXPECT_EQ(control.ReadWeight(&weight, kReadMs), 0) << "a synchronous read afterwards";
        EXPECT_EQ(weight, kWeight);
        EXPECT_EQ(control.Close(), 0);
        const size_t threads = nextEventDue ? 2 : 1;
        EXPECT_EQ(handler.Events().size(), threads) << "events after the last one due";
        const auto lines = LogSince(mark);
        EXPECT_EQ(static_cast<size_t>(std::count(lines.begin(), lines.end(), kLeavingEventThread)), threads)
            << "the last release left an event thread running";
    }

    trm07::ScaleSimulator sim_;
};

TEST_F(EventHandlerTest, EveryCallInsideAHandlerAnswersAtOnce) {
    for (const bool onEventThread : DeliveryModels()) {
        for (const bool errorEvent : {false, true}) {
            for (const HandlerCase& c : kCases) RunInsideEvent(c, errorEvent, onEventThread);
        }
    }
}

// The event request waits for this thread, which disables instead of serving it; the event
// comes once the thread serves its messages.
TEST_F(EventHandlerTest, DisablingWhileAnEventWaitsForTheApplicationAnswersAtOnce) {
    ApplicationHandler handler;
    ControlUnderTest control;
    ASSERT_TRUE(control.Create());
    Attach(control, handler, false);
    const size_t mark = LogSize();
    long untouched = 0;
    ASSERT_EQ(control.ReadWeight(&untouched, kReadMs), 0);
    ASSERT_TRUE(WaitForLogMessage(logPath_, mark, "Firing CO's SOData Event Request Method.", kPatienceMs));

    const ULONGLONG start = Now();
    control.PutBool(opos::control::kDeviceEnabled, false);
    EXPECT_LT(Now() - start, kPromptMs) << "disabling waited for the event";
    EXPECT_EQ(control.ResultCode(), 0);
    ASSERT_TRUE(AwaitEvents(handler, 1, kPatienceMs));
    EXPECT_EQ(handler.Events()[0].value, kWeight);
    EXPECT_EQ(control.Close(), 0);
}

// Events frozen: the read being delivered and one behind it may wait for the application; a
// further read answers 113 at once instead of leaving one more thread parked, and both waiting
// events arrive, in order, once thawed.
TEST_F(EventHandlerTest, WhileEventsAreFrozenOneReadWaitsBehindTheOneDeliveredAndAFurtherOneIsBusy) {
    ApplicationHandler handler;
    ControlUnderTest control;
    ASSERT_TRUE(control.Create());
    Attach(control, handler, false);
    control.PutBool(control::kFreezeEvents, true);
    const size_t mark = LogSize();
    long untouched = 0;
    ASSERT_EQ(control.ReadWeight(&untouched, kReadMs), 0);
    ASSERT_TRUE(WaitForLogMessage(logPath_, mark, "Firing CO's SOData Event Request Method.", kPatienceMs));
    ASSERT_EQ(control.ReadWeight(&untouched, kReadMs), 0) << "one read may wait behind the one delivered";

    const ULONGLONG start = Now();
    EXPECT_EQ(control.ReadWeight(&untouched, kReadMs), opos::OPOS_E_BUSY);
    EXPECT_LT(Now() - start, kPromptMs) << "the refused read waited";
    EXPECT_EQ(control.ResultCode(), opos::OPOS_E_BUSY);

    control.PutBool(control::kFreezeEvents, false);
    ASSERT_TRUE(AwaitEvents(handler, 2, kPatienceMs));
    for (const auto& event : handler.Events()) EXPECT_EQ(event.value, kWeight);
    EXPECT_EQ(control.Close(), 0);
    EXPECT_EQ(handler.Events().size(), 2u);
}

// A handler on the event thread closes, or lets go of the control: the claim is given back
// there, and another application can have the scale at once. Only the stand-in runs a handler there.
TEST_F(EventHandlerTest, AClaimClosedOrLetGoOnTheEventThreadIsFreeForAnotherApplication) {
    if (SelectedControl() == ControlKind::Standard) GTEST_SKIP() << "the standard's control object has no direct model";
    WriteProfile(kSameScaleElsewhere, kCable.deviceSide());
    // Another device of this application on the same port keeps the claim's name alive, as it
    // would be on a terminal, whatever becomes of the closed instance.
    ScaleClient sameScale = OpenedScale(kSameScaleElsewhere);
    ASSERT_TRUE(sameScale);
    for (const bool letGo : {false, true}) {
        SCOPED_TRACE(letGo ? "the handler lets go of the control" : "the handler closes the control");
        ApplicationHandler handler;
        ControlUnderTest control;
        ASSERT_TRUE(control.Create());
        Attach(control, handler, true);
        ASSERT_EQ(ClaimInAnotherProcess(kSameScaleElsewhere), opos::OPOS_E_CLAIMED);

        ka::UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ControlUnderTest* held = &control;
        handler.OnEvent([&](const ApplicationHandler::Event&) {
            if (letGo) {
                held->LetGo();
            } else {
                held->Close();
            }
            SetEvent(done.get());
        });
        const size_t mark = LogSize();
        long untouched = 0;
        ASSERT_EQ(control.ReadWeight(&untouched, kReadMs), 0);
        ASSERT_EQ(WaitForSingleObject(done.get(), kPatienceMs), WAIT_OBJECT_0) << "the handler did not run";
        // Let go, the control goes once the event request returns on the event thread.
        if (letGo) {
            ASSERT_EQ(WaitForSingleObject(handler.Dropped(), kPatienceMs), WAIT_OBJECT_0);
        }
        EXPECT_EQ(ClaimInAnotherProcess(kSameScaleElsewhere), 0);
        EXPECT_EQ(MissingInOrder(LogSince(mark), {"LEAVE [ReleaseDevice].", kShutdownBanner}), "");
    }
}

}  // namespace
}  // namespace ka::test
