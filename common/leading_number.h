#pragma once
// The one rule for the number a text begins with, shared by the service object and the
// administrator. Pure: no Windows headers, so it is fuzzed natively too.

#include <string_view>

namespace ka {

// Space, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool IsBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Leading blanks skipped, an optional sign, digits, then an optional "." and more digits.
struct LeadingNumber {
    bool negative = false;
    // The digits before the point, held just past the 32-bit range so that no text overflows.
    long long whole = 0;
    double fraction = 0;
};
LeadingNumber ReadLeadingNumber(std::string_view text) noexcept;

// The whole part, held to the 32-bit range (the C library's reading): "12.7" is 12, "-3.5" is
// -3, a text without digits there 0.
long LeadingDecimal(std::string_view text) noexcept;
// The value with its fraction: "19200.0" is 19200, ".5" is 0.5, a text without digits 0.
double LeadingValue(std::string_view text) noexcept;

}  // namespace ka
