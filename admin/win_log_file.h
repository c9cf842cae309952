#pragma once
// winLogFile: the modal "Log File" dialog that edits the provider-wide log-file path.

#include <windows.h>

#include <string>

#include "admin/window_binding.h"

namespace vantorel {

class winMain;

class winLogFile : public DialogForm {
public:
    enum Control : int { Frame1 = 100, txtLogFile, btnBrowse, btnOk = IDOK, btnCancel = IDCANCEL };

    // The path field starts with the main window's log-file label.
    explicit winLogFile(winMain& form);
    void SetDefaultLogFile(const std::string& sFileName) { logFile_ = sFileName; }
    // Shows the dialog modally over the main window; one dialog object serves one showing.
    void ShowModal();

    void Form_Load();
    void btnBrowse_Click();
    void btnOk_Click();
    void btnCancel_Click();

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    winMain& form_;
    std::string logFile_;
};

}  // namespace vantorel
