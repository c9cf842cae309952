#include "device/health_dialog.h"

#include <windows.h>

#include <cstdio>


namespace pendrax {

namespace {

// The status control's text is held to this many characters.
constexpr int kStatusTextLimit = 32;
constexpr long kReadTimeoutMs = 5000;
constexpr long kThousandths = 1000;

constexpr char kProcessing[] = "Processing...";
constexpr char kReadFailedFormat[] = "Error-- Status Code: %d";
constexpr char kZeroingComplete[] = "Scale Zeroing Process Complete";

class HealthCheckDialog {
public:
    explicit HealthCheckDialog(HealthCheckTarget& target) noexcept : scale_(target) {}

    INT_PTR Show(HINSTANCE resources) noexcept {
        return DialogBoxParamA(resources, MAKEINTRESOURCEA(IDD_HEALTH_CHECK), nullptr, &DialogProc,
                               reinterpret_cast<LPARAM>(this));
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    void Form_Load(HWND window) noexcept { window_ = window; }
    INT_PTR OnCommand(WORD id) noexcept;
    void btnReadWeight_Click();
    void btnZeroScale_Click();
    void SetStatus(const char* text) noexcept;

    HealthCheckTarget& scale_;
    HWND window_ = nullptr;
    char status_[kStatusTextLimit + 1] = {};
};

INT_PTR CALLBACK HealthCheckDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<HealthCheckDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->Form_Load(window);
        return TRUE;
    }
    auto* dialog = reinterpret_cast<HealthCheckDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog || message != WM_COMMAND) return FALSE;
    return dialog->OnCommand(LOWORD(wParam));
}

INT_PTR HealthCheckDialog::OnCommand(WORD id) noexcept {
    try {
        switch (id) {
        case IDC_HEALTH_READ:
            btnReadWeight_Click();
            return TRUE;
        case IDC_HEALTH_ZERO:
            btnZeroScale_Click();
            return TRUE;
        case IDOK:
        case IDCANCEL:  // Escape and the system menu's Close
            EndDialog(window_, id);
            return TRUE;
        default:
            return FALSE;
        }
    } catch (...) {
        // Out of memory while weighing: the dialog stays up and can still be closed.
        return TRUE;
    }
}

void HealthCheckDialog::btnReadWeight_Click() {
    SetStatus(kProcessing);
    long weight = 0;
    const long result = scale_.ReadWeight(&weight, kReadTimeoutMs);
    if (result != 0) {
        char text[kStatusTextLimit + 1];
        std::snprintf(text, sizeof text, kReadFailedFormat, static_cast<int>(result));
        SetStatus(text);
        return;
    }
    SetStatus(WeightStatusText(weight).c_str());
}

void HealthCheckDialog::btnZeroScale_Click() {
    SetStatus(kProcessing);
    scale_.ZeroScale();  // a failed zeroing is not shown
    SetStatus(kZeroingComplete);
}

void HealthCheckDialog::SetStatus(const char* text) noexcept {
    std::snprintf(status_, sizeof status_, "%s", text);
    SetDlgItemTextA(window_, IDC_HEALTH_STATUS, status_);
}

}  // namespace

std::string WeightStatusText(long weight) {
    const long long magnitude = weight < 0 ? -static_cast<long long>(weight) : weight;
    char text[kStatusTextLimit + 1];
    std::snprintf(text, sizeof text, "%s%03ld.%03ld lbs", weight < 0 ? "-" : "",
                  static_cast<long>(magnitude / kThousandths), static_cast<long>(magnitude % kThousandths));
    return text;
}

bool RunHealthCheckDialog(HINSTANCE resources, HealthCheckTarget& target) {
    HealthCheckDialog dialog(target);
    const INT_PTR closedWith = dialog.Show(resources);
    return closedWith == IDOK || closedWith == IDCANCEL;
}

}  // namespace pendrax
