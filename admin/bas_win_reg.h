#pragma once
// The administrator's only door to the device profiles under HKEY_LOCAL_MACHINE. Each operation
// opens what it needs, does one thing and closes every key it opened; failures come back as
// registry error codes or defaults, never as messages.

#include <string>

namespace vantorel::basWinReg {

// Key root that addresses the provider key instead of a device class (compared exactly).
inline constexpr char kProviderPseudoClass[] = "--OPOS--PROVIDER--";
// The longest key name the registry holds, in characters.
inline constexpr unsigned kMaxKeyNameLength = 255;

// The value's text without its description, or `defaultText` when the value is absent, not
// REG_SZ, or the key cannot be opened. An empty value name reads the
// key's default value.
std::string GetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                            const std::string& defaultText);
// Writes the text (with the description suffix when the description is not empty) into an
// existing key; the key is never created here.
long SetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                     const std::string& valueText, const std::string& description);
// Creates the key, and its parent when that is missing; an existing key is opened untouched.
long CreateProfileKey(const std::string& keyRoot, const std::string& keyName);
// Deletes a device key that has no subkeys.
long DeleteProfileKey(const std::string& deviceClass, const std::string& deviceName);
// 1 when a subkey of the class key bears exactly this name (case-sensitive), else 0.
int DeviceKeyExists(const std::string& deviceClass, const std::string& deviceName);
// The name of the class key's subkey at `index`, or "" at the end or on any error.
std::string EnumDeviceName(const std::string& deviceClass, short index);
// The result of opening the provider key for reading: 0 when it exists, ERROR_FILE_NOT_FOUND when not.
long ProviderKeyStatus(const std::string& providerName);
// The result of opening any profile key for reading; the registry matches its name in any casing.
long ProfileKeyStatus(const std::string& keyRoot, const std::string& keyName);

}  // namespace vantorel::basWinReg
