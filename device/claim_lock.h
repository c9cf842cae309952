#pragma once
// The cross-process claim: one named mutex per serial port.

#include "device/device_link.h"

namespace pendrax {

// OPOS_SUCCESS (Claimed set), OPOS_E_CLAIMED or OPOS_E_FAILURE.
long ClaimLock(DeviceLink& link, long timeout);
// Releases the mutex once and clears Claimed; always 0.
long ReleaseClaimLock(DeviceLink& link);

}  // namespace pendrax
