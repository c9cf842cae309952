#include "admin/fonts.h"

namespace vantorel {

namespace {
constexpr int kPointsPerInch = 72;
constexpr int kHundredths = 100;
}  // namespace

UniqueFont CreateFontAt(const FontSpec& font, int dpi) noexcept {
    // A negative height asks for the character height, which is what a point size means.
    const int height = -MulDiv(font.hundredthsOfPoint, dpi, kPointsPerInch * kHundredths);
    return UniqueFont(CreateFontA(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                  ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_SWISS, font.face));
}

}  // namespace vantorel
