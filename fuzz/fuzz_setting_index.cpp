// The administrator's conversions from a stored profile text to a list position: any text
// gives a position inside its list.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "admin/setting_index.h"
#include "common/leading_number.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantorel::basScale;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double number = ka::LeadingValue(text);
    FUZZ_CHECK(!std::isnan(number));
    const int port = SerialPortIndex(text);
    FUZZ_CHECK(port >= 0 && port < static_cast<int>(kSerialPortEntries.size()));
    const int baud = BaudRateIndex(text);
    FUZZ_CHECK(baud >= 0 && baud < static_cast<int>(kBaudRateEntries.size()));
    const int parity = ParityIndex(text);
    FUZZ_CHECK(parity >= 0 && parity < static_cast<int>(kParityEntries.size()));
    const int verbosity = VerbosityIndex(text);
    FUZZ_CHECK(verbosity >= 0 && verbosity < static_cast<int>(kVerbosityEntries.size()));
    // A text stands for an entry exactly where the conversions do not fall back to their default.
    const int baudEntry = BaudRateEntry(text);
    FUZZ_CHECK(baudEntry == kNoEntry || baudEntry == baud);
    const int parityEntry = ParityEntry(text);
    FUZZ_CHECK(parityEntry == kNoEntry || parityEntry == parity);
    const int verbosityEntry = VerbosityEntry(text);
    FUZZ_CHECK(verbosityEntry == kNoEntry || verbosityEntry == verbosity);
    const int portNumber = SerialPortNumber(text);
    FUZZ_CHECK(portNumber >= 0 && (portNumber < 1 || portNumber > 10 || port == portNumber - 1));
    // Each list entry reads back as its own position.
    if (port > 0) FUZZ_CHECK(SerialPortIndex(kSerialPortEntries[static_cast<std::size_t>(port)]) == port);
    FUZZ_CHECK(BaudRateIndex(kBaudRateEntries[static_cast<std::size_t>(baud)]) == baud);
    FUZZ_CHECK(ParityIndex(kParityEntries[static_cast<std::size_t>(parity)]) == parity);
    return 0;
}
