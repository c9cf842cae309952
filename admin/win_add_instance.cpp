#include "admin/win_add_instance.h"

#include "admin/bas_win_reg.h"
#include "admin/dialog_frame.h"
#include "admin/message_box.h"
#include "admin/window_binding.h"

namespace vantorel {

namespace {

constexpr char kCaption[] = "New Device";
constexpr char kKeySeparator = '\\';
constexpr int kClientWidthTwips = 4095;
constexpr int kClientHeightTwips = 1095;

using C = winAddInstance::Control;
constexpr ControlSpec kControls[] = {
    {C::Label1, kWindowItself, ControlKind::Label, "Device Name:", {120, 165, 1095, 255}, nullptr},
    {C::txtDevName, kWindowItself, ControlKind::TextField, "", {1260, 120, 2715, 315}, nullptr},
    {C::Command1, kWindowItself, ControlKind::DefaultButton, "&OK", {1560, 600, 1140, 345}, nullptr},
    {C::Command2, kWindowItself, ControlKind::Button, "&Cancel", {2835, 600, 1140, 345}, nullptr},
};

// The registry counts a key name's length in UTF-16 characters, whatever the ANSI code page.
std::size_t KeyNameLength(const std::string& name) {
    return static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0));
}

}  // namespace

void winAddInstance::ShowModal(HINSTANCE instance, HWND owner) {
    const DialogFrame frame(kCaption, kModalDialogStyle);
    DialogBoxIndirectParamA(instance, frame.get(), owner, &BoundDialogProc<winAddInstance>,
                            reinterpret_cast<LPARAM>(this));
}

void winAddInstance::Form_Load() { SetDlgItemTextA(dialog_, C::txtDevName, ""); }

void winAddInstance::Form_Activate() { SetFocus(GetDlgItem(dialog_, C::txtDevName)); }

void winAddInstance::Command1_Click() {
    const std::string typed = WindowText(GetDlgItem(dialog_, C::txtDevName));
    if (typed.empty()) {
        ShowMessage(dialog_, "Please enter a valid device name.");
        return;
    }
    // The name becomes a registry key: a backslash would make nested keys that no list shows.
    if (typed.find(kKeySeparator) != std::string::npos) {
        ShowMessage(dialog_, "A device name cannot contain \"\\\". Please enter another name.");
        return;
    }
    if (KeyNameLength(typed) > basWinReg::kMaxKeyNameLength) {
        ShowMessage(dialog_, "A device name can have at most " + std::to_string(basWinReg::kMaxKeyNameLength) +
                                 " characters. Please enter a shorter name.");
        return;
    }
    devName_ = typed;
    EndDialog(dialog_, IDOK);
}

void winAddInstance::Command2_Click() { EndDialog(dialog_, IDCANCEL); }

INT_PTR winAddInstance::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        SizeClientArea(dialog_, kClientWidthTwips, kClientHeightTwips, false);
        CenterOver(dialog_, GetWindow(dialog_, GW_OWNER));
        if (!controls_.Create(dialog_, kControls, std::size(kControls), WindowDpi(dialog_))) {
            EndDialog(dialog_, IDABORT);
            return TRUE;
        }
        Form_Load();
        Form_Activate();
        return FALSE;  // the focus has been placed
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            Form_Activate();
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == C::Command1) Command1_Click();
        if (LOWORD(wParam) == C::Command2) Command2_Click();
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace vantorel
