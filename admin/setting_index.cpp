#include "admin/setting_index.h"

#include "common/leading_number.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

namespace vantorel::basScale {

namespace {

constexpr std::string_view kPortPrefix = "COM";
// The port number is read from the fourth character on, wherever "COM" was found.
constexpr std::size_t kPortNumberOffset = 3;
constexpr int kDefaultBaudRateIndex = 3;
constexpr double kLargestPortNumber = 2147483647.0;

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

int SerialPortNumber(std::string_view text) noexcept {
    if (!ContainsIgnoringCase(text, kPortPrefix)) return 0;
    const double number = text.size() > kPortNumberOffset ? ka::LeadingValue(text.substr(kPortNumberOffset)) : 0;
    if (number >= 1 && number <= kLargestPortNumber && number == std::floor(number)) return static_cast<int>(number);
    return 0;
}

int SerialPortIndex(std::string_view text) noexcept {
    const int number = SerialPortNumber(text);
    return number >= 1 && number <= static_cast<int>(kSerialPortEntries.size()) ? number - 1 : 0;
}

int BaudRateEntry(std::string_view text) noexcept {
    const double rate = ka::LeadingValue(text);
    for (std::size_t i = 0; i < kBaudRateEntries.size(); ++i) {
        if (rate == ka::LeadingValue(kBaudRateEntries[i])) return static_cast<int>(i);
    }
    return kNoEntry;
}

int BaudRateIndex(std::string_view text) noexcept {
    const int entry = BaudRateEntry(text);
    return entry == kNoEntry ? kDefaultBaudRateIndex : entry;
}

int ParityEntry(std::string_view text) noexcept {
    for (std::size_t i = 0; i < kParityEntries.size(); ++i) {
        if (EqualsIgnoringCase(text, kParityEntries[i])) return static_cast<int>(i);
    }
    return kNoEntry;
}

int ParityIndex(std::string_view text) noexcept {
    const int entry = ParityEntry(text);
    return entry == kNoEntry ? 0 : entry;
}

int VerbosityEntry(std::string_view text) noexcept {
    if (text.empty()) return kNoEntry;
    const int digit = text[0] - '0';
    return (digit >= 0 && digit < static_cast<int>(kVerbosityEntries.size())) ? digit : kNoEntry;
}

int VerbosityIndex(std::string_view text) noexcept {
    const int entry = VerbosityEntry(text);
    return entry == kNoEntry ? 0 : entry;
}

std::vector<std::string> SerialPortList(const std::vector<std::string>& machinePorts) {
    std::vector<std::string> numbered(kSerialPortEntries.begin(), kSerialPortEntries.end());
    std::vector<std::string> unnumbered;
    for (const std::string& port : machinePorts) {
        const int number = SerialPortNumber(port);
        auto& into = number > 0 ? numbered : unnumbered;
        const bool known = std::any_of(into.begin(), into.end(), [&](const std::string& listed) {
            return number > 0 ? SerialPortNumber(listed) == number : EqualsIgnoringCase(listed, port);
        });
        if (!known && !port.empty()) into.push_back(port);
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](const std::string& a, const std::string& b) {
        return SerialPortNumber(a) < SerialPortNumber(b);
    });
    numbered.insert(numbered.end(), unnumbered.begin(), unnumbered.end());
    return numbered;
}

}  // namespace vantorel::basScale
