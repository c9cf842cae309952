// The simulator's reply layout decodes as the service object expects.

#include "tools/trm07sim/reply_forms.h"

#include <gtest/gtest.h>

#include "device/reply_parser.h"

namespace {

using pendrax::ParseWeightReply;
using pendrax::ReplyKind;

TEST(ReplyForms, ReadingsDecodeToTheirWeightAndStatus) {
    const std::pair<long, long> cases[] = {{12345, 0}, {0, 20}, {5, 10}, {99999, 0}, {1000, 42}};
    for (const auto& [weight, status] : cases) {
        const std::string reply = trm07::ReadingText(weight, status);
        ASSERT_EQ(reply.size(), pendrax::kReplyLength) << '"' << reply << '"';
        const auto parsed = ParseWeightReply(reply.c_str());
        EXPECT_EQ(parsed.kind, ReplyKind::Reading) << '"' << reply << '"';
        EXPECT_EQ(parsed.weight, weight) << '"' << reply << '"';
        EXPECT_EQ(parsed.status, status) << '"' << reply << '"';
    }
    EXPECT_EQ(trm07::ReadingText(12345, 0), " 12.345 lb  S00 ");
    EXPECT_EQ(trm07::ReadingText(-1500, 0), "-01.500 lb  S00 ");
    EXPECT_EQ(trm07::ReadingText(123456, 123), " 99.999 lb  S99 ") << "held within its columns";
}

TEST(ReplyForms, DamagedFormsAreRejectedForTheirOwnReason) {
    const std::string reading = trm07::ReadingText(12345, 0);
    EXPECT_EQ(ParseWeightReply(trm07::StatusOnlyText(10).c_str()).kind, ReplyKind::StatusOnly);
    EXPECT_EQ(trm07::StatusOnlyText(10).size(), pendrax::kReplyLength);
    EXPECT_EQ(ParseWeightReply(trm07::WithLength(reading, 15).c_str()).kind, ReplyKind::WrongLength);
    EXPECT_EQ(ParseWeightReply(trm07::WithLength(reading, 17).c_str()).kind, ReplyKind::WrongLength);
    EXPECT_EQ(ParseWeightReply(trm07::WithoutPoint(reading).c_str()).kind, ReplyKind::Uninterpretable);
    EXPECT_EQ(ParseWeightReply(trm07::WithoutStatusMark(reading).c_str()).kind, ReplyKind::Uninterpretable);
}

TEST(ReplyForms, WeightTextsOfTheCommandLine) {
    const std::pair<const char*, long> good[] = {{"12.345", 12345}, {"0", 0}, {"1.5", 1500}, {"-2.25", -2250}};
    for (const auto& [text, weight] : good) {
        long parsed = -1;
        EXPECT_TRUE(trm07::ParseWeightText(text, parsed)) << text;
        EXPECT_EQ(parsed, weight) << text;
    }
    for (const char* text : {"", "abc", "123.0", "1.2345", "1,5", "."}) {
        long parsed = 0;
        EXPECT_FALSE(trm07::ParseWeightText(text, parsed)) << text;
    }
}

}  // namespace
