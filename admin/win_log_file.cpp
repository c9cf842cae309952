#include "admin/win_log_file.h"

#include <commdlg.h>

#include <vector>

#include "admin/bas_main.h"
#include "admin/dialog_frame.h"
#include "admin/win_main.h"
#include "admin/window_binding.h"

namespace vantorel {

namespace {

constexpr char kCaption[] = "Log File";
constexpr char kFileDialogTitle[] = "Select Log File";
constexpr char kFileFilter[] = "Log Files (*.log)\0*.log\0All Files (*.*)\0*.*\0";
constexpr char kDefaultExtension[] = "log";
constexpr int kClientWidthTwips = 5535;
constexpr int kClientHeightTwips = 1635;

using C = winLogFile::Control;
constexpr ControlSpec kControls[] = {
    {C::Frame1, kWindowItself, ControlKind::Frame, "OPOS Log File", {120, 60, 5295, 975}, nullptr},
    {C::txtLogFile, kWindowItself, ControlKind::TextField, "", {240, 420, 3855, 315}, nullptr},
    {C::btnBrowse, kWindowItself, ControlKind::Button, "&Browse", {4200, 405, 1095, 345}, nullptr},
    {C::btnOk, kWindowItself, ControlKind::DefaultButton, "&OK", {2955, 1170, 1140, 345}, nullptr},
    {C::btnCancel, kWindowItself, ControlKind::Button, "&Cancel", {4275, 1170, 1140, 345}, nullptr},
};

}  // namespace

winLogFile::winLogFile(winMain& form) : form_(form), logFile_(form.ControlText(MainControl::lblLogFile)) {}

void winLogFile::ShowModal() {
    const DialogFrame frame(kCaption, kModalDialogStyle);
    DialogBoxIndirectParamA(form_.Instance(), frame.get(), form_.Window(), &BoundDialogProc<winLogFile>,
                            reinterpret_cast<LPARAM>(this));
}

void winLogFile::Form_Load() { SetDlgItemTextA(dialog_, C::txtLogFile, logFile_.c_str()); }

void winLogFile::btnBrowse_Click() {
    // The path field's text is offered as the initial file when it fits the dialog's buffer.
    std::vector<char> file(MAX_PATH, '\0');
    const std::string current = WindowText(GetDlgItem(dialog_, C::txtLogFile));
    if (current.size() < file.size()) current.copy(file.data(), current.size());
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog_;
    ofn.lpstrFilter = kFileFilter;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = kFileDialogTitle;
    ofn.lpstrDefExt = kDefaultExtension;
    // A log file need not exist yet; the service object creates it.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&ofn) || file[0] == '\0') return;
    SetDlgItemTextA(dialog_, C::txtLogFile, file.data());
}

void winLogFile::btnOk_Click() {
    basMain::SetLogFilePath(form_, WindowText(GetDlgItem(dialog_, C::txtLogFile)));
    EndDialog(dialog_, IDOK);
}

// Ending the modal dialog enables the main window again.
void winLogFile::btnCancel_Click() { EndDialog(dialog_, IDCANCEL); }

INT_PTR winLogFile::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SizeClientArea(dialog_, kClientWidthTwips, kClientHeightTwips, false);
        CenterOver(dialog_, GetWindow(dialog_, GW_OWNER));
        if (!controls_.Create(dialog_, kControls, std::size(kControls), WindowDpi(dialog_))) {
            EndDialog(dialog_, IDABORT);
            return TRUE;
        }
        Form_Load();
        SetFocus(GetDlgItem(dialog_, C::txtLogFile));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case C::btnBrowse: btnBrowse_Click(); break;
        case C::btnOk: btnOk_Click(); break;
        case C::btnCancel: btnCancel_Click(); break;
        default: return FALSE;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace vantorel
