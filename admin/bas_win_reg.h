#pragma once
// The administrator's only door to the device profiles under HKEY_LOCAL_MACHINE. Each operation
// opens what it needs, does one thing and closes every key it opened; failures come back as
// registry error codes or defaults, never as messages.
//
// On 64-bit Windows, 32-bit and 64-bit programs each see their own view of HKLM\SOFTWARE, and the
// control object and service object of either bitness must find the same device with the same
// settings: there every operation works on both views.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vantorel::basWinReg {

// Key root that addresses the provider key instead of a device class (compared exactly).
inline constexpr char kProviderPseudoClass[] = "--OPOS--PROVIDER--";
// The longest key name the registry holds, in characters.
inline constexpr unsigned kMaxKeyNameLength = 255;

// One view of HKLM\SOFTWARE.
struct RegistryView {
    REGSAM flag;       // KEY_WOW64_32KEY or KEY_WOW64_64KEY; 0 where Windows has one view
    const char* name;  // as the user reads it: "32-bit", "64-bit"
};

// The views the profiles are kept in: on 64-bit Windows the 32-bit one, which the administrator
// has always shown, then the 64-bit one; on 32-bit Windows its one view.
const std::vector<RegistryView>& ProfileViews();

// Per view, whether the key is there.
std::vector<bool> ViewsHoldingKey(const std::string& keyRoot, const std::string& keyName);

// The value's text without its description, or `defaultText` when the value is absent, not
// REG_SZ, or the key cannot be opened. An empty value name reads the key's default value. Read
// from the first view that holds the key.
std::string GetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                            const std::string& defaultText);
// The same, from one view.
std::string GetProfileValueIn(const RegistryView& view, const std::string& keyRoot, const std::string& keyName,
                              const std::string& valueName, const std::string& defaultText);
// Writes the text (with the description suffix when the description is not empty) into every
// view that holds the key; the key is never created here. Every such view takes the text or
// none does: when one refuses, the others keep what they held.
long SetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                     const std::string& valueText, const std::string& description);
// Creates the key in every view, and its parent where that is missing; an existing key is
// opened untouched. When a view refuses, the keys this call made in the others go again.
long CreateProfileKey(const std::string& keyRoot, const std::string& keyName);
// Deletes a device key that has no subkeys from every view that holds it. Nothing is deleted
// unless every such view lets it go: the keys are opened, and checked for subkeys, first.
long DeleteProfileKey(const std::string& deviceClass, const std::string& deviceName);
// 1 when a subkey of the class key bears exactly this name (case-sensitive) in some view, else 0.
int DeviceKeyExists(const std::string& deviceClass, const std::string& deviceName);
// Every device name of the class found in either view, once: a name the registry matches to a
// key listed from an earlier view (in any casing) is that device.
std::vector<std::string> DeviceNames(const std::string& deviceClass);
// The name at `index` of DeviceNames, or "" past the end or on any error.
std::string EnumDeviceName(const std::string& deviceClass, short index);
// The result of opening the provider key for reading: 0 when every view has it,
// ERROR_FILE_NOT_FOUND when one lacks it.
long ProviderKeyStatus(const std::string& providerName);
// The result of opening any profile key for reading in every view (the registry matches its name
// in any casing): 0 when each view has it, else the first view's failure.
long ProfileKeyStatus(const std::string& keyRoot, const std::string& keyName);

// How a device's profile stands across the views.
struct ViewComparison {
    std::vector<bool> holdsDevice;           // per view: the device key is there
    std::vector<std::string> deviceValues;   // device values whose type or data differ, or that only
                                             // some views hold; compared when every view holds the key
    std::vector<std::string> providerValues; // the same for the provider key shared by every device
};
ViewComparison CompareViews(const std::string& deviceClass, const std::string& deviceName);
// Whether a device is in one view only, or differs between them.
bool OutOfStep(const ViewComparison& views);

// Makes every other view hold what the `source` view holds: the device key's values copied over
// theirs (values the source lacks removed), or, when the source lacks the device, the device
// deleted from them; likewise the provider key's values, except that the provider key is never
// deleted (where the source lacks it, a view that has it gives it to the others). Stops at the
// first failure and answers it.
long BringIntoStep(const std::string& deviceClass, const std::string& deviceName, std::size_t source);

}  // namespace vantorel::basWinReg
