#include "admin/win_main.h"

#include <cstdio>
#include <iterator>
#include <string_view>
#include <utility>

#include "admin/bas_main.h"
#include "admin/bas_scale.h"
#include "admin/bas_win_reg.h"
#include "admin/message_box.h"
#include "admin/program_lifetime.h"
#include "admin/resource.h"
#include "admin/win_about.h"
#include "admin/win_add_instance.h"
#include "admin/win_log_file.h"
#include "admin/window_binding.h"
#include "common/opos.h"
#include "common/profile_schema.h"

namespace vantorel {

namespace {

constexpr char kMainClass[] = "VantorelMain";
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr long kClaimTimeout = 500;
constexpr long kReadWeightTimeout = 500;

constexpr char kSelectDeviceFirst[] = "You must select a device first.";
constexpr char kNoDevicesToDelete[] = "No devices to delete.";
constexpr char kCouldNotOpen[] = "Could Not Open Scale- ";
constexpr char kCouldNotClaim[] = "Could Not Claim Scale- ";
constexpr char kCouldNotRelease[] = "Could Not Release Scale- ";
constexpr char kCouldNotClose[] = "Could Not Close Scale- ";
constexpr char kNotOpened[] = "Scale could not be opened.";
constexpr char kNotClosed[] = "Scale could not be closed.";
constexpr char kCouldNotEnable[] = "Could Not Enable Scale. Please refer to log file.";
constexpr char kCouldNotDisable[] = "Could Not Disable Scale. Please refer to log file.";
constexpr char kReadWeightFailed[] =
    "Error trying to read weight. Please check the Configuration parameters and the Timeout parameter.";
constexpr char kZeroFailed[] = "Error trying to set the current scale weight to zero.";
constexpr char kControlNotInstalled[] = "The OPOS Scale control object is not installed.";

// The four setting lists: what each shows of the selected device's profile, and what a pick
// of the user writes there.
struct SettingList {
    MainControl list;
    ka::profile::Value value;
    std::string (*read)(const std::string& deviceName, const std::string& defaultText);
    // Which entry a text stands for (kNoEntry for none): texts standing for the same entry match.
    int (*entryOf)(std::string_view text) noexcept;
    void (winMain::*handler)();
};

int PortEntryOf(std::string_view text) noexcept {
    const int number = basScale::SerialPortNumber(text);
    return number > 0 ? number : basScale::kNoEntry;
}

using V = ka::profile::Value;
const SettingList kSettingLists[] = {
    {MainControl::lstSerialPort, V::SerialPort, &basScale::GetSerialPort, &PortEntryOf, &winMain::lstSerialPort_Click},
    {MainControl::lstBaudRate, V::BaudRate, &basScale::GetBaudRate, &basScale::BaudRateEntry,
     &winMain::lstBaudRate_Click},
    {MainControl::lstParity, V::Parity, &basScale::GetParity, &basScale::ParityEntry, &winMain::lstParity_Click},
    {MainControl::lstVerbosity, V::LogVerbosity, &basScale::GetLogVerbosity, &basScale::VerbosityEntry,
     &winMain::lstVerbosity_Click},
};
static_assert(std::size(kSettingLists) == kSettingListCount);

std::size_t SettingOf(MainControl list) {
    std::size_t setting = 0;
    while (setting + 1 < std::size(kSettingLists) && kSettingLists[setting].list != list) ++setting;
    return setting;
}

// Buttons and menu items, by the command they send.
struct CommandRoute {
    MainControl id;
    void (winMain::*handler)();
};
const CommandRoute kCommandRoutes[] = {
    {MainControl::mnuUpdateDeviceInstances, &winMain::mnuUpdateDeviceInstances_Click},
    {MainControl::mnuFileExit, &winMain::mnuFileExit_Click},
    {MainControl::mnuHelpAbout, &winMain::mnuHelpAbout_Click},
    {MainControl::btnAdd, &winMain::btnAdd_Click},
    {MainControl::btnRemove, &winMain::btnRemove_Click},
    {MainControl::btnEnableDevice, &winMain::btnEnableDevice_Click},
    {MainControl::btnDisableDevice, &winMain::btnDisableDevice_Click},
    {MainControl::btnReadWeight, &winMain::btnReadWeight_Click},
    {MainControl::btnZeroScale, &winMain::btnZeroScale_Click},
    {MainControl::btnSetLogFile, &winMain::btnSetLogFile_Click},
    {MainControl::btnSyncViews, &winMain::btnSyncViews_Click},
};

bool IsList(MainControl id) {
    for (const ControlSpec& entry : kMainControls) {
        if (entry.id == Id(id)) return entry.kind == ControlKind::DropDownList;
    }
    return false;
}

std::string HexCode(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string ControlFailure(const char* member, HRESULT hr) {
    return std::string("The OPOS Scale control object failed in ") + member + " (HRESULT " + HexCode(hr) + ").";
}

std::string ControlCreationFailure(HRESULT hr) {
    if (hr == REGDB_E_CLASSNOTREG) return kControlNotInstalled;
    return "The OPOS Scale control object could not be created (HRESULT " + HexCode(hr) + ").";
}

std::string WithResult(const char* lead, long code) {
    return std::string(lead) + kLineBreak + kLineBreak + ResultCode(code);
}

// The release answers that this window has no claim to give back (another application holds
// the scale, or none was taken): there is nothing to release, and the scale is closed all the
// same, or every later Open would find it still open.
bool HoldsNoClaim(long releaseResult) {
    return releaseResult == opos::OPOS_E_CLAIMED || releaseResult == opos::OPOS_E_NOTCLAIMED;
}

// A menu owned until the window that shows it takes it over.
struct MenuOwner {
    HMENU menu = nullptr;
    ~MenuOwner() {
        if (menu) DestroyMenu(menu);
    }
};

HMENU BuildMainMenu() {
    MenuOwner bar{CreateMenu()};
    if (!bar.menu) return nullptr;
    HMENU popup = nullptr;
    for (const MenuSpec& item : kMainMenu) {
        if (item.topLevel) {
            popup = CreatePopupMenu();
            if (!popup) return nullptr;
            AppendMenuA(bar.menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), item.text);
        } else if (!item.text) {
            AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(Id(item.id)), item.text);
        }
    }
    return std::exchange(bar.menu, nullptr);
}

bool RegisterMainClass(HINSTANCE instance) {
    WNDCLASSA existing;
    if (GetClassInfoA(instance, kMainClass, &existing)) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &BoundWindowProc<winMain>;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VANTOREL));
    if (!wc.hIcon) wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainClass;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

