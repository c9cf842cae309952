#pragma once
// One weight reading with the retry rule shared by the synchronous read and the event thread.

#include "service/scale_state.h"

namespace pendrax {

constexpr DWORD kSettlingPauseMs = 500;

// Milliseconds from a clock that only moves forward: a change of the wall clock (time
// synchronisation on a terminal) must neither cut a read short nor stretch it. 64 bits, so a
// deadline cannot overflow.
long long MonotonicMs() noexcept;

struct Reading {
    long weight = 0;          // thousandths of a pound; 0 unless accepted
    long hardwareStatus = 0;
    long commResult = 0;
    bool accepted = false;
};

// Reads until a reading is accepted, the status is not the settling status, or the deadline
// is not later than the clock; pauses between attempts. Always makes at least one attempt.
// A signalled `stopRequest` (may be null) ends the pause and the retries at once.
// A reply the parser rejects counts as a failed reading even when the conversation and the
// status look fine: a weight of 0 must never stand for an unreadable reply.
Reading ReadUntilDeadline(ScaleState& state, long long deadlineMs, HANDLE stopRequest = nullptr);

}  // namespace pendrax
