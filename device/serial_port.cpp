#include "device/serial_port.h"

#include <mutex>

namespace pendrax {

namespace {
constexpr DWORD kQueueBytes = 256;
constexpr DWORD kEventMask = EV_CTS;
// A read waits for its first character without limit and ends 100 ms after its last one;
// the conversation bounds the whole wait itself.
constexpr COMMTIMEOUTS kPortTimeouts = {100, 0, 0, 0, 0};

// What the configuration steps work on: the opened port and the block it reported.
struct PortSetup {
    const DeviceSettings& settings;
    HANDLE port;
    DCB dcb;
};

// The driver keeps whatever line discipline the port's last program set, so every part of it that
// a serial scale depends on is set here: no flow control of any kind (the scale sends none and
// may not raise CTS or DSR), DTR and RTS raised, bytes kept as they arrive, and line errors that
// do not stop later reads.
void SetLineDiscipline(DCB& dcb, const DeviceSettings& settings) noexcept {
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.dataBits;
    dcb.Parity = settings.parity;
    dcb.StopBits = settings.stopBits;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != NOPARITY;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

bool ApplyLineSettings(PortSetup& setup) {
    SetLineDiscipline(setup.dcb, setup.settings);
    return SetCommState(setup.port, &setup.dcb) != FALSE;
}
bool ApplyQueues(PortSetup& setup) { return SetupComm(setup.port, kQueueBytes, kQueueBytes) != FALSE; }
bool ApplyEventMask(PortSetup& setup) { return SetCommMask(setup.port, kEventMask) != FALSE; }
bool ApplyTimeouts(PortSetup& setup) {
    COMMTIMEOUTS timeouts = kPortTimeouts;
    return SetCommTimeouts(setup.port, &timeouts) != FALSE;
}

struct ConfigurationStep {
    bool (*apply)(PortSetup& setup);
    const char* failureLine;
};
// Every step runs even after one has failed, so each failure gets its own line.
constexpr ConfigurationStep kConfigurationSteps[] = {
    {ApplyLineSettings, "SetCommState Failed, %d"},
    {ApplyQueues, "SetupComm Failed, %d"},
    {ApplyEventMask, "SetCommMask Failed, %d"},
    {ApplyTimeouts, "SetCommTimeouts Failed, %d"},
};

long OpenPort(DeviceLink& link) {
    if (link.deviceEnabled) return opos::OPOS_SUCCESS;
    ka::UniqueFile port(CreateFileA(link.settings.serialPort.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    if (!port) return opos::OPOS_E_NOSERVICE;

    PortSetup setup{link.settings, port.get(), {}};
    setup.dcb.DCBlength = sizeof setup.dcb;
    if (!GetCommState(port.get(), &setup.dcb)) {
        port.reset();
        link.log.Line(zel::kCritical, "GetCommState Failed");
        return opos::OPOS_E_NOSERVICE;
    }
    bool configured = true;
    for (const auto& step : kConfigurationSteps) {
        if (!step.apply(setup)) {
            link.log.Line(zel::kCritical, step.failureLine, static_cast<long>(GetLastError()));
            configured = false;
        }
    }
    if (!configured) return opos::OPOS_E_NOSERVICE;

    link.port = std::move(port);
    link.deviceEnabled = TRUE;
    link.log.Line(zel::kInformation, "Device enabled successfully.");
    return opos::OPOS_SUCCESS;
}

long ClosePort(DeviceLink& link) {
    if (!link.deviceEnabled) return opos::OPOS_SUCCESS;
    {
        // A conversation on another thread finishes with the handle before it goes.
        std::lock_guard<ka::CriticalSection> hold(link.conversationLock);
        link.port.reset();
        link.deviceEnabled = FALSE;
    }
    link.log.Line(zel::kInformation, "Device disabled successfully.");
    return opos::OPOS_SUCCESS;
}
}  // namespace

long SetPortOpen(DeviceLink& link, bool open) { return open ? OpenPort(link) : ClosePort(link); }

}  // namespace pendrax
