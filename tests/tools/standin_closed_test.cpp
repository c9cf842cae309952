// The control stand-in on its own: identity, member table, closed answers and failed opens.

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "common/com/dispatch_call.h"
#include "common/opos.h"
#include "tests/support/control_object.h"
#include "tests/support/profile_fixture.h"
#include "tests/tools/control_under_test.h"

namespace ka::test {
namespace {

constexpr char kNoProfile[] = "Tools No Such Scale";
constexpr char kProfiled[] = "Tools Profiled Scale";

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(apartment_.result(), S_OK) << HrText(apartment_.result());
        ASSERT_TRUE(control_.CreateStandIn());
    }

    ComApartment apartment_;
    ControlUnderTest control_;
};

// The dispatch interface of the standard's control object, as its own type library describes it:
// the one that has ReadWeight. Null where the run registered no such control object.
ka::com::ComPtr<ITypeInfo> StandardControlInterface() {
    ka::com::ComPtr<ITypeInfo> found;
    if (!StandardControlRegistered()) return found;
    ka::com::ComPtr<ITypeLib> library;
    if (FAILED(LoadTypeLibEx(RegisteredServer(control::kClsidText).c_str(), REGKIND_NONE, library.put()))) return found;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        TYPEKIND kind = TKIND_MAX;
        ka::com::ComPtr<ITypeInfo> info;
        if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_DISPATCH ||
            FAILED(library->GetTypeInfo(i, info.put()))) {
            continue;
        }
        LPOLESTR name = const_cast<LPOLESTR>(L"ReadWeight");
        MEMBERID id = MEMBERID_NIL;
        if (SUCCEEDED(info->GetIDsOfNames(&name, 1, &id))) return info;
    }
    return found;
}

// The members applications call carry the names and identifiers of the standard's control
// object, as its type library gives them.
TEST_F(StandInTest, MembersCarryTheStandardControlObjectsIdentifiers) {
    const ka::com::ComPtr<ITypeInfo> standard = StandardControlInterface();
    if (!standard) GTEST_SKIP() << "the standard's control object is not registered in this prefix";
    for (const wchar_t* member : {L"Open", L"ClaimDevice", L"DeviceEnabled", L"CheckHealth", L"Close",
                                  L"ReleaseDevice", L"ReadWeight", L"ZeroScale", L"ClearInput", L"ResultCode",
                                  L"AsyncMode", L"DataEventEnabled", L"FreezeEvents", L"CheckHealthText"}) {
        SCOPED_TRACE(std::string(member, member + wcslen(member)));
        LPOLESTR name = const_cast<LPOLESTR>(member);
        MEMBERID expected = MEMBERID_NIL;
        ASSERT_EQ(standard->GetIDsOfNames(&name, 1, &expected), S_OK) << "not a member of the standard's";
        HRESULT hr = E_FAIL;
        EXPECT_EQ(control_.IdOf(member, &hr), expected) << HrText(hr);
    }
    HRESULT hr = E_FAIL;
    control_.IdOf(L"claim", &hr);
    EXPECT_EQ(hr, S_OK) << "the older name of ClaimDevice, in any casing: " << HrText(hr);
    for (const wchar_t* name : {L"SOData", L"SODirectIO", L"SOError", L"SOStatusUpdate"}) {
        control_.IdOf(name, &hr);
        EXPECT_EQ(hr, S_OK) << "event request method must be bound by name: " << HrText(hr);
    }
    control_.IdOf(L"NoSuchMember", &hr);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME) << HrText(hr);
}

