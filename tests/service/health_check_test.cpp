// CheckHealth at every level, ClearInput and ClearOutput; the interactive dialog driven by
// messages from a second thread while CheckHealth shows it.

#include <functional>
#include <memory>

#include "device/health_dialog.h"
#include "tests/service/cable_fixture.h"

namespace ka::test {
namespace {

constexpr char kDialogCaption[] = "Interactive Check Health";
constexpr char kInteractiveDone[] = "Interactive HCheck:  Complete";
constexpr char kZeroingComplete[] = "Scale Zeroing Process Complete";

using HealthCheckTest = ScaleOnCableTest;

TEST_F(HealthCheckTest, InternalAndExternalLevelsStoreTheirTexts) {
    const size_t mark = LogSize();
    EXPECT_EQ(CheckHealth(opos::OPOS_CH_INTERNAL), 0);
    EXPECT_EQ(scale_.GetPropertyString(opos::pidx::kCheckHealthText), "Internal HCheck: Successful");
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [CheckHealth]", "  * Level = [1].", "LEAVE [CheckHealth]."}));
    EXPECT_EQ(CheckHealth(opos::OPOS_CH_EXTERNAL), 0);
    EXPECT_EQ(scale_.GetPropertyString(opos::pidx::kCheckHealthText), "External HCkeck: Successful");
    EXPECT_EQ(sim_.Requests(), 0) << "the scale is not contacted";
}

TEST_F(HealthCheckTest, UnknownLevelIsIllegalAndKeepsTheText) {
    ASSERT_EQ(CheckHealth(opos::OPOS_CH_INTERNAL), 0);
    EXPECT_EQ(CheckHealth(4), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(scale_.GetPropertyString(opos::pidx::kCheckHealthText), "Internal HCheck: Successful");
}

TEST_F(HealthCheckTest, DisabledDeviceAnswersDisabled) {
    ASSERT_EQ(scale_.SetDeviceEnabled(false), 0);
    const size_t mark = LogSize();
    EXPECT_EQ(CheckHealth(opos::OPOS_CH_INTERNAL), opos::OPOS_E_DISABLED);
    EXPECT_TRUE(Logged(mark, "Device is not enabled."));
    EXPECT_EQ(Call(kClearInput), 0) << "ClearInput needs no enabled device";
}

TEST_F(HealthCheckTest, ClearInputNeedsTheClaim) {
    const size_t mark = LogSize();
    EXPECT_EQ(Call(kClearInput), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER[ClearInput]", "LEAVE [ClearInput]."}));
    ASSERT_EQ(scale_.ReleaseDevice(), 0);
    EXPECT_EQ(Call(kClearInput), opos::OPOS_E_NOTCLAIMED);
}

TEST_F(ServiceTest, ClearOutputSucceedsOnANeverOpenedInstance) {
    ScaleClient scale = NewScale();
    ASSERT_TRUE(scale);
    EXPECT_EQ(scale.CallLong(kClearOutput), 0);
    EXPECT_EQ(scale.ResultCode(), 0);
}

// ---- the interactive dialog ----------------------------------------------------------------

// What the driving thread saw.
struct DialogObservations {
    bool found = false;
    std::string caption;
    std::vector<std::string> statusTexts;  // the status control after each press
    std::string failure;                   // empty unless the driver could not go on
};

// Watches the showing thread for the dialog's WM_INITDIALOG, then runs a script against the
// dialog on its own thread, sending messages as a person's clicks would.
class DialogDriver {
public:
    using Script = std::function<void(HWND dialog, DialogObservations& seen)>;

    explicit DialogDriver(Script script)
        : script_(std::move(script)), ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        active_ = this;
        hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &DialogDriver::AfterMessage, nullptr, GetCurrentThreadId());
        thread_.reset(CreateThread(nullptr, 0, &DialogDriver::Run, this, 0, nullptr));
    }
    ~DialogDriver() {
        if (hook_) UnhookWindowsHookEx(hook_);
        if (thread_) {
            SetEvent(ready_.get());  // a driver still waiting gives up
            WaitForSingleObject(thread_.get(), kPatienceMs);
        }
        active_ = nullptr;
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    bool Hooked() const { return hook_ != nullptr && thread_.valid(); }
    // Bounded wait for the script to finish; the observations are stable after it.
    const DialogObservations& Finish() {
        EXPECT_EQ(WaitForSingleObject(thread_.get(), kPatienceMs), WAIT_OBJECT_0) << "the driver did not finish";
        return seen_;
    }

private:
    static LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && active_ && message->message == WM_INITDIALOG) {
            char caption[64] = {};
            GetWindowTextA(message->hwnd, caption, sizeof caption);
            if (std::string(caption) == kDialogCaption && !active_->dialog_) {
                active_->dialog_ = message->hwnd;
                SetEvent(active_->ready_.get());
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static DWORD WINAPI Run(void* self) {
        auto& driver = *static_cast<DialogDriver*>(self);
        if (WaitForSingleObject(driver.ready_.get(), kPatienceMs) != WAIT_OBJECT_0 || !driver.dialog_) {
            driver.seen_.failure = "the dialog did not appear";
            return 0;
        }
        driver.seen_.found = true;
        char caption[64] = {};
        GetWindowTextA(driver.dialog_, caption, sizeof caption);
        driver.seen_.caption = caption;
        driver.script_(driver.dialog_, driver.seen_);
        return 0;
    }

    static inline DialogDriver* active_ = nullptr;
    Script script_;
    ka::UniqueHandle ready_;
    HHOOK hook_ = nullptr;
    HWND dialog_ = nullptr;
    DialogObservations seen_;
    ka::UniqueHandle thread_;
};

std::string StatusText(HWND dialog) {
    char text[64] = {};
    GetDlgItemTextA(dialog, pendrax::IDC_HEALTH_STATUS, text, sizeof text);
    return text;
}

// A click of a button, answered once its handler has run; false when the dialog did not answer.
bool Press(HWND dialog, int id, DialogObservations& seen) {
    DWORD_PTR answer = 0;
    const LRESULT done = SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), SMTO_NORMAL,
                                             kPatienceMs, &answer);
    if (!done) seen.failure = "button " + std::to_string(id) + " was not answered";
    return done != 0;
}

void PressAndRecord(HWND dialog, int id, DialogObservations& seen) {
    if (Press(dialog, id, seen)) seen.statusTexts.push_back(StatusText(dialog));
}

class InteractiveCheckTest : public ScaleOnCableTest {
protected:
    // Runs CheckHealth(3) while `script` drives the dialog; answers its result.
    long RunInteractive(DialogDriver::Script script, DialogObservations& seen) {
        DialogDriver driver(std::move(script));
        EXPECT_TRUE(driver.Hooked());
        const long result = CheckHealth(opos::OPOS_CH_INTERACTIVE);
        seen = driver.Finish();
        EXPECT_EQ(seen.failure, "");
        return result;
    }
};

TEST_F(InteractiveCheckTest, ReadAndZeroShowTheirTextsThenOkCloses) {
    sim_.SetWeight(12345);
    DialogObservations seen;
    const long result = RunInteractive(
        [](HWND dialog, DialogObservations& seen) {
            PressAndRecord(dialog, pendrax::IDC_HEALTH_READ, seen);
            PressAndRecord(dialog, pendrax::IDC_HEALTH_ZERO, seen);
            PressAndRecord(dialog, pendrax::IDC_HEALTH_READ, seen);
            Press(dialog, IDOK, seen);
        },
        seen);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, kDialogCaption);
    EXPECT_EQ(seen.statusTexts, (Lines{"012.345 lbs", kZeroingComplete, "000.000 lbs"}));
    EXPECT_EQ(scale_.GetPropertyString(opos::pidx::kCheckHealthText), kInteractiveDone);
    EXPECT_EQ(sim_.ReceivedRequests(), (Lines{"W", "Z", "W"}));
}

TEST_F(InteractiveCheckTest, SilentScaleShowsTheResultCodeAndEscapeCloses) {
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
    sim_.QueueAnswer(trm07::kZeroCommand, trm07::Answer::Silence());
    DialogObservations seen;
    const long result = RunInteractive(
        [](HWND dialog, DialogObservations& seen) {
            PressAndRecord(dialog, pendrax::IDC_HEALTH_READ, seen);
            PressAndRecord(dialog, pendrax::IDC_HEALTH_ZERO, seen);
            Press(dialog, IDCANCEL, seen);  // what Escape sends
        },
        seen);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(seen.statusTexts, (Lines{"Error-- Status Code: 106", kZeroingComplete}))
        << "a failed zeroing is not shown";
    EXPECT_EQ(scale_.GetPropertyString(opos::pidx::kCheckHealthText), kInteractiveDone);
}

TEST_F(InteractiveCheckTest, ReadsSynchronouslyInAsyncModeAndTheSystemMenuCloses) {
    sim_.SetWeight(12345);
    SetAsyncMode(true);
    DialogObservations seen;
    const long result = RunInteractive(
        [](HWND dialog, DialogObservations& seen) {
            PressAndRecord(dialog, pendrax::IDC_HEALTH_READ, seen);
            DWORD_PTR answer = 0;
            if (!SendMessageTimeoutA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, kPatienceMs, &answer))
                seen.failure = "the system menu's Close was not answered";
        },
        seen);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(seen.statusTexts, (Lines{"012.345 lbs"}));
    scale_.Close();
    EXPECT_TRUE(Events().empty()) << "the application asked for no event";
}

