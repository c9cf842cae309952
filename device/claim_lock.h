#pragma once
// The cross-process claim: one named mutex per serial port.
//
// A mutex belongs to the thread that takes it, yet the claim must be given back by whichever
// thread releases or closes the device (the control object's thread, an event thread whose
// handler closed it, the thread that drops the last reference). So a keeper thread of this
// process takes the mutex and holds it on behalf of the application thread that claimed; the
// claim still answers to that thread only, as a mutex of its own would. Giving the claim back
// waits for the keeper's release of the mutex, never for the keeper's end, which needs the
// loader: a close from a library's detach holds it. The keeper keeps its library loaded until
// it has ended.

#include "device/device_link.h"

namespace pendrax {

// OPOS_SUCCESS (Claimed set), OPOS_E_CLAIMED or OPOS_E_FAILURE.
long ClaimLock(DeviceLink& link, long timeout);
// Gives the claim back, from any thread, and clears Claimed; always 0.
long ReleaseClaimLock(DeviceLink& link);

// The foreign-claim probe: true when the claim is free, held for the calling thread (through
// any instance of this process), or was abandoned. It never keeps the mutex.
bool ClaimProbePasses(DeviceLink& link);

}  // namespace pendrax
