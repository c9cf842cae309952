#include "device/profile_loader.h"

#include <cstdint>
#include <new>

#include "common/leading_number.h"
#include "common/profile_reader.h"
#include "common/profile_schema.h"
#include "device/profile_text.h"

namespace pendrax {

namespace {
using ka::profile::Schema;
using V = ka::profile::Value;

constexpr char kStartingUpBanner[] = "-=-=-=-=[ Kolvane-Aris Scale STARTING UP ]=-=-=-=-";
constexpr char kQueryFailedLine[] = "Failed to query registry value [%s]; GLE=[%d].";

std::string KeyPath(const char* deviceClass, const char* deviceName) {
    if (!deviceClass && !deviceName) return ka::profile::ProviderKeyPath();
    return ka::profile::DeviceKeyPath(deviceClass ? deviceClass : "", deviceName ? deviceName : "");
}

long DefaultNumber(V value) { return ka::LeadingDecimal(Schema(value).defaultText); }

void LogQueryFailure(DeviceLink& link, const char* valueName) {
    link.log.Line(zel::kSignificant, kQueryFailedLine, valueName, static_cast<long>(GetLastError()));
}

// The log file's size limit as the provider key gives it. The value is absent unless someone set
// it, so only a value that holds no limit (another type, no number, a negative one) is a failure.
struct LogFileLimit {
    enum class Source { Absent, Unusable, Read } source;
    long megabytes;
};

LogFileLimit ReadLogFileLimit() {
    long megabytes = 0;
    const long result = ReadProfileNumber(nullptr, nullptr, ka::profile::kLogFileLimitValue, megabytes);
    if (result == 0 && megabytes >= 0) return {LogFileLimit::Source::Read, megabytes};
    const auto source = result == ERROR_FILE_NOT_FOUND ? LogFileLimit::Source::Absent : LogFileLimit::Source::Unusable;
    return {source, ka::profile::kDefaultLogFileLimitMB};
}

void LogLogFileLimit(DeviceLink& link, const LogFileLimit& limit) {
    if (limit.source == LogFileLimit::Source::Unusable) LogQueryFailure(link, ka::profile::kLogFileLimitValue);
    if (limit.source != LogFileLimit::Source::Read) {
        link.log.Line(zel::kInformation, "Defaulting to log file size limit [%d] MB.", limit.megabytes);
    } else if (limit.megabytes == 0) {
        link.log.Line(zel::kInformation, "Log file size limit turned off by user provided [0]; the file is never rolled over.");
    } else {
        link.log.Line(zel::kInformation, "Overriding log file size limit with user provided [%d] MB.", limit.megabytes);
    }
}

// A text setting with its fallback lines, used for the values whose absence is worth a line.
void LoadTextSetting(DeviceLink& link, const char* deviceClass, const char* deviceName,
                     const ka::profile::ValueSpec& value, const char* defaultingLine, std::string& setting) {
    if (ReadProfileString(deviceClass, deviceName, value.name, setting) == 0) return;
    LogQueryFailure(link, value.name);
    setting = value.defaultText;
    link.log.Line(zel::kInformation, defaultingLine, setting.c_str());
}
}  // namespace

long ReadProfileString(const char* deviceClass, const char* deviceName, const char* valueName, std::string& text) {
    try {
        return ka::profile::ReadProfileText(KeyPath(deviceClass, deviceName), valueName, text);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

long ReadProfileNumber(const char* deviceClass, const char* deviceName, const char* valueName, long& number) {
    std::string text;
    const long result = ReadProfileString(deviceClass, deviceName, valueName, text);
    if (result != 0) return result;
    return ParseProfileNumber(text, number);
}

long LoadDeviceProfile(DeviceLink& link, const char* deviceClass, const char* deviceName) {
    DeviceSettings& settings = link.settings;
    const char* const verbosityName = Schema(V::LogVerbosity).name;
    const bool logFileRead = ReadProfileString(nullptr, nullptr, ka::profile::kLogFileValue, settings.logFilePath) == 0;
    if (!logFileRead) settings.logFilePath = ka::profile::kDefaultLogFile;
    const LogFileLimit limit = ReadLogFileLimit();
    const bool verbosityRead = ReadProfileNumber(deviceClass, deviceName, verbosityName, settings.logVerbosity) == 0;
    if (!verbosityRead) settings.logVerbosity = DefaultNumber(V::LogVerbosity);

    link.log.SetDisplayName(deviceName ? deviceName : "");
    link.log.SetFileSizeLimit(static_cast<std::uint64_t>(limit.megabytes) * ka::profile::kBytesPerMegabyte);
    link.log.OpenLogFile(settings.logFilePath.c_str(), static_cast<int>(settings.logVerbosity));
    link.log.Line(zel::kInformation, kStartingUpBanner);
    if (!logFileRead) {
        LogQueryFailure(link, ka::profile::kLogFileValue);
        link.log.Line(zel::kInformation, "Defaulting to log file [%s].", settings.logFilePath.c_str());
    }
    LogLogFileLimit(link, limit);
    if (!verbosityRead) {
        LogQueryFailure(link, verbosityName);
        link.log.Line(zel::kInformation, "Defaulting to log file verbosity [%d].", settings.logVerbosity);
    }

    long number = 0;
    if (ReadProfileNumber(deviceClass, deviceName, Schema(V::BaudRate).name, number) == 0) {
        settings.baudRate = static_cast<DWORD>(number);
        link.log.Line(zel::kInformation, "Overriding BaudRate string 1 with user provided [%d].", number);
    } else {
        settings.baudRate = static_cast<DWORD>(DefaultNumber(V::BaudRate));
    }
    if (ReadProfileNumber(deviceClass, deviceName, Schema(V::DataSize).name, number) == 0) {
        settings.dataBits = static_cast<BYTE>(number & 0xFF);
        link.log.Line(zel::kInformation, "Overriding Data Bits string 1 with user provided [%d].",
                      static_cast<long>(settings.dataBits));
    } else {
        settings.dataBits = static_cast<BYTE>(DefaultNumber(V::DataSize));
    }

    std::string text;
    const bool parityRead = ReadProfileString(deviceClass, deviceName, Schema(V::Parity).name, text) == 0;
    settings.parity = ParityCode(parityRead ? text : Schema(V::Parity).defaultText);
    if (ReadProfileString(deviceClass, deviceName, Schema(V::StopBits).name, text) == 0) {
        settings.stopBits = StopBitsCode(text);
        link.log.Line(zel::kInformation, "Overriding Stop Bits string 1 with user provided [%d].",
                      static_cast<long>(settings.stopBits));
    } else {
        settings.stopBits = StopBitsCode(Schema(V::StopBits).defaultText);
    }

    LoadTextSetting(link, deviceClass, deviceName, Schema(V::SerialPort), "Defaulting to serial port [%s].",
                    settings.serialPort);
    LoadTextSetting(link, deviceClass, deviceName, Schema(V::ModelNumber), "Defaulting to model number [%s].",
                    settings.modelNumber);

    // The new claim handle exists before the old one closes, so a mutex this object already
    // names is never destroyed and re-created in between.
    link.claimLockName = kClaimLockPrefix + PortObjectName(link.settings.serialPort);
    ka::UniqueHandle claimLock(CreateMutexA(nullptr, FALSE, link.claimLockName.c_str()));
    const bool created = claimLock.valid();
    link.claimLock = std::move(claimLock);
    return created ? opos::OPOS_SUCCESS : opos::OPOS_E_FAILURE;
}

}  // namespace pendrax
