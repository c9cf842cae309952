// A change of the wall clock during a read (time synchronisation on a terminal) neither cuts it
// short nor stretches it. The run moves this process's wall clock through libfaketime's
// timestamp file; the monotonic clock is left alone.

#include <string>

#include "logging/opos_log.h"
#include "tests/service/cable_fixture.h"

namespace ka::test {
namespace {

constexpr long kTimeoutMs = 3000;
constexpr long kWeight = 2500;
constexpr char kOneHourAhead[] = "+3600";

// The file libfaketime reads this process's wall-clock offset from, as a Windows path.
std::string ClockOffsetFile() {
    char unixPath[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("FAKETIME_TIMESTAMP_FILE", unixPath, MAX_PATH)) return {};
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool WriteClockOffset(const std::string& offset) {
    const std::string path = ClockOffsetFile();
    ka::UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), offset.data(), static_cast<DWORD>(offset.size()), &written, nullptr) &&
           written == offset.size();
}

long long WallClockSeconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<long long>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 10000000);
}

class ClockChangeTest : public ScaleOnCableTest {
protected:
    void SetUp() override {
        ScaleOnCableTest::SetUp();
        if (HasFatalFailure()) return;
        const long long before = WallClockSeconds();
        if (ClockOffsetFile().empty() || !WriteClockOffset(kOneHourAhead) || WallClockSeconds() - before < 3000) {
            WriteClockOffset("+0");
            GTEST_SKIP() << "this process's wall clock cannot be moved here";
        }
        ASSERT_TRUE(WriteClockOffset("+0"));
        sim_.SetWeight(kWeight);
        // Two settling readings keep the read going across the clock change.
        sim_.SettleFor(2);
        // The clock jumps ahead as the scale hears the first request.
        sim_.SetObserver([](const std::string& line) {
            if (line.rfind("<- W", 0) == 0) WriteClockOffset(kOneHourAhead);
        });
    }
    void TearDown() override {
        sim_.SetObserver(nullptr);
        WriteClockOffset("+0");
        ScaleOnCableTest::TearDown();
    }
};

TEST_F(ClockChangeTest, AClockJumpDuringASynchronousReadDoesNotEndIt) {
    long weight = 0;
    EXPECT_EQ(scale_.ReadWeight(&weight, kTimeoutMs), 0);
    EXPECT_EQ(weight, kWeight);
    EXPECT_EQ(sim_.Requests(), 3);
}

TEST_F(ClockChangeTest, AClockJumpDuringAnAsynchronousReadDoesNotEndIt) {
    SetAsyncMode(true);
    ForwardLines(zel::kInformation);
    lineWatch_.Expect(kLeavingEventThread);
    long weight = 0;
    ASSERT_EQ(scale_.ReadWeight(&weight, kTimeoutMs), 0);
    ASSERT_TRUE(lineWatch_.Wait(kPatienceMs)) << "the event thread did not end";
    const auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "SOData");
    EXPECT_EQ(events[0].args, std::vector<long>{kWeight});
}

}  // namespace
}  // namespace ka::test
