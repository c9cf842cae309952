#pragma once
// The state record of one service-object instance: its OPOS properties, results, locks and the
// device link it owns.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/opos.h"
#include "common/version.h"
#include "common/unique_handle.h"
#include "device/device_link.h"
#include "logging/opos_log.h"

namespace pendrax {

// Order in which OpenService binds the control object's event request methods.
enum EventRequest : int { kSOData = 0, kSODirectIO = 1, kSOError = 2, kSOStatusUpdate = 3, kEventRequestCount = 4 };

// The control object's IDispatch, held without a reference: the control object owns us.
struct ControlObjectLink {
    IDispatch* dispatch = nullptr;
    DISPID dispids[kEventRequestCount] = {DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN};
    // The thread that opened the device: the control object's own.
    DWORD thread = 0;
};

constexpr char kServiceObjectDescription[] =
    "Tavrix Scale Device OPOS Service Object, (C) Kolvane-Aris. All rights reserved.";
constexpr char kDeviceDescription[] = "Tavrix Scale Device";
static_assert(KA_VERSION_PATCH < 1000, "the OPOS encoding keeps three digits for the build");
constexpr long kServiceObjectVersion = KA_OPOS_VERSION;
constexpr long kMaximumWeight = 30000;

struct ScaleState {
    BOOL open = FALSE;
    ControlObjectLink link;
    zel::OposLog log;
    // Settings, claim, port and conversations: the scale as this instance reaches it.
    DeviceLink device{log};
    long asyncReadTimeout = 0;

    long resultCode = opos::OPOS_SUCCESS;
    long resultCodeExtended = 0;
    long state = opos::OPOS_S_IDLE;
    long autoDisable = 0;
    long binaryConversion = 0;
    long capPowerReporting = opos::OPOS_PR_NONE;
    std::string checkHealthText;
    long dataCount = 0;
    BOOL dataEventEnabled = FALSE;
    BOOL freezeEvents = FALSE;
    long powerNotify = 0;
    long powerState = opos::OPOS_PS_UNKNOWN;
    std::string serviceObjectDescription = kServiceObjectDescription;
    long serviceObjectVersion = kServiceObjectVersion;
    std::string deviceDescription = kDeviceDescription;
    std::string deviceName = kDeviceDescription;
    BOOL asyncMode = FALSE;
    BOOL capDisplay = TRUE;
    BOOL capDisplayText = FALSE;
    BOOL capPriceCalculating = FALSE;
    BOOL capTareWeight = FALSE;
    BOOL capZeroScale = TRUE;
    long maxDisplayedChars = 0;
    long maximumWeight = kMaximumWeight;
    long tareWeight = 0;
    long weightUnit = opos::SCAL_WU_POUND;

    ka::CriticalSection resultLock;
    ka::CriticalSection dataEventLock;
};

}  // namespace pendrax
