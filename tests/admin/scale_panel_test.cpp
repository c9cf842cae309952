// The test panel against the OPOS Scale control object the run selects (the standard's or the
// stand-in), which loads the service object, with a simulated TRM-07 on the far end of a cable.

#include <gtest/gtest.h>

#include <memory>

#include "admin/bas_main.h"
#include "common/unique_handle.h"
#include "tests/admin/admin_test_support.h"
#include "tests/support/cables.h"
#include "tests/support/control_object.h"
#include "tests/support/profile_fixture.h"
#include "tools/trm07sim/scale_simulator.h"

using namespace vantorel;
using MC = MainControl;
using namespace ka::test;

namespace {

constexpr char kDevice[] = "front scale";
constexpr ka::test::Cable kCable{5};
constexpr char kClaimLock[] = "KA-Scale-Claim-COM5";
constexpr char kControlClassKey[] = "SOFTWARE\\Classes\\CLSID\\{CCB90172-B81E-11D2-AB74-0040054C3719}";
constexpr DWORD kHolderReadyMs = 10000;

constexpr char kReadFailed[] =
    "Error trying to read weight. Please check the Configuration parameters and the Timeout parameter.";
constexpr char kZeroFailed[] = "Error trying to set the current scale weight to zero.";

// A pseudo-terminal cable keeps the input parity check that an earlier 7-E-1 set-up left on it,
// and Wine then refuses the next 7-E-1 set-up of that cable with ERROR_INVALID_PARAMETER (a
// real port does not). The service object's end of the cable is put back to 8-N-1 first, as a
// fresh cable is.
void ResetCableLine(const std::string& port) {
    ka::UniqueFile line(CreateFileA(("\\\\.\\" + port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!line) return;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(line.get(), &dcb)) return;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(line.get(), &dcb);
}

std::string WithResult(const char* lead, const char* result) { return std::string(lead) + "\r\r" + result; }

// Holds a device's claim lock from another thread, as another program holding the scale would.
class ClaimHolder {
public:
    explicit ClaimHolder(const char* lockName) : name_(lockName) {
        ready_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        thread_.reset(CreateThread(nullptr, 0, &ClaimHolder::Hold, this, 0, nullptr));
    }
    ~ClaimHolder() {
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    bool WaitUntilHeld() { return thread_ && WaitForSingleObject(ready_.get(), kHolderReadyMs) == WAIT_OBJECT_0; }

private:
    static DWORD WINAPI Hold(void* self) noexcept {
        auto* holder = static_cast<ClaimHolder*>(self);
        ka::UniqueHandle mutex(CreateMutexA(nullptr, TRUE, holder->name_));
        SetEvent(holder->ready_.get());
        WaitForSingleObject(holder->stop_.get(), INFINITE);
        if (mutex) ReleaseMutex(mutex.get());
        return 0;
    }
    const char* name_;
    ka::UniqueHandle ready_;
    ka::UniqueHandle stop_;
    ka::UniqueHandle thread_;
};

class ScalePanel : public ::testing::Test {
protected:
    ka::test::CleanProfiles clean_;
    ka::test::MessageRecorder messages_;
    ka::test::DialogScript dialogs_;
    trm07::ScaleSimulator scale_;
    std::string logFile_ = ka::test::TempLogPath("admin-panel");
    std::unique_ptr<ka::test::MainWindowHost> host_;

    void SetUp() override {
        const std::string unavailable = ka::test::UseSelectedControl();
        ASSERT_EQ(unavailable, "") << ka::test::ControlName(ka::test::SelectedControl());
        ResetCableLine(kCable.deviceSide());
        const std::string key = std::string(ka::test::kScaleClassKey) + "\\" + kDevice;
        WriteText(key, "", "KolvaneAris.ScaleTRM07");
        WriteText(key, "SerialPort", kCable.deviceSide());
        WriteText(key, "BaudRate", "9600");
        WriteText(key, "DataSize", "8");
        WriteText(key, "Parity", "None");
        WriteText(key, "StopBits", "1");
        WriteText(key, "LogVerbosity", "4");
        WriteText(ka::test::kProviderKey, "LogFile", logFile_);
    }

    void TearDown() override {
        host_.reset();
        EXPECT_TRUE(dialogs_.unexpected.empty()) << dialogs_.unexpected.front();
        EXPECT_EQ(dialogs_.Pending(), 0u) << "a dialog the test waited for never opened";
        if (!HasFailure()) DeleteFileA(logFile_.c_str());
    }

    void StartScale(long weight) {
        scale_.SetWeight(weight);
        const DWORD error = scale_.Open(kCable.scaleSide(), trm07::kPseudoTerminalLine);
        ASSERT_EQ(error, 0u) << "simulator on " << kCable.scaleSide() << ": error " << error;
    }

    void StartAndPick() {
        host_ = std::make_unique<ka::test::MainWindowHost>();
        ASSERT_TRUE(host_->Started());
        host_->Pick(MC::lstInstances, 0);
        ASSERT_EQ(EnabledState(form()), kDevicePicked);
    }

    // Enable Scale, closing the health-check dialog with OK; returns the layout seen meanwhile.
    std::string EnableThroughHealthCheck(bool* windowLocked) {
        std::string layoutDuringCheck = "<no health check>";
        dialogs_.On("Interactive Check Health", [&](HWND dialog) {
            layoutDuringCheck = EnabledState(form());
            *windowLocked = !IsWindowEnabled(form().Window());
            PostClick(dialog, IDOK);
        });
        host_->Click(MC::btnEnableDevice);
        return layoutDuringCheck;
    }

    winMain& form() { return host_->form(); }
    std::string Weight() { return form().ControlText(MC::lblWeight); }
};

}  // namespace

TEST_F(ScalePanel, EnableReadZeroAndDisable) {
    StartScale(1250);
    StartAndPick();
    bool locked = false;
    EXPECT_EQ(EnableThroughHealthCheck(&locked), kScaleEnabled) << "enabled before the health check opens";
    EXPECT_TRUE(locked) << "the window is locked while the health check runs";
    EXPECT_TRUE(IsWindowEnabled(form().Window()));
    EXPECT_EQ(EnabledState(form()), kScaleEnabled);
    EXPECT_TRUE(messages_.messages.empty()) << messages_.messages.front().text;

    host_->Click(MC::btnReadWeight);
    EXPECT_EQ(Weight(), "1250");
    // A negative weight shows with its sign.
    scale_.SetWeight(-9880);
    host_->Click(MC::btnReadWeight);
    EXPECT_EQ(Weight(), "-9880");
    scale_.SetWeight(0);
    host_->Click(MC::btnReadWeight);
    EXPECT_EQ(Weight(), "0");
    EXPECT_TRUE(messages_.messages.empty());

    scale_.SetWeight(1250);
    host_->Click(MC::btnReadWeight);
    host_->Click(MC::btnZeroScale);
    EXPECT_EQ(Weight(), "") << "a zeroing clears the display";
    EXPECT_TRUE(messages_.messages.empty());

    host_->Click(MC::btnDisableDevice);
    EXPECT_EQ(EnabledState(form()), kIdle);
    EXPECT_EQ(Weight(), "");
    EXPECT_TRUE(messages_.messages.empty()) << messages_.messages.front().text;
}

TEST_F(ScalePanel, FailedReadsAndZeroingsKeepTheWeightShown) {
    StartScale(4321);
    StartAndPick();
    bool locked = false;
    EnableThroughHealthCheck(&locked);
    ASSERT_EQ(EnabledState(form()), kScaleEnabled) << ::testing::PrintToString(messages_.Texts());
    host_->Click(MC::btnReadWeight);
    ASSERT_EQ(Weight(), "4321");

    scale_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
    host_->Click(MC::btnReadWeight);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{kReadFailed});
    EXPECT_EQ(Weight(), "4321");

    messages_.messages.clear();
    scale_.QueueAnswer(trm07::kZeroCommand, trm07::Answer::Silence());
    host_->Click(MC::btnZeroScale);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{kZeroFailed});
    EXPECT_EQ(Weight(), "4321");
    host_->Click(MC::btnDisableDevice);
}

