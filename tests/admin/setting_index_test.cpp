#include <gtest/gtest.h>

#include "admin/setting_index.h"
#include "common/leading_number.h"

using namespace vantorel::basScale;

TEST(SettingIndex, EveryEntryThePanelWritesReadsBackToItsOwnPosition) {
    for (std::size_t i = 0; i < kSerialPortEntries.size(); ++i) EXPECT_EQ(SerialPortIndex(kSerialPortEntries[i]), int(i));
    for (std::size_t i = 0; i < kBaudRateEntries.size(); ++i) EXPECT_EQ(BaudRateIndex(kBaudRateEntries[i]), int(i));
    for (std::size_t i = 0; i < kParityEntries.size(); ++i) EXPECT_EQ(ParityIndex(kParityEntries[i]), int(i));
    for (std::size_t i = 0; i < kVerbosityEntries.size(); ++i) EXPECT_EQ(VerbosityIndex(kVerbosityEntries[i]), int(i));
}

// Each conversion over the texts a profile may hold: creation texts, the lists' own entries, other
// casings and forms of a number, and texts that stand for no entry.
TEST(SettingIndex, StoredTextsConvertToTheirListPositions) {
    const struct {
        int (*convert)(std::string_view) noexcept;
        const char* text;
        int position;
        const char* why;
    } cases[] = {
        {SerialPortIndex, "COM1", 0, "written at creation"},
        {SerialPortIndex, "COM10", 9, ""},
        {SerialPortIndex, "com3", 2, "COM in any case"},
        {SerialPortIndex, "COM 4", 3, "blanks before the number are skipped"},
        {SerialPortIndex, "COM11", 0, "outside the list"},
        {SerialPortIndex, "COM0", 0, ""},
        {SerialPortIndex, "LPT1", 0, ""},
        {SerialPortIndex, "XCOM3", 0, "from the fourth character on it reads M3"},
        {SerialPortIndex, "COM", 0, ""},
        {SerialPortIndex, "", 0, ""},
        {SerialPortIndex, "COM3.0000000000000001", 2, "digits past a double round to the port"},
        {BaudRateIndex, "9600", 3, "written at creation"},
        {BaudRateIndex, "09600", 3, "compared as numbers"},
        {BaudRateIndex, "19200.0", 4, ""},
        {BaudRateIndex, "  2400 baud", 1, ""},
        {BaudRateIndex, "fast", 3, "no number: 9600"},
        {BaudRateIndex, "-1200", 3, ""},
        {BaudRateIndex, "", 3, ""},
        {BaudRateIndex, "1200.00000000000001", 0, "digits past a double round to the entry"},
        {BaudRateIndex, "19200.000000000001", 4, "digits past a double round to the entry"},
        {ParityIndex, "Even", 2, "written at creation"},
        {ParityIndex, "EVEN", 2, "any case"},
        {ParityIndex, "odd", 1, ""},
        {ParityIndex, "Blank", 3, ""},
        {ParityIndex, "SPACE", 4, ""},
        {ParityIndex, "Mark", 0, "not offered"},
        {ParityIndex, "Even ", 0, "the whole text must match"},
        {ParityIndex, "E", 0, ""},
        {ParityIndex, "", 0, ""},
        {VerbosityIndex, "2", 2, "written at creation"},
        {VerbosityIndex, "4 - Internal Function Call Traces and Return Value Traces", 4, ""},
        {VerbosityIndex, "7 - Everything", 0, "only 0 to 4"},
        {VerbosityIndex, " 3", 0, "the first character counts"},
        {VerbosityIndex, "", 0, ""},
        {BaudRateEntry, "14400", kNoEntry, "shown as stored"},
        {ParityEntry, "even", 2, ""},
        {ParityEntry, "Mark", kNoEntry, "shown as stored"},
        {VerbosityEntry, "7", kNoEntry, "shown as stored"},
        {VerbosityEntry, "", kNoEntry, ""},
        {SerialPortNumber, "COM57", 57, "a USB adapter's port"},
        {SerialPortNumber, "com3", 3, ""},
        {SerialPortNumber, "XCOM3", 0, "names no port"},
        {SerialPortNumber, "COM3.5", 0, ""},
        {SerialPortNumber, "COM0", 0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.convert(c.text), c.position) << '"' << c.text << "\" " << c.why;
}

TEST(LeadingValue, SkipsBlanksThenReadsSignDigitsAndFraction) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"  42abc", 42}, {"-12.5", -12.5}, {"+7", 7}, {".25", 0.25},
                 {"abc", 0},      {"-", 0},         {"", 0},   {"\t9600", 9600}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ka::LeadingValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(SettingIndex, ThePortListAddsTheMachinesPortsOnceInNumberOrder) {
    EXPECT_EQ(SerialPortList({"COM21", "com3", "COM11", "COM21", "LPT1", ""}),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                        "COM10", "COM11", "COM21", "LPT1"}));
}
