#include "device/leading_number.h"

#include <climits>

namespace pendrax {

long LeadingDecimal(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude one past LONG_MAX so that LONG_MIN itself fits.
    constexpr long long kLimit = static_cast<long long>(LONG_MAX) + 1;
    long long magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return static_cast<long>(-magnitude);
    return magnitude > LONG_MAX ? LONG_MAX : static_cast<long>(magnitude);
}

}  // namespace pendrax
