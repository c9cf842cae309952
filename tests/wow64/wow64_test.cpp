// A 64-bit terminal: 32-bit and 64-bit programs in one 64-bit prefix, each bitness with its own
// registry view, control object and service object. This 64-bit program weighs through the 64-bit
// ones; the 32-bit tree's programs (scalectl, claim_holder) stand for the 32-bit applications.
// The device's profile is in both views, as the administrator writes it on 64-bit Windows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "admin/win_add_instance.h"
#include "admin/win_main_layout.h"
#include "tests/service/cable_fixture.h"
#include "tests/tools/control_under_test.h"
#include "tests/tools/tool_process.h"

namespace ka::test {
namespace {

// The terminal's two scales: one that 64-bit programs weigh, one that 32-bit ones do.
constexpr CableScale kScale64{"Wow Scale 64", Cable{1}, 6464};
constexpr CableScale kScale32{"Wow Scale 32", Cable{2}, 3232};
constexpr long kReadMs = 2000;
constexpr DWORD kToolMs = 60000;
constexpr int kReadsEach = 8;

constexpr char kAdminDevice[] = "Wow Admin Scale";
constexpr char kAdminKey[] = "wow admin scale";  // the administrator makes keys in lower case
constexpr DWORD kWindowMs = 30000;

// A program of the 32-bit tree (or, from `folder`, of what it ships), by its Windows path.
std::wstring ThirtyTwoBit(const wchar_t* program, const wchar_t* folder = L"") {
    std::wstring path = L"Z:" + std::wstring(KA_DELIVERABLE_BIN) + L"/" + folder + program;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

// Polls for a condition of another process, every 50 ms, at most `timeoutMs`.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
    return true;
}

struct FoundWindow {
    DWORD process;
    const char* className;  // null: any
    const char* caption;    // null: any
    HWND window = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
    auto* found = reinterpret_cast<FoundWindow*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    char caption[128] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (owner == found->process && IsWindowVisible(window) &&
        (!found->className || std::string(className) == found->className) &&
        (!found->caption || std::string(caption) == found->caption)) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

HWND TopWindow(DWORD process, const char* className, const char* caption) {
    FoundWindow found{process, className, caption};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

// The text of a value in one registry view, or "<none>".
std::string ViewValue(REGSAM view, const std::string& key, const char* name) {
    UniqueKey opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, opened.put()) != ERROR_SUCCESS) {
        return "<none>";
    }
    char text[256] = {};
    DWORD bytes = sizeof text - 1;
    DWORD type = 0;
    if (RegQueryValueExA(opened.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return "<none>";
    }
    return text;
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
        Lay(kScale64, sim64_);
        Lay(kScale32, sim32_);
    }

    void TearDown() override {
        if (desktopHolder_) DestroyWindow(desktopHolder_);
    }

    // The profile in both views, sharing one log file, and the simulator on the cable's far end.
    void Lay(const CableScale& scale, trm07::ScaleSimulator& simulator) {
        for (ProfileFixture* view : {&view32_, &view64_}) {
            view->WriteCableProfile(scale.device, scale.cable.deviceSide(), logPath_);
        }
        ASSERT_EQ(simulator.Open(scale.cable.scaleSide(), kCableSettings), 0u) << scale.device;
        simulator.SetWeight(scale.weight);
    }

    // The 64-bit control object, with the 64-bit service object, finds `device` in the 64-bit view
    // and weighs it on cable 1, synchronously and with a data event.
    static void WeighThroughTheSixtyFourBitControlObject(const char* device) {
        SCOPED_TRACE(device);
        ControlUnderTest control;
        ka::com::ApplicationEvents sink;
        ASSERT_TRUE(control.Create());
        ASSERT_TRUE(control.Connect(sink));
        ASSERT_EQ(control.Open(device), 0);
        ASSERT_EQ(control.Claim(kClaimTimeoutMs), 0);
        control.PutBool(control::kDeviceEnabled, true);
        ASSERT_EQ(control.ResultCode(), 0);
        long weight = 0;
        EXPECT_EQ(control.ReadWeight(&weight, kReadMs), 0);
        EXPECT_EQ(weight, kScale64.weight);
        control.PutBool(control::kAsyncMode, true);
        control.PutBool(control::kDataEventEnabled, true);
        EXPECT_EQ(control.ReadWeight(&weight, kReadMs), 0);
        ASSERT_TRUE(AwaitEvents(sink, 1, kPatienceMs));
        EXPECT_EQ(sink.Events()[0].kind, control::kDataEvent);
        EXPECT_EQ(sink.Events()[0].value, kScale64.weight);
        EXPECT_EQ(control.Close(), 0);
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
    WeighThroughTheSixtyFourBitControlObject(kScale64.device);

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
        ScaleClient scale64 = OpenedScale(kScale64.device);
        ASSERT_EQ(scale64.Claim(0), 0);
        ClaimHolder refused(kScale64.device, holder32);
        ASSERT_TRUE(refused.WaitUntilAsked());
        EXPECT_EQ(refused.Quit(), opos::OPOS_E_CLAIMED) << "a 32-bit application claims what a 64-bit one holds";
        EXPECT_EQ(scale64.Close(), 0);
    }
    ClaimHolder holding(kScale64.device, holder32);
    ASSERT_TRUE(holding.WaitUntilAsked());
    ScaleClient scale64 = OpenedScale(kScale64.device);
    EXPECT_EQ(scale64.Claim(0), opos::OPOS_E_CLAIMED) << "a 64-bit application claims what a 32-bit one holds";
    EXPECT_EQ(holding.Quit(), 0) << "the 32-bit application had the claim";
    EXPECT_EQ(scale64.Claim(0), 0) << "and gave it back";
    EXPECT_EQ(scale64.Close(), 0);
}

// Both bitnesses write one log file at once, each line whole.
TEST_F(Wow64Test, BothBitnessesWriteOneLog) {
    ScaleClient scale64 = EnabledScale(kScale64.device);
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
        EXPECT_EQ(weight, kScale64.weight);
    }
    ASSERT_EQ(WaitForSingleObject(thread.get(), kToolMs), WAIT_OBJECT_0);
    EXPECT_EQ(run32.exitCode, 0u) << run32.output;
    EXPECT_EQ(scale64.Close(), 0);

