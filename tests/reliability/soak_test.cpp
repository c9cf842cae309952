// Thousands of full device cycles and hundreds of instances in one process: the handle count
// and the private memory stay level once the first cycles have set up what a process keeps.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/reliability/counting_control_object.h"
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

// KA_SOAK_CYCLES shortens the run while iterating; the suite runs the full count.
int CyclesFromEnvironment(int full) {
    const char* text = std::getenv("KA_SOAK_CYCLES");
    const int cycles = text ? std::atoi(text) : 0;
    return cycles > 0 ? cycles : full;
}

// Committed private pages, counted region by region: what PrivateUsage reports on Windows,
// where Wine leaves PrivateUsage at 0.
long long CommittedPrivateBytes() {
    long long total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += static_cast<long long>(region.RegionSize);
        if (region.RegionSize == 0) break;
    }
    return total;
}

long long PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters) &&
        counters.PrivateUsage != 0) {
        return static_cast<long long>(counters.PrivateUsage);
    }
    return CommittedPrivateBytes();
}

struct Footprint {
    long handles;
    long long privateBytes;
};

Footprint Measure() { return {static_cast<long>(OpenHandleCount()), PrivateBytes()}; }

void Report(const char* what, int cycles, const Footprint& start, const Footprint& end, ULONGLONG elapsedMs) {
    std::printf("[ soak     ] %s: %d cycles in %.1f s (%.1f ms each)\n", what, cycles, elapsedMs / 1000.0,
                cycles ? static_cast<double>(elapsedMs) / cycles : 0.0);
    std::printf("[ soak     ]   handles       %6ld -> %6ld\n", start.handles, end.handles);
    std::printf("[ soak     ]   private bytes %10lld -> %10lld (%+lld)\n", start.privateBytes, end.privateBytes,
                end.privateBytes - start.privateBytes);
    std::fflush(stdout);
}

void ExpectLevel(const Footprint& start, const Footprint& end) {
    EXPECT_GT(start.handles, 0) << "the handle count could not be read";
    EXPECT_LE(end.handles, start.handles + kHandleTolerance) << "handles grew";
    EXPECT_GT(start.privateBytes, 0) << "the private memory could not be read";
    EXPECT_LE(end.privateBytes, start.privateBytes + kMemoryToleranceBytes) << "private memory grew";
}

class SoakTest : public CableTest {
protected:
    void SetUp() override {
        CableTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(sim_.Open(kCable.scaleSide(), kCableSettings), 0u);
        sim_.SetWeight(kWeight);
        WriteCableProfile(kDevice, kCable, 4);
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
        scale.SetPropertyNumber(kPropAsyncModeIndex, 1);
        if (scale.ReadWeight(&weight, kReadTimeoutMs) != 0) ++failures;
        if (!events_.WaitForEvent(kPatienceMs) || events_.LastEvent() != CountingControlObject::kSOData ||
            events_.LastValue() != kWeight) {
            ++failures;
        }
        scale.SetPropertyNumber(kPropAsyncModeIndex, 0);
        if (scale.SetDeviceEnabled(false) != 0) ++failures;
        if (scale.Release() != 0) ++failures;
        if (scale.Close() != 0) ++failures;
        return failures;
    }

    CountingControlObject events_;
};

TEST_F(SoakTest, FullDeviceCyclesKeepHandlesAndMemoryLevel) {
    const int cycles = CyclesFromEnvironment(kDeviceCycles);
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
    EXPECT_EQ(failures, 0) << "steps failed in the cycles";
    EXPECT_EQ(sim_.Requests(), 2 * (cycles + kWarmUpCycles));
    ExpectLevel(start, end);
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
}

}  // namespace
}  // namespace ka::test
