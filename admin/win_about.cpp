#include "admin/win_about.h"

#include <memory>
#include <vector>

#include "admin/dialog_frame.h"
#include "admin/message_box.h"
#include "admin/program_lifetime.h"
#include "admin/resource.h"
#include "admin/window_binding.h"
#include "common/unique_handle.h"

namespace vantorel {

namespace {

constexpr int kClientWidthTwips = 5205;
constexpr int kClientHeightTwips = 3990;
constexpr DWORD kAboutStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_MINIMIZEBOX;

constexpr char kTitle[] = "Kolvane-Aris OPOS Administrator";
constexpr char kVersionDesign[] = "For 32-bit Windows";
constexpr char kBuildLabel[] = "Release build";
constexpr char kDescription[] = "This application is used to configure and test a Kolvane-Aris TRM-07 model scale.";
constexpr char kOwnershipNotice[] = "This product is the property of Kolvane-Aris.";
constexpr char kDisclaimer[] =
    "This program configures and tests scales on point-of-sale terminals. It is supplied as is, "
    "without warranty of any kind. Change the settings of a scale only when you are responsible for "
    "that terminal.";
constexpr char kSysInfoUnavailable[] = "System Information Is Unavailable At This Time";

// Where the system-information program is recorded, in the order they are consulted.
constexpr char kSysInfoKey[] = "SOFTWARE\\KolvaneAris\\Shared Tools\\MSINFO";
constexpr char kSysInfoValue[] = "PATH";
constexpr char kSysInfoLocationKey[] = "SOFTWARE\\KolvaneAris\\Shared Tools Location";
constexpr char kSysInfoLocationValue[] = "MSINFO";
constexpr char kSysInfoProgram[] = "\\MSINFO32.EXE";
// Query, set, create subkey, enumerate subkeys, notify, create link and read control.
constexpr REGSAM kSysInfoKeyAccess = 0x2003F;
constexpr DWORD kKeyValueBufferSize = 1024;

using C = winAbout::Control;
constexpr ControlSpec kControls[] = {
    {C::picIcon, kWindowItself, ControlKind::Icon, nullptr, {4440, 240, 540, 540}, nullptr},
    {C::lblTitle, kWindowItself, ControlKind::Label, kTitle, {330, 240, 4005, 360}, &kAboutTitleFont},
    {C::lblVersion, kWindowItself, ControlKind::Label, kVersionDesign, {330, 600, 3885, 225}, &kAboutVersionFont},
    {C::lblBuild, kWindowItself, ControlKind::Label, kBuildLabel, {360, 960, 3855, 255}, nullptr},
    {C::lblDescription, kWindowItself, ControlKind::Label, "", {360, 1320, 4575, 375}, nullptr},
    {C::txtOwnership, kWindowItself, ControlKind::ReadOnlyText, "", {360, 1920, 4575, 375}, nullptr},
    {C::Line1, kWindowItself, ControlKind::HorizontalLine, nullptr, {360, 2400, 4560, 0}, nullptr},
    {C::lblDisclaimer, kWindowItself, ControlKind::Label, kDisclaimer, {360, 2520, 4575, 825}, nullptr},
    {C::cmdSysInfo, kWindowItself, ControlKind::Button, "&System Info...", {3600, 3360, 1245, 345}, nullptr},
    {C::cmdOK, kWindowItself, ControlKind::DefaultButton, "OK", {2040, 3480, 1260, 345}, nullptr},
};

winAbout* openBox = nullptr;

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Starts the program in a normal window that takes the focus, without waiting for it.
bool StartProgram(const std::string& path) {
    if (path.empty()) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    ka::UniqueHandle process(started.hProcess);
    ka::UniqueHandle thread(started.hThread);
    return true;
}

}  // namespace

bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal) {
    KeyVal.clear();
    ka::UniqueKey key;
    if (RegOpenKeyExA(KeyRoot, KeyName.c_str(), 0, kSysInfoKeyAccess, key.put()) != ERROR_SUCCESS) return false;
    std::vector<char> buffer(kKeyValueBufferSize, '\0');
    DWORD type = REG_NONE;
    DWORD size = kKeyValueBufferSize;
    if (RegQueryValueExA(key.get(), SubKeyRef.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    std::string data(buffer.data(), size);
    if (!data.empty() && data.back() == '\0') data.pop_back();
    // Only a text value is a usable path; other types are found, but yield no path.
    if (type == REG_SZ) KeyVal = data;
    return true;
}

std::string ProgramVersion() {
    char path[MAX_PATH] = {};
    if (!GetModuleFileNameA(nullptr, path, MAX_PATH)) return std::string();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return std::string();
    std::vector<BYTE> info(size);
    if (!GetFileVersionInfoA(path, 0, size, info.data())) return std::string();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return std::string();
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
           "." + std::to_string(HIWORD(fixed->dwFileVersionLS));
}

void winAbout::Show(HINSTANCE instance) {
    if (openBox) {
        ShowWindow(openBox->dialog_, SW_SHOWNORMAL);
        SetForegroundWindow(openBox->dialog_);
        return;
    }
    auto box = std::unique_ptr<winAbout>(new winAbout);
    const DialogFrame frame((std::string("About ") + kProgramTitle).c_str(), kAboutStyle);
    // Once its window exists the box owns itself and is deleted when the window goes.
    HWND dialog = CreateDialogIndirectParamA(instance, frame.get(), nullptr, &BoundDialogProc<winAbout>,
                                             reinterpret_cast<LPARAM>(box.get()));
    if (!dialog) return;
    box.release();
    ShowWindow(dialog, SW_SHOWNORMAL);
}

HWND winAbout::Window() noexcept { return openBox ? openBox->dialog_ : nullptr; }

void winAbout::Attach(HWND dialog) noexcept {
    dialog_ = dialog;
    openBox = this;
    TopLevelWindowOpened();
}

void winAbout::Detach() noexcept {
    dialog_ = nullptr;
    if (openBox == this) openBox = nullptr;
    delete this;
    TopLevelWindowClosed();
}

void winAbout::Form_Load() {
    SetWindowTextA(dialog_, (std::string("About ") + kProgramTitle).c_str());
    SetDlgItemTextA(dialog_, C::lblVersion, (std::string(kVersionDesign) + " " + ProgramVersion()).c_str());
    SetDlgItemTextA(dialog_, C::txtOwnership, kOwnershipNotice);
    SetDlgItemTextA(dialog_, C::lblDescription, kDescription);
}

void winAbout::cmdOK_Click() { DestroyWindow(dialog_); }

void winAbout::cmdSysInfo_Click() { StartSysInfo(); }

void winAbout::StartSysInfo() {
    std::string path;
    bool found = GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, path);
    if (!found) {
        std::string folder;
        found = GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue, folder) &&
                FileExists(folder + kSysInfoProgram);
        if (found) path = folder + kSysInfoProgram;
    }
    if (!found || !StartProgram(path)) ShowMessage(dialog_, kSysInfoUnavailable);
}

INT_PTR winAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        SizeClientArea(dialog_, kClientWidthTwips, kClientHeightTwips, false);
        CenterOver(dialog_, nullptr);
        if (!controls_.Create(dialog_, kControls, std::size(kControls), WindowDpi(dialog_))) {
            // Closed once it exists, so that whoever created it keeps a valid answer.
            PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        }
        auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog_, GWLP_HINSTANCE));
        HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VANTOREL));
        SendDlgItemMessageA(dialog_, C::picIcon, STM_SETICON,
                            reinterpret_cast<WPARAM>(icon ? icon : LoadIconA(nullptr, IDI_APPLICATION)), 0);
        Form_Load();
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case C::cmdOK:
        case IDCANCEL: cmdOK_Click(); break;  // Esc, and the close box, press OK
        case C::cmdSysInfo: cmdSysInfo_Click(); break;
        default: return FALSE;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace vantorel
