// A 64-bit terminal: 32-bit and 64-bit programs in one 64-bit prefix, each bitness with its own
// registry view, control object and service object. This 64-bit program weighs through the 64-bit
// ones; the 32-bit tree's programs (scalectl, claim_holder) stand for the 32-bit applications.
// The device's profile is in both views, as the administrator writes it on 64-bit Windows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/service/cable_fixture.h"
#include "tests/tools/control_under_test.h"
#include "tests/tools/tool_process.h"

namespace ka::test {
namespace {

constexpr Cable kCable64{1};
constexpr Cable kCable32{2};
constexpr char kDevice64[] = "Wow Scale 64";
constexpr char kDevice32[] = "Wow Scale 32";
constexpr long kWeight64 = 6464;
constexpr long kWeight32 = 3232;
constexpr long kReadMs = 2000;
constexpr DWORD kToolMs = 60000;
constexpr int kReadsEach = 8;

// A program of the 32-bit tree, by its Windows path.
std::wstring ThirtyTwoBit(const wchar_t* program) {
    std::wstring path = L"Z:" + std::wstring(KA_DELIVERABLE_BIN) + L"/" + program;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Whether this process is a 64-bit one on 64-bit Windows: what every case here stands on.
bool RunsOnSixtyFourBitWindows() {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return sizeof(void*) == 8 && info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

class Wow64Test : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(RunsOnSixtyFourBitWindows());
        // Under Wine a 32-bit program cannot bring up a WOW64 prefix's desktop itself: this
        // 64-bit one holds it while the 32-bit ones run.
        desktopHolder_ = CreateWindowExW(0, L"STATIC", L"wow64", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(desktopHolder_, nullptr) << GetLastError();
        logPath_ = TempLogPath("wow64");
        Lay(kDevice64, kCable64, kWeight64, sim64_);
        Lay(kDevice32, kCable32, kWeight32, sim32_);
    }

    void TearDown() override {
        if (desktopHolder_) DestroyWindow(desktopHolder_);
    }

    // The profile in both views, sharing one log file, and the simulator on the cable's far end.
    void Lay(const char* device, const Cable& cable, long weight, trm07::ScaleSimulator& simulator) {
        for (ProfileFixture* view : {&view32_, &view64_}) {
            view->WriteScaleProfile(device, cable.deviceSide(), logPath_);
            view->SetDeviceString(device, "DataSize", "8");
            view->SetDeviceString(device, "Parity", "None");
        }
        ASSERT_EQ(simulator.Open(cable.scaleSide(), kCableSettings), 0u) << device;
        simulator.SetWeight(weight);
    }

    // The 32-bit scalectl, through the 32-bit control object and service object.
    static ToolRun Scalectl32(const std::wstring& arguments) {
        return RunTool(ThirtyTwoBit(L"scalectl.exe"), arguments, kToolMs);
    }

    HWND desktopHolder_ = nullptr;
    ProfileFixture view32_{KEY_WOW64_32KEY};
    ProfileFixture view64_{KEY_WOW64_64KEY};
    trm07::ScaleSimulator sim64_;
    trm07::ScaleSimulator sim32_;
};

TEST_F(Wow64Test, EachBitnessWeighsThroughItsOwnControlObjectAndServiceObject) {
    ControlUnderTest control;
    ka::com::ApplicationEvents sink;
    ASSERT_TRUE(control.Create());
    ASSERT_TRUE(control.Connect(sink));
    ASSERT_EQ(control.Open(kDevice64), 0) << "the 64-bit control object finds the profile in the 64-bit view";
    ASSERT_EQ(control.Claim(kClaimTimeoutMs), 0);
    control.PutBool(control::kDeviceEnabled, true);
    ASSERT_EQ(control.ResultCode(), 0);
    long weight = 0;
    EXPECT_EQ(control.ReadWeight(&weight, kReadMs), 0);
    EXPECT_EQ(weight, kWeight64);
    control.PutBool(control::kAsyncMode, true);
    control.PutBool(control::kDataEventEnabled, true);
    EXPECT_EQ(control.ReadWeight(&weight, kReadMs), 0);
    ASSERT_TRUE(AwaitEvents(sink, 1, kPatienceMs));
    EXPECT_EQ(sink.Events()[0].kind, control::kDataEvent);
    EXPECT_EQ(sink.Events()[0].value, kWeight64);
    EXPECT_EQ(control.Close(), 0);

    const ToolRun run = Scalectl32(L"demo \"Wow Scale 32\"");
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("ReadWeight .............. SUCCESS (0)  3.232 lb (3232)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("DataEvent ............... SUCCESS (0)  3.232 lb (3232)"), std::string::npos) << run.output;
}

// One claim mutex per port, whichever bitness takes it.
TEST_F(Wow64Test, ClaimsOfThirtyTwoAndSixtyFourBitApplicationsExcludeEachOther) {
    const std::string holder32 = Narrow(ThirtyTwoBit(L"claim_holder.exe"));
    {
        ScaleClient scale64 = OpenedScale(kDevice64);
        ASSERT_EQ(scale64.Claim(0), 0);
        ClaimHolder refused(kDevice64, holder32);
        ASSERT_TRUE(refused.WaitUntilAsked());
        EXPECT_EQ(refused.Quit(), opos::OPOS_E_CLAIMED) << "a 32-bit application claims what a 64-bit one holds";
        EXPECT_EQ(scale64.Close(), 0);
    }
    ClaimHolder holding(kDevice64, holder32);
    ASSERT_TRUE(holding.WaitUntilAsked());
    ScaleClient scale64 = OpenedScale(kDevice64);
    EXPECT_EQ(scale64.Claim(0), opos::OPOS_E_CLAIMED) << "a 64-bit application claims what a 32-bit one holds";
    EXPECT_EQ(holding.Quit(), 0) << "the 32-bit application had the claim";
    EXPECT_EQ(scale64.Claim(0), 0) << "and gave it back";
    EXPECT_EQ(scale64.Close(), 0);
}

// Both bitnesses write one log file at once, each line whole.
TEST_F(Wow64Test, BothBitnessesWriteOneLog) {
    ScaleClient scale64 = EnabledScale(kDevice64);
    ASSERT_TRUE(scale64);
    ToolRun run32;
    struct Watch {
        ToolRun* run;
        static DWORD WINAPI Run(void* self) noexcept {
            *static_cast<Watch*>(self)->run =
                Scalectl32(L"watch \"Wow Scale 32\" --count " + std::to_wstring(kReadsEach) + L" --interval 0");
            return 0;
        }
    } watch{&run32};
    UniqueHandle thread(CreateThread(nullptr, 0, &Watch::Run, &watch, 0, nullptr));
    ASSERT_TRUE(thread.valid());
    for (int i = 0; i < kReadsEach; ++i) {
        long weight = 0;
        EXPECT_EQ(scale64.ReadWeight(&weight, kReadMs), 0);
        EXPECT_EQ(weight, kWeight64);
    }
    ASSERT_EQ(WaitForSingleObject(thread.get(), kToolMs), WAIT_OBJECT_0);
    EXPECT_EQ(run32.exitCode, 0u) << run32.output;
    EXPECT_EQ(scale64.Close(), 0);

    size_t weighed64 = 0;
    size_t weighed32 = 0;
    for (const LogEntry& entry : ReadLogEntries(logPath_)) {
        if (entry.message.rfind("LE=", 0) != 0 || entry.message.find("; MSG=") == std::string::npos) continue;
        if (entry.name == kDevice64) ++weighed64;
        if (entry.name == kDevice32) ++weighed32;
    }
    EXPECT_EQ(weighed64, static_cast<size_t>(kReadsEach)) << "the 64-bit service object's readings";
    EXPECT_EQ(weighed32, static_cast<size_t>(kReadsEach)) << "the 32-bit service object's readings";
    size_t headers = 0;
    for (const std::string& line : ReadLines(logPath_)) {
        if (line.rfind("Date ", 0) == 0) ++headers;
        const bool entry = line.size() > 17 && line[2] == '/' && line[5] == '/' && line[11] == ':';
        EXPECT_TRUE(line.empty() || entry || line.rfind("Date ", 0) == 0 || line.rfind("--------", 0) == 0)
            << "a line split or mixed: [" << line << "]";
    }
    EXPECT_EQ(headers, 1u) << "the header block once, at the start";
}

}  // namespace
}  // namespace ka::test
