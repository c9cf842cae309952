#pragma once
// winAddInstance: the modal "New Device" dialog that asks for the name of a new device instance.

#include <windows.h>

#include <string>

#include "admin/window_binding.h"

namespace vantorel {

class winAddInstance : public DialogForm {
public:
    enum Control : int { Label1 = 100, txtDevName, Command1 = IDOK, Command2 = IDCANCEL };

    // Shows the dialog modally over `owner` and returns when it is closed. One dialog object serves one showing.
    void ShowModal(HINSTANCE instance, HWND owner);
    // The accepted device name; empty when the user cancelled.
    const std::string& GetDevName() const noexcept { return devName_; }

    void Form_Load();
    void Form_Activate();
    void Command1_Click();
    void Command2_Click();

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    std::string devName_;
};

}  // namespace vantorel
