#include "common/leading_number.h"

#include <cstdint>

namespace ka {

namespace {
// Profile numbers are 32-bit on every host, whatever width `long` has there. The magnitude is
// held one past the largest so that the smallest itself fits.
constexpr long long kLargest = INT32_MAX;
constexpr long long kLimit = kLargest + 1;
}  // namespace

LeadingNumber ReadLeadingNumber(std::string_view text) noexcept {
    LeadingNumber number;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        number.whole = number.whole * 10 + (text[i] - '0');
        if (number.whole > kLimit) number.whole = kLimit;
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && IsDigit(text[i]); ++i, scale /= 10) number.fraction += (text[i] - '0') * scale;
    }
    return number;
}

long LeadingDecimal(std::string_view text) noexcept {
    const LeadingNumber number = ReadLeadingNumber(text);
    if (number.negative) return static_cast<long>(-number.whole);
    return static_cast<long>(number.whole > kLargest ? kLargest : number.whole);
}

double LeadingValue(std::string_view text) noexcept {
    const LeadingNumber number = ReadLeadingNumber(text);
    const double value = static_cast<double>(number.whole) + number.fraction;
    return number.negative ? -value : value;
}

}  // namespace ka
