// Teardown against a running event thread: it waits without starving a control object that
// hands the event over to the thread that called us, and no way of letting go of the instance
// frees what the thread still uses.

#include <gtest/gtest.h>

#include "tests/service/frame_fixture.h"
#include "tests/service/cable_fixture.h"
#include "tests/support/cables.h"
#include "tools/trm07sim/scale_simulator.h"

namespace ka::test {
namespace {

constexpr Cable kCable{4};
constexpr long kWeight = 1234;
constexpr UINT kDeliverEvent = WM_APP + 1;

// A message-only window on the test's thread: the control object's own thread, to which it
// marshals every event with SendMessage before answering the event request.
class EventWindow {
public:
    EventWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &EventWindow::Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"FrameEventWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~EventWindow() {
        if (window_) DestroyWindow(window_);
    }
    EventWindow(const EventWindow&) = delete;
    EventWindow& operator=(const EventWindow&) = delete;

    HWND get() const noexcept { return window_; }
    static LONG Delivered() noexcept { return delivered_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kDeliverEvent) {
            InterlockedIncrement(&delivered_);
            return 1;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
    static LONG delivered_;
};
LONG EventWindow::delivered_ = 0;

struct Marshalling {
    HWND window;
    HANDLE entered;
};

void MarshalToOwnThread(void* context, const ReceivedCall& call) {
    if (call.name != "SOData" && call.name != "SOError") return;
    auto* marshalling = static_cast<Marshalling*>(context);
    SetEvent(marshalling->entered);
    SendMessageW(marshalling->window, kDeliverEvent, 0, 0);
}

class FrameEventWaitTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(sim_.Open(kCable.scaleSide(), {CBR_9600, 8, NOPARITY, ONESTOPBIT}), 0u);
        sim_.SetWeight(kWeight);
        WriteProfile("WaitScale", kCable.deviceSide());
    }
    void TearDown() override { sim_.Close(); }
    trm07::ScaleSimulator sim_;
};

// Close waits for no event that waits for the control object's thread; the final release waits
// for the thread, and serves the message it sent meanwhile.
TEST_F(FrameEventWaitTest, CloseLeavesAnEventSentToItsThreadToBeServedLater) {
    EventWindow window;
    ASSERT_NE(window.get(), nullptr);
    ka::UniqueHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Marshalling marshalling{window.get(), entered.get()};
    RecordingControlObject control;
    control.SetOnCall(&MarshalToOwnThread, &marshalling);

    ScaleClient scale = EnabledScale("WaitScale", &control);
    ASSERT_TRUE(scale);
    scale.SetPropertyNumber(opos::pidx::kAsyncMode, 1);
    long weight = 0;
    ASSERT_EQ(scale.ReadWeight(&weight, 1000), 0);
    // The event thread now sits in the control object, which waits for this thread.
    ASSERT_EQ(WaitForSingleObject(entered.get(), 20000), WAIT_OBJECT_0) << "no event arrived";

    const ULONGLONG before = GetTickCount64();
    EXPECT_EQ(scale.Close(), 0);
    EXPECT_LT(GetTickCount64() - before, 1000u) << "Close waited for the event";
    EXPECT_EQ(EventWindow::Delivered(), 0);
    scale.reset();
    EXPECT_EQ(EventWindow::Delivered(), 1);
    const auto calls = control.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "SOData");
    EXPECT_EQ(calls[0].args, std::vector<long>{kWeight});
    for (const auto& entry : ReadLogEntries(logPath_)) {
        EXPECT_EQ(entry.message.find("Event thread still running"), std::string::npos) << entry.message;
    }
    control.SetOnCall(nullptr, nullptr);
}

HRESULT ServerCanUnloadNow() {
    const HMODULE server = GetModuleHandleA("Pendrax.dll");
    if (!server) return E_FAIL;
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    return reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(server, "DllCanUnloadNow")))();
}

