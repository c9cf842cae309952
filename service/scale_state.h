#pragma once
// The state record of one service-object instance. The device link works on it too.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/opos.h"
#include "common/unique_handle.h"
#include "logging/opos_log.h"

namespace pendrax {

// Order in which OpenService binds the control object's event request methods.
enum EventRequest : int { kSOData = 0, kSODirectIO = 1, kSOError = 2, kSOStatusUpdate = 3, kEventRequestCount = 4 };

// The control object's IDispatch, held without a reference: the control object owns us.
struct ControlObjectLink {
    IDispatch* dispatch = nullptr;
    DISPID dispids[kEventRequestCount] = {DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN};
};

constexpr char kServiceObjectDescription[] =
    "Tavrix Scale Device OPOS Service Object, (C) Kolvane-Aris. All rights reserved.";
constexpr char kDeviceDescription[] = "Tavrix Scale Device";
constexpr long kServiceObjectVersion = 1005001;
constexpr long kMaximumWeight = 30000;

struct ScaleState {
    BOOL open = FALSE;
    ControlObjectLink link;
    zel::OposLog log;
    // TLS_OUT_OF_INDEXES until OpenService allocates it: index 0 may be someone else's slot.
    ka::UniqueTlsSlot categorySlot;
    std::string claimLockName;
    ka::UniqueHandle claimLock;
    std::string serialPort;
    DWORD baudRate = CBR_9600;
    BYTE dataBits = 7;
    BYTE parity = EVENPARITY;
    BYTE stopBits = ONESTOPBIT;
    std::string logFilePath;
    long logVerbosity = 0;
    long asyncReadTimeout = 0;
    // Set by an asynchronous ReadWeight until its event thread has fired its event: until then
    // the thread converses or calls the control object; afterwards it only records its result.
    volatile LONG asyncReadPending = 0;
    std::string modelNumber;

    long resultCode = opos::OPOS_SUCCESS;
    long resultCodeExtended = 0;
    long state = opos::OPOS_S_IDLE;
    long autoDisable = 0;
    long binaryConversion = 0;
    long capPowerReporting = opos::OPOS_PR_NONE;
    std::string checkHealthText;
    BOOL claimed = FALSE;
    long dataCount = 0;
    BOOL dataEventEnabled = FALSE;
    BOOL deviceEnabled = FALSE;
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

    ka::UniqueFile port;
    ka::CriticalSection resultLock;
    ka::CriticalSection dataEventLock;

    // Held from a request's write to the end of its read: replies must not cross.
    ka::CriticalSection conversationLock;
};

// The calling thread's log category: 1 on the opening thread, 2 on the event thread, else 0.
int CurrentCategory(const ScaleState& state) noexcept;

// Writes one line with the calling thread's category. The last-error code survives the call,
// so a following line can still show it.
void LogLine(ScaleState& state, int level, const char* format, ...);

}  // namespace pendrax
