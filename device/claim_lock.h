#pragma once
// The cross-process claim: one named mutex per serial port.

#include "service/scale_state.h"

namespace pendrax {

// OPOS_SUCCESS (Claimed set), OPOS_E_CLAIMED or OPOS_E_FAILURE.
long ClaimLock(ScaleState& state, long timeout);
// Releases the mutex once and clears Claimed; always 0.
long ReleaseClaimLock(ScaleState& state);

}  // namespace pendrax
