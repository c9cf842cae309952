#include "device/claim_lock.h"

namespace pendrax {

namespace {
// An abandoned mutex is owned by the waiter all the same: its holder ended without releasing it.
bool Acquired(DWORD waitResult) noexcept { return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED; }

long FailedToClaim(DeviceLink& link) {
    link.log.Line(zel::kCritical, "Failed to claim device; GLE=[%d].", static_cast<long>(GetLastError()));
    return opos::OPOS_E_FAILURE;
}
}  // namespace

long ClaimLock(DeviceLink& link, long timeout) {
    if (timeout == opos::OPOS_FOREVER) {
        if (!Acquired(WaitForSingleObject(link.claimLock.get(), INFINITE))) return FailedToClaim(link);
        link.claimed = TRUE;
        return opos::OPOS_SUCCESS;
    }
    // Any other timeout decides at once: a holder elsewhere is not waited for.
    const DWORD waitResult = WaitForSingleObject(link.claimLock.get(), 0);
    if (waitResult == WAIT_TIMEOUT) {
        link.log.Line(zel::kCritical, "Timed-out trying to claim device; GLE=[%d].",
                static_cast<long>(GetLastError()));
        return opos::OPOS_E_CLAIMED;
    }
    if (!Acquired(waitResult)) return FailedToClaim(link);
    link.claimed = TRUE;
    return opos::OPOS_SUCCESS;
}

long ReleaseClaimLock(DeviceLink& link) {
    ReleaseMutex(link.claimLock.get());
    link.claimed = FALSE;
    return 0;
}

}  // namespace pendrax
