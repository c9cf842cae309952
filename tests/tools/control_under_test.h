#pragma once
// The OPOS Scale control object driven as applications drive it: created by its class (which the
// suite's selection routes to the standard's control object or to the stand-in), invoked by the
// dispatch identifiers the standard's control object publishes, its events taken through its
// connection point on the creating thread.

#include <gtest/gtest.h>

#include <string>

#include "common/com/control_events.h"
#include "common/com/dispatch_call.h"
#include "tests/support/control_object.h"
#include "tests/support/dispatch_client.h"
#include "tools/opos_standin/control_ids.h"

namespace ka::test {

namespace control = opos::control;

class ControlUnderTest : public DispatchClient {
public:
    // By the control object's class, as applications create it; a gtest failure names the HRESULT.
    bool Create() { return CreateAs(control::kClsid); }
    // The stand-in itself, whatever the prefix's control class creates.
    bool CreateStandIn() { return CreateAs(standin::kStandInClsid); }

    // The application's sink receives the control's events from now on.
    bool Connect(ka::com::ApplicationEvents& sink) {
        const HRESULT hr = events_.Connect(get(), &sink);
        EXPECT_EQ(hr, S_OK) << "connecting to the control's events: " << HrText(hr);
        return SUCCEEDED(hr);
    }
    // Lets go of the control and of its events, as an application that drops it does.
    void LetGo() noexcept {
        events_.Disconnect();
        reset();
    }

    long Open(const std::string& device) const { return CallLong(control::kOpen, std::move(CallArgs().Text(device))); }
    long Claim(long timeout) const { return CallLong(control::kClaimDevice, std::move(CallArgs().Long(timeout))); }
    long Close() const { return CallLong(control::kClose); }
    long ReleaseDevice() const { return CallLong(control::kReleaseDevice); }
    long CheckHealth(long level) const { return CallLong(control::kCheckHealth, std::move(CallArgs().Long(level))); }
    long ReadWeight(long* weight, long timeout) const {
        return CallLong(control::kReadWeight, std::move(CallArgs().LongRef(weight).Long(timeout)));
    }
    long ZeroScale() const { return CallLong(control::kZeroScale); }
    long ClearInput() const { return CallLong(control::kClearInput); }
    long ResultCode() const { return GetLong(control::kResultCode); }

    // A boolean property read; a gtest failure when it is not one.
    bool GetBool(DISPID id) const {
        CallOutcome outcome = Invoke(id, {}, DISPATCH_PROPERTYGET);
        EXPECT_EQ(outcome.hr, S_OK) << "get " << id << ": " << HrText(outcome.hr);
        EXPECT_EQ(outcome.value->vt, VT_BOOL) << "get " << id << " result type";
        return outcome.value->vt == VT_BOOL && outcome.value->boolVal != VARIANT_FALSE;
    }
    long GetLong(DISPID id) const {
        CallOutcome outcome = Invoke(id, {}, DISPATCH_PROPERTYGET);
        EXPECT_EQ(outcome.hr, S_OK) << "get " << id << ": " << HrText(outcome.hr);
        EXPECT_EQ(outcome.value->vt, VT_I4) << "get " << id << " result type";
        return outcome.value->vt == VT_I4 ? outcome.value->lVal : -1;
    }
    std::string GetText(DISPID id) const {
        CallOutcome outcome = Invoke(id, {}, DISPATCH_PROPERTYGET);
        EXPECT_EQ(outcome.hr, S_OK) << "get " << id << ": " << HrText(outcome.hr);
        if (outcome.value->vt != VT_BSTR || !outcome.value->bstrVal) return "";
        const BSTR text = outcome.value->bstrVal;
        std::string ansi(WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), nullptr, 0,
                                             nullptr, nullptr),
                         '\0');
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), ansi.data(),
                            static_cast<int>(ansi.size()), nullptr, nullptr);
        return ansi;
    }
    // Writes a property the way automation clients do: one argument named DISPID_PROPERTYPUT.
    void PutBool(DISPID id, bool value) const { Put(id, ka::com::BoolArg(value)); }
    void Put(DISPID id, VARIANT value) const {
        HRESULT hr = ka::com::InvokeByDispid(get(), id, DISPATCH_PROPERTYPUT, {value}, nullptr);
        EXPECT_EQ(hr, S_OK) << "put " << id << ": " << HrText(hr);
    }

private:
    bool CreateAs(const CLSID& clsid) {
        ComPtr<IDispatch> object;
        const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void());
        EXPECT_EQ(hr, S_OK) << "creating the control object: " << HrText(hr);
        if (FAILED(hr)) return false;
        static_cast<DispatchClient&>(*this) = DispatchClient(std::move(object));
        return true;
    }

    ka::com::EventConnection events_;
};

}  // namespace ka::test
