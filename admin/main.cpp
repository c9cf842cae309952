// Vantorel.exe: the administrator program starts on its main window and runs until its last
// window has closed.

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "admin/program_lifetime.h"
#include "admin/win_main.h"
#include "common/com/owners.h"

namespace {

// Keyboard navigation (Tab, Enter, Esc, mnemonics) for whichever of the program's windows holds the message.
void RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogMessageA(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    try {
        // Left on every path out of the program.
        const ka::com::OleScope ole(OleInitialize(nullptr));
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        vantorel::QuitWhenLastWindowCloses(true);
        auto form = vantorel::winMain::Create(instance, showCommand);
        if (!form) return 1;
        RunMessageLoop();
        return 0;
    } catch (...) {
        return 1;
    }
}
