#pragma once
// The C library's rule for a leading decimal number, without its locale. Pure: no Windows headers.

#include <string_view>

namespace pendrax {

// Space, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool IsBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Leading blanks skipped, an optional sign, then digits up to the first other character;
// no digits give 0, and a number beyond the 32-bit range is held at its nearer limit.
long LeadingDecimal(std::string_view text) noexcept;

}  // namespace pendrax
