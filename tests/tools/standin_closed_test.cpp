// The control stand-in on its own: identity, member table, closed answers and failed opens.

#include <gtest/gtest.h>

#include "common/com/dispatch_call.h"
#include "common/opos.h"
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

// The members applications call carry the standard control object's names and identifiers.
TEST_F(StandInTest, MembersCarryTheStandardControlObjectsIdentifiers) {
    const std::pair<const wchar_t*, DISPID> members[] = {
        {L"Open", control::kOpen}, {L"ClaimDevice", control::kClaimDevice}, {L"claim", control::kClaimDevice},
        {L"DeviceEnabled", control::kDeviceEnabled}, {L"CheckHealth", control::kCheckHealth},
        {L"Close", control::kClose}, {L"ReleaseDevice", control::kReleaseDevice},
        {L"ReadWeight", control::kReadWeight}, {L"ZeroScale", control::kZeroScale},
        {L"ClearInput", control::kClearInput}, {L"ResultCode", control::kResultCode},
        {L"AsyncMode", control::kAsyncMode}, {L"DataEventEnabled", control::kDataEventEnabled},
        {L"FreezeEvents", control::kFreezeEvents}, {L"CheckHealthText", control::kCheckHealthText},
    };
    for (const auto& [name, id] : members) {
        HRESULT hr = E_FAIL;
        EXPECT_EQ(control_.IdOf(name, &hr), id) << HrText(hr);
    }
    HRESULT hr = E_FAIL;
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
