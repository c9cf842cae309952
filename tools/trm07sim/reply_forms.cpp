#include "tools/trm07sim/reply_forms.h"

#include <cstdio>
#include <cstdlib>

namespace trm07 {

namespace {
long Clamp(long value, long low, long high) { return value < low ? low : (value > high ? high : value); }

std::string Replace(std::string reply, char from, char to) {
    for (char& c : reply) {
        if (c == from) c = to;
    }
    return reply;
}
}  // namespace

std::string ReadingText(long weight, long status) {
    const char sign = weight < 0 ? '-' : ' ';
    const long magnitude = Clamp(weight < 0 ? -weight : weight, 0, kLargestWeight);
    char text[kReplyLength + 8];
    std::snprintf(text, sizeof text, "%c%02ld.%03ld lb  S%02ld ", sign, magnitude / 1000, magnitude % 1000,
                  Clamp(status, 0, kLargestStatus));
    return text;
}

std::string StatusOnlyText(long status) {
    char text[kReplyLength + 8];
    std::snprintf(text, sizeof text, "?S%02ld", Clamp(status, 0, kLargestStatus));
    return WithLength(text, kReplyLength);
}

std::string WithLength(std::string reply, std::size_t length) {
    reply.resize(length, ' ');
    return reply;
}

std::string WithoutPoint(std::string reply) { return Replace(std::move(reply), '.', ' '); }
std::string WithoutStatusMark(std::string reply) { return Replace(std::move(reply), 'S', ' '); }

bool ParseWeightText(const std::string& text, long& weight) {
    const char* p = text.c_str();
    const bool negative = *p == '-';
    if (negative) ++p;
    long pounds = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) pounds = pounds * 10 + (*p - '0');
    if (digits == 0 || digits > 2) return false;
    long thousandths = 0;
    if (*p == '.') {
        ++p;
        int places = 0;
        for (; *p >= '0' && *p <= '9' && places < 3; ++p, ++places) thousandths = thousandths * 10 + (*p - '0');
        for (; places < 3; ++places) thousandths *= 10;
    }
    if (*p != '\0') return false;
    weight = (pounds * 1000 + thousandths) * (negative ? -1 : 1);
    return true;
}

}  // namespace trm07
