#pragma once
// Thin static window and dialog procedures: each finds its object (stored when the window is
// created) and lets the object handle the message. Nothing thrown inside crosses the edge.

#include <windows.h>

#include "admin/control_layout.h"

namespace vantorel {

// T provides: LRESULT HandleMessage(UINT, WPARAM, LPARAM) and void Attach(HWND) / Detach().
template <typename T>
LRESULT CALLBACK BoundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->Attach(window);
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->Detach();
        return DefWindowProcA(window, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// T provides: INT_PTR HandleMessage(UINT, WPARAM, LPARAM) (FALSE when not handled) and Attach / Detach.
template <typename T>
INT_PTR CALLBACK BoundDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<T*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->Attach(dialog);
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        self->Detach();
        return FALSE;
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

// What a modal dialog form holds while it is shown: its window and the controls made in it.
class DialogForm {
public:
    void Attach(HWND dialog) noexcept { dialog_ = dialog; }
    void Detach() noexcept { dialog_ = nullptr; }

protected:
    HWND dialog_ = nullptr;
    ControlSet controls_;
};

}  // namespace vantorel
