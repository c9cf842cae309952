// Claim, release and enabling: the claim lock and the port, in that order of ownership.

#include "device/claim_lock.h"
#include "device/serial_port.h"
#include "service/scale_trm07.h"

namespace pendrax {

namespace {
constexpr char kDeviceEnabledRoutine[] = "SetPropertyNumber(DeviceEnabled)";
}

long CScaleTRM07::Claim(long timeout) {
    state_.log.Line(zel::kFunctTrace, "ENTER [Claim].");
    state_.log.Line(zel::kDataFlow, "  * Timeout = [%d].", timeout);
    // Closed after an open (the claim lock stays): a claim taken now would outlive the session
    // that should give it back. Never opened, the probe answers as it always has.
    if (!state_.open && state_.device.claimLock) {
        state_.log.Line(zel::kCritical, "Device is closed; it cannot be claimed until it is opened again.");
        return FailureExit("Claim", opos::OPOS_E_CLOSED);
    }
    // The probe comes first, so another holder answers at once whatever the timeout.
    if (const long r = ForeignClaimProbe("Claim")) return r;
    if (state_.device.claimed) {
        state_.log.Line(zel::kSignificant, "Device has *already* been claimed by me.");
        return SuccessExit("Claim");
    }
    return Exit("Claim", ClaimLock(state_.device, timeout));
}

long CScaleTRM07::ReleaseDevice() {
    state_.log.Line(zel::kFunctTrace, "ENTER [ReleaseDevice].");
    if (const long r = GateProbeAndClaim("ReleaseDevice")) return r;
    return ReleaseClaimed();
}

void CScaleTRM07::GiveBackClaim() {
    if (!state_.device.claimed) return;
    // Whichever thread closes gives the claim back; a claim left held would refuse every other
    // application until the claiming thread ends.
    state_.log.Line(zel::kFunctTrace, "ENTER [ReleaseDevice].");
    ReleaseClaimed();
}

long CScaleTRM07::ReleaseClaimed() {
    StopReads();
    if (state_.device.deviceEnabled) SetPortOpen(state_.device, false);
    return Exit("ReleaseDevice", ReleaseClaimLock(state_.device));
}

void CScaleTRM07::SetDeviceEnabled(long number) {
    if (number == 0) {
        StopReads();
        SetPortOpen(state_.device, false);
        SuccessExit(kDeviceEnabledRoutine);
        return;
    }
    if (GateProbeAndClaim(kDeviceEnabledRoutine) != opos::OPOS_SUCCESS) return;
    Exit(kDeviceEnabledRoutine, SetPortOpen(state_.device, true));
}

}  // namespace pendrax
