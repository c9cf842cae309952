// scalectl: a technician's console tool that exercises a scale through the OPOS Scale control
// object. On a POS terminal that is the real control object of the OPOS installation; in our own
// Wine prefixes it is the standard control object OPOSScale.ocx, or the stand-in OposScaleStandIn.dll.

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/com/owners.h"
#include "common/unique_handle.h"
#include "tools/scalectl/command_line.h"
#include "tools/scalectl/control_client.h"
#include "tools/scalectl/scale_session.h"

namespace {

using scalectl::Command;
using scalectl::Options;
using scalectl::ScaleSession;

constexpr int kExitUsage = 2;
constexpr int kExitNoControl = 3;

// Set by Ctrl+C so that a watch ends through its cleanup steps instead of being cut off.
HANDLE g_stopRequested = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type) noexcept {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    SetEvent(g_stopRequested);
    return TRUE;
}

// Routes Ctrl+C to the stop event while it lives.
class StopOnCtrlC {
public:
    explicit StopOnCtrlC(HANDLE stop) noexcept {
        g_stopRequested = stop;
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    }
    ~StopOnCtrlC() {
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        g_stopRequested = nullptr;
    }
    StopOnCtrlC(const StopOnCtrlC&) = delete;
    StopOnCtrlC& operator=(const StopOnCtrlC&) = delete;
};

std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

bool StopRequested(DWORD waitMs) { return WaitForSingleObject(g_stopRequested, waitMs) == WAIT_OBJECT_0; }

void Watch(ScaleSession& session, const Options& options) {
    for (long i = 1; options.count == 0 || i <= options.count; ++i) {
        session.ReadWeight("ReadWeight #" + std::to_string(i), options.timeoutMs);
        bool last = options.count != 0 && i == options.count;
        if (last || StopRequested(last ? 0 : static_cast<DWORD>(options.intervalMs))) break;
    }
}

void RunSteps(ScaleSession& session, const Options& options) {
    switch (options.command) {
        case Command::Read:
            if (options.async) {
                session.ReadWeightAsync(options.timeoutMs);
            } else {
                session.ReadWeight("ReadWeight", options.timeoutMs);
            }
            break;
        case Command::Zero:
            session.ZeroScale();
            break;
        case Command::Health:
            session.CheckHealth(options.level);
            break;
        case Command::Watch:
            Watch(session, options);
            break;
        case Command::Demo:
            session.ReadWeight("ReadWeight", options.timeoutMs);
            session.ReadWeightAsync(options.timeoutMs);
            session.ZeroScale();
            session.CheckHealth(1);
            session.CheckHealth(2);
            break;
    }
}

int Run(const Options& options) {
    scalectl::ControlClient control;
    HRESULT hr = control.Create();
    if (FAILED(hr)) {
        std::fprintf(stderr, "scalectl: the OPOS Scale control object cannot be created (HRESULT 0x%08lX)\n",
                     static_cast<unsigned long>(hr));
        return kExitNoControl;
    }
    ScaleSession session(control);
    if (session.Start(options.device)) RunSteps(session, options);
    return session.Finish();
}

}  // namespace

int main() {
    try {
        scalectl::ParsedCommandLine parsed = scalectl::ParseCommandLine(Arguments());
        if (!parsed.ok) {
            std::fprintf(stderr, "scalectl: %s\n\n%s", parsed.error.c_str(), scalectl::kUsage);
            return kExitUsage;
        }
        ka::UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!stop) {
            std::fprintf(stderr, "scalectl: cannot create an event (error %lu)\n", GetLastError());
            return kExitNoControl;
        }
        StopOnCtrlC stopOnCtrlC(stop.get());
        const ka::com::ApartmentScope apartment = ka::com::EnterSingleThreadedApartment();
        if (FAILED(apartment.get())) {
            std::fprintf(stderr, "scalectl: COM cannot be initialised (HRESULT 0x%08lX)\n",
                         static_cast<unsigned long>(apartment.get()));
            return kExitNoControl;
        }
        return Run(parsed.options);
    } catch (...) {
        std::fprintf(stderr, "scalectl: out of memory\n");
        return kExitNoControl;
    }
}
