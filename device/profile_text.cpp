#include "device/profile_text.h"

#include "common/leading_number.h"

namespace pendrax {

namespace {
// The device-control block's codes, spelled out here to keep this file free of Windows headers.
constexpr unsigned char kNoParity = 0;
constexpr unsigned char kOddParity = 1;
constexpr unsigned char kEvenParity = 2;
constexpr unsigned char kMarkParity = 3;
constexpr unsigned char kSpaceParity = 4;
constexpr unsigned char kOneStopBit = 0;
constexpr unsigned char kOneAndHalfStopBits = 1;
constexpr unsigned char kTwoStopBits = 2;

struct ParityLetter {
    char letter;
    unsigned char code;
};
// Upper case only: the administrator writes the words capitalised.
constexpr ParityLetter kParityLetters[] = {
    {'E', kEvenParity}, {'O', kOddParity}, {'M', kMarkParity}, {'S', kSpaceParity}};

struct StopBitsText {
    std::string_view text;
    unsigned char code;
};
constexpr StopBitsText kStopBitsTexts[] = {{"1.5", kOneAndHalfStopBits}, {"2", kTwoStopBits}};

constexpr std::string_view kDeviceNamespace = "\\\\.\\";
}  // namespace

long ParseProfileNumber(std::string_view text, long& number) {
    number = ka::LeadingDecimal(text);
    if (number != 0) return 0;
    // A zero counts only when the text plainly starts one; "-0", letters and "" do not.
    if (!text.empty() && (text.front() == '0' || ka::IsBlank(text.front()))) return 0;
    return -1;
}

unsigned char ParityCode(std::string_view text) {
    if (text.empty()) return kNoParity;
    for (const auto& entry : kParityLetters) {
        if (text.front() == entry.letter) return entry.code;
    }
    return kNoParity;
}

unsigned char StopBitsCode(std::string_view text) {
    for (const auto& entry : kStopBitsTexts) {
        if (text == entry.text) return entry.code;
    }
    return kOneStopBit;
}

std::string PortObjectName(std::string_view port) {
    if (port.substr(0, kDeviceNamespace.size()) == kDeviceNamespace) port.remove_prefix(kDeviceNamespace.size());
    std::string name(port);
    for (char& c : name) {
        if (c == '\\') c = '_';
    }
    return name;
}

}  // namespace pendrax