std::string ResultCode(long code) { return std::string(opos::ResultName(code)) + " (" + std::to_string(code) + ")"; }

std::string SettingNotWritten(const std::string& valueName, long code) {
    return "The setting \"" + valueName + "\" could not be saved." + kLineBreak + SystemErrorText(code);
}

std::string SystemErrorText(long code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : "Error " + std::to_string(code) + ".";
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

std::unique_ptr<winMain> winMain::Create(HINSTANCE instance, int showCommand) {
    if (!RegisterMainClass(instance)) return nullptr;
    std::unique_ptr<winMain> form(new winMain(instance, showCommand));
    MenuOwner menu{BuildMainMenu()};
    if (!menu.menu) return nullptr;
    HWND window = CreateWindowExA(0, kMainClass, kMainCaption, kMainStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu.menu, instance, form.get());
    if (!window) return nullptr;
    menu.menu = nullptr;  // destroyed with the window now
    form->Form_Load();
    return form;
}

winMain::~winMain() {
    if (window_) DestroyWindow(window_);
}

void winMain::Attach(HWND window) noexcept {
    window_ = window;
    TopLevelWindowOpened();
}

void winMain::Detach() noexcept {
    window_ = nullptr;
    // The control object lives as long as the window; closing does not disable or close the scale.
    SC.Release();
    TopLevelWindowClosed();
}

bool winMain::CreateContents() {
    SizeClientArea(window_, kMainClientWidthTwips, kMainClientHeightTwips, true);
    if (!controls_.Create(window_, kMainControls, std::size(kMainControls), WindowDpi(window_))) return false;
    for (const ListEntries& list : kMainListEntries) {
        for (std::size_t i = 0; i < list.count; ++i) AddListEntry(list.list, list.entries[i]);
    }
    for (const std::string& port : basScale::SerialPortList(basScale::MachineSerialPorts())) {
        AddListEntry(MainControl::lstSerialPort, port);
    }
    toolTips_ = CreateToolTips(window_);
    for (const ToolTipSpec& tip : kMainToolTips) AddToolTip(toolTips_, Control(tip.control), tip.text);
    // 32-bit Windows keeps one registry view: nothing to show or bring into step there.
    if (basWinReg::ProfileViews().size() < 2) {
        for (MainControl viewControl : {MainControl::lblViews, MainControl::btnSyncViews}) {
            ShowWindow(Control(viewControl), SW_HIDE);
            SetEnabled(viewControl, false);
        }
    }
    scCreated_ = SC.Create();
    return true;
}

LRESULT winMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return CreateContents() ? 0 : -1;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        // While locked around a call into the control object the window stays, and so does SC.
        if (IsWindowEnabled(window_)) DestroyWindow(window_);
        return 0;
    default:
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}

