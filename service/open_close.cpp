// OpenService and Close: the instance's life between the control object's open and close.

#include <cstdint>

#include "device/profile_loader.h"
#include "device/serial_port.h"
#include "common/com/ansi_text.h"
#include "common/com/dispatch_call.h"
#include "service/event_request.h"
#include "service/scale_trm07.h"

namespace pendrax {

namespace {

constexpr char kShutdownBanner[] = "-=-=-=[  Kolvane-Aris Scale SHUTTING DOWN  ]=-=-=-";

long PointerAsNumber(const void* pointer) noexcept {
    return static_cast<long>(reinterpret_cast<std::intptr_t>(pointer));
}

}  // namespace

void CScaleTRM07::DetachControlObject() noexcept {
    // Held without a reference, so detaching releases nothing.
    state_.link.dispatch = nullptr;
}

long CScaleTRM07::BindEventRequests() {
    for (int index = 0; index < kEventRequestCount; ++index) {
        const std::wstring name = ka::com::AnsiToWide(EventRequestName(static_cast<EventRequest>(index)));
        if (ka::com::LookupDispid(state_.link.dispatch, name.c_str(), &state_.link.dispids[index],
                                  LOCALE_SYSTEM_DEFAULT) != S_OK) {
            return index;
        }
    }
    return -1;
}

long CScaleTRM07::OpenService(const char* deviceClass, const char* deviceName, IDispatch* controlObject) {
    deviceClass = deviceClass ? deviceClass : "";
    deviceName = deviceName ? deviceName : "";
    // A reload replaces the settings, the log file and the claim lock a running read uses, and
    // no event of the earlier open may follow.
    StopReads();
    // Each open takes a fresh slot; the previous one is given back, not leaked.
    state_.log.AllocateCategorySlot(zel::kMainThread);

    // A repeated open starts from a clean link: an event must never reach an earlier control object.
    ControlObjectLink fresh;
    state_.link = fresh;
    state_.link.dispatch = controlObject;
    state_.link.thread = GetCurrentThreadId();

    // The profile load opens the log file again; the earlier stream must not be left open.
    state_.log.CloseFile();
    if (LoadDeviceProfile(state_.device, deviceClass, deviceName) != opos::OPOS_SUCCESS) {
        state_.log.Line(zel::kCritical, "Failed to load Device Profile registry settings.");
        DetachControlObject();
        return FailureExit("OpenService", opos::OPOS_E_NOSERVICE);
    }

    state_.log.Line(zel::kFunctTrace, "ENTER [OpenService].");
    state_.log.Line(zel::kDataFlow, "  * DeviceClass = [%s].", deviceClass);
    state_.log.Line(zel::kDataFlow, "  * DeviceName  = [%s].", deviceName);
    state_.log.Line(zel::kDataFlow, "  * pDispatch   = [%d].", PointerAsNumber(controlObject));
    state_.log.Line(zel::kInformation, "Device Profile:  Serial Port  = [%s].", state_.device.settings.serialPort.c_str());
    state_.log.Line(zel::kInformation, "Device Profile:  Model Number = [%s].", state_.device.settings.modelNumber.c_str());

    if (controlObject) {
        const long failed = BindEventRequests();
        if (failed >= 0) {
            DetachControlObject();
            state_.log.Line(zel::kCritical, "Failed to bind to CO Event Request Method [%s].", EventRequestName(static_cast<EventRequest>(failed)));
            return FailureExit("OpenService", opos::OPOS_E_NOSERVICE);
        }
    }

    // This scale model needs no device initialisation beyond the profile.
    state_.open = TRUE;
    return SuccessExit("OpenService");
}

long CScaleTRM07::Close() {
    // A control object that closes us takes no events any more, forwarded lines included.
    state_.log.ClearLineSink();
    state_.log.Line(zel::kFunctTrace, "ENTER [Close].");
    // An event thread uses the port: its reading ends before the port goes.
    StopReads();
    if (state_.device.deviceEnabled) SetPortOpen(state_.device, false);
    GiveBackClaim();
    state_.open = FALSE;
    SuccessExit("Close");
    state_.log.Line(zel::kInformation, kShutdownBanner);
    return opos::OPOS_SUCCESS;
}

}  // namespace pendrax