TEST_F(ScalePanel, RefreshWhileEnabledReopensThePanelButLeavesTheScaleEnabled) {
    StartScale(10);
    StartAndPick();
    bool locked = false;
    EnableThroughHealthCheck(&locked);
    host_->Menu(MC::mnuUpdateDeviceInstances);
    EXPECT_EQ(EnabledState(form()), "11 1 111111 1 1 11");
    host_->Click(MC::btnReadWeight);
    EXPECT_EQ(Weight(), "10") << "the scale is still open, claimed and enabled";
    host_->Click(MC::btnDisableDevice);
    EXPECT_EQ(EnabledState(form()), kIdle);
}

TEST_F(ScalePanel, AFailedOpenNamesItsResultAndClosesAgain) {
    StartAndPick();
    ka::test::DeleteTree(std::string(ka::test::kScaleClassKey) + "\\" + kDevice);
    host_->Click(MC::btnEnableDevice);
    EXPECT_EQ(messages_.Texts(), (std::vector<std::string>{WithResult("Could Not Open Scale- ", "NOEXIST (109)"),
                                                           WithResult("Could Not Release Scale- ", "CLOSED (101)"),
                                                           "Scale could not be opened."}));
    for (const auto& m : messages_.messages) {
        EXPECT_EQ(m.title, "Vantorel");
        EXPECT_EQ(m.style, UINT(MB_OK));
    }
    EXPECT_EQ(EnabledState(form()), kDevicePicked) << "the close stopped early, so the layout stays";
}

