// Event requests reach the stand-in from whatever thread the service object raises them on.

#include <gtest/gtest.h>

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
        ASSERT_TRUE(control_.Create());
    }

    // Waits, bounded, until `count` events have arrived in all.
    long WaitForEvents(long count) const {
        long arrived = 0;
        const ULONGLONG deadline = GetTickCount64() + kBoundMs;
        for (ULONGLONG now = GetTickCount64(); arrived < count && now < deadline; now = GetTickCount64()) {
            long more = control_.WaitForEvent(static_cast<long>(deadline - now));
            if (more == 0) break;
            arrived += more;
        }
        return arrived;
    }

    ComApartment apartment_;
    ControlUnderTest control_;
};

TEST_F(StandInEventsTest, EventsFromAForeignThreadAreRecorded) {
    ForeignCaller caller;
    caller.control = control_.get();
    UniqueHandle thread(CreateThread(nullptr, 0, &ForeignCaller::Run, &caller, 0, nullptr));
    ASSERT_TRUE(thread.valid()) << "CreateThread: " << GetLastError();

    EXPECT_EQ(WaitForEvents(2), 2);
    ASSERT_EQ(WaitForSingleObject(thread.get(), kBoundMs), WAIT_OBJECT_0);
    EXPECT_EQ(caller.bindResult, S_OK) << HrText(caller.bindResult);
    EXPECT_EQ(caller.dataResult, S_OK) << HrText(caller.dataResult);
    EXPECT_EQ(caller.errorResult, S_OK) << HrText(caller.errorResult);
    EXPECT_EQ(control_.GetLong(standin::kDispidDataEventCount), 1);
    EXPECT_EQ(control_.GetLong(standin::kDispidLastDataWeight), 1234);
    EXPECT_EQ(control_.GetLong(standin::kDispidErrorEventCount), 1);
    EXPECT_EQ(control_.GetLong(standin::kDispidLastErrorResultCode), 106);
    EXPECT_EQ(control_.WaitForEvent(0), 0) << "both events were already waited for";
}

TEST_F(StandInEventsTest, WaitForEventEndsEmptyWhenNothingComes) {
    EXPECT_EQ(control_.WaitForEvent(0), 0);
    EXPECT_EQ(control_.WaitForEvent(-1), 0) << "a negative timeout only looks";
    EXPECT_EQ(control_.WaitForEvent(20), 0);
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
    EXPECT_EQ(control_.GetLong(standin::kDispidErrorEventCount), 0);

    long response = 11;
    CallOutcome good = control_.Invoke(soError, std::move(CallArgs().Long(111).Long(0).Long(0).LongRef(&response)));
    EXPECT_EQ(good.hr, S_OK) << HrText(good.hr);
    EXPECT_EQ(response, 11) << "the stand-in leaves the error response alone";
    EXPECT_EQ(control_.GetLong(standin::kDispidLastErrorResultCode), 111);
}

TEST_F(StandInEventsTest, DirectIOAndStatusEventsAreCounted) {
    long data = 5;
    ka::com::UniqueBstr text(SysAllocString(L"line from the log"));
    BSTR textRef = text.get();
    CallOutcome directIO =
        control_.Invoke(control_.IdOf(L"SODirectIO"), std::move(CallArgs().Long(1).LongRef(&data).TextRef(&textRef)));
    EXPECT_EQ(directIO.hr, S_OK) << HrText(directIO.hr);
    CallOutcome status = control_.Invoke(control_.IdOf(L"SOStatusUpdate"), std::move(CallArgs().Long(2001)));
    EXPECT_EQ(status.hr, S_OK) << HrText(status.hr);

    EXPECT_EQ(control_.WaitForEvent(kBoundMs), 2);
    EXPECT_EQ(control_.GetLong(standin::kDispidDirectIOEventCount), 1);
    EXPECT_EQ(control_.GetText(standin::kDispidLastDirectIOText), "line from the log");
    EXPECT_EQ(control_.GetLong(standin::kDispidStatusUpdateCount), 1);
    EXPECT_EQ(control_.GetLong(standin::kDispidDataEventCount), 0);
}

}  // namespace
}  // namespace ka::test
