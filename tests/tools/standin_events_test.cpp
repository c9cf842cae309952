// Event requests reach the stand-in from whatever thread the service object raises them on, and
// the application's connected sink receives them on the thread that created the control.

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "common/com/dispatch_call.h"
#include "common/unique_handle.h"
#include "tests/tools/control_under_test.h"

namespace ka::test {
namespace {

constexpr DWORD kBoundMs = 5000;

// What the service object's event thread does: bind by name, then call through the raw pointer.
struct ForeignCaller {
    IDispatch* control = nullptr;
    HRESULT bindResult = E_FAIL;
    HRESULT dataResult = E_FAIL;
    HRESULT errorResult = E_FAIL;
    long errorResponse = 0;

    static DWORD WINAPI Run(void* self) noexcept {
        static_cast<ForeignCaller*>(self)->RaiseDataAndError();
        return 0;
    }

    void RaiseDataAndError() noexcept {
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"SOData"), const_cast<LPOLESTR>(L"SOError")};
        DISPID ids[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};
        bindResult = control->GetIDsOfNames(IID_NULL, &names[0], 1, LOCALE_SYSTEM_DEFAULT, &ids[0]);
        if (SUCCEEDED(bindResult)) bindResult = control->GetIDsOfNames(IID_NULL, &names[1], 1, LOCALE_SYSTEM_DEFAULT, &ids[1]);
        if (FAILED(bindResult)) return;
        dataResult = ka::com::InvokeByDispid(control, ids[0], DISPATCH_METHOD, {ka::com::LongArg(1234)}, nullptr);
        errorResult = ka::com::InvokeByDispid(
            control, ids[1], DISPATCH_METHOD,
            {ka::com::LongArg(106), ka::com::LongArg(0), ka::com::LongArg(0), ka::com::LongRefArg(&errorResponse)},
            nullptr);
    }
};

class StandInEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(apartment_.result(), S_OK) << HrText(apartment_.result());
        ASSERT_TRUE(control_.CreateStandIn());
        ASSERT_TRUE(control_.Connect(sink_));
    }

    // The sink saw exactly these events, as (kind, first argument), in this order.
    void ExpectEvents(std::initializer_list<std::pair<DISPID, long>> expected) const {
        const auto events = sink_.Events();
        ASSERT_EQ(events.size(), expected.size());
        size_t i = 0;
        for (const auto& [kind, value] : expected) {
            EXPECT_EQ(events[i].kind, kind) << "event " << i;
            EXPECT_EQ(events[i].value, value) << "event " << i;
            EXPECT_EQ(events[i].thread, GetCurrentThreadId()) << "event " << i << " ran on another thread";
            ++i;
        }
    }

    ComApartment apartment_;
    ka::com::ApplicationEvents sink_;
    ControlUnderTest control_;
};

TEST_F(StandInEventsTest, EventsFromAForeignThreadReachTheSinkOnTheCreatingThread) {
    ForeignCaller caller;
    caller.control = control_.get();
    UniqueHandle thread(CreateThread(nullptr, 0, &ForeignCaller::Run, &caller, 0, nullptr));
    ASSERT_TRUE(thread.valid()) << "CreateThread: " << GetLastError();

    EXPECT_TRUE(AwaitEvents(sink_, 2, kBoundMs));
    ASSERT_EQ(WaitForSingleObject(thread.get(), kBoundMs), WAIT_OBJECT_0);
    EXPECT_EQ(caller.bindResult, S_OK) << HrText(caller.bindResult);
    EXPECT_EQ(caller.dataResult, S_OK) << HrText(caller.dataResult);
    EXPECT_EQ(caller.errorResult, S_OK) << HrText(caller.errorResult);
    ExpectEvents({{control::kDataEvent, 1234}, {control::kErrorEvent, 106}});
}

TEST_F(StandInEventsTest, SOErrorNeedsItsResponseByReference) {
    DISPID soError = control_.IdOf(L"SOError");
    VARIANT nullRef;
    VariantInit(&nullRef);
    V_VT(&nullRef) = VT_I4 | VT_BYREF;
    V_I4REF(&nullRef) = nullptr;
    CallOutcome withNull = control_.Invoke(soError, std::move(CallArgs().Long(106).Long(0).Long(0).Variant(nullRef)));
    EXPECT_EQ(withNull.hr, DISP_E_TYPEMISMATCH) << HrText(withNull.hr);
    CallOutcome byValue = control_.Invoke(soError, std::move(CallArgs().Long(106).Long(0).Long(0).Long(12)));
    EXPECT_EQ(byValue.hr, DISP_E_TYPEMISMATCH) << HrText(byValue.hr);
    EXPECT_EQ(byValue.argError, 0u);
    EXPECT_EQ(sink_.Count(), 0u);

    long response = 11;
    CallOutcome good = control_.Invoke(soError, std::move(CallArgs().Long(111).Long(0).Long(0).LongRef(&response)));
    EXPECT_EQ(good.hr, S_OK) << HrText(good.hr);
    EXPECT_EQ(response, 11) << "a sink that answers nothing leaves the error response alone";
    ExpectEvents({{control::kErrorEvent, 111}});
}

TEST_F(StandInEventsTest, DirectIOAndStatusEventsReachTheSinkAndADisconnectedSinkHearsNoMore) {
    long data = 5;
    ka::com::UniqueBstr text(SysAllocString(L"line from the log"));
    BSTR textRef = text.get();
    CallOutcome directIO =
        control_.Invoke(control_.IdOf(L"SODirectIO"), std::move(CallArgs().Long(1).LongRef(&data).TextRef(&textRef)));
    EXPECT_EQ(directIO.hr, S_OK) << HrText(directIO.hr);
    CallOutcome status = control_.Invoke(control_.IdOf(L"SOStatusUpdate"), std::move(CallArgs().Long(2001)));
    EXPECT_EQ(status.hr, S_OK) << HrText(status.hr);
    ExpectEvents({{control::kDirectIOEvent, 1}, {control::kStatusUpdateEvent, 2001}});

    control_.LetGo();
    EXPECT_EQ(WaitForSingleObject(sink_.Dropped(), 0), WAIT_OBJECT_0) << "the control let go of the sink";
}

// A program told to quit while it awaits an event stops waiting at once, and the quit is left
// for its own loop.
TEST(ApplicationEventsWait, AQuitEndsTheWaitAndStaysForTheProgramsLoop) {
    ka::com::ApplicationEvents sink;
    constexpr int kExitCode = 7;
    PostQuitMessage(kExitCode);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(ka::com::AwaitEvents(sink, 1, kBoundMs));
    EXPECT_LT(GetTickCount64() - start, kBoundMs / 2) << "the wait went on to its limit";
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was taken";
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(kExitCode));
}

}  // namespace
}  // namespace ka::test
