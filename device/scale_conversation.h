#pragma once
// Request/reply exchanges with the scale over the open port.

#include <windows.h>

#include "device/device_link.h"

namespace pendrax {

constexpr DWORD kReplyCapacity = 256;
constexpr DWORD kWeighLimitMs = 500;
constexpr DWORD kZeroLimitMs = 5000;

// 0 when a reply was collected into `reply` (terminated), OPOS_E_ILLEGAL on any failure.
// `reply` must hold capacity + 1 characters.
long Converse(DeviceLink& link, char command, char* reply, DWORD capacity, DWORD limitMs);

// 0 for a usable weight, -1 otherwise; see the reply rules in reply_parser.h.
long ReadScale(DeviceLink& link, long& weight, long& hardwareStatus, long& commResult);

}  // namespace pendrax
