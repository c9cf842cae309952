#pragma once
// Conversions between automation strings and the process's ANSI code page.

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace ka::com {

// The text in the ANSI code page; a null BSTR is the empty text.
std::string BstrToAnsi(BSTR text);
std::string WideToAnsi(const wchar_t* text, size_t length);
std::wstring AnsiToWide(const char* text);
// A new automation string, or null when it cannot be allocated.
BSTR AnsiToBstr(const char* text) noexcept;

}  // namespace ka::com
