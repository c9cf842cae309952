#include "device/reply_parser.h"

#include <string_view>

#include "common/leading_number.h"

namespace pendrax {

namespace {
using ka::IsDigit;

constexpr char kStatusMark = 'S';
constexpr char kDecimalPoint = '.';
constexpr std::size_t kStatusOnlyMarkAt = 1;
// The weight is read from two characters before the "." to three after it.
constexpr std::size_t kDigitsBefore = 2;
constexpr std::size_t kDigitsAfter = 2;
constexpr std::size_t kThousandthsAt = 3;

constexpr char kMinus = '-';
constexpr char kPad = ' ';

long DigitValue(char c) noexcept { return static_cast<long>(c) - '0'; }

bool WeightFitsAround(std::string_view reply, std::size_t point) noexcept {
    return point >= kDigitsBefore && point + kDigitsAfter < reply.size();
}

// Four characters around the point make hundredths; a fifth, when it is a digit, the
// thousandths. The scale pads the tens of pounds with a blank and shows a sign ahead of the
// first pound digit; any other character where a digit belongs makes the weight unreadable.
bool WeightAround(std::string_view reply, std::size_t point, long& weight) noexcept {
    const std::size_t tens = point - kDigitsBefore;
    const char lead = reply[tens];
    if (!IsDigit(lead) && lead != kPad && lead != kMinus) return false;
    for (std::size_t i = tens + 1; i <= point + kDigitsAfter; ++i) {
        if (i != point && !IsDigit(reply[i])) return false;
    }
    const std::size_t firstPoundDigit = IsDigit(lead) ? tens : tens + 1;
    const bool negative = reply.substr(0, firstPoundDigit).find(kMinus) != std::string_view::npos;

    long hundredths = IsDigit(lead) ? DigitValue(lead) : 0;
    for (std::size_t i = tens + 1; i <= point + kDigitsAfter; ++i) {
        if (i != point) hundredths = hundredths * 10 + DigitValue(reply[i]);
    }
    weight = hundredths * 10;
    const std::size_t thousandths = point + kThousandthsAt;
    if (thousandths < reply.size() && IsDigit(reply[thousandths])) weight += DigitValue(reply[thousandths]);
    if (negative) weight = -weight;
    return true;
}
}  // namespace

ParsedReply ParseWeightReply(const char* reply) noexcept {
    ParsedReply parsed;
    const std::string_view text = reply ? std::string_view(reply) : std::string_view();
    parsed.length = text.size();

    if (text.size() > kStatusOnlyMarkAt && text[kStatusOnlyMarkAt] == kStatusMark) {
        parsed.kind = ReplyKind::StatusOnly;
        parsed.status = ka::LeadingDecimal(text.substr(kStatusOnlyMarkAt + 1));
        parsed.hasStatus = true;
        return parsed;
    }
    if (text.size() != kReplyLength) {
        parsed.kind = ReplyKind::WrongLength;
        return parsed;
    }
    const std::size_t point = text.find(kDecimalPoint);
    const std::size_t mark = text.find(kStatusMark);
    long weight = 0;
    if (point == std::string_view::npos || mark == std::string_view::npos || !WeightFitsAround(text, point) ||
        !WeightAround(text, point, weight)) {
        parsed.kind = ReplyKind::Uninterpretable;
        return parsed;
    }
    parsed.kind = ReplyKind::Reading;
    parsed.weight = weight;
    parsed.status = ka::LeadingDecimal(text.substr(mark + 1));
    parsed.hasStatus = true;
    return parsed;
}

}  // namespace pendrax