// Nothing was claimed, so nothing is released: the scale is closed, and opens once the other
// application lets go.
TEST_F(ScalePanel, ARefusedClaimClosesTheScaleSoThatItOpensOnceTheHolderLetsGo) {
    StartScale(1250);
    auto holder = std::make_unique<ClaimHolder>(kClaimLock);
    ASSERT_TRUE(holder->WaitUntilHeld());
    StartAndPick();
    host_->Click(MC::btnEnableDevice);
    EXPECT_EQ(messages_.Texts(), (std::vector<std::string>{WithResult("Could Not Claim Scale- ", "CLAIMED (102)"),
                                                           "Scale could not be closed."}));
    EXPECT_EQ(EnabledState(form()), kIdle) << "the close completed";

    holder.reset();
    messages_.messages.clear();
    bool locked = false;
    EXPECT_EQ(EnableThroughHealthCheck(&locked), kScaleEnabled);
    EXPECT_TRUE(messages_.messages.empty()) << messages_.messages.front().text;
    host_->Click(MC::btnDisableDevice);
}

TEST_F(ScalePanel, AScaleThatCannotBeEnabledIsClosedAgain) {
    WriteText(std::string(ka::test::kScaleClassKey) + "\\" + kDevice, "SerialPort", ka::test::kMissingPort);
    StartAndPick();
    host_->Click(MC::btnEnableDevice);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Could Not Enable Scale. Please refer to log file."});
    EXPECT_EQ(EnabledState(form()), kIdle) << "the close completed";
}

TEST_F(ScalePanel, DisableAlwaysEndsIdleEvenWhenTheControlRefuses) {
    StartAndPick();
    form().SetControlText(MC::lblWeight, "99");
    form().btnDisableDevice_Click();  // the control object is not open
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{WithResult("Could Not Release Scale- ", "CLOSED (101)")});
    EXPECT_EQ(EnabledState(form()), kIdle);
    EXPECT_EQ(Weight(), "");
}

TEST_F(ScalePanel, AMissingControlObjectIsReportedAndTheProfilesStayEditable) {
    ka::test::KeysSetAside uninstalled({kControlClassKey});
    StartAndPick();
    host_->Click(MC::btnEnableDevice);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"The OPOS Scale control object is not installed."});
    EXPECT_EQ(EnabledState(form()), kDevicePicked);
    host_->Pick(MC::lstBaudRate, 4);
    EXPECT_EQ(ka::test::StoredText(std::string(ka::test::kScaleClassKey) + "\\" + kDevice, "BaudRate"),
              "19200  ||| Baud rate of connection between scale and POS terminal");
}
