#pragma once
// winMain: the administrator's main window with its instance bar, configuration panel and test
// panel, and the OPOS Scale control object SC that the test panel drives.

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "admin/control_layout.h"
#include "admin/scale_control.h"
#include "admin/win_main_layout.h"

namespace vantorel {

// Serial port, baud rate, parity and log verbosity.
inline constexpr std::size_t kSettingListCount = 4;

// "NAME (code)", for example "CLOSED (101)" or "<unknown> (-1)".
std::string ResultCode(long code);
// The message for a profile setting that could not be written: its value name and the Windows
// text of the error.
std::string SettingNotWritten(const std::string& valueName, long code);
// The Windows text of an error code, without its line end.
std::string SystemErrorText(long code);

class winMain {
public:
    // Creates the window and its control object, then runs Form_Load. Null when the window
    // cannot be made. The thread must have entered a single-threaded apartment.
    static std::unique_ptr<winMain> Create(HINSTANCE instance, int showCommand);
    ~winMain();
    winMain(const winMain&) = delete;
    winMain& operator=(const winMain&) = delete;

    HWND Window() const noexcept { return window_; }
    HWND Control(MainControl id) const noexcept;
    HINSTANCE Instance() const noexcept { return instance_; }
    HWND ToolTips() const noexcept { return toolTips_; }

    // Control access for the instance operations.
    std::string ControlText(MainControl id) const;  // a list's current entry, else the caption
    void SetControlText(MainControl id, const std::string& text);
    void SetEnabled(MainControl id, bool enabled);
    bool IsEnabled(MainControl id) const;
    int ListCount(MainControl list) const;
    int ListPosition(MainControl list) const;  // -1 when nothing is selected
    int AddListEntry(MainControl list, const std::string& text);
    void RemoveListEntry(MainControl list, int position);
    void ClearList(MainControl list);
    // Selects a position as the program does; when the instance list's selection changes, its
    // handler runs at once and shows the device.
    void SelectListPosition(MainControl list, int position);
    // Shows how the selected device stands in the registry views, and offers to bring them into
    // step where they differ. Nothing where Windows has one view.
    void ShowViewStatus();

    void Form_Load();
    void mnuUpdateDeviceInstances_Click();
    void mnuFileExit_Click();
    void mnuHelpAbout_Click();
    void btnAdd_Click();
    void btnRemove_Click();
    void btnEnableDevice_Click();
    void btnDisableDevice_Click();
    void btnReadWeight_Click();
    void btnZeroScale_Click();
    void btnSetLogFile_Click();
    void btnSyncViews_Click();
    void lstInstances_Click();
    void lstSerialPort_Click();
    void lstBaudRate_Click();
    void lstParity_Click();
    void lstVerbosity_Click();

    // Open, claim and enable the selected scale. False when the control object itself failed
    // (it is missing, or a dispatch call returned an error instead of a result code).
    bool OpenScale();
    // Disable, release and close the scale; false when the control object itself failed.
    bool CloseScale();

    // Used by the window procedure.
    void Attach(HWND window) noexcept;
    void Detach() noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    winMain(HINSTANCE instance, int showCommand) : instance_(instance), showCommand_(showCommand) {}
    bool CreateContents();
    void OnCommand(int id, int code);
    void ListChanged(MainControl list);
    std::string ListEntry(MainControl list, int position) const;
    // Shows a stored text in its setting list, as an extra entry when it stands for none.
    void ShowSetting(std::size_t setting, const std::string& stored);
    void ShowStoredSetting(std::size_t setting, const std::string& deviceName);
    // Shows the failure of the control object and returns false; true when `hr` succeeded.
    bool ControlAnswered(const char* member, HRESULT hr);
    bool ControlObjectReady();
    void SetIdleLayout();

    HINSTANCE instance_;
    int showCommand_;
    HWND window_ = nullptr;
    HWND toolTips_ = nullptr;
    ControlSet controls_;
    ScaleControl SC;
    HRESULT scCreated_ = E_FAIL;
    // Per setting list, the position of the extra entry that shows a stored text outside the
    // list's vocabulary, or -1.
    std::array<int, kSettingListCount> extraEntries_{-1, -1, -1, -1};
    // The selected device is in one registry view only, or differs between them.
};

}  // namespace vantorel
