#include "admin/setting_index.h"

#include <cmath>
#include <cstddef>
#include <iterator>

namespace vantorel::basScale {

namespace {

constexpr std::string_view kPortPrefix = "COM";
// The port number is read from the fourth character on, wherever "COM" was found.
constexpr std::size_t kPortNumberOffset = 3;
constexpr int kDefaultBaudRateIndex = 3;
constexpr double kBaudRates[] = {1200, 2400, 4800, 9600, 19200};

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
char ToUpper(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsIgnoringCase(std::string_view text, std::string_view upperWord) noexcept {
    if (upperWord.size() > text.size()) return false;
    for (std::size_t start = 0; start + upperWord.size() <= text.size(); ++start) {
        std::size_t i = 0;
        while (i < upperWord.size() && ToUpper(text[start + i]) == upperWord[i]) ++i;
        if (i == upperWord.size()) return true;
    }
    return false;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLower(a[i]) != ToLower(b[i])) return false;
    }
    return true;
}

}  // namespace

double LeadingNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    double sign = 1;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') sign = -1;
        ++i;
    }
    double value = 0;
    while (i < text.size() && IsDigit(text[i])) value = value * 10 + (text[i++] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && IsDigit(text[i]); ++i, scale /= 10) value += (text[i] - '0') * scale;
    }
    return sign * value;
}

int SerialPortIndex(std::string_view text) noexcept {
    if (!ContainsIgnoringCase(text, kPortPrefix)) return 0;
    const double number = text.size() > kPortNumberOffset ? LeadingNumber(text.substr(kPortNumberOffset)) : 0;
    if (number >= 1 && number <= static_cast<double>(kSerialPortEntries.size()) && number == std::floor(number)) {
        return static_cast<int>(number) - 1;
    }
    return 0;
}

int BaudRateIndex(std::string_view text) noexcept {
    const double rate = LeadingNumber(text);
    for (std::size_t i = 0; i < std::size(kBaudRates); ++i) {
        if (rate == kBaudRates[i]) return static_cast<int>(i);
    }
    return kDefaultBaudRateIndex;
}

int ParityIndex(std::string_view text) noexcept {
    for (std::size_t i = 0; i < kParityEntries.size(); ++i) {
        if (EqualsIgnoringCase(text, kParityEntries[i])) return static_cast<int>(i);
    }
    return 0;
}

int VerbosityIndex(std::string_view text) noexcept {
    if (text.empty()) return 0;
    const int digit = text[0] - '0';
    return (digit >= 0 && digit < static_cast<int>(kVerbosityEntries.size())) ? digit : 0;
}

}  // namespace vantorel::basScale
