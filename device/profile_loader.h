#pragma once
// Reading the device profile from the registry into the state record.

#include <string>

#include "service/scale_state.h"

namespace pendrax {

constexpr char kDeviceRoot[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS";
constexpr char kProviderRoot[] = "SOFTWARE\\OLEforRetail\\ServiceInfo";
constexpr char kProviderName[] = "Kolvane-Aris";
constexpr char kDefaultLogFile[] = "c:\\OposAdmin.log";
constexpr char kClaimLockPrefix[] = "KA-Scale-Claim-";

// 0 with the value's text (description suffix cut), or a Windows error code.
// With class and name both null it reads the provider key.
long ReadProfileString(const char* deviceClass, const char* deviceName, const char* valueName, std::string& text);

// 0 with the value's leading number, an error from ReadProfileString, or -1 when it is no number.
long ReadProfileNumber(const char* deviceClass, const char* deviceName, const char* valueName, long& number);

// OPOS_SUCCESS, or OPOS_E_FAILURE when the claim mutex cannot be created.
long LoadDeviceProfile(ScaleState& state, const char* deviceClass, const char* deviceName);

}  // namespace pendrax
