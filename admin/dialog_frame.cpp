#include "admin/dialog_frame.h"

#include <cstring>

namespace vantorel {

namespace {
constexpr std::size_t kWordsPerDialogTemplate = sizeof(DLGTEMPLATE) / sizeof(WORD);
}

DialogFrame::DialogFrame(const char* caption, DWORD style) {
    DLGTEMPLATE frame = {};
    frame.style = style;
    words_.resize(kWordsPerDialogTemplate);
    std::memcpy(words_.data(), &frame, sizeof frame);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the predefined dialog class
    const int length = MultiByteToWideChar(CP_ACP, 0, caption, -1, nullptr, 0);
    const std::size_t start = words_.size();
    words_.resize(start + static_cast<std::size_t>(length > 0 ? length : 1), 0);
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, caption, -1, reinterpret_cast<wchar_t*>(&words_[start]), length);
}

void CenterOver(HWND window, HWND owner) {
    RECT area;
    if (!owner || !GetWindowRect(owner, &area)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT own;
    GetWindowRect(window, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int left = area.left + (area.right - area.left - width) / 2;
    int top = area.top + (area.bottom - area.top - height) / 2;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace vantorel
