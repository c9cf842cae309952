#include "admin/control_layout.h"

#include <commctrl.h>

namespace vantorel {

namespace {

constexpr char kPanelClass[] = "VantorelPanel";
// A drop-down list is created with room for its list below the field.
constexpr int kDroppedListTwips = 2400;
constexpr int kMinimumLineThickness = 2;

// Panels only group controls: what their children report goes to the window that owns the panel.
LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return SendMessageA(GetParent(panel), message, wParam, lParam);
    default:
        return DefWindowProcA(panel, message, wParam, lParam);
    }
}

void RegisterPanelClass(HINSTANCE instance) {
    WNDCLASSA existing;
    if (GetClassInfoA(instance, kPanelClass, &existing)) return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPanelClass;
    RegisterClassA(&wc);
}

struct WindowClassAndStyle {
    const char* className;
    DWORD style;
    DWORD exStyle;
};

WindowClassAndStyle ClassAndStyle(ControlKind kind) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (kind) {
    case ControlKind::Label: return {WC_STATICA, child | SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::BorderedLabel: return {WC_STATICA, child | SS_LEFT | SS_NOPREFIX | SS_SUNKEN, 0};
    case ControlKind::RightLabel: return {WC_STATICA, child | SS_RIGHT | SS_NOPREFIX, 0};
    case ControlKind::Panel: return {kPanelClass, child | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT};
    case ControlKind::DropDownList: return {WC_COMBOBOXA, child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::Button: return {WC_BUTTONA, child | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::DefaultButton: return {WC_BUTTONA, child | WS_TABSTOP | BS_DEFPUSHBUTTON, 0};
    case ControlKind::VerticalLine: return {WC_STATICA, child | SS_ETCHEDVERT, 0};
    case ControlKind::HorizontalLine: return {WC_STATICA, child | SS_ETCHEDHORZ, 0};
    case ControlKind::TextField: return {WC_EDITA, child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::ReadOnlyText:
        return {WC_EDITA, child | ES_MULTILINE | ES_READONLY, 0};
    case ControlKind::Icon: return {WC_STATICA, child | SS_ICON | SS_CENTERIMAGE, 0};
    case ControlKind::Frame: return {WC_BUTTONA, child | BS_GROUPBOX, 0};
    }
    return {WC_STATICA, child, 0};
}

RECT ControlRect(const ControlSpec& entry, int dpi) {
    RECT r = ToPixels(entry.position, dpi);
    switch (entry.kind) {
    case ControlKind::DropDownList: r.bottom += TwipsToPixels(kDroppedListTwips, dpi); break;
    case ControlKind::VerticalLine: r.right = r.left + kMinimumLineThickness; break;
    case ControlKind::HorizontalLine: r.bottom = r.top + kMinimumLineThickness; break;
    default: break;
    }
    return r;
}

}  // namespace

HFONT ControlSet::Font(const FontSpec& wanted, int dpi) {
    for (const auto& [key, font] : fonts_) {
        if (key == &wanted) return font.get();
    }
    fonts_.emplace_back(&wanted, CreateFontAt(wanted, dpi));
    return fonts_.back().second.get();
}

bool ControlSet::Create(HWND window, const ControlSpec* entries, std::size_t count, int dpi) {
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    RegisterPanelClass(instance);
    for (std::size_t i = 0; i < count; ++i) {
        const ControlSpec& entry = entries[i];
        HWND parent = entry.container == kWindowItself ? window : (*this)[entry.container];
        if (!parent) return false;
        const auto [className, style, exStyle] = ClassAndStyle(entry.kind);
        const RECT r = ControlRect(entry, dpi);
        HWND control = CreateWindowExA(exStyle, className, entry.text ? entry.text : "", style, r.left, r.top,
                                       r.right - r.left, r.bottom - r.top, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance, nullptr);
        if (!control) return false;
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(entry.font ? *entry.font : kDefaultFont, dpi)),
                     FALSE);
        controls_.emplace_back(entry.id, control);
    }
    return true;
}

HWND ControlSet::operator[](int id) const noexcept {
    for (const auto& [key, control] : controls_) {
        if (key == id) return control;
    }
    return nullptr;
}

void SizeClientArea(HWND window, int widthTwips, int heightTwips, bool hasMenu) {
    const int dpi = WindowDpi(window);
    RECT r = {0, 0, TwipsToPixels(widthTwips, dpi), TwipsToPixels(heightTwips, dpi)};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), hasMenu,
                       static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CreateToolTips(HWND owner) {
    return CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr, nullptr);
}

void AddToolTip(HWND tips, HWND control, const char* text) {
    if (!tips || !control) return;
    TTTOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(control);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<char*>(text);
    SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

}  // namespace vantorel
