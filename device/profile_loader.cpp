#include "device/profile_loader.h"

#include <cstring>
#include <new>
#include <vector>

#include "device/profile_text.h"

namespace pendrax {

namespace {
constexpr long kDefaultVerbosity = 2;
constexpr DWORD kDefaultBaudRate = CBR_9600;
constexpr BYTE kDefaultDataBits = 7;
constexpr BYTE kDefaultParity = EVENPARITY;
constexpr BYTE kDefaultStopBits = ONESTOPBIT;
constexpr char kDefaultSerialPort[] = "COM1";
constexpr char kDefaultModelNumber[] = "(Generic)";
constexpr char kStartingUpBanner[] = "-=-=-=-=[ Kolvane-Aris Scale STARTING UP ]=-=-=-=-";
constexpr char kQueryFailedLine[] = "Failed to query registry value [%s]; GLE=[%d].";

std::string KeyPath(const char* deviceClass, const char* deviceName) {
    if (!deviceClass && !deviceName) return std::string(kProviderRoot) + "\\" + kProviderName;
    return std::string(kDeviceRoot) + "\\" + (deviceClass ? deviceClass : "") + "\\" + (deviceName ? deviceName : "");
}

// The profile is only read here: asking for write access as well would make every value of a
// key that a standard user may not change look absent.
long QueryStringValue(const char* deviceClass, const char* deviceName, const char* valueName, std::string& text) {
    ka::UniqueKey key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(deviceClass, deviceName).c_str(), 0, KEY_READ, key.put());
    if (result != ERROR_SUCCESS) return result;

    DWORD type = 0;
    DWORD size = 0;
    result = RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_SZ) return ERROR_INVALID_DATATYPE;

    std::vector<char> data(size + 1, '\0');
    result = RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (result != ERROR_SUCCESS) return result;
    // The value may have changed between the two queries.
    if (type != REG_SZ) return ERROR_INVALID_DATATYPE;

    text = StripDescription(std::string_view(data.data(), strnlen(data.data(), size)));
    return ERROR_SUCCESS;
}

void LogQueryFailure(ScaleState& state, const char* valueName) {
    LogLine(state, zel::kSignificant, kQueryFailedLine, valueName, static_cast<long>(GetLastError()));
}

// A text setting with its fallback lines, used for the values whose absence is worth a line.
void LoadTextSetting(ScaleState& state, const char* deviceClass, const char* deviceName, const char* valueName,
                     const char* fallback, const char* defaultingLine, std::string& setting) {
    if (ReadProfileString(deviceClass, deviceName, valueName, setting) == 0) return;
    LogQueryFailure(state, valueName);
    setting = fallback;
    LogLine(state, zel::kInformation, defaultingLine, setting.c_str());
}
}  // namespace

long ReadProfileString(const char* deviceClass, const char* deviceName, const char* valueName, std::string& text) {
    try {
        return QueryStringValue(deviceClass, deviceName, valueName, text);
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

long LoadDeviceProfile(ScaleState& state, const char* deviceClass, const char* deviceName) {
    const bool logFileRead = ReadProfileString(nullptr, nullptr, "LogFile", state.logFilePath) == 0;
    if (!logFileRead) state.logFilePath = kDefaultLogFile;
    const bool verbosityRead = ReadProfileNumber(deviceClass, deviceName, "LogVerbosity", state.logVerbosity) == 0;
    if (!verbosityRead) state.logVerbosity = kDefaultVerbosity;

    state.log.SetDisplayName(deviceName ? deviceName : "");
    state.log.OpenLogFile(state.logFilePath.c_str(), static_cast<int>(state.logVerbosity));
    LogLine(state, zel::kInformation, kStartingUpBanner);
    if (!logFileRead) {
        LogQueryFailure(state, "LogFile");
        LogLine(state, zel::kInformation, "Defaulting to log file [%s].", state.logFilePath.c_str());
    }
    if (!verbosityRead) {
        LogQueryFailure(state, "LogVerbosity");
        LogLine(state, zel::kInformation, "Defaulting to log file verbosity [%d].", state.logVerbosity);
    }

    long number = 0;
    if (ReadProfileNumber(deviceClass, deviceName, "BaudRate", number) == 0) {
        state.baudRate = static_cast<DWORD>(number);
        LogLine(state, zel::kInformation, "Overriding BaudRate string 1 with user provided [%d].", number);
    } else {
        state.baudRate = kDefaultBaudRate;
    }
    if (ReadProfileNumber(deviceClass, deviceName, "DataSize", number) == 0) {
        state.dataBits = static_cast<BYTE>(number & 0xFF);
        LogLine(state, zel::kInformation, "Overriding Data Bits string 1 with user provided [%d].",
                static_cast<long>(state.dataBits));
    } else {
        state.dataBits = kDefaultDataBits;
    }

    std::string text;
    state.parity = ReadProfileString(deviceClass, deviceName, "Parity", text) == 0 ? ParityCode(text) : kDefaultParity;
    if (ReadProfileString(deviceClass, deviceName, "StopBits", text) == 0) {
        state.stopBits = StopBitsCode(text);
        LogLine(state, zel::kInformation, "Overriding Stop Bits string 1 with user provided [%d].",
                static_cast<long>(state.stopBits));
    } else {
        state.stopBits = kDefaultStopBits;
    }

    LoadTextSetting(state, deviceClass, deviceName, "SerialPort", kDefaultSerialPort, "Defaulting to serial port [%s].",
                    state.serialPort);
    LoadTextSetting(state, deviceClass, deviceName, "ModelNumber", kDefaultModelNumber,
                    "Defaulting to model number [%s].", state.modelNumber);

    // The new claim handle exists before the old one closes, so a mutex this object already
    // names is never destroyed and re-created in between.
    state.claimLockName = kClaimLockPrefix + PortObjectName(state.serialPort);
    ka::UniqueHandle claimLock(CreateMutexA(nullptr, FALSE, state.claimLockName.c_str()));
    const bool created = claimLock.valid();
    state.claimLock = std::move(claimLock);
    return created ? opos::OPOS_SUCCESS : opos::OPOS_E_FAILURE;
}

}  // namespace pendrax
