// Decoding the scale's replies, directly.

#include "device/reply_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pendrax::ParsedReply;
using pendrax::ParseWeightReply;
using pendrax::ReplyKind;

const char* KindName(ReplyKind kind) {
    switch (kind) {
    case ReplyKind::StatusOnly: return "StatusOnly";
    case ReplyKind::WrongLength: return "WrongLength";
    case ReplyKind::Uninterpretable: return "Uninterpretable";
    case ReplyKind::Reading: return "Reading";
    }
    return "?";
}

struct Case {
    std::string reply;
    ReplyKind kind;
    long weight;
    long status;
    bool hasStatus;
};

void ExpectParsed(const Case& c) {
    ASSERT_EQ(c.reply.size() <= 32, true);
    const ParsedReply parsed = ParseWeightReply(c.reply.c_str());
    const std::string shown = "reply \"" + c.reply + "\"";
    EXPECT_EQ(parsed.kind, c.kind) << shown << " parsed as " << KindName(parsed.kind);
    EXPECT_EQ(parsed.length, c.reply.size()) << shown;
    EXPECT_EQ(parsed.weight, c.weight) << shown;
    EXPECT_EQ(parsed.status, c.status) << shown;
    EXPECT_EQ(parsed.hasStatus, c.hasStatus) << shown;
}

TEST(ParseWeightReply, EachFormOfReplyDecodesByItsRule) {
    const Case cases[] = {
        // Readings give their weight and status.
        {" 12.345 lb  S00 ", ReplyKind::Reading, 12345, 0, true},
        {" 12.345 lb  S20 ", ReplyKind::Reading, 12345, 20, true},
        {" 12.345 lb  S10 ", ReplyKind::Reading, 12345, 10, true},
        {" 00.005 lb  S00 ", ReplyKind::Reading, 5, 0, true},
        {" 99.999 lb  S00 ", ReplyKind::Reading, 99999, 0, true},
        // The third place only counts when it is a digit.
        {" 12.34  lb  S00 ", ReplyKind::Reading, 12340, 0, true},
        // Status: blanks and a sign may lead; the first "S" is the one used.
        {"12.345 S  -7 S1 ", ReplyKind::Reading, 12345, -7, true},
        {" 12.345 lb  S   ", ReplyKind::Reading, 12345, 0, true},
        // The first "." is the one used.
        {" 12.34.5 lb S00 ", ReplyKind::Reading, 12340, 0, true},
        // The decimal point needs room for its digits.
        {"12.345 lb   S00 ", ReplyKind::Reading, 12345, 0, true},         // "." third: the earliest that fits
        {"   S00 lb  12.34", ReplyKind::Reading, 12340, 0, true},         // two digits after it, nothing more
        {".12345 lb   S00 ", ReplyKind::Uninterpretable, 0, 0, false},   // nothing before it
        {"1.2345 lb   S00 ", ReplyKind::Uninterpretable, 0, 0, false},   // one character before it
        {"   S00 lb 1234.4", ReplyKind::Uninterpretable, 0, 0, false},   // one character after it
        {"   S00 lb 123.40", ReplyKind::Reading, 23400, 0, true},         // two characters after it fit
        {"   S00 lb 12345.", ReplyKind::Uninterpretable, 0, 0, false},   // last character
        // A blank for the tens of pounds, and a sign ahead of the pounds.
        {"  2.345 lb  S00 ", ReplyKind::Reading, 2345, 0, true},
        {"-01.500 lb  S00 ", ReplyKind::Reading, -1500, 0, true},
        {"-12.345 lb  S20 ", ReplyKind::Reading, -12345, 20, true},
        {" -1.500 lb  S00 ", ReplyKind::Reading, -1500, 0, true},
        {"-  1.50 lb  S00 ", ReplyKind::Reading, -1500, 0, true},
        {"-00.000 lb  S00 ", ReplyKind::Reading, 0, 0, true},
        // A "-" after the first pound digit is no sign, nor is one in the status.
        {" 12.345 lb-  S00", ReplyKind::Reading, 12345, 0, true},
        {"x12.345 lb  S00 ", ReplyKind::Reading, 12345, 0, true},  // not a weight position
        // No digit where one belongs: uninterpretable.
        {" 1 .345 lb  S00 ", ReplyKind::Uninterpretable, 0, 0, false},
        {"  -.345 lb  S00 ", ReplyKind::Uninterpretable, 0, 0, false},
        {" 1-.345 lb  S00 ", ReplyKind::Uninterpretable, 0, 0, false},
        {" +1.345 lb  S00 ", ReplyKind::Uninterpretable, 0, 0, false},
        {" x1.345 lb  S00 ", ReplyKind::Uninterpretable, 0, 0, false},
        {" 12. 45 lb  S00 ", ReplyKind::Uninterpretable, 0, 0, false},
        {" 12.3?5 lb  S00 ", ReplyKind::Uninterpretable, 0, 0, false},
        {"   S00 lb 123.4 ", ReplyKind::Uninterpretable, 0, 0, false},
        // Replies that carry no usable weight.
        {"?S10            ", ReplyKind::StatusOnly, 0, 10, true},
        {"?S20", ReplyKind::StatusOnly, 0, 20, true},
        {" S 12.345 lb S00", ReplyKind::StatusOnly, 0, 12, true},  // a weight does not help it
        {"xS", ReplyKind::StatusOnly, 0, 0, true},
        {" 12.345 lb  S00", ReplyKind::WrongLength, 0, 0, false},
        {" 12.345 lb  S00  ", ReplyKind::WrongLength, 0, 0, false},
        {"", ReplyKind::WrongLength, 0, 0, false},
        {"S", ReplyKind::WrongLength, 0, 0, false},
        {" 12 345 lb  S00 ", ReplyKind::Uninterpretable, 0, 0, false},
        {" 12.345 lb  s00 ", ReplyKind::Uninterpretable, 0, 0, false},
    };
    for (const auto& c : cases) ExpectParsed(c);
}

TEST(ParseWeightReply, TextEndsAtItsFirstNul) {
    const char reply[] = " 12.345\0lb  S00 ";
    const ParsedReply parsed = ParseWeightReply(reply);
    EXPECT_EQ(parsed.kind, ReplyKind::WrongLength);
    EXPECT_EQ(parsed.length, 7u);
    EXPECT_EQ(ParseWeightReply(nullptr).kind, ReplyKind::WrongLength);
}

TEST(IsAcceptableStatus, ZeroAndTwentyOnly) {
    for (long status : {0L, 20L}) EXPECT_TRUE(pendrax::IsAcceptableStatus(status)) << status;
    for (long status : {-1L, 1L, 10L, 19L, 21L, 99L}) EXPECT_FALSE(pendrax::IsAcceptableStatus(status)) << status;
}

}  // namespace