TEST_F(StandInTest, EveryMemberAnswersClosedBeforeOpen) {
    EXPECT_EQ(control_.ResultCode(), opos::OPOS_E_CLOSED);
    EXPECT_EQ(control_.Claim(500), opos::OPOS_E_CLOSED);
    EXPECT_EQ(control_.ReleaseDevice(), opos::OPOS_E_CLOSED);
    EXPECT_EQ(control_.CheckHealth(opos::OPOS_CH_INTERNAL), opos::OPOS_E_CLOSED);
    EXPECT_EQ(control_.ZeroScale(), opos::OPOS_E_CLOSED);
    EXPECT_EQ(control_.Close(), opos::OPOS_E_CLOSED);
    long weight = 777;
    EXPECT_EQ(control_.ReadWeight(&weight, 500), opos::OPOS_E_CLOSED);
    EXPECT_EQ(weight, 777);

    control_.PutBool(opos::control::kDeviceEnabled, true);
    EXPECT_EQ(control_.ResultCode(), opos::OPOS_E_CLOSED);
    EXPECT_FALSE(control_.GetBool(opos::control::kDeviceEnabled));
    EXPECT_FALSE(control_.GetBool(control::kAsyncMode));
    EXPECT_EQ(control_.GetText(control::kCheckHealthText), "");
}

TEST_F(StandInTest, AdministratorsArgumentFormsAreAccepted) {
    // The administrator passes Claim's timeout as a 16-bit integer.
    VARIANT timeout;
    VariantInit(&timeout);
    V_VT(&timeout) = VT_I2;
    V_I2(&timeout) = 500;
    EXPECT_EQ(control_.CallLong(control_.IdOf(L"Claim"), std::move(CallArgs().Variant(timeout))), opos::OPOS_E_CLOSED);
}

TEST_F(StandInTest, MalformedCallsAreRefusedWithAutomationErrors) {
    CallOutcome byValue = control_.Invoke(opos::control::kReadWeight, std::move(CallArgs().Long(0).Long(500)));
    EXPECT_EQ(byValue.hr, DISP_E_TYPEMISMATCH) << HrText(byValue.hr);
    EXPECT_EQ(byValue.argError, 1u) << "the weight is the first of two arguments, last first";

    CallOutcome missing = control_.Invoke(opos::control::kOpen);
    EXPECT_EQ(missing.hr, DISP_E_BADPARAMCOUNT) << HrText(missing.hr);

    CallOutcome unknown = control_.Invoke(9999);
    EXPECT_EQ(unknown.hr, DISP_E_MEMBERNOTFOUND) << HrText(unknown.hr);

    // ResultCode has no writer.
    HRESULT hr = ka::com::InvokeByDispid(control_.get(), control::kResultCode, DISPATCH_PROPERTYPUT,
                                         {ka::com::LongArg(0)}, nullptr);
    EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND) << HrText(hr);
}

TEST_F(StandInTest, OpenWithoutAProfileAnswersNoExist) {
    EXPECT_EQ(control_.Open(kNoProfile), opos::OPOS_E_NOEXIST);
    EXPECT_EQ(control_.ResultCode(), opos::OPOS_E_NOEXIST);
    EXPECT_EQ(control_.Claim(500), opos::OPOS_E_CLOSED) << "a failed Open leaves the control closed";
    EXPECT_EQ(control_.Open(""), opos::OPOS_E_NOEXIST);
    EXPECT_EQ(control_.Open("Scale\\..\\Tools"), opos::OPOS_E_NOEXIST) << "a path is no device name";
}

TEST_F(StandInTest, OpenOfAProfileNamingNoServiceObjectAnswersNoExistOrNoService) {
    ProfileFixture profiles;
    profiles.SetDeviceString(kProfiled, "SerialPort", "COM1");
    EXPECT_EQ(control_.Open(kProfiled), opos::OPOS_E_NOEXIST) << "a profile without its default value";

    profiles.SetDeviceString(kProfiled, "", "KolvaneAris.NoSuchService");
    EXPECT_EQ(control_.Open(kProfiled), opos::OPOS_E_NOSERVICE) << "an unregistered ProgID";

    profiles.SetDeviceString(kProfiled, "", "KolvaneAris.OposScaleStandIn");
    EXPECT_EQ(control_.Open(kProfiled), opos::OPOS_E_NOSERVICE) << "a class that has no OpenService";
    EXPECT_EQ(control_.ResultCode(), opos::OPOS_E_NOSERVICE);
}

}  // namespace
}  // namespace ka::test
