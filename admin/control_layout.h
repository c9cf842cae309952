#pragma once
// Windows of the administrator describe their controls as tables in twips; one loop makes them.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "admin/fonts.h"
#include "admin/twips.h"

namespace vantorel {

enum class ControlKind {
    Label,
    BorderedLabel,   // a label with a single-line border
    RightLabel,      // a label whose text ends at its right edge
    Panel,           // a container whose children report to the window
    DropDownList,    // selection only, nothing can be typed
    Button,
    DefaultButton,
    VerticalLine,    // drawn at the left edge of its rectangle
    HorizontalLine,  // drawn at the top edge of its rectangle
    TextField,
    ReadOnlyText,
    Icon,
    Frame,
};

inline constexpr int kWindowItself = 0;

struct ControlSpec {
    int id;
    int container;  // the id of a panel, or kWindowItself
    ControlKind kind;
    const char* text;
    TwipsRect position;  // relative to the container's client area
    const FontSpec* font;
};

// The controls of one window, by id, with the fonts they were given.
class ControlSet {
public:
    // Creates every control of the table in order (which is also the tab order).
    bool Create(HWND window, const ControlSpec* entries, std::size_t count, int dpi);
    HWND operator[](int id) const noexcept;

private:
    HFONT Font(const FontSpec& wanted, int dpi);
    std::vector<std::pair<int, HWND>> controls_;
    std::vector<std::pair<const FontSpec*, UniqueFont>> fonts_;
};

// Sizes the window so that its client area measures the given twips at the window's DPI.
void SizeClientArea(HWND window, int widthTwips, int heightTwips, bool hasMenu);

// A tool-tip window owned by `owner`, destroyed with it.
HWND CreateToolTips(HWND owner);
void AddToolTip(HWND tips, HWND control, const char* text);

std::string WindowText(HWND window);

}  // namespace vantorel
