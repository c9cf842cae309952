#pragma once
// Dialogs of the administrator are built in memory: the template holds only the frame and its
// caption; each dialog sizes itself and makes its controls from its own table in twips.

#include <windows.h>

#include <vector>

namespace vantorel {

// A dialog template without controls. WORD storage keeps the DWORD alignment the template needs.
class DialogFrame {
public:
    DialogFrame(const char* caption, DWORD style);
    const DLGTEMPLATE* get() const noexcept { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    std::vector<WORD> words_;
};

inline constexpr DWORD kModalDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;

// Places the window over the middle of its owner, or of the screen when it has none.
void CenterOver(HWND window, HWND owner);

}  // namespace vantorel