// What the control object does inside SOData, on the event thread.
struct InsideTheEvent {
    InsideTheEvent(ScaleClient* release, HANDLE block, HANDLE signal) : scale(release), unblock(block), entered(signal) {}
    ScaleClient* scale;              // released there when set: the application closes on its data
    HANDLE unblock;                  // waited for there when set: a slow event handler
    HANDLE entered;
    ka::UniqueHandle thread;         // the event thread, to wait for its end
    HRESULT canUnload = E_FAIL;      // DllCanUnloadNow after the release
};

void OnData(void* context, const ReceivedCall& call) {
    if (call.name != "SOData") return;
    auto* inside = static_cast<InsideTheEvent*>(context);
    inside->thread.reset(OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId()));
    if (inside->scale) {
        inside->scale->reset();
        inside->canUnload = ServerCanUnloadNow();
    }
    SetEvent(inside->entered);
    if (inside->unblock) WaitForSingleObject(inside->unblock, kPatienceMs * 3);
}

class EventThreadLifetimeTest : public FrameEventWaitTest {
protected:
    // A claimed, enabled instance in asynchronous mode whose SOData runs `inside`.
    ScaleClient AsyncScale(InsideTheEvent& inside) {
        control_.SetOnCall(&OnData, &inside);
        ScaleClient scale = EnabledScale("WaitScale", &control_);
        if (scale) scale.SetPropertyNumber(opos::pidx::kAsyncMode, 1);
        return scale;
    }
    // The thread has ended: everything it held is given back.
    void ExpectThreadEnded(InsideTheEvent& inside) {
        ASSERT_EQ(WaitForSingleObject(inside.entered, kPatienceMs), WAIT_OBJECT_0) << "no event arrived";
        ASSERT_EQ(WaitForSingleObject(inside.thread.get(), kPatienceMs), WAIT_OBJECT_0) << "the thread did not end";
        EXPECT_EQ(ServerCanUnloadNow(), S_OK) << "the library is still held";
        // The instance went only after the thread's last line: its shutdown comes after.
        EXPECT_EQ(MissingInOrder(LogSince(0), {"Completed firing CO's SOData Event Request Method.",
                                               "LEAVE [DoEventThread].", kLeavingEventThread, kShutdownBanner}),
                  "");
        control_.SetOnCall(nullptr, nullptr);
    }
    RecordingControlObject control_;
};

TEST_F(EventThreadLifetimeTest, ReleasingTheLastReferenceInsideTheEventLetsTheThreadFinishFirst) {
    ka::UniqueHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    InsideTheEvent inside{nullptr, nullptr, entered.get()};
    ScaleClient scale = AsyncScale(inside);
    inside.scale = &scale;
    long weight = 0;
    ASSERT_EQ(scale.ReadWeight(&weight, 1000), 0);
    ExpectThreadEnded(inside);
    EXPECT_FALSE(scale) << "released inside the event";
    EXPECT_EQ(inside.canUnload, S_FALSE) << "the library could be unloaded under the running thread";
}

// The final release gives up waiting for a handler that takes longer than its bound; the
// instance then lives on until the thread is done with it.
TEST_F(EventThreadLifetimeTest, AFinalReleaseThatGivesUpWaitingLeavesTheInstanceToTheThread) {
    ka::UniqueHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ka::UniqueHandle unblock(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    InsideTheEvent inside{nullptr, unblock.get(), entered.get()};
    ScaleClient scale = AsyncScale(inside);
    long weight = 0;
    ASSERT_EQ(scale.ReadWeight(&weight, 0), 0);
    ASSERT_EQ(WaitForSingleObject(entered.get(), kPatienceMs), WAIT_OBJECT_0);
    scale.reset();
    EXPECT_EQ(ServerCanUnloadNow(), S_FALSE) << "the thread still runs code of the library";
    SetEvent(unblock.get());
    ExpectThreadEnded(inside);
}

}  // namespace
}  // namespace ka::test
