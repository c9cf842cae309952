#pragma once
// The few fonts the administrator's windows use, created at the DPI of the window showing them.

#include <windows.h>

#include "common/unique_handle.h"

namespace vantorel {

namespace detail {
inline HFONT NullFont() noexcept { return nullptr; }
inline void DeleteFontObject(HFONT font) noexcept { ::DeleteObject(font); }
}  // namespace detail
using UniqueFont = ka::UniqueResource<ka::detail::Traits<HFONT, detail::NullFont, detail::DeleteFontObject>>;

struct FontSpec {
    const char* face;
    int hundredthsOfPoint;  // 8.25 pt is 825
    bool bold;
};

inline constexpr FontSpec kDefaultFont = {"MS Sans Serif", 825, false};
inline constexpr FontSpec kBoldLabelFont = {"MS Sans Serif", 825, true};
inline constexpr FontSpec kArialFont = {"Arial", 825, false};
inline constexpr FontSpec kAboutTitleFont = {"Arial", 1200, true};
inline constexpr FontSpec kAboutVersionFont = {"Arial", 975, true};

UniqueFont CreateFontAt(const FontSpec& font, int dpi) noexcept;

}  // namespace vantorel
