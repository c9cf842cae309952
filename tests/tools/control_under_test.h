#pragma once
// The OPOS Scale control stand-in driven as the administrator and the tools drive it: created by
// its ProgID, invoked by dispatch identifier.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/dispatch_client.h"
#include "tools/opos_standin/control_ids.h"
#include "common/com/dispatch_call.h"

namespace ka::test {

constexpr char kControlProgIdAnsi[] = "OposScale_1_5_LibCtl.OPOSScale";

class ControlUnderTest : public DispatchClient {
public:
    // Creates the control by its ProgID; a gtest failure names the HRESULT when it cannot.
    bool Create() {
        HRESULT hr = DispatchClient::Create(kControlProgIdAnsi, *this);
        EXPECT_EQ(hr, S_OK) << "creating the control object: " << HrText(hr);
        return SUCCEEDED(hr);
    }

    long Open(const std::string& device) const { return CallLong(opos::control::kOpen, std::move(CallArgs().Text(device))); }
    long Claim(long timeout) const { return CallLong(standin::kDispidClaim, std::move(CallArgs().Long(timeout))); }
    long Close() const { return CallLong(opos::control::kClose); }
    long ReleaseDevice() const { return CallLong(opos::control::kReleaseDevice); }
    long CheckHealth(long level) const {
        return CallLong(opos::control::kCheckHealth, std::move(CallArgs().Long(level)));
    }
    long ReadWeight(long* weight, long timeout) const {
        return CallLong(opos::control::kReadWeight, std::move(CallArgs().LongRef(weight).Long(timeout)));
    }
    long ZeroScale() const { return CallLong(opos::control::kZeroScale); }
    long ClearInput() const { return CallLong(standin::kDispidClearInput); }
    long ResultCode() const { return GetLong(standin::kDispidResultCode); }
    long WaitForEvent(long timeoutMs) const {
        return CallLong(standin::kDispidWaitForEvent, std::move(CallArgs().Long(timeoutMs)));
    }

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
    std::string GetText(DISPID id) const { return CallString(id); }
    // Writes a property the way automation clients do: one argument named DISPID_PROPERTYPUT.
    void PutBool(DISPID id, bool value) const { Put(id, ka::com::BoolArg(value)); }
    void SetEventHandler(IDispatch* handler) const { Put(standin::kDispidEventHandler, ka::com::DispatchArg(handler)); }
    void Put(DISPID id, VARIANT value) const {
        HRESULT hr = ka::com::InvokeByDispid(get(), id, DISPATCH_PROPERTYPUT, {value}, nullptr);
        EXPECT_EQ(hr, S_OK) << "put " << id << ": " << HrText(hr);
    }
};

}  // namespace ka::test
