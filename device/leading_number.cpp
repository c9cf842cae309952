#include "device/leading_number.h"

#include <cstdint>

namespace pendrax {

long LeadingDecimal(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Profile numbers are 32-bit on every host, whatever width `long` has there. Accumulated as
    // a magnitude one past the largest so that the smallest itself fits.
    constexpr long long kLargest = INT32_MAX;
    constexpr long long kLimit = kLargest + 1;
    long long magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return static_cast<long>(-magnitude);
    return static_cast<long>(magnitude > kLargest ? kLargest : magnitude);
}

}  // namespace pendrax
