#pragma once
// How the service object reads a profile value's text into its settings. Pure: no Windows headers.

#include <string>
#include <string_view>

namespace pendrax {

// The service object's number rule: 0 and the leading decimal number, or -1 when the text
// does not start with a number ("0" or white space may start a zero).
long ParseProfileNumber(std::string_view text, long& number);

// Parity and stop-bits codes as the serial API's device-control block wants them.
unsigned char ParityCode(std::string_view text);
unsigned char StopBitsCode(std::string_view text);

// The serial-port text as part of a kernel-object name. A backslash would make the name a path
// that no object can have, so the device-namespace prefix ("\\.\COM10") is dropped and any
// other backslash becomes "_": "\\.\COM10" and "COM10" then name the same claim.
std::string PortObjectName(std::string_view port);

}  // namespace pendrax
