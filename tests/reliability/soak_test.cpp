// Thousands of full device cycles and hundreds of instances in one process: the handle count
// and the private memory stay level once the first cycles have set up what a process keeps.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/reliability/counting_control_object.h"
#include "tests/reliability/process_footprint.h"
#include "tests/reliability/raw_port.h"
#include "tests/reliability/reliability_fixture.h"

namespace ka::test {
namespace {

constexpr char kDevice[] = "ReliabSoak";
constexpr Cable kCable{6};
constexpr int kDeviceCycles = 2000;
constexpr int kInstanceCycles = 200;
constexpr int kWarmUpCycles = 20;
// What may still settle after the warm-up: a few handles and a few pages of heap.
constexpr long kHandleTolerance = 8;
constexpr long long kMemoryToleranceBytes = 512 * 1024;
constexpr long kWeight = 1250;
constexpr long kReadTimeoutMs = 1000;
constexpr int kFloorConversations = 100;
// Heap the cycles may keep beyond the floor: a fixed settling allowance, and for the spread of
// the platform's own serial I/O, which keeps between about 36 and 64 bytes a conversation from
// run to run, 32 more bytes for each of a cycle's two conversations. The synchronous and the
// asynchronous read each keep no more than the floor when cycled on their own.
constexpr long long kHeapToleranceBytes = 16 * 1024;
constexpr long long kHeapSpreadPerCycle = 64;

// KA_SOAK_CYCLES shortens the run while iterating; the suite runs the full count.
int CyclesFromEnvironment(int full) {
    const char* text = std::getenv("KA_SOAK_CYCLES");
    const int cycles = text ? std::atoi(text) : 0;
    return cycles > 0 ? cycles : full;
}

// The heap that overlapped conversations on the serial port keep with nothing of the service
// object involved (Wine keeps a few dozen bytes for each): the floor of the heap's growth.
double FloorHeapBytesPerConversation(const Cable& cable) {
    RawPort port(cable.deviceSide());
    if (!port) return -1;
    for (int i = 0; i < 5; ++i) port.Converse('W', 500);
    const long long before = HeapBytesInUse();
    for (int i = 0; i < kFloorConversations; ++i) port.Converse('W', 500);
    const long long growth = HeapBytesInUse() - before;
    return growth > 0 ? static_cast<double>(growth) / kFloorConversations : 0.0;
}

struct Footprint {
    long handles;
    long long privateBytes;
    long long heapBytes;
};

Footprint Measure() { return {static_cast<long>(OpenHandleCount()), PrivateBytes(), HeapBytesInUse()}; }

void Report(const char* what, int cycles, const Footprint& start, const Footprint& end, ULONGLONG elapsedMs) {
    std::printf("[ soak     ] %s: %d cycles in %.1f s (%.1f ms each)\n", what, cycles, elapsedMs / 1000.0,
                cycles ? static_cast<double>(elapsedMs) / cycles : 0.0);
    std::printf("[ soak     ]   handles       %6ld -> %6ld\n", start.handles, end.handles);
    std::printf("[ soak     ]   private bytes %10lld -> %10lld (%+lld)\n", start.privateBytes, end.privateBytes,
                end.privateBytes - start.privateBytes);
    std::printf("[ soak     ]   heap in use   %10lld -> %10lld (%+lld)\n", start.heapBytes, end.heapBytes,
                end.heapBytes - start.heapBytes);
    std::fflush(stdout);
}

// `floorBytes`: what the platform itself keeps over the same work.
void ExpectLevel(const Footprint& start, const Footprint& end, long long floorBytes = 0) {
    EXPECT_GT(start.handles, 0) << "the handle count could not be read";
    EXPECT_LE(end.handles, start.handles + kHandleTolerance) << "handles grew";
    EXPECT_GT(start.privateBytes, 0) << "the private memory could not be read";
    EXPECT_LE(end.privateBytes, start.privateBytes + kMemoryToleranceBytes + floorBytes) << "private memory grew";
}

class SoakTest : public ReliabilityTest {
protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        if (HasFatalFailure()) return;
        StartSimulator(kCable, kWeight);
        WriteCableProfile(kDevice, kCable);
    }

