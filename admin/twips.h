#pragma once
// Layouts are given in twips (1440 to the inch) and converted here, and only here, to pixels
// at the DPI of the window that shows them.

#include <windows.h>

namespace vantorel {

inline constexpr int kTwipsPerInch = 1440;

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

int TwipsToPixels(int twips, int dpi) noexcept;
RECT ToPixels(const TwipsRect& twips, int dpi) noexcept;
// The logical DPI at which the window is drawn.
int WindowDpi(HWND window) noexcept;

}  // namespace vantorel
