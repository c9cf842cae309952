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

// The port opened and configured with the profile's settings; invalid when it cannot be opened
// (no line: the port is missing or in use) or configured (a line for each step that failed).
ka::UniqueFile OpenConfiguredPort(const DeviceLink& link, PendingLines& lines) {
    ka::UniqueFile port(CreateFileA(link.settings.serialPort.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    if (!port) return port;

    PortSetup setup{link.settings, port.get(), {}};
    setup.dcb.DCBlength = sizeof setup.dcb;
    if (!GetCommState(port.get(), &setup.dcb)) {
        port.reset();
        lines.Line(zel::kCritical, "GetCommState Failed");
        return port;
    }
    bool configured = true;
    for (const auto& step : kConfigurationSteps) {
        if (!step.apply(setup)) {
            lines.Line(zel::kCritical, step.failureLine, static_cast<long>(GetLastError()));
            configured = false;
        }
    }
    if (!configured) port.reset();
    return port;
}

long OpenPort(DeviceLink& link) {
    if (link.deviceEnabled) return opos::OPOS_SUCCESS;
    PendingLines lines(link.log);
    ka::UniqueFile port = OpenConfiguredPort(link, lines);
    lines.WriteAll();
    if (!port) return opos::OPOS_E_NOSERVICE;

    link.port = std::move(port);
    link.deviceEnabled = TRUE;
    link.portLost = false;
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
        link.portLost = false;
    }
    link.log.Line(zel::kInformation, "Device disabled successfully.");
    return opos::OPOS_SUCCESS;
}
}  // namespace

long SetPortOpen(DeviceLink& link, bool open) { return open ? OpenPort(link) : ClosePort(link); }

void LosePort(DeviceLink& link, DWORD error, PendingLines& lines) {
    link.port.reset();
    if (link.portLost) return;
    link.portLost = true;
    lines.Line(zel::kSignificant, "Lost the scale's port [%s]; LE=%d. It is opened again at the next request.",
               link.settings.serialPort.c_str(), static_cast<long>(error));
}

bool ReopenLostPort(DeviceLink& link, PendingLines& lines) {
    ka::UniqueFile port = OpenConfiguredPort(link, lines);
    if (!port) return false;
    link.port = std::move(port);
    link.portLost = false;
    lines.Line(zel::kSignificant, "Opened the scale's port [%s] again with the profile's settings.",
               link.settings.serialPort.c_str());
    return true;
}

}  // namespace pendrax
