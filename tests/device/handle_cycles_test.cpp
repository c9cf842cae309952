// A thousand enable, weigh and disable cycles leave no handle behind.

#include <gtest/gtest.h>

#include "device/profile_loader.h"
#include "device/scale_conversation.h"
#include "device/serial_port.h"
#include "tests/device/device_test_support.h"
#include "tests/support/cables.h"
#include "tests/support/profile_fixture.h"
#include "tools/trm07sim/scale_simulator.h"

namespace {

constexpr char kDevice[] = "dev-cycles";
const ka::test::Cable kCable{3};
constexpr int kCycles = 1000;
// Every so often the scale stays silent, so the cancelled read is counted too.
constexpr int kSilentEvery = 100;

TEST(HandleCycles, EnableReadDisableLeavesNoHandleOpen) {
    ka::test::TempLog log("device-cycles");
    ka::test::ProfileFixture profile;
    profile.WriteScaleProfile(kDevice, kCable.deviceSide(), log.path(), 2);
    for (const auto& [name, text] : ka::test::kCableLine) profile.SetDeviceString(kDevice, name, text);
    trm07::ScaleSimulator scale;
    ASSERT_EQ(scale.Open(kCable.scaleSide(), {CBR_9600, 8, NOPARITY, ONESTOPBIT}), 0u);
    scale.SetWeight(1250);
    auto device = ka::test::MakeOpeningThreadDevice();
    ASSERT_EQ(pendrax::LoadDeviceProfile(*device, ka::test::kScaleClass, kDevice), 0);

    auto cycle = [&](int i) {
        if (i % kSilentEvery == kSilentEvery - 1) scale.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
        long weight = 0, status = 0, comm = 0;
        const long opened = pendrax::SetPortOpen(*device, true);
        const long read = pendrax::ReadScale(*device, weight, status, comm);
        pendrax::SetPortOpen(*device, false);
        return opened == 0 && (read == 0 ? weight == 1250 : comm == opos::OPOS_E_ILLEGAL);
    };
    // The first cycle settles what the system allocates once per process. A cycle opens the port
    // (a file) and events: handles of other kinds the platform's threads close or open meanwhile
    // do not count.
    const auto cycleKinds = {L"File", L"Event"};
    ASSERT_TRUE(cycle(0));
    const unsigned long before = ka::test::OpenHandleCount(cycleKinds);
    ASSERT_GT(before, 0u) << "the process's handles could not be listed";

    int failed = 0;
    for (int i = 1; i <= kCycles; ++i) {
        if (!cycle(i)) ++failed;
    }
    const unsigned long after = ka::test::OpenHandleCount(cycleKinds);
    EXPECT_EQ(failed, 0);
    EXPECT_LE(after, before) << "files and events open before " << before << ", after " << after;
    EXPECT_EQ(scale.Requests(), kCycles + 1);
}

}  // namespace
