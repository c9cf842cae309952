// The access gate: foreign claim, own claim, enabled, always in this order.

#include "device/claim_lock.h"
#include "service/scale_trm07.h"

namespace pendrax {

long CScaleTRM07::ForeignClaimProbe(const char* routine) {
    if (ClaimProbePasses(state_.device)) return opos::OPOS_SUCCESS;
    state_.log.Line(zel::kCritical, "Device is claimed by someone else.");
    return FailureExit(routine, opos::OPOS_E_CLAIMED);
}

long CScaleTRM07::OwnClaimTest(const char* routine) {
    if (state_.device.claimed) return opos::OPOS_SUCCESS;
    state_.log.Line(zel::kCritical, "Device is not claimed by me.");
    return FailureExit(routine, opos::OPOS_E_NOTCLAIMED);
}

long CScaleTRM07::EnabledTest(const char* routine) {
    if (state_.device.deviceEnabled) return opos::OPOS_SUCCESS;
    state_.log.Line(zel::kCritical, "Device is not enabled.");
    return FailureExit(routine, opos::OPOS_E_DISABLED);
}

long CScaleTRM07::GateProbeAndClaim(const char* routine) {
    if (const long r = ForeignClaimProbe(routine)) return r;
    return OwnClaimTest(routine);
}

long CScaleTRM07::GateProbeClaimAndEnabled(const char* routine) {
    if (const long r = GateProbeAndClaim(routine)) return r;
    return EnabledTest(routine);
}

}  // namespace pendrax
