#pragma once
// Opening, configuring and closing the scale's COM port.

#include "device/device_link.h"

namespace pendrax {

// true: OPOS_SUCCESS or OPOS_E_NOSERVICE; false: always OPOS_SUCCESS.
long SetPortOpen(DeviceLink& link, bool open);

}  // namespace pendrax
