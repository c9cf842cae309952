#include "common/profile_schema.h"

#include "common/version.h"

namespace ka::profile {

constexpr char kServiceFile[] = "Pendrax.DLL";
constexpr char kPortDescription[] = "Serial port this scale is plugged into.";
constexpr char kModelDescription[] = "The model number of the scale represented by this profile.";
constexpr char kRateDescription[] = "The baud rate of the connection between the scale and the POS terminal.";
constexpr char kVerbosityDescription[] = "Logging verbosity level";

// name, default, created text, created description, pick description
const std::array<ValueSpec, kDeviceValueCount> kDeviceValues = {{
    {"", nullptr, kProgId, "", nullptr},
    {"Service", nullptr, kServiceFile, "", nullptr},
    {"Version", nullptr, KA_VERSION_TEXT, "", nullptr},
    {"Description", nullptr, nullptr, "", nullptr},
    {"LogVerbosity", "2", "2", kVerbosityDescription, kVerbosityDescription},
    {"SerialPort", "COM1", "COM1", kPortDescription, "Port on which scale is attached"},
    {"ModelNumber", "(Generic)", "TRM-07", kModelDescription, nullptr},
    {"BaudRate", "9600", "9600", kRateDescription, "Baud rate of connection between scale and POS terminal"},
    {"DataSize", "7", "7", "", nullptr},
    {"Parity", "Even", "Even", "", ""},
    {"StartBits", nullptr, "1", "", nullptr},
    {"StopBits", "1", "1", "", nullptr},
}};

const ValueSpec& Schema(Value value) noexcept { return kDeviceValues[static_cast<std::size_t>(value)]; }

}  // namespace ka::profile
