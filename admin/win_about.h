#pragma once
// winAbout: the about box. Not modal and never more than one; it lives on its own, so closing
// the main window leaves it open.

#include <windows.h>

#include <string>

#include "admin/control_layout.h"

namespace vantorel {

class winAbout {
public:
    enum Control : int {
        picIcon = 100,
        lblTitle,
        lblVersion,
        lblBuild,
        lblDescription,
        txtOwnership,
        Line1,
        lblDisclaimer,
        cmdSysInfo,
        cmdOK = IDOK,
    };

    // Shows the about box, creating it when it is not open yet.
    static void Show(HINSTANCE instance);
    // The open about box, or null.
    static HWND Window() noexcept;

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    void Attach(HWND dialog) noexcept;
    void Detach() noexcept;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    winAbout() = default;
    HWND dialog_ = nullptr;
    ControlSet controls_;
};

// Reads one registry value as text; false when the key or the value cannot be read.
bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal);

// "major.minor.revision" from the version resource of the running program, or "" without one.
std::string ProgramVersion();

}  // namespace vantorel
