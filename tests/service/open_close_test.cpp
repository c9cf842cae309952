// OpenService and Close as the control object calls them, and what they leave in the log.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "service/scale_trm07.h"
#include "tests/service/frame_fixture.h"

namespace ka::test {
namespace {

std::string PointerText(const void* p) {
    return std::to_string(static_cast<long>(reinterpret_cast<std::intptr_t>(p)));
}

size_t CountOf(const Lines& lines, const std::string& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

class OpenCloseTest : public ServiceTest {};

TEST_F(OpenCloseTest, OpenWithoutControlObjectLogsEntryArgumentsAndProfile) {
    WriteProfile("OpenScale", "COM4");
    ScaleClient scale = NewScale();
    ASSERT_EQ(scale.OpenService(kScaleClass, "OpenScale", nullptr), 0);

    const auto entries = ReadLogEntries(logPath_);
    const auto enter = std::find_if(entries.begin(), entries.end(),
                                    [](const LogEntry& e) { return e.message == "ENTER [OpenService]."; });
    ASSERT_NE(enter, entries.end());
    const std::vector<LogEntry> expected = {
        {"OpenScale", "Main Thread", "Funct Trace (3)", "ENTER [OpenService]."},
        {"OpenScale", "Main Thread", "Data Flow   (4)", "  * DeviceClass = [Scale]."},
        {"OpenScale", "Main Thread", "Data Flow   (4)", "  * DeviceName  = [OpenScale]."},
        {"OpenScale", "Main Thread", "Data Flow   (4)", "  * pDispatch   = [0]."},
        {"OpenScale", "Main Thread", "Information (2)", "Device Profile:  Serial Port  = [COM4]."},
        {"OpenScale", "Main Thread", "Information (2)", "Device Profile:  Model Number = [TRM-07]."},
        {"OpenScale", "Main Thread", "Funct Trace (3)", "LEAVE [OpenService]."},
    };
    ASSERT_EQ(static_cast<size_t>(entries.end() - enter), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const LogEntry& got = *(enter + static_cast<std::ptrdiff_t>(i));
        EXPECT_EQ(got.message, expected[i].message);
        EXPECT_EQ(got.level, expected[i].level) << got.message;
        EXPECT_EQ(got.category, expected[i].category) << got.message;
        EXPECT_EQ(got.name, expected[i].name) << got.message;
    }
    EXPECT_EQ(scale.ResultCode(), 0);
    EXPECT_EQ(scale.GetPropertyNumber(opos::pidx::kResultCodeExtended), 0);
}

TEST_F(OpenCloseTest, OpenWithControlObjectBindsTheFourEventRequestsInOrder) {
    WriteProfile("OpenScale", "COM4");
    RecordingControlObject control;
    ScaleClient scale = NewScale();
    ASSERT_EQ(scale.OpenService(kScaleClass, "OpenScale", &control), 0);
    EXPECT_EQ(control.AskedNames(), (Lines{"SOData", "SODirectIO", "SOError", "SOStatusUpdate"}));
    EXPECT_TRUE(control.Calls().empty());
    const Lines messages = Messages(ReadLogEntries(logPath_));
    EXPECT_EQ(CountOf(messages, "  * pDispatch   = [" + PointerText(&control) + "]."), 1u);
    EXPECT_EQ(control.ExtraReferences(), 0) << "the control object is held without a reference";
    scale.reset();
    EXPECT_EQ(control.ExtraReferences(), 0);
}

TEST_F(OpenCloseTest, OpenOnADeviceWithoutProfileUsesTheDefaults) {
    // Only the shared log file is configured; the device key does not exist.
    profiles_.SetProviderString("LogFile", logPath_ = TempLogPath("frame"));
    ScaleClient scale = NewScale();
    ASSERT_EQ(scale.OpenService(kScaleClass, "NoSuchScale", nullptr), 0);
    const Lines messages = Messages(ReadLogEntries(logPath_));
    // The default verbosity is 2: the profile lines are written, entry and leave lines are not.
    EXPECT_EQ(CountOf(messages, "Device Profile:  Serial Port  = [COM1]."), 1u);
    EXPECT_EQ(CountOf(messages, "Device Profile:  Model Number = [(Generic)]."), 1u);
    EXPECT_EQ(CountOf(messages, "ENTER [OpenService]."), 0u);
    EXPECT_EQ(scale.ResultCode(), 0);
}

TEST_F(OpenCloseTest, SecondOpenRepeatsEveryStepAndAnswersAsTheFirst) {
    WriteProfile("OpenScale", "COM4");
    RecordingControlObject control;
    ScaleClient scale = NewScale();
    ASSERT_EQ(scale.OpenService(kScaleClass, "OpenScale", &control), 0);
    const size_t mark = LogSize();
    ASSERT_EQ(scale.OpenService(kScaleClass, "OpenScale", &control), 0);
    const Lines again = LogSince(mark);
    EXPECT_EQ(CountOf(again, "-=-=-=-=[ Kolvane-Aris Scale STARTING UP ]=-=-=-=-"), 1u);
    EXPECT_EQ(CountOf(again, "ENTER [OpenService]."), 1u);
    EXPECT_EQ(CountOf(again, "LEAVE [OpenService]."), 1u);
    EXPECT_EQ(control.AskedNames().size(), 8u);
    for (const auto& entry : ReadLogEntries(logPath_)) EXPECT_EQ(entry.category, "Main Thread") << entry.message;
    EXPECT_EQ(scale.Claim(0), 0) << "the claim lock of the second open works";
    EXPECT_EQ(scale.Close(), 0);
}

TEST_F(OpenCloseTest, RepeatedOpensReuseNoStaleSlotAndLeakNoLogStream) {
    // Far more opens than a process has thread-local slots or C streams: a leak of either
    // would lose the category or the file well before the last open.
    WriteProfile("OpenScale", "COM4", 2);
    ScaleClient scale = NewScale();
    constexpr int kOpens = 1200;
    for (int i = 0; i < kOpens; ++i) ASSERT_EQ(scale.OpenService(kScaleClass, "OpenScale", nullptr), 0) << i;
    const auto entries = ReadLogEntries(logPath_);
    size_t profileLines = 0;
    for (const auto& entry : entries) {
        if (entry.message != "Device Profile:  Serial Port  = [COM4].") continue;
        ++profileLines;
        EXPECT_EQ(entry.category, "Main Thread");
    }
    EXPECT_EQ(profileLines, static_cast<size_t>(kOpens));
}

TEST_F(OpenCloseTest, ControlObjectWithoutStatusUpdateFailsTheOpen) {
    WriteProfile("OpenScale", "COM4");
    RecordingControlObject control({"SOData", "SODirectIO", "SOError"});
    ScaleClient scale = NewScale();
    EXPECT_EQ(scale.OpenService(kScaleClass, "OpenScale", &control), 104);
    EXPECT_EQ(control.AskedNames(), (Lines{"SOData", "SODirectIO", "SOError", "SOStatusUpdate"}));
    const Lines messages = Messages(ReadLogEntries(logPath_));
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(Lines(messages.end() - 3, messages.end()),
              (Lines{"Failed to bind to CO Event Request Method [SOStatusUpdate].",
                     "Routine returned unsuccessful result [OpenService] [104].", "LEAVE [OpenService]."}));
    EXPECT_EQ(scale.ResultCode(), 104);
    EXPECT_EQ(scale.GetPropertyNumber(opos::pidx::kResultCodeExtended), 0);
}

TEST_F(OpenCloseTest, FailedBindingDetachesTheLinkAndKeepsTheDispidsBoundBeforeIt) {
    WriteProfile("OpenScale", "COM4");
    RecordingControlObject control({"SOData", "SODirectIO", "SOError"});
    auto* scale = new pendrax::CScaleTRM07();
    EXPECT_EQ(scale->OpenService(kScaleClass, "OpenScale", &control), 104);
    const pendrax::ControlObjectLink& link = scale->State().link;
    EXPECT_EQ(link.dispatch, nullptr);
    EXPECT_EQ(link.dispids[pendrax::kSOData], control.DispidOf("SOData"));
    EXPECT_EQ(link.dispids[pendrax::kSODirectIO], control.DispidOf("SODirectIO"));
    EXPECT_EQ(link.dispids[pendrax::kSOError], control.DispidOf("SOError"));
    EXPECT_EQ(link.dispids[pendrax::kSOStatusUpdate], DISPID_UNKNOWN);
    EXPECT_FALSE(scale->State().open);
    scale->Release();
}

TEST_F(OpenCloseTest, ClaimLockThatCannotBeCreatedFailsTheOpenWithoutEntryLine) {
    // An object of another kind already holds the claim mutex's name.
    WriteProfile("OpenScale", "FRAMEBLOCKED");
    ka::UniqueHandle squatter(CreateEventA(nullptr, TRUE, FALSE, "KA-Scale-Claim-FRAMEBLOCKED"));
    ASSERT_TRUE(squatter);
    RecordingControlObject control;
    ScaleClient scale = NewScale();
    EXPECT_EQ(scale.OpenService(kScaleClass, "OpenScale", &control), 104);

    const Lines messages = Messages(ReadLogEntries(logPath_));
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(Lines(messages.end() - 3, messages.end()),
              (Lines{"Failed to load Device Profile registry settings.",
                     "Routine returned unsuccessful result [OpenService] [104].", "LEAVE [OpenService]."}));
    EXPECT_EQ(CountOf(messages, "ENTER [OpenService]."), 0u);
    EXPECT_TRUE(control.AskedNames().empty()) << "nothing is bound when loading fails";
    EXPECT_EQ(scale.ResultCode(), 104);
    EXPECT_EQ(scale.GetPropertyNumber(opos::pidx::kResultCodeExtended), 0);
    // Without a claim lock every gated method answers 102.
    EXPECT_EQ(scale.Claim(0), 102);
}

TEST_F(OpenCloseTest, GatedMethodsBeforeOpenAnswerClaimedBySomeoneElse) {
    ScaleClient scale = NewScale();
    EXPECT_EQ(scale.Claim(0), 102);
    EXPECT_EQ(scale.ResultCode(), 102);
    EXPECT_EQ(scale.ReleaseDevice(), 102);
    long weight = 0;
    EXPECT_EQ(scale.ReadWeight(&weight, 0), 102);
}

TEST_F(OpenCloseTest, CloseTwiceAnswersZeroAndLogsOnlyItsOwnLinesTheSecondTime) {
    WriteProfile("OpenScale", "COM4");
    ScaleClient scale = OpenedScale("OpenScale");
    size_t mark = LogSize();
    EXPECT_EQ(scale.Close(), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [Close].", "LEAVE [Close].", kShutdownBanner}));
    mark = LogSize();
    EXPECT_EQ(scale.Close(), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [Close].", "LEAVE [Close].", kShutdownBanner}));
    EXPECT_EQ(scale.ResultCode(), 0);
}

TEST_F(OpenCloseTest, CloseDisablesReleasesAndAnswersZeroWhateverCameBefore) {
    WriteProfile("OpenScale", "COM4");
    ScaleClient scale = EnabledScale("OpenScale");
    ASSERT_TRUE(scale);
    EXPECT_EQ(scale.GetPropertyNumber(5), 0);  // leaves ResultCode at 106
    const size_t mark = LogSize();
    EXPECT_EQ(scale.Close(), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [Close].", "Device disabled successfully.", "ENTER [ReleaseDevice].",
                                     "LEAVE [ReleaseDevice].", "LEAVE [Close].", kShutdownBanner}));
    EXPECT_EQ(scale.ResultCode(), 0);
    EXPECT_EQ(scale.GetPropertyNumber(opos::pidx::kClaimed), 0);
    EXPECT_EQ(scale.GetPropertyNumber(opos::pidx::kDeviceEnabled), 0);

    // Closed, the instance can be opened again.
    EXPECT_EQ(scale.OpenService(kScaleClass, "OpenScale", nullptr), 0);
    EXPECT_EQ(scale.Claim(0), 0);
}

TEST_F(OpenCloseTest, CloseOnAnotherThreadThanTheClaimGivesTheClaimBack) {
    WriteProfile("OpenScale", "COM4");
    ScaleClient scale = OpenedScale("OpenScale");
    ASSERT_EQ(scale.Claim(0), 0);
    EXPECT_EQ(OnOtherThread(scale.get(), [](const ScaleClient& other) { return other.Close(); }), 0);
    const Lines messages = Messages(ReadLogEntries(logPath_));
    EXPECT_EQ(CountOf(messages, "LEAVE [ReleaseDevice]."), 1u);
    EXPECT_EQ(CountOf(messages, "Routine returned unsuccessful result [ReleaseDevice] [102]."), 0u);
    EXPECT_EQ(scale.ReleaseDevice(), 103) << "nothing is claimed any more";
    // Closed, it claims only once opened again.
    EXPECT_EQ(OnOtherThread(scale.get(), [](const ScaleClient& other) {
                  if (other.OpenService(kScaleClass, "OpenScale", nullptr) != 0) return -1L;
                  const long claimed = other.Claim(0);
                  other.Close();
                  return claimed;
              }),
              0)
        << "the claim is free for another thread";
}

}  // namespace
}  // namespace ka::test
