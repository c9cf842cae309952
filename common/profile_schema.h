#pragma once
// The device profile as both deliverables know it: where the keys live, each value's name, the
// default a reader takes when it is absent, what the administrator writes when it creates a
// profile and when the user picks a list entry, the lists' vocabulary, and how a description
// is appended and cut. Pure: no Windows headers, so the text rules are fuzzed natively too.

#include <array>
#include <string>
#include <string_view>

namespace ka::profile {

inline constexpr char kDeviceRoot[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS";
inline constexpr char kProviderRoot[] = "SOFTWARE\\OLEforRetail\\ServiceInfo";
inline constexpr char kProviderName[] = "Kolvane-Aris";
inline constexpr char kScaleClass[] = "Scale";
inline constexpr char kProgId[] = "KolvaneAris.ScaleTRM07";

// The provider key's values: the log file every device name of this service object shares, and
// how many megabytes (of 1,048,576 bytes) it may hold before it rolls over to its one older
// generation; "0" lets it grow without bound. A package may set the log file; nothing writes the
// limit, so readers take the default.
inline constexpr char kLogFileValue[] = "LogFile";
inline constexpr char kDefaultLogFile[] = "c:\\OposAdmin.log";
inline constexpr char kLogFileLimitValue[] = "LogFileLimitMB";
inline constexpr long kDefaultLogFileLimitMB = 10;
inline constexpr unsigned long long kBytesPerMegabyte = 1048576;

// One value of a device key.
struct ValueSpec {
    const char* name;                // "" is the key's default value
    const char* defaultText;         // what readers take when it is absent; null when none reads it
    const char* createdText;         // written at creation; null when made at that moment
    const char* createdDescription;  // appended at creation; "" for none
    const char* pickDescription;     // appended to a list entry the user picks; null when no list
};

enum class Value {
    ProgId, Service, Version, Description, LogVerbosity, SerialPort, ModelNumber, BaudRate, DataSize, Parity,
    StartBits, StopBits,
};
inline constexpr std::size_t kDeviceValueCount = 12;

// The device key's values, in the order the administrator writes them at creation.
extern const std::array<ValueSpec, kDeviceValueCount> kDeviceValues;
const ValueSpec& Schema(Value value) noexcept;

// The administrator's lists; a picked entry is stored as its text.
inline constexpr std::array<const char*, 10> kSerialPortEntries = {
    "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"};
inline constexpr std::array<const char*, 5> kBaudRateEntries = {"1200", "2400", "4800", "9600", "19200"};
inline constexpr std::array<const char*, 5> kParityEntries = {"None", "Odd", "Even", "Blank", "Space"};
inline constexpr std::array<const char*, 5> kVerbosityEntries = {
    "0 - Critical Errors", "1 - Warnings", "2 - Informational Messages", "3 - Internal Function Call Traces",
    "4 - Internal Function Call Traces and Return Value Traces"};

// Separates a value's own text from the description appended to it.
inline constexpr std::string_view kDescriptionMarker = "|||";

// The text as stored: the value text, or the value text + "  ||| " + the description.
std::string WithDescription(std::string_view text, std::string_view description);
// The value's own text: cut at the first "|||" and the blanks that end it dropped; a text
// without the marker is its own text.
std::string StripDescription(std::string_view stored);

// Key paths below HKEY_LOCAL_MACHINE.
std::string DeviceKeyPath(std::string_view deviceClass, std::string_view deviceName);
std::string ProviderKeyPath();

}  // namespace ka::profile
