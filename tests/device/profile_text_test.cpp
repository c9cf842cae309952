// The profile's text rules, directly.

#include "common/profile_schema.h"
#include "device/profile_text.h"

#include <gtest/gtest.h>

namespace {

using pendrax::ParityCode;
using pendrax::ParseProfileNumber;
using pendrax::PortObjectName;
using pendrax::StopBitsCode;
using ka::profile::StripDescription;

TEST(StripDescription, CutsAtTheFirstMarkerAndDropsTheBlanksBeforeIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"9600   ||| Baud rate", "9600"},
        {"COM1  ||| Serial port this scale is plugged into.", "COM1"},
        {"a|||b|||c", "a"},
        {"x \t\n\v\f\r|||", "x"},
        {"   ||| blank value", ""},
        {"|||", ""},
        {"COM1  ", "COM1  "},  // no marker: kept as stored
        {" lead ||| d", " lead"},
        {"||", "||"},
        {"", ""},
    };
    for (const auto& [stored, text] : cases) EXPECT_EQ(StripDescription(stored), text) << '"' << stored << '"';
}

TEST(ParseProfileNumber, TakesTheLeadingNumberAndAcceptsOnlyAPlainZero) {
    struct Case {
        const char* text;
        long result;
        long number;
    };
    const Case cases[] = {
        {"9600", 0, 9600},
        {"2 - Informational Messages", 0, 2},
        {"  \t42x", 0, 42},
        {"-17", 0, -17},
        {"+8", 0, 8},
        {"0", 0, 0},
        {"000", 0, 0},
        {" ", 0, 0},
        {" abc", 0, 0},
        {"2147483647", 0, 2147483647},
        {"2147483648", 0, 2147483647},
        {"-2147483648", 0, -2147483647L - 1},
        {"-99999999999999999999", 0, -2147483647L - 1},
        {"", -1, 0},
        {"abc", -1, 0},
        {"-0", -1, 0},
        {"+0", -1, 0},
        {"-", -1, 0},
    };
    for (const auto& c : cases) {
        long number = 12345;
        EXPECT_EQ(ParseProfileNumber(c.text, number), c.result) << '"' << c.text << '"';
        EXPECT_EQ(number, c.number) << '"' << c.text << '"';
    }
}

TEST(ParityCode, FirstCharacterUpperCaseOnly) {
    const std::pair<const char*, unsigned char> cases[] = {
        {"Even", 2}, {"E", 2},  {"Odd", 1},   {"Mark", 3}, {"Space", 4}, {"None", 0}, {"Blank", 0},
        {"even", 0}, {"odd", 0}, {"mark", 0}, {"space", 0}, {"", 0},     {" Even", 0},
    };
    for (const auto& [text, code] : cases) EXPECT_EQ(ParityCode(text), code) << '"' << text << '"';
}

TEST(StopBitsCode, ExactTextOnly) {
    const std::pair<const char*, unsigned char> cases[] = {
        {"1.5", 1}, {"2", 2}, {"1", 0}, {"2.0", 0}, {"One", 0}, {"", 0}, {"1.50", 0}, {"2 ", 0}, {"Two", 0},
    };
    for (const auto& [text, code] : cases) EXPECT_EQ(StopBitsCode(text), code) << '"' << text << '"';
}

TEST(PortObjectName, DropsTheDeviceNamespaceAndEveryOtherBackslash) {
    EXPECT_EQ(PortObjectName("COM1"), "COM1");
    EXPECT_EQ(PortObjectName("\\\\.\\COM10"), "COM10");
    EXPECT_EQ(PortObjectName("\\\\?\\COM3"), "__?_COM3");
    EXPECT_EQ(PortObjectName("odd\\name"), "odd_name");
    EXPECT_EQ(PortObjectName(""), "");
}

}  // namespace
