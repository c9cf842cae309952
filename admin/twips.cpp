#include "admin/twips.h"

namespace vantorel {

namespace {
constexpr int kFallbackDpi = 96;
}

int TwipsToPixels(int twips, int dpi) noexcept { return MulDiv(twips, dpi, kTwipsPerInch); }

RECT ToPixels(const TwipsRect& twips, int dpi) noexcept {
    const int left = TwipsToPixels(twips.left, dpi);
    const int top = TwipsToPixels(twips.top, dpi);
    return RECT{left, top, left + TwipsToPixels(twips.width, dpi), top + TwipsToPixels(twips.height, dpi)};
}

int WindowDpi(HWND window) noexcept {
    HDC dc = GetDC(window);
    if (!dc) return kFallbackDpi;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return dpi > 0 ? dpi : kFallbackDpi;
}

}  // namespace vantorel
