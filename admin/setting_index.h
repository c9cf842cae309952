#pragma once
// The configuration panel's list vocabulary and the conversions from a stored profile text to
// a list position. Plain text in, position out: no Windows headers, so the rules can be tested
// and fuzzed on any host.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/profile_schema.h"

namespace vantorel::basScale {

// The lists' vocabulary is the profile schema's.
using ka::profile::kBaudRateEntries;
using ka::profile::kParityEntries;
using ka::profile::kSerialPortEntries;
using ka::profile::kVerbosityEntries;

// "COM" anywhere (any case), then the number from the fourth character: 1 to 10 -> number - 1, else 0.
int SerialPortIndex(std::string_view text) noexcept;
// The numeric value among 1200, 2400, 4800, 9600, 19200 -> 0 to 4; anything else -> 3 (9600).
int BaudRateIndex(std::string_view text) noexcept;
// The whole text, any case: none, odd, even, blank, space -> 0 to 4; anything else -> 0.
int ParityIndex(std::string_view text) noexcept;
// A first character 0 to 4 -> that number; anything else -> 0.
int VerbosityIndex(std::string_view text) noexcept;

// Whether a stored text stands for an entry at all: the panel shows a text that stands for none
// as it is, instead of the position the conversions above fall back to, so that showing a
// device never puts another setting in front of the user.
inline constexpr int kNoEntry = -1;
// The port a text names by the rule of SerialPortIndex, any whole number from 1; 0 for none.
int SerialPortNumber(std::string_view text) noexcept;
int BaudRateEntry(std::string_view text) noexcept;
int ParityEntry(std::string_view text) noexcept;
int VerbosityEntry(std::string_view text) noexcept;

// The serial-port list: COM1 to COM10 and the machine's own ports, each port once, sorted by
// number; names that carry no port number follow in the order given.
std::vector<std::string> SerialPortList(const std::vector<std::string>& machinePorts);

}  // namespace vantorel::basScale
