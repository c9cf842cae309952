// Profile value texts as any bytes a registry value could hold. The number rule is checked
// against the C library's own conversion held to 32 bits.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/profile_schema.h"
#include "device/profile_text.h"
#include "fuzz/fuzz_check.h"

namespace {

long LibraryNumber(const std::string& text) {
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<long>(value);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

void CheckStripDescription(std::string_view stored) {
    const std::string text = ka::profile::StripDescription(stored);
    FUZZ_CHECK(stored.substr(0, text.size()) == text);
    const std::size_t marker = stored.find(ka::profile::kDescriptionMarker);
    if (marker == std::string_view::npos) {
        FUZZ_CHECK(text.size() == stored.size());
        return;
    }
    FUZZ_CHECK(text.size() <= marker);
    FUZZ_CHECK(text.empty() || !IsBlank(text.back()));
    for (std::size_t i = text.size(); i < marker; ++i) FUZZ_CHECK(IsBlank(stored[i]));
}

void CheckNumber(std::string_view text) {
    // The registry hands over a text that ends at its first NUL.
    const std::string terminated(text.substr(0, text.find('\0')));
    long number = 12345;
    const long result = pendrax::ParseProfileNumber(terminated, number);
    FUZZ_CHECK(number == LibraryNumber(terminated));
    FUZZ_CHECK(result == 0 || result == -1);
    if (result == -1) FUZZ_CHECK(number == 0);
    if (number != 0) FUZZ_CHECK(result == 0);
}

void CheckCodes(std::string_view text) {
    FUZZ_CHECK(pendrax::ParityCode(text) <= 4);
    const unsigned char stopBits = pendrax::StopBitsCode(text);
    FUZZ_CHECK(stopBits <= 2);
    FUZZ_CHECK((stopBits == 1) == (text == "1.5"));
    FUZZ_CHECK((stopBits == 2) == (text == "2"));
}

void CheckPortObjectName(std::string_view port) {
    const std::string name = pendrax::PortObjectName(port);
    FUZZ_CHECK(name.find('\\') == std::string::npos);
    FUZZ_CHECK(name.size() <= port.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckStripDescription(text);
    CheckNumber(text);
    CheckCodes(text);
    CheckPortObjectName(text);
    return 0;
}