    // Open, claim, enable, a synchronous and an asynchronous read, disable, release, close.
    // Counts what went wrong rather than asserting each time: failures recorded by the test
    // framework would themselves grow memory.
    int FullCycle(ScaleClient& scale) {
        int failures = 0;
        if (scale.OpenService(kScaleClass, kDevice, &events_) != 0) ++failures;
        if (scale.Claim(kClaimTimeoutMs) != 0) ++failures;
        if (scale.SetDeviceEnabled(true) != 0) ++failures;
        long weight = -1;
        if (scale.ReadWeight(&weight, kReadTimeoutMs) != 0 || weight != kWeight) ++failures;
        scale.SetPropertyNumber(opos::pidx::kAsyncMode, 1);
        if (scale.ReadWeight(&weight, kReadTimeoutMs) != 0) ++failures;
        if (!events_.WaitForEvent(kPatienceMs) || events_.LastEvent() != CountingControlObject::kSOData ||
            events_.LastValue() != kWeight) {
            ++failures;
        }
        scale.SetPropertyNumber(opos::pidx::kAsyncMode, 0);
        if (scale.SetDeviceEnabled(false) != 0) ++failures;
        if (scale.Release() != 0) ++failures;
        if (scale.Close() != 0) ++failures;
        return failures;
    }

    CountingControlObject events_;
};

TEST_F(SoakTest, FullDeviceCyclesKeepHandlesAndMemoryLevel) {
    const int cycles = CyclesFromEnvironment(kDeviceCycles);
    const double floorPerConversation = FloorHeapBytesPerConversation(kCable);
    ASSERT_GE(floorPerConversation, 0) << "the raw port could not be opened";
    ScaleClient scale = NewScale();
    ASSERT_TRUE(scale);
    int failures = 0;
    for (int i = 0; i < kWarmUpCycles; ++i) failures += FullCycle(scale);
    ASSERT_EQ(failures, 0) << "the warm-up cycles failed";
    const Footprint start = Measure();
    const ULONGLONG began = Now();
    for (int i = 0; i < cycles; ++i) failures += FullCycle(scale);
    const ULONGLONG elapsed = Now() - began;
    const Footprint end = Measure();
    Report("open/claim/enable/read/async read/disable/release/close", cycles, start, end, elapsed);
    // Two conversations a cycle, each with the floor's heap.
    const long long floorGrowth = static_cast<long long>(floorPerConversation * 2 * cycles);
    std::printf("[ soak     ]   heap floor    %+lld (%.1f bytes a conversation on the raw port, no service object)\n",
                floorGrowth, floorPerConversation);
    std::fflush(stdout);
    EXPECT_EQ(failures, 0) << "steps failed in the cycles";
    EXPECT_EQ(sim_.Requests(), 2 * (cycles + kWarmUpCycles) + kFloorConversations + 5);
    ExpectLevel(start, end, floorGrowth);
    EXPECT_LE(end.heapBytes - start.heapBytes, floorGrowth + kHeapToleranceBytes + kHeapSpreadPerCycle * cycles)
        << "heap grew beyond the floor";
}

TEST_F(SoakTest, CreatedAndReleasedInstancesKeepHandlesAndMemoryLevel) {
    const int cycles = std::min(CyclesFromEnvironment(kDeviceCycles), kInstanceCycles);
    // Created, opened, claimed and enabled, then let go while still open: the last reference
    // closes it.
    auto instanceCycle = [this]() {
        int failures = 0;
        ScaleClient scale = NewScale();
        if (!scale) return 1;
        if (scale.OpenService(kScaleClass, kDevice, &events_) != 0) ++failures;
        if (scale.Claim(kClaimTimeoutMs) != 0) ++failures;
        if (scale.SetDeviceEnabled(true) != 0) ++failures;
        return failures;
    };
    int failures = 0;
    for (int i = 0; i < kWarmUpCycles; ++i) failures += instanceCycle();
    ASSERT_EQ(failures, 0) << "the warm-up cycles failed";
    const Footprint start = Measure();
    const ULONGLONG began = Now();
    for (int i = 0; i < cycles; ++i) failures += instanceCycle();
    const ULONGLONG elapsed = Now() - began;
    const Footprint end = Measure();
    Report("create/open/claim/enable/release of the instance", cycles, start, end, elapsed);
    EXPECT_EQ(failures, 0) << "steps failed in the cycles";
    ExpectLevel(start, end);
    EXPECT_LE(end.heapBytes - start.heapBytes, kHeapToleranceBytes) << "heap grew";
}

}  // namespace
}  // namespace ka::test
