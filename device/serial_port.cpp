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
    const ScaleState& state;
    HANDLE port;
    DCB dcb;
};

bool ApplyLineSettings(PortSetup& setup) {
    setup.dcb.BaudRate = setup.state.baudRate;
    setup.dcb.ByteSize = setup.state.dataBits;
    setup.dcb.Parity = setup.state.parity;
    setup.dcb.StopBits = setup.state.stopBits;
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

long OpenPort(ScaleState& state) {
    if (state.deviceEnabled) return opos::OPOS_SUCCESS;
    ka::UniqueFile port(CreateFileA(state.serialPort.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    if (!port) return opos::OPOS_E_NOSERVICE;

    PortSetup setup{state, port.get(), {}};
    setup.dcb.DCBlength = sizeof setup.dcb;
    if (!GetCommState(port.get(), &setup.dcb)) {
        port.reset();
        LogLine(state, zel::kCritical, "GetCommState Failed");
        return opos::OPOS_E_NOSERVICE;
    }
    bool configured = true;
    for (const auto& step : kConfigurationSteps) {
        if (!step.apply(setup)) {
            LogLine(state, zel::kCritical, step.failureLine, static_cast<long>(GetLastError()));
            configured = false;
        }
    }
    if (!configured) return opos::OPOS_E_NOSERVICE;

    state.port = std::move(port);
    state.deviceEnabled = TRUE;
    LogLine(state, zel::kInformation, "Device enabled successfully.");
    return opos::OPOS_SUCCESS;
}

long ClosePort(ScaleState& state) {
    if (!state.deviceEnabled) return opos::OPOS_SUCCESS;
    {
        // A conversation on another thread finishes with the handle before it goes.
        std::lock_guard<ka::CriticalSection> hold(state.conversationLock);
        state.port.reset();
        state.deviceEnabled = FALSE;
    }
    LogLine(state, zel::kInformation, "Device disabled successfully.");
    return opos::OPOS_SUCCESS;
}
}  // namespace

long SetPortOpen(ScaleState& state, bool open) { return open ? OpenPort(state) : ClosePort(state); }

}  // namespace pendrax