void winMain::OnCommand(int id, int code) {
    if (id == Id(MainControl::lstInstances)) {
        // A pick confirmed in the dropped list runs the handler even when it is the entry already
        // shown; a change made without dropping the list (the keyboard) runs it as well.
        const bool dropped = SendMessageA(Control(MainControl::lstInstances), CB_GETDROPPEDSTATE, 0, 0) != 0;
        if (code == CBN_SELENDOK || (code == CBN_SELCHANGE && !dropped)) lstInstances_Click();
        return;
    }
    for (const SettingList& list : kSettingLists) {
        if (id == Id(list.list)) {
            if (code == CBN_SELCHANGE) (this->*list.handler)();
            return;
        }
    }
    if (code != BN_CLICKED) return;  // menu items arrive with 0, as clicked buttons do
    for (const CommandRoute& route : kCommandRoutes) {
        if (id == Id(route.id)) {
            (this->*route.handler)();
            return;
        }
    }
}

HWND winMain::Control(MainControl id) const noexcept { return controls_[Id(id)]; }

std::string winMain::ControlText(MainControl id) const {
    HWND control = Control(id);
    if (!IsList(id)) return WindowText(control);
    const LRESULT position = SendMessageA(control, CB_GETCURSEL, 0, 0);
    return position < 0 ? std::string() : ListEntry(id, static_cast<int>(position));
}

void winMain::SetControlText(MainControl id, const std::string& text) { SetWindowTextA(Control(id), text.c_str()); }

void winMain::SetEnabled(MainControl id, bool enabled) { EnableWindow(Control(id), enabled ? TRUE : FALSE); }

bool winMain::IsEnabled(MainControl id) const { return IsWindowEnabled(Control(id)) != FALSE; }

int winMain::ListCount(MainControl list) const {
    return static_cast<int>(SendMessageA(Control(list), CB_GETCOUNT, 0, 0));
}

int winMain::ListPosition(MainControl list) const {
    return static_cast<int>(SendMessageA(Control(list), CB_GETCURSEL, 0, 0));
}

