#pragma once
// winMain: the administrator's main window with its instance bar, configuration panel and test
// panel, and the OPOS Scale control object SC that the test panel drives.

#include <windows.h>

#include <memory>
#include <string>

#include "admin/control_layout.h"
#include "admin/scale_control.h"
#include "admin/win_main_layout.h"

namespace vantorel {

// "NAME (code)", for example "CLOSED (101)" or "<unknown> (-1)".
std::string ResultCode(long code);

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
    // Selects a position as the program does: when the selection changes, the list's handler runs at once.
    void SelectListPosition(MainControl list, int position);

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
    void RunListHandler(MainControl list);
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
};

}  // namespace vantorel