    size_t weighed64 = 0;
    size_t weighed32 = 0;
    for (const LogEntry& entry : ReadLogEntries(logPath_)) {
        if (entry.message.rfind("LE=", 0) != 0 || entry.message.find("; MSG=") == std::string::npos) continue;
        if (entry.name == kScale64.device) ++weighed64;
        if (entry.name == kScale32.device) ++weighed32;
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

// The shipped 32-bit administrator, driven by messages as a technician's clicks drive it, writes a
// new profile into both views; both bitnesses then weigh on it.
TEST_F(Wow64Test, TheShippedAdministratorsDeviceWeighsInBothBitnesses) {
    using vantorel::MC;
    const std::string key = std::string(kScaleClassPath) + "\\" + kAdminKey;
    struct Cleanup {
        std::string key;
        ~Cleanup() {
            for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), view, 0);
        }
    } cleanup{key};

    const std::wstring program = ThirtyTwoBit(L"Vantorel.exe", L"../package/shipped/");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        << "GLE=" << GetLastError() << " " << Narrow(program);
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    struct Ender {
        HANDLE process;
        ~Ender() {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
        }
    } ender{process.get()};

    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (main = TopWindow(started.dwProcessId, "VantorelMain", nullptr)) != nullptr; }, kWindowMs));
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(vantorel::Id(MC::btnAdd), BN_CLICKED), 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = TopWindow(started.dwProcessId, nullptr, "New Device")) != nullptr; }, kWindowMs));
    SendMessageA(GetDlgItem(dialog, vantorel::winAddInstance::txtDevName), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(kAdminDevice));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return ViewValue(KEY_WOW64_64KEY, key, "StopBits") != "<none>"; }, kWindowMs))
        << "the new profile did not reach the 64-bit view";

    // Picks in the configuration panel, as a selection change sends them.
    const struct {
        MC list;
        WPARAM entry;
    } picks[] = {{MC::lstBaudRate, 4}, {MC::lstParity, 0}};
    for (const auto& pick : picks) {
        HWND list = GetDlgItem(GetDlgItem(main, vantorel::Id(MC::picConfiguration)), vantorel::Id(pick.list));
        ASSERT_NE(list, nullptr);
        SendMessageA(list, CB_SETCURSEL, pick.entry, 0);
        SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(vantorel::Id(pick.list), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    }
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.get(), kWindowMs), WAIT_OBJECT_0) << "Vantorel did not end";

    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        SCOPED_TRACE(view == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view");
        EXPECT_EQ(ViewValue(view, key, nullptr), "KolvaneAris.ScaleTRM07");
        EXPECT_EQ(ViewValue(view, key, "BaudRate"), "19200  ||| Baud rate of connection between scale and POS terminal");
        EXPECT_EQ(ViewValue(view, key, "Parity"), "None");
        EXPECT_EQ(ViewValue(view, key, "SerialPort"), "COM1  ||| Serial port this scale is plugged into.");
    }
    // The cables are pseudo-terminals, which take 8 data bits only; the administrator keeps 7.
    for (ProfileFixture* view : {&view32_, &view64_}) view->SetDeviceString(kAdminKey, "DataSize", "8");

    WeighThroughTheSixtyFourBitControlObject(kAdminDevice);

    const ToolRun run = Scalectl32(L"demo \"Wow Admin Scale\"");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("DataEvent ............... SUCCESS (0)  6.464 lb (6464)"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace ka::test
