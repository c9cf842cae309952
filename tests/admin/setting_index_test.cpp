#include <gtest/gtest.h>

#include "admin/setting_index.h"

using namespace vantorel::basScale;

TEST(SettingIndex, EveryEntryThePanelWritesReadsBackToItsOwnPosition) {
    for (std::size_t i = 0; i < kSerialPortEntries.size(); ++i) EXPECT_EQ(SerialPortIndex(kSerialPortEntries[i]), int(i));
    for (std::size_t i = 0; i < kBaudRateEntries.size(); ++i) EXPECT_EQ(BaudRateIndex(kBaudRateEntries[i]), int(i));
    for (std::size_t i = 0; i < kParityEntries.size(); ++i) EXPECT_EQ(ParityIndex(kParityEntries[i]), int(i));
    for (std::size_t i = 0; i < kVerbosityEntries.size(); ++i) EXPECT_EQ(VerbosityIndex(kVerbosityEntries[i]), int(i));
    EXPECT_EQ(SerialPortIndex("COM10"), 9);
    EXPECT_EQ(BaudRateIndex("19200"), 4);
    EXPECT_EQ(ParityIndex("Blank"), 3);
    EXPECT_EQ(VerbosityIndex("4 - Internal Function Call Traces and Return Value Traces"), 4);
}

TEST(SettingIndex, TextsWrittenAtCreationReadAsTheirEntries) {
    EXPECT_EQ(SerialPortIndex("COM1"), 0);
    EXPECT_EQ(BaudRateIndex("9600"), 3);
    EXPECT_EQ(ParityIndex("Even"), 2);
    EXPECT_EQ(VerbosityIndex("2"), 2);
}

TEST(SettingIndex, SerialPortNeedsComAnywhereAndANumberFromTheFourthCharacter) {
    EXPECT_EQ(SerialPortIndex("com3"), 2);
    EXPECT_EQ(SerialPortIndex("COM11"), 0);
    EXPECT_EQ(SerialPortIndex("COM0"), 0);
    EXPECT_EQ(SerialPortIndex("LPT1"), 0);
    EXPECT_EQ(SerialPortIndex("XCOM3"), 0);  // from the fourth character on it reads "M3"
    EXPECT_EQ(SerialPortIndex("COM 4"), 3);  // blanks before the number are skipped
    EXPECT_EQ(SerialPortIndex("COM"), 0);
}

TEST(SettingIndex, BaudRateComparesNumbers) {
    EXPECT_EQ(BaudRateIndex("09600"), 3);
    EXPECT_EQ(BaudRateIndex("19200.0"), 4);
    EXPECT_EQ(BaudRateIndex("  2400 baud"), 1);
    EXPECT_EQ(BaudRateIndex("1200"), 0);
    EXPECT_EQ(BaudRateIndex("4800"), 2);
    EXPECT_EQ(BaudRateIndex("fast"), 3);
    EXPECT_EQ(BaudRateIndex("-1200"), 3);
    EXPECT_EQ(BaudRateIndex(""), 3);
}

// Digits past what a double holds round away, in the 32-bit build as in the 64-bit one.
TEST(SettingIndex, DigitsBeyondADoubleRoundToTheEntry) {
    EXPECT_EQ(BaudRateIndex("1200.00000000000001"), 0);
    EXPECT_EQ(BaudRateIndex("19200.000000000001"), 4);
    EXPECT_EQ(SerialPortIndex("COM3.0000000000000001"), 2);
}

TEST(SettingIndex, ParityMatchesTheWholeWordInAnyCase) {
    EXPECT_EQ(ParityIndex("EVEN"), 2);
    EXPECT_EQ(ParityIndex("odd"), 1);
    EXPECT_EQ(ParityIndex("SPACE"), 4);
    EXPECT_EQ(ParityIndex("Mark"), 0);
    EXPECT_EQ(ParityIndex("Even "), 0);
    EXPECT_EQ(ParityIndex("E"), 0);
}

TEST(SettingIndex, VerbosityTakesTheFirstDigitUpToFour) {
    EXPECT_EQ(VerbosityIndex("3"), 3);
    EXPECT_EQ(VerbosityIndex("7 - Everything"), 0);
    EXPECT_EQ(VerbosityIndex(" 3"), 0);
    EXPECT_EQ(VerbosityIndex("x"), 0);
}

TEST(SettingIndex, EmptyTextIsPositionZeroExceptForTheBaudRate) {
    EXPECT_EQ(SerialPortIndex(""), 0);
    EXPECT_EQ(ParityIndex(""), 0);
    EXPECT_EQ(VerbosityIndex(""), 0);
    EXPECT_EQ(BaudRateIndex(""), 3);
}

TEST(LeadingNumber, SkipsBlanksThenReadsSignDigitsAndFraction) {
    EXPECT_DOUBLE_EQ(LeadingNumber("  42abc"), 42);
    EXPECT_DOUBLE_EQ(LeadingNumber("-12.5"), -12.5);
    EXPECT_DOUBLE_EQ(LeadingNumber("+7"), 7);
    EXPECT_DOUBLE_EQ(LeadingNumber(".25"), 0.25);
    EXPECT_DOUBLE_EQ(LeadingNumber("abc"), 0);
    EXPECT_DOUBLE_EQ(LeadingNumber("-"), 0);
    EXPECT_DOUBLE_EQ(LeadingNumber(""), 0);
    EXPECT_DOUBLE_EQ(LeadingNumber("\t9600"), 9600);
}
