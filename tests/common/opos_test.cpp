#include <gtest/gtest.h>

#include "common/opos.h"

TEST(ResultName, NamesEveryOposCodeAndNothingElse) {
    EXPECT_STREQ(opos::ResultName(0), "SUCCESS");
    EXPECT_STREQ(opos::ResultName(101), "CLOSED");
    EXPECT_STREQ(opos::ResultName(109), "NOEXIST");
    EXPECT_STREQ(opos::ResultName(114), "EXTENDED");
    EXPECT_STREQ(opos::ResultName(100), "<unknown>");
    EXPECT_STREQ(opos::ResultName(-1), "<unknown>");
    EXPECT_STREQ(opos::ResultName(115), "<unknown>");
}