int winMain::AddListEntry(MainControl list, const std::string& text) {
    return static_cast<int>(SendMessageA(Control(list), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

void winMain::RemoveListEntry(MainControl list, int position) {
    if (position >= 0) SendMessageA(Control(list), CB_DELETESTRING, static_cast<WPARAM>(position), 0);
}

void winMain::ClearList(MainControl list) { SendMessageA(Control(list), CB_RESETCONTENT, 0, 0); }

void winMain::SelectListPosition(MainControl list, int position) {
    if (ListPosition(list) == position) return;
    SendMessageA(Control(list), CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    // CB_SETCURSEL notifies nobody: the instance list shows the device it moved to, as a pick
    // would. The setting lists write only when the user picks.
    if (list == MainControl::lstInstances) lstInstances_Click();
}

std::string winMain::ListEntry(MainControl list, int position) const {
    const LRESULT length = SendMessageA(Control(list), CB_GETLBTEXTLEN, static_cast<WPARAM>(position), 0);
    if (length < 0) return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(Control(list), CB_GETLBTEXT, static_cast<WPARAM>(position),
                                        reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

void winMain::ShowSetting(std::size_t setting, const std::string& stored) {
    const SettingList& shown = kSettingLists[setting];
    int& extra = extraEntries_[setting];
    if (extra >= 0) RemoveListEntry(shown.list, std::exchange(extra, -1));
    int position = -1;
    const int entry = shown.entryOf(stored);
    for (int i = 0; entry != basScale::kNoEntry && i < ListCount(shown.list) && position < 0; ++i) {
        if (shown.entryOf(ListEntry(shown.list, i)) == entry) position = i;
    }
    // A text that stands for no entry is shown as it is stored, and stays stored.
    if (position < 0) position = extra = AddListEntry(shown.list, stored);
    SendMessageA(Control(shown.list), CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

void winMain::ShowStoredSetting(std::size_t setting, const std::string& deviceName) {
    const SettingList& shown = kSettingLists[setting];
    ShowSetting(setting, shown.read(deviceName, ka::profile::Schema(shown.value).defaultText));
}

void winMain::Form_Load() {
    ShowWindow(window_, showCommand_);
    UpdateWindow(window_);
    basMain::DeviceClass = ka::profile::kScaleClass;
    mnuUpdateDeviceInstances_Click();
    SetFocus(Control(ListCount(MainControl::lstInstances) == 0 ? MainControl::btnAdd : MainControl::lstInstances));
    basMain::EnableInstanceList(*this, true);
    basMain::EnableDeviceButtons(*this, false);
    basMain::EnableTestButtons(*this, false);
    basMain::EnableConfigControls(*this, false);
    SetEnabled(MainControl::btnDisableDevice, false);
}

void winMain::mnuUpdateDeviceInstances_Click() {
    ClearList(MainControl::lstInstances);
    basScale::RefreshDeviceList(*this, basMain::DeviceClass);
}

void winMain::mnuFileExit_Click() { DestroyWindow(window_); }

void winMain::mnuHelpAbout_Click() { winAbout::Show(instance_); }

void winMain::btnAdd_Click() {
    winAddInstance dialog;
    dialog.ShowModal(instance_, window_);
    const std::string name = dialog.GetDevName();
    if (name.empty()) return;
    basMain::CreateDeviceInstance(*this, name);
    if (ListCount(MainControl::lstInstances) > 0) {
        SetEnabled(MainControl::btnEnableDevice, true);
        // A refused name leaves the panel as it was, possibly disabled; then the list keeps the focus.
        SetFocus(Control(IsEnabled(MainControl::lstSerialPort) ? MainControl::lstSerialPort
                                                               : MainControl::lstInstances));
    }
}

void winMain::btnRemove_Click() {
    if (ListCount(MainControl::lstInstances) == 0) {
        ShowMessage(window_, kNoDevicesToDelete);
    } else {
        basMain::DeleteDeviceInstance(*this);
        lstInstances_Click();
    }
    if (ListCount(MainControl::lstInstances) == 0) {
        basMain::EnableInstanceList(*this, true);
        basMain::EnableTestButtons(*this, false);
        basMain::EnableConfigControls(*this, false);
        basMain::EnableDeviceButtons(*this, false);
    }
}

bool winMain::ControlObjectReady() {
    if (SC.Exists()) return true;
    ShowMessage(window_, ControlCreationFailure(scCreated_));
    return false;
}

bool winMain::ControlAnswered(const char* member, HRESULT hr) {
    if (SUCCEEDED(hr)) return true;
    ShowMessage(window_, ControlFailure(member, hr));
    return false;
}

void winMain::btnEnableDevice_Click() {
    if (ControlText(MainControl::lstInstances).empty()) {
        ShowMessage(window_, kSelectDeviceFirst);
        return;
    }
    if (!ControlObjectReady() || !OpenScale()) return;
    // The service object's health-check dialog runs its own modal loop on this thread; the window
    // stays locked meanwhile so that none of its handlers runs inside that call.
    EnableWindow(window_, FALSE);
    long ignored = 0;
    const HRESULT hr = SC.CheckHealth(opos::OPOS_CH_INTERACTIVE, ignored);
    EnableWindow(window_, TRUE);
    SetActiveWindow(window_);
    ControlAnswered("CheckHealth", hr);
}

bool winMain::OpenScale() {
    long rc = 0;
    if (!ControlAnswered("Open", SC.Open(ControlText(MainControl::lstInstances), rc))) return false;
    if (rc != opos::OPOS_SUCCESS) {
        ShowMessage(window_, WithResult(kCouldNotOpen, rc));
        if (!CloseScale()) return false;
        ShowMessage(window_, kNotOpened);
        return true;
    }
    if (!ControlAnswered("Claim", SC.Claim(kClaimTimeout, rc))) return false;
    if (rc != opos::OPOS_SUCCESS) {
        ShowMessage(window_, WithResult(kCouldNotClaim, rc));
        if (!CloseScale()) return false;
        ShowMessage(window_, kNotClosed);
        return true;
    }
    bool enabled = false;
    if (!ControlAnswered("DeviceEnabled", SC.SetDeviceEnabled(true)) ||
        !ControlAnswered("DeviceEnabled", SC.GetDeviceEnabled(enabled))) {
        return false;
    }
    if (!enabled) {
        ShowMessage(window_, kCouldNotEnable);
        return CloseScale();
    }
    basMain::EnableInstanceButtons(*this, false);
    basMain::EnableConfigControls(*this, false);
    basMain::EnableTestButtons(*this, true);
    SetEnabled(MainControl::btnEnableDevice, false);
    SetEnabled(MainControl::btnDisableDevice, true);
    return true;
}

bool winMain::CloseScale() {
    bool enabled = true;
    if (!ControlAnswered("DeviceEnabled", SC.SetDeviceEnabled(false)) ||
        !ControlAnswered("DeviceEnabled", SC.GetDeviceEnabled(enabled))) {
        return false;
    }
    if (enabled) {
        ShowMessage(window_, kCouldNotDisable);
        return true;
    }
    long rc = 0;
    if (!ControlAnswered("ReleaseDevice", SC.ReleaseDevice(rc))) return false;
    if (rc != opos::OPOS_SUCCESS && !HoldsNoClaim(rc)) {
        ShowMessage(window_, WithResult(kCouldNotRelease, rc));
        return true;
    }
    if (!ControlAnswered("Close", SC.Close(rc))) return false;
    if (rc != opos::OPOS_SUCCESS) {
        ShowMessage(window_, WithResult(kCouldNotClose, rc));
        return true;
    }
    SetIdleLayout();
    return true;
}

void winMain::SetIdleLayout() {
    basMain::EnableInstanceButtons(*this, true);
    basMain::EnableConfigControls(*this, true);
    basMain::EnableTestButtons(*this, false);
    SetEnabled(MainControl::btnEnableDevice, true);
    SetEnabled(MainControl::btnDisableDevice, false);
}

void winMain::btnDisableDevice_Click() {
    if (ControlObjectReady()) CloseScale();
    SetControlText(MainControl::lblWeight, "");
    SetIdleLayout();
}

void winMain::btnReadWeight_Click() {
    if (!ControlObjectReady()) return;
    long weight = 0;
    long rc = 0;
    if (!ControlAnswered("ReadWeight", SC.ReadWeight(weight, kReadWeightTimeout, rc))) return;
    if (rc != opos::OPOS_SUCCESS) {
        ShowMessage(window_, kReadWeightFailed);
        return;
    }
    SetControlText(MainControl::lblWeight, std::to_string(weight));
}

void winMain::btnZeroScale_Click() {
    if (!ControlObjectReady()) return;
    long rc = 0;
    if (!ControlAnswered("ZeroScale", SC.ZeroScale(rc))) return;
    if (rc != opos::OPOS_SUCCESS) {
        ShowMessage(window_, kZeroFailed);
        return;
    }
    SetControlText(MainControl::lblWeight, "");
}

void winMain::btnSyncViews_Click() { basMain::BringDeviceIntoStep(*this); }

void winMain::ShowViewStatus() {
    if (basWinReg::ProfileViews().size() < 2) return;
    const std::string name = ControlText(MainControl::lstInstances);
    const basWinReg::ViewComparison views =
        name.empty() ? basWinReg::ViewComparison{} : basWinReg::CompareViews(basMain::DeviceClass, name);
    SetControlText(MainControl::lblViews, basScale::ViewStatus(views));
    // The command belongs to the configuration panel: offered while the panel is.
    SetEnabled(MainControl::btnSyncViews, basWinReg::OutOfStep(views) && IsEnabled(MainControl::lstSerialPort));
}

void winMain::btnSetLogFile_Click() {
    winLogFile dialog(*this);
    dialog.SetDefaultLogFile(ControlText(MainControl::lblLogFile));
    dialog.ShowModal();
}

void winMain::lstInstances_Click() {
    const std::string name = ControlText(MainControl::lstInstances);
    // Showing a device writes nothing: only a pick of the user in a setting list does.
    for (std::size_t setting = 0; setting < std::size(kSettingLists); ++setting) ShowStoredSetting(setting, name);
    SetControlText(MainControl::lblLogFile, basScale::GetLogFile(name, ka::profile::kDefaultLogFile));
    if (name.empty()) {
        basMain::EnableInstanceList(*this, true);
        basMain::EnableConfigControls(*this, false);
        SetEnabled(MainControl::btnEnableDevice, false);
    } else {
        basMain::EnableInstanceButtons(*this, true);
        basMain::EnableConfigControls(*this, true);
        SetEnabled(MainControl::btnEnableDevice, true);
    }
}

void winMain::ListChanged(MainControl list) {
    const std::string name = ControlText(MainControl::lstInstances);
    const std::size_t setting = SettingOf(list);
    const SettingList& picked = kSettingLists[setting];
    if (!name.empty()) {
        const ka::profile::ValueSpec& schema = ka::profile::Schema(picked.value);
        const long rc =
            basWinReg::SetProfileValue(basMain::DeviceClass, name, schema.name, ControlText(list), schema.pickDescription);
        if (rc == ERROR_SUCCESS) {
            ShowViewStatus();
            return;
        }
        ShowMessage(window_, SettingNotWritten(schema.name, rc));
    }
    // Nothing was written: the list shows what is stored.
    ShowStoredSetting(setting, name);
    ShowViewStatus();
}

void winMain::lstSerialPort_Click() { ListChanged(MainControl::lstSerialPort); }
void winMain::lstBaudRate_Click() { ListChanged(MainControl::lstBaudRate); }
void winMain::lstParity_Click() { ListChanged(MainControl::lstParity); }
void winMain::lstVerbosity_Click() { ListChanged(MainControl::lstVerbosity); }

}  // namespace vantorel
