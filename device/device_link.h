#pragma once
// The scale as the service object reaches it: the settings its profile gives, the claim mutex,
// the port, the lock that keeps conversations apart, and the log the link writes to. The
// service object owns one; everything under device/ works on it.

#include <windows.h>

#include <string>

#include "common/opos.h"
#include "common/unique_handle.h"
#include "logging/opos_log.h"

namespace pendrax {

// The serial and logging settings of a device profile, in the forms the serial API wants.
struct DeviceSettings {
    std::string serialPort;
    DWORD baudRate = CBR_9600;
    BYTE dataBits = 7;
    BYTE parity = EVENPARITY;
    BYTE stopBits = ONESTOPBIT;
    std::string logFilePath;
    long logVerbosity = 0;
    std::string modelNumber;
};

struct DeviceLink {
    explicit DeviceLink(zel::OposLog& logTo) noexcept : log(logTo) {}
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    zel::OposLog& log;
    DeviceSettings settings;

    // "KA-Scale-Claim-" and the port: the named mutex whose owner has claimed the device.
    std::string claimLockName;
    ka::UniqueHandle claimLock;
    BOOL claimed = FALSE;
    // The claim this link holds, by name: a reload may point claimLockName at another port.
    std::string claimedLockName;

    // Open and configured while the device is enabled.
    ka::UniqueFile port;
    BOOL deviceEnabled = FALSE;
    // The port failed under a conversation (an adapter pulled) and was closed; the device stays
    // enabled and the next conversation opens the port again. Changed only under the
    // conversation lock.
    bool portLost = false;

    // Held from a request's write to the end of its read: replies must not cross.
    ka::CriticalSection conversationLock;
};

}  // namespace pendrax
