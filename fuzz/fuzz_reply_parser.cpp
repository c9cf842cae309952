// The scale's reply to "W" as any bytes a line could carry: NULs, noise, any length.
// Every result is checked against the decoding rule written out plainly here.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/reply_parser.h"
#include "fuzz/fuzz_check.h"

namespace {

long Digit(char c) { return static_cast<long>(c) - '0'; }
bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// The leading decimal number of the C library, held to 32 bits.
long StatusFrom(const std::string& text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) && text[i] != '\0') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > 2147483648LL) magnitude = 2147483648LL;
    }
    if (negative) return static_cast<long>(-magnitude);
    return static_cast<long>(magnitude > 2147483647LL ? 2147483647LL : magnitude);
}

void CheckAgainstRule(const std::string& reply, const pendrax::ParsedReply& parsed) {
    using pendrax::ReplyKind;
    FUZZ_CHECK(parsed.length == reply.size());
    if (reply.size() > 1 && reply[1] == 'S') {
        FUZZ_CHECK(parsed.kind == ReplyKind::StatusOnly);
        FUZZ_CHECK(parsed.hasStatus && parsed.status == StatusFrom(reply, 2));
        return;
    }
    if (reply.size() != pendrax::kReplyLength) {
        FUZZ_CHECK(parsed.kind == ReplyKind::WrongLength);
        FUZZ_CHECK(!parsed.hasStatus);
        return;
    }
    const std::size_t point = reply.find('.');
    const std::size_t mark = reply.find('S');
    if (point == std::string::npos || mark == std::string::npos || point < 2 || point + 2 >= reply.size()) {
        FUZZ_CHECK(parsed.kind == ReplyKind::Uninterpretable);
        FUZZ_CHECK(!parsed.hasStatus);
        return;
    }
    // The tens of pounds may be a blank or a sign; the units and both decimals are digits.
    const char tens = reply[point - 2];
    const bool tensIsDigit = tens >= '0' && tens <= '9';
    if ((!tensIsDigit && tens != ' ' && tens != '-') || !IsDigitChar(reply[point - 1]) ||
        !IsDigitChar(reply[point + 1]) || !IsDigitChar(reply[point + 2])) {
        FUZZ_CHECK(parsed.kind == ReplyKind::Uninterpretable);
        FUZZ_CHECK(!parsed.hasStatus);
        return;
    }
    FUZZ_CHECK(parsed.kind == ReplyKind::Reading);
    long weight = (((tensIsDigit ? Digit(tens) : 0) * 10 + Digit(reply[point - 1])) * 100 + Digit(reply[point + 1]) * 10 +
                   Digit(reply[point + 2])) * 10;
    if (point + 3 < reply.size() && IsDigitChar(reply[point + 3])) weight += Digit(reply[point + 3]);
    // Any "-" ahead of the first pound digit is the sign.
    const std::size_t firstPoundDigit = tensIsDigit ? point - 2 : point - 1;
    if (reply.substr(0, firstPoundDigit).find('-') != std::string::npos) weight = -weight;
    FUZZ_CHECK(parsed.weight == weight);
    FUZZ_CHECK(parsed.hasStatus && parsed.status == StatusFrom(reply, mark + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The port hands over raw bytes; the conversation terminates them after the last one read,
    // so the parser sees the text up to the first NUL.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const pendrax::ParsedReply parsed = pendrax::ParseWeightReply(bytes.c_str());
    CheckAgainstRule(std::string(bytes.c_str()), parsed);
    // A reply buffer of the conversation's full capacity, with nothing after its terminator.
    if (size <= 256) {
        char* exact = new char[size + 1];
        std::memcpy(exact, data, size);
        exact[size] = '\0';
        const pendrax::ParsedReply again = pendrax::ParseWeightReply(exact);
        FUZZ_CHECK(again.kind == parsed.kind && again.weight == parsed.weight && again.status == parsed.status);
        delete[] exact;
    }
    return 0;
}
