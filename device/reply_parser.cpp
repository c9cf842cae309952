#include "device/reply_parser.h"

#include <string_view>

#include "device/leading_number.h"

namespace pendrax {

namespace {
constexpr char kStatusMark = 'S';
constexpr char kDecimalPoint = '.';
constexpr std::size_t kStatusOnlyMarkAt = 1;
// The weight is read from two characters before the "." to three after it.
constexpr std::size_t kDigitsBefore = 2;
constexpr std::size_t kDigitsAfter = 2;
constexpr std::size_t kThousandthsAt = 3;

long DigitValue(char c) noexcept { return static_cast<long>(c) - '0'; }

// Four characters around the point make hundredths; a fifth, when it is a digit, the thousandths.
// The four are taken as they come, digits or not: the scale pads with blanks, not with noise.
long WeightAround(std::string_view reply, std::size_t point) noexcept {
    long hundredths = 0;
    for (std::size_t i = point - kDigitsBefore; i <= point + kDigitsAfter; ++i) {
        if (i == point) continue;
        hundredths = hundredths * 10 + DigitValue(reply[i]);
    }
    long weight = hundredths * 10;
    const std::size_t thousandths = point + kThousandthsAt;
    if (thousandths < reply.size() && IsDigit(reply[thousandths])) weight += DigitValue(reply[thousandths]);
    return weight;
}

bool WeightFitsAround(std::string_view reply, std::size_t point) noexcept {
    return point >= kDigitsBefore && point + kDigitsAfter < reply.size();
}
}  // namespace

ParsedReply ParseWeightReply(const char* reply) noexcept {
    ParsedReply parsed;
    const std::string_view text = reply ? std::string_view(reply) : std::string_view();
    parsed.length = text.size();

    if (text.size() > kStatusOnlyMarkAt && text[kStatusOnlyMarkAt] == kStatusMark) {
        parsed.kind = ReplyKind::StatusOnly;
        parsed.status = LeadingDecimal(text.substr(kStatusOnlyMarkAt + 1));
        parsed.hasStatus = true;
        return parsed;
    }
    if (text.size() != kReplyLength) {
        parsed.kind = ReplyKind::WrongLength;
        return parsed;
    }
    const std::size_t point = text.find(kDecimalPoint);
    const std::size_t mark = text.find(kStatusMark);
    if (point == std::string_view::npos || mark == std::string_view::npos || !WeightFitsAround(text, point)) {
        parsed.kind = ReplyKind::Uninterpretable;
        return parsed;
    }
    parsed.kind = ReplyKind::Reading;
    parsed.weight = WeightAround(text, point);
    parsed.status = LeadingDecimal(text.substr(mark + 1));
    parsed.hasStatus = true;
    return parsed;
}

}  // namespace pendrax
