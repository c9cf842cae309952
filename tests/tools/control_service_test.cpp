// The control object (the standard's or the stand-in, as the run selects) driving the service
// object, with the simulated scale on the far end of a cable.

#include <gtest/gtest.h>

#include "common/opos.h"
#include "tests/support/cables.h"
#include "tests/support/profile_fixture.h"
#include "tests/tools/control_under_test.h"
#include "tools/trm07sim/scale_simulator.h"

namespace ka::test {
namespace {

constexpr CableScale kScale{"Tools End To End Scale", Cable{4}, 12345};
constexpr long kClaimMs = 1000;
constexpr long kReadMs = 2000;
constexpr long kEventWaitMs = 8000;

class ControlServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(apartment_.result(), S_OK) << HrText(apartment_.result());
        const std::string unavailable = UseSelectedControl();
        ASSERT_EQ(unavailable, "") << ControlName(SelectedControl());
        logFile_ = TempLogPath("tools-e2e");
        profiles_.WriteCableProfile(kScale.device, kScale.cable.deviceSide(), logFile_);
        ASSERT_TRUE(control_.Create());
        ASSERT_TRUE(control_.Connect(sink_));
    }

    void TearDown() override {
        control_.LetGo();  // closes the service object if a failed assertion left it open
        DeleteFileA(logFile_.c_str());
    }

    void StartScale() {
        scale_.SetWeight(kScale.weight);
        DWORD error = scale_.Open(kScale.cable.scaleSide(), trm07::kPseudoTerminalLine);
        ASSERT_EQ(error, 0u) << "simulator on " << kScale.cable.scaleSide() << ": error " << error;
    }

    void OpenClaimEnable() {
        ASSERT_EQ(control_.Open(kScale.device), opos::OPOS_SUCCESS);
        ASSERT_EQ(control_.Claim(kClaimMs), opos::OPOS_SUCCESS);
        control_.PutBool(opos::control::kDeviceEnabled, true);
        ASSERT_EQ(control_.ResultCode(), opos::OPOS_SUCCESS);
        ASSERT_TRUE(control_.GetBool(opos::control::kDeviceEnabled));
    }

    void UseAsyncReads() {
        control_.PutBool(control::kAsyncMode, true);
        control_.PutBool(control::kDataEventEnabled, true);
        ASSERT_TRUE(control_.GetBool(control::kAsyncMode));
    }

    ComApartment apartment_;
    ka::com::ApplicationEvents sink_;
    ProfileFixture profiles_;
    std::string logFile_;
    trm07::ScaleSimulator scale_;
    ControlUnderTest control_;
};

TEST_F(ControlServiceTest, OpenClaimEnableReleaseClose) {
    OpenClaimEnable();
    EXPECT_EQ(control_.ReleaseDevice(), opos::OPOS_SUCCESS);
    EXPECT_FALSE(control_.GetBool(opos::control::kDeviceEnabled)) << "releasing disables";
    EXPECT_EQ(control_.Close(), opos::OPOS_SUCCESS);
    EXPECT_EQ(control_.Claim(kClaimMs), opos::OPOS_E_CLOSED) << "closed again after Close";
    EXPECT_EQ(control_.Open(kScale.device), opos::OPOS_SUCCESS) << "and it opens again";
    EXPECT_EQ(control_.Open(kScale.device), opos::OPOS_E_ILLEGAL) << "but not twice";
    EXPECT_EQ(control_.Close(), opos::OPOS_SUCCESS);
}

TEST_F(ControlServiceTest, ReadsZeroesAndChecksHealthThroughTheServiceObject) {
    StartScale();
    OpenClaimEnable();
    long weight = 0;
    EXPECT_EQ(control_.ReadWeight(&weight, kReadMs), opos::OPOS_SUCCESS);
    EXPECT_EQ(weight, kScale.weight);
    EXPECT_EQ(control_.ZeroScale(), opos::OPOS_SUCCESS);
    EXPECT_EQ(control_.CheckHealth(opos::OPOS_CH_INTERNAL), opos::OPOS_SUCCESS);
    EXPECT_EQ(control_.GetText(control::kCheckHealthText), "Internal HCheck: Successful");
    EXPECT_EQ(control_.CheckHealth(opos::OPOS_CH_EXTERNAL), opos::OPOS_SUCCESS);
    EXPECT_EQ(control_.GetText(control::kCheckHealthText), "External HCkeck: Successful");

    control_.PutBool(opos::control::kDeviceEnabled, false);
    EXPECT_FALSE(control_.GetBool(opos::control::kDeviceEnabled));
    EXPECT_EQ(control_.ReadWeight(&weight, kReadMs), opos::OPOS_E_DISABLED);
    EXPECT_EQ(control_.ReleaseDevice(), opos::OPOS_SUCCESS);
    EXPECT_EQ(control_.Close(), opos::OPOS_SUCCESS);
}

TEST_F(ControlServiceTest, AnAsyncReadArrivesAsADataEvent) {
    StartScale();
    OpenClaimEnable();
    UseAsyncReads();
    long untouched = -1;
    EXPECT_EQ(control_.ReadWeight(&untouched, kReadMs), opos::OPOS_SUCCESS);
    ASSERT_TRUE(AwaitEvents(sink_, 1, kEventWaitMs)) << "no event within " << kEventWaitMs << " ms";
    const auto events = sink_.Events();
    EXPECT_EQ(events[0].kind, control::kDataEvent);
    EXPECT_EQ(events[0].value, kScale.weight);
    EXPECT_EQ(events[0].thread, GetCurrentThreadId()) << "the event runs on the application's thread";
    EXPECT_EQ(untouched, -1) << "an asynchronous read leaves the weight argument alone";
    EXPECT_EQ(control_.Close(), opos::OPOS_SUCCESS) << "Close disables and releases";
}

TEST_F(ControlServiceTest, AnAsyncReadOfASilentScaleArrivesAsAnErrorEvent) {
    StartScale();
    scale_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
    OpenClaimEnable();
    UseAsyncReads();
    long weight = 0;
    EXPECT_EQ(control_.ReadWeight(&weight, 0), opos::OPOS_SUCCESS);
    ASSERT_TRUE(AwaitEvents(sink_, 1, kEventWaitMs)) << "no event within " << kEventWaitMs << " ms";
    const auto events = sink_.Events();
    EXPECT_EQ(events[0].kind, control::kErrorEvent);
    EXPECT_EQ(events[0].value, opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(control_.Close(), opos::OPOS_SUCCESS);
}

}  // namespace
}  // namespace ka::test
