#include <gtest/gtest.h>

#include "admin/setting_index.h"
#include "common/leading_number.h"

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

TEST(LeadingValue, SkipsBlanksThenReadsSignDigitsAndFraction) {
    EXPECT_DOUBLE_EQ(ka::LeadingValue("  42abc"), 42);
    EXPECT_DOUBLE_EQ(ka::LeadingValue("-12.5"), -12.5);
    EXPECT_DOUBLE_EQ(ka::LeadingValue("+7"), 7);
    EXPECT_DOUBLE_EQ(ka::LeadingValue(".25"), 0.25);
    EXPECT_DOUBLE_EQ(ka::LeadingValue("abc"), 0);
    EXPECT_DOUBLE_EQ(ka::LeadingValue("-"), 0);
    EXPECT_DOUBLE_EQ(ka::LeadingValue(""), 0);
    EXPECT_DOUBLE_EQ(ka::LeadingValue("\t9600"), 9600);
}

// Whether a stored text stands for an entry at all, so the panel can show one that does not as it is.
TEST(SettingIndex, TextsOutsideAListStandForNoEntry) {
    EXPECT_EQ(SerialPortNumber("COM57"), 57);
    EXPECT_EQ(SerialPortNumber("com3"), 3);
    for (const char* port : {"LPT1", "XCOM3", "COM0", "COM3.5", ""}) EXPECT_EQ(SerialPortNumber(port), 0) << port;
    EXPECT_EQ(BaudRateEntry("09600"), 3);
    EXPECT_EQ(BaudRateEntry("14400"), kNoEntry);
    EXPECT_EQ(ParityEntry("even"), 2);
    EXPECT_EQ(ParityEntry("Mark"), kNoEntry);
    EXPECT_EQ(VerbosityEntry("2"), 2);
    EXPECT_EQ(VerbosityEntry("7"), kNoEntry);
    EXPECT_EQ(VerbosityEntry(""), kNoEntry);
}

TEST(SettingIndex, ThePortListAddsTheMachinesPortsOnceInNumberOrder) {
    EXPECT_EQ(SerialPortList({"COM21", "com3", "COM11", "COM21", "LPT1", ""}),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                        "COM10", "COM11", "COM21", "LPT1"}));
}
