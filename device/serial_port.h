#pragma once
// Opening, configuring and closing the scale's COM port.

#include "device/device_link.h"
#include "device/pending_lines.h"

namespace pendrax {

// true: OPOS_SUCCESS or OPOS_E_NOSERVICE; false: always OPOS_SUCCESS.
long SetPortOpen(DeviceLink& link, bool open);

// With the conversation lock held. The port failed at the port level (`error` the system's
// code): it is closed and marked lost, and the device stays enabled. The loss is logged once,
// however many conversations fail before the port is back.
void LosePort(DeviceLink& link, DWORD error, PendingLines& lines);
// With the conversation lock held, while the port is lost: opens and configures it again with
// the profile's settings. True once it is back.
bool ReopenLostPort(DeviceLink& link, PendingLines& lines);

}  // namespace pendrax
