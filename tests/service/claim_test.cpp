// Claim, release and enabling, across threads, instances and processes.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/opos.h"
#include "common/unique_handle.h"
#include "tests/service/frame_fixture.h"
#include "tests/support/cables.h"

namespace ka::test {
namespace {

class ClaimTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        WriteProfile("ClaimScale", "COM5");
        scale_ = OpenedScale("ClaimScale");
        ASSERT_TRUE(scale_);
    }
    ScaleClient scale_;
};

TEST_F(ClaimTest, ClaimTwiceOnOneThreadAnswersZeroBothTimes) {
    size_t mark = LogSize();
    EXPECT_EQ(scale_.Claim(500), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [Claim].", "  * Timeout = [500].", "LEAVE [Claim]."}));
    mark = LogSize();
    EXPECT_EQ(scale_.Claim(-1), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [Claim].", "  * Timeout = [-1].", "Device has *already* been claimed by me.",
                                     "LEAVE [Claim]."}));
    const auto entries = ReadLogEntries(logPath_);
    const auto already = std::find_if(entries.begin(), entries.end(), [](const LogEntry& e) {
        return e.message == "Device has *already* been claimed by me.";
    });
    ASSERT_NE(already, entries.end());
    EXPECT_EQ(already->level, "Significant (1)");
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kClaimed), 1);
    EXPECT_EQ(scale_.ReleaseDevice(), 0);
}

TEST_F(ClaimTest, AnotherThreadOfTheApplicationFindsTheDeviceClaimed) {
    ASSERT_EQ(scale_.Claim(0), 0);
    const size_t mark = LogSize();
    EXPECT_EQ(OnOtherThread(scale_.get(), [](const ScaleClient& s) { return s.Claim(-1); }), 102);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [Claim].", "  * Timeout = [-1].", "Device is claimed by someone else.",
                                     "Routine returned unsuccessful result [Claim] [102].", "LEAVE [Claim]."}));
    EXPECT_EQ(OnOtherThread(scale_.get(), [](const ScaleClient& s) { return s.ReleaseDevice(); }), 102);
    EXPECT_EQ(OnOtherThread(scale_.get(), [](const ScaleClient& s) { return s.SetDeviceEnabled(true); }), 102);
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kDeviceEnabled), 0) << "a refused enable leaves the port closed";
    // Lines written on a thread that never opened the device carry no category.
    for (const auto& entry : ReadLogEntries(logPath_)) {
        if (entry.message == "Device is claimed by someone else.") {
            EXPECT_EQ(entry.category, "");
        }
    }
    EXPECT_EQ(scale_.ReleaseDevice(), 0);
}

TEST_F(ClaimTest, AnotherProcessHoldingThePortsClaimAnswersClaimedWithoutWaiting) {
    // A second device name on the same port shares the claim.
    WriteProfile("ClaimScale2", "COM5");
    ClaimHolder holder("ClaimScale2");
    ASSERT_TRUE(holder.WaitUntilAsked()) << "the holder did not start";

    const ULONGLONG before = GetTickCount64();
    EXPECT_EQ(scale_.Claim(-1), 102);
    EXPECT_EQ(scale_.Claim(1000), 102);
    EXPECT_LT(GetTickCount64() - before, 1000u) << "the probe answers before any wait";
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kClaimed), 0);

    EXPECT_EQ(holder.Quit(), 0) << "the holder's own claim";
    EXPECT_EQ(scale_.Claim(0), 0) << "the holder gave the claim back when it closed";
    EXPECT_EQ(scale_.ReleaseDevice(), 0);
}

TEST_F(ClaimTest, TwoInstancesOnOneThreadSharingAPortBothClaim) {
    WriteProfile("ClaimScale2", "COM5");
    ScaleClient second = OpenedScale("ClaimScale2");
    EXPECT_EQ(scale_.Claim(0), 0);
    EXPECT_EQ(second.Claim(0), 0) << "the lock belongs to the thread, so the second probe and wait pass";
    EXPECT_EQ(second.ReleaseDevice(), 0);
    EXPECT_EQ(scale_.ReleaseDevice(), 0);
    EXPECT_EQ(OnOtherThread(scale_.get(), [](const ScaleClient& s) {
                  const long claimed = s.Claim(0);
                  s.ReleaseDevice();
                  return claimed;
              }),
              0)
        << "both releases together gave the lock back";
}

TEST_F(ClaimTest, ReleasingAnUnclaimedDeviceAnswersNotClaimed) {
    const size_t mark = LogSize();
    EXPECT_EQ(scale_.ReleaseDevice(), 103);
    const Lines expected{"ENTER [ReleaseDevice].", "Device is not claimed by me.",
                         "Routine returned unsuccessful result [ReleaseDevice] [103].", "LEAVE [ReleaseDevice]."};
    EXPECT_EQ(LogSince(mark), expected);
    EXPECT_EQ(scale_.ResultCode(), 103);
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kResultCodeExtended), 0);

    // Release is ReleaseDevice under another DISPID, lines and routine name included.
    const size_t releaseMark = LogSize();
    EXPECT_EQ(scale_.Release(), 103);
    EXPECT_EQ(LogSince(releaseMark), expected);
}

