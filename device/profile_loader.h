#pragma once
// Reading the device profile from the registry into the device link.

#include <string>

#include "device/device_link.h"

namespace pendrax {

constexpr char kClaimLockPrefix[] = "KA-Scale-Claim-";

// 0 with the value's text (description suffix cut), or a Windows error code.
// With class and name both null it reads the provider key.
long ReadProfileString(const char* deviceClass, const char* deviceName, const char* valueName, std::string& text);

// 0 with the value's leading number, an error from ReadProfileString, or -1 when it is no number.
long ReadProfileNumber(const char* deviceClass, const char* deviceName, const char* valueName, long& number);

// OPOS_SUCCESS, or OPOS_E_FAILURE when the claim mutex cannot be created.
long LoadDeviceProfile(DeviceLink& link, const char* deviceClass, const char* deviceName);

}  // namespace pendrax
