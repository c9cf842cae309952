// Applications that keep their scale on a device thread of their own: a single-threaded apartment
// with its own message loop, apart from the user-interface thread that initialised COM first.
// Through the standard's control object, every call of the device thread answers within a second
// and its events arrive on it, whether the user-interface thread serves its messages or is busy.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/service/cable_fixture.h"
#include "tests/tools/control_under_test.h"

namespace ka::test {
namespace {

constexpr long kReadMs = 2000;
constexpr ULONGLONG kPromptMs = 1000;
// A device thread that has not finished by then is stuck for good.
constexpr DWORD kRunBoundMs = 30000;

constexpr CableScale kFront{"Front Device Thread Scale", Cable{1}, 1234};
constexpr CableScale kBack{"Back Device Thread Scale", Cable{2}, 5678};

// One call of the device thread: what it answered and how long it took.
struct Step {
    std::string name;
    long result;
    ULONGLONG tookMs;
};

// What a device thread did, read by the test once the thread has ended.
struct DeviceRun {
    explicit DeviceRun(const CableScale& weighed) : scale(weighed) {}

    CableScale scale;
    // Set when this thread may create its control, and set for the next by this one once it has:
    // the standard's control object refuses (E_UNEXPECTED) a creation at the same moment as
    // another on another thread. They weigh at once all the same.
    HANDLE myTurn = nullptr;
    HANDLE nextTurn = nullptr;
    DWORD thread = 0;
    HRESULT created = E_FAIL;
    std::vector<Step> steps;
    long syncWeight = -1;
    std::vector<ka::com::ApplicationEvents::Event> events;

    // Open, claim, enable, read synchronously, read asynchronously and take the data event here,
    // close: as a point-of-sale application's device thread does.
    void Run() {
        thread = GetCurrentThreadId();
        ComApartment apartment;
        created = apartment.result();
        if (FAILED(created)) return;
        ka::com::ApplicationEvents sink;
        ControlUnderTest control;
        if (myTurn) WaitForSingleObject(myTurn, kRunBoundMs);
        const bool ready = control.Create() && control.Connect(sink);
        if (nextTurn) SetEvent(nextTurn);
        if (!ready) {
            created = E_FAIL;
            return;
        }
        Timed("Open", [&] { return control.Open(scale.device); });
        Timed("ClaimDevice", [&] { return control.Claim(kClaimTimeoutMs); });
        Timed("DeviceEnabled", [&] {
            control.PutBool(control::kDeviceEnabled, true);
            return control.ResultCode();
        });
        Timed("ReadWeight", [&] { return control.ReadWeight(&syncWeight, kReadMs); });
        Timed("AsyncMode", [&] {
            control.PutBool(control::kAsyncMode, true);
            control.PutBool(control::kDataEventEnabled, true);
            return control.ResultCode();
        });
        long untouched = 0;
        Timed("ReadWeight (async)", [&] { return control.ReadWeight(&untouched, kReadMs); });
        ka::com::AwaitEvents(sink, 1, kPatienceMs);
        Timed("Close", [&] { return control.Close(); });
        control.LetGo();
        events = sink.Events();
    }

    template <typename Call>
    void Timed(const char* name, Call call) {
        const ULONGLONG start = Now();
        const long result = call();
        steps.push_back({name, result, Now() - start});
    }

    static DWORD WINAPI Entry(void* self) noexcept {
        static_cast<DeviceRun*>(self)->Run();
        return 0;
    }
};

class DeviceThreadTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (HasFatalFailure()) return;
        if (SelectedControl() != ControlKind::Standard) {
            GTEST_SKIP() << "device threads are tried through the standard's control object only";
        }
        const std::string unavailable = UseSelectedControl();
        ASSERT_EQ(unavailable, "") << ControlName(SelectedControl());
    }

    // The simulator of `scale` on its cable's far end, and its profile.
    void Lay(const CableScale& scale, trm07::ScaleSimulator& simulator) {
        ASSERT_EQ(simulator.Open(scale.cable.scaleSide(), kCableSettings), 0u) << scale.device;
        simulator.SetWeight(scale.weight);
        WriteProfile(scale.device, scale.cable.deviceSide());
    }

    // Runs one device thread per scale while this thread, the user-interface thread, serves its
    // messages or is busy and serves none. False when a device thread was stuck.
    static bool RunDeviceThreads(std::vector<DeviceRun>& runs, bool serveMessages) {
        std::vector<ka::UniqueHandle> turns;
        for (size_t i = 1; i < runs.size(); ++i) {
            turns.emplace_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            runs[i - 1].nextTurn = runs[i].myTurn = turns.back().get();
        }
        std::vector<ka::UniqueHandle> threads;
        for (DeviceRun& run : runs) {
            threads.emplace_back(CreateThread(nullptr, 0, &DeviceRun::Entry, &run, 0, nullptr));
            EXPECT_TRUE(threads.back().valid()) << "CreateThread: " << GetLastError();
        }
        bool ended = true;
        for (const auto& thread : threads) {
            if (!thread) continue;
            const bool done = serveMessages ? ka::com::WaitServingMessages(thread.get(), kRunBoundMs)
                                            : WaitForSingleObject(thread.get(), kRunBoundMs) == WAIT_OBJECT_0;
            if (done) continue;
            ended = false;
            // Whatever a stuck call waits for on this thread is served now, so the test can end.
            if (!ka::com::WaitServingMessages(thread.get(), kRunBoundMs)) {
                ADD_FAILURE() << "a device thread is stuck for good";
                std::fflush(stdout);
                TerminateProcess(GetCurrentProcess(), 1);
            }
        }
        return ended;
    }

    // Every call answered, at once, and the data event came on the device thread.
    static void CheckRun(const DeviceRun& run) {
        SCOPED_TRACE(run.scale.device);
        ASSERT_EQ(run.created, S_OK) << HrText(run.created);
        ASSERT_EQ(run.steps.size(), 7u);
        for (const Step& step : run.steps) {
            EXPECT_EQ(step.result, 0) << step.name;
            EXPECT_LT(step.tookMs, kPromptMs) << step.name << " waited";
        }
        EXPECT_EQ(run.syncWeight, run.scale.weight);
        ASSERT_EQ(run.events.size(), 1u) << "one data event";
        EXPECT_EQ(run.events[0].kind, control::kDataEvent);
        EXPECT_EQ(run.events[0].value, run.scale.weight);
        EXPECT_EQ(run.events[0].thread, run.thread) << "the event arrived on another thread than the device's";
    }

    trm07::ScaleSimulator front_;
    trm07::ScaleSimulator back_;
};

TEST_F(DeviceThreadTest, ADeviceThreadWeighsWhetherTheUserInterfaceThreadServesMessagesOrIsBusy) {
    Lay(kFront, front_);
    for (const bool serveMessages : {true, false}) {
        SCOPED_TRACE(serveMessages ? "the user-interface thread serves its messages" : "the user-interface thread is busy");
        std::vector<DeviceRun> runs{DeviceRun{kFront}};
        EXPECT_TRUE(RunDeviceThreads(runs, serveMessages)) << "the device thread was stuck";
        CheckRun(runs[0]);
    }
}

TEST_F(DeviceThreadTest, TwoScalesOnTwoDeviceThreadsWeighAtOnce) {
    Lay(kFront, front_);
    Lay(kBack, back_);
    std::vector<DeviceRun> runs{DeviceRun{kFront}, DeviceRun{kBack}};
    EXPECT_TRUE(RunDeviceThreads(runs, true)) << "a device thread was stuck";
    for (const DeviceRun& run : runs) CheckRun(run);
}

}  // namespace
}  // namespace ka::test