// The template: caption, font, controls, their texts, styles and places in dialog units.
struct ControlSpec {
    int id;
    const char* text;
    RECT dialogUnits;  // x, y, width, height
};

// Position and size converted apart, as the dialog manager converts them.
RECT PixelsOf(HWND dialog, const RECT& dialogUnits) {
    RECT mapped = dialogUnits;
    MapDialogRect(dialog, &mapped);
    return {mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom};
}

TEST_F(InteractiveCheckTest, TemplateMatchesItsLayout) {
    struct Layout {
        RECT client = {}, expectedClient = {};
        std::string face;
        LONG fontHeight = 0;
        LONG expectedFontHeight = 0;
        std::vector<std::string> texts;
        std::vector<RECT> places, expectedPlaces;
        bool statusBorder = false, okDefault = false;
    };
    static const ControlSpec kControls[] = {
        {pendrax::IDC_HEALTH_STATUS, "", {7, 7, 164, 11}},
        {pendrax::IDC_HEALTH_READ, "&Read Weight", {7, 23, 50, 14}},
        {pendrax::IDC_HEALTH_ZERO, "&Zero Scale", {64, 23, 50, 14}},
        {IDOK, "OK", {121, 23, 50, 14}},
    };
    static Layout layout;
    DialogObservations seen;
    RunInteractive(
        [](HWND dialog, DialogObservations& seen) {
            GetClientRect(dialog, &layout.client);
            layout.expectedClient = {0, 0, 178, 44};
            MapDialogRect(dialog, &layout.expectedClient);
            const auto font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
            LOGFONTA logFont = {};
            if (font && GetObjectA(font, sizeof logFont, &logFont)) {
                layout.face = logFont.lfFaceName;
                layout.fontHeight = logFont.lfHeight;
            }
            HDC screen = GetDC(nullptr);
            layout.expectedFontHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
            ReleaseDC(nullptr, screen);
            for (const auto& control : kControls) {
                HWND item = GetDlgItem(dialog, control.id);
                char text[64] = {};
                GetWindowTextA(item, text, sizeof text);
                layout.texts.push_back(text);
                RECT place = {};
                GetWindowRect(item, &place);
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
                layout.places.push_back(place);
                layout.expectedPlaces.push_back(PixelsOf(dialog, control.dialogUnits));
            }
            // The dialog manager may draw a bordered control with a client edge instead.
            HWND status = GetDlgItem(dialog, pendrax::IDC_HEALTH_STATUS);
            layout.statusBorder = (GetWindowLongA(status, GWL_STYLE) & WS_BORDER) != 0 ||
                                  (GetWindowLongA(status, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
            layout.okDefault = (GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            Press(dialog, IDOK, seen);
        },
        seen);
    EXPECT_EQ(seen.caption, kDialogCaption);
    EXPECT_EQ(layout.face, "MS Sans Serif");
    EXPECT_EQ(layout.fontHeight, layout.expectedFontHeight);
    EXPECT_EQ(layout.client.right, layout.expectedClient.right);
    EXPECT_EQ(layout.client.bottom, layout.expectedClient.bottom);
    ASSERT_EQ(layout.texts.size(), std::size(kControls));
    for (size_t i = 0; i < std::size(kControls); ++i) {
        SCOPED_TRACE("control " + std::to_string(kControls[i].id));
        EXPECT_EQ(layout.texts[i], kControls[i].text);
        EXPECT_EQ(layout.places[i].left, layout.expectedPlaces[i].left);
        EXPECT_EQ(layout.places[i].top, layout.expectedPlaces[i].top);
        EXPECT_EQ(layout.places[i].right, layout.expectedPlaces[i].right);
        EXPECT_EQ(layout.places[i].bottom, layout.expectedPlaces[i].bottom);
    }
    EXPECT_TRUE(layout.statusBorder);
    EXPECT_TRUE(layout.okDefault);
}

TEST(WeightStatusText, ShowsPoundsAndThousandths) {
    EXPECT_EQ(pendrax::WeightStatusText(12345), "012.345 lbs");
    EXPECT_EQ(pendrax::WeightStatusText(5), "000.005 lbs");
    EXPECT_EQ(pendrax::WeightStatusText(0), "000.000 lbs");
    EXPECT_EQ(pendrax::WeightStatusText(-1500), "-001.500 lbs") << "the sign once, in front";
    EXPECT_EQ(pendrax::WeightStatusText(-2147483647L - 1), "-2147483.648 lbs");
}

}  // namespace
}  // namespace ka::test