TEST_F(ClaimTest, ReleaseLogsExactlyWhatReleaseDeviceLogs) {
    ASSERT_EQ(scale_.Claim(0), 0);
    const size_t mark = LogSize();
    EXPECT_EQ(scale_.Release(), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [ReleaseDevice].", "LEAVE [ReleaseDevice]."}));
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kClaimed), 0);
}

TEST_F(ClaimTest, ReleasingAnEnabledDeviceClosesThePortFirst) {
    ASSERT_EQ(scale_.Claim(0), 0);
    ASSERT_EQ(scale_.SetDeviceEnabled(true), 0);
    const size_t mark = LogSize();
    EXPECT_EQ(scale_.ReleaseDevice(), 0);
    EXPECT_EQ(LogSince(mark),
              (Lines{"ENTER [ReleaseDevice].", "Device disabled successfully.", "LEAVE [ReleaseDevice]."}));
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kDeviceEnabled), 0);
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kClaimed), 0);
}

TEST_F(ClaimTest, EnablingAnUnclaimedDeviceAnswersNotClaimedAndLeavesThePortAlone) {
    const size_t mark = LogSize();
    EXPECT_EQ(scale_.SetDeviceEnabled(true), 103);
    EXPECT_EQ(LogSince(mark), (Lines{"Device is not claimed by me.",
                                     "Routine returned unsuccessful result [SetPropertyNumber(DeviceEnabled)] [103].",
                                     "LEAVE [SetPropertyNumber(DeviceEnabled)]."}));
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kDeviceEnabled), 0);
}

TEST_F(ClaimTest, EnablingTwiceOpensThePortOnce) {
    ASSERT_EQ(scale_.Claim(0), 0);
    const size_t mark = LogSize();
    EXPECT_EQ(scale_.SetDeviceEnabled(true), 0);
    EXPECT_EQ(scale_.SetDeviceEnabled(true), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"Device enabled successfully.", "LEAVE [SetPropertyNumber(DeviceEnabled)].",
                                     "LEAVE [SetPropertyNumber(DeviceEnabled)]."}));
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kDeviceEnabled), 1);

    const size_t disableMark = LogSize();
    EXPECT_EQ(scale_.SetDeviceEnabled(false), 0);
    EXPECT_EQ(scale_.SetDeviceEnabled(false), 0);
    EXPECT_EQ(LogSince(disableMark), (Lines{"Device disabled successfully.", "LEAVE [SetPropertyNumber(DeviceEnabled)].",
                                            "LEAVE [SetPropertyNumber(DeviceEnabled)]."}));
    EXPECT_EQ(scale_.ReleaseDevice(), 0);
}

TEST_F(ClaimTest, AnyNonzeroNumberEnables) {
    ASSERT_EQ(scale_.Claim(0), 0);
    scale_.SetPropertyNumber(opos::pidx::kDeviceEnabled, -7);
    EXPECT_EQ(scale_.ResultCode(), 0);
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kDeviceEnabled), 1);
    EXPECT_EQ(scale_.ReleaseDevice(), 0);
}

TEST_F(ClaimTest, DisablingAnUnclaimedDisabledDeviceSetsResultCodeZero) {
    EXPECT_EQ(scale_.GetPropertyNumber(5), 0);
    ASSERT_EQ(scale_.ResultCode(), 106);
    EXPECT_EQ(scale_.SetDeviceEnabled(false), 0);
}

// Closed, the device cannot be claimed: a claim taken then would outlive the session that gives
// it back, and the port would stay claimed for every application until this process ends.
TEST_F(ClaimTest, ClaimAfterCloseAnswersClosedAndLeavesThePortFree) {
    ASSERT_EQ(scale_.Close(), 0);
    const size_t mark = LogSize();
    EXPECT_EQ(scale_.Claim(0), opos::OPOS_E_CLOSED);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [Claim].", "  * Timeout = [0].",
                                     "Device is closed; it cannot be claimed until it is opened again.",
                                     "Routine returned unsuccessful result [Claim] [101].", "LEAVE [Claim]."}));
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_CLOSED);
    scale_.reset();
    EXPECT_EQ(ClaimInAnotherProcess("ClaimScale"), 0) << "the closed instance left the port claimed";
}

TEST_F(ClaimTest, EnablingOnAMissingPortAnswersNoService) {
    WriteProfile("ClaimMissing", kMissingPort);
    ScaleClient missing = OpenedScale("ClaimMissing");
    ASSERT_EQ(missing.Claim(0), 0);
    EXPECT_EQ(missing.SetDeviceEnabled(true), 104);
    EXPECT_EQ(missing.GetPropertyNumber(opos::pidx::kDeviceEnabled), 0);
    EXPECT_EQ(missing.GetPropertyNumber(opos::pidx::kClaimed), 1);
    EXPECT_EQ(missing.ReleaseDevice(), 0);
}

}  // namespace
}  // namespace ka::test
