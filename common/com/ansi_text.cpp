#include "common/com/ansi_text.h"

#include <climits>

namespace ka::com {

std::string WideToAnsi(const wchar_t* text, size_t length) {
    if (!text || length == 0 || length > INT_MAX) return {};
    const int wideLength = static_cast<int>(length);
    const int size = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, wideLength, &ansi[0], size, nullptr, nullptr);
    return ansi;
}

std::string BstrToAnsi(BSTR text) { return WideToAnsi(text, text ? SysStringLen(text) : 0); }

std::wstring AnsiToWide(const char* text) {
    if (!text || !*text) return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 1) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], size);
    wide.resize(static_cast<size_t>(size - 1));
    return wide;
}

BSTR AnsiToBstr(const char* text) noexcept {
    try {
        const std::wstring wide = AnsiToWide(text);
        return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    } catch (...) {
        return nullptr;
    }
}

}  // namespace ka::com
