#include "service/weight_reading.h"

#include "device/reply_parser.h"
#include "device/scale_conversation.h"

namespace pendrax {

namespace {

Reading ReadOnce(ScaleState& state) {
    Reading reading;
    long weight = 0;
    const long parsed = ReadScale(state.device, weight, reading.hardwareStatus, reading.commResult);
    reading.accepted = parsed == 0 && reading.commResult == 0 && IsAcceptableStatus(reading.hardwareStatus);
    if (reading.accepted) reading.weight = weight;
    return reading;
}

// False when a stop was requested during the pause.
bool PauseBeforeRetry(HANDLE stopRequest) {
    if (!stopRequest) {
        Sleep(kSettlingPauseMs);
        return true;
    }
    return WaitForSingleObject(stopRequest, kSettlingPauseMs) == WAIT_TIMEOUT;
}

}  // namespace

long long MonotonicMs() noexcept { return static_cast<long long>(GetTickCount64()); }

Reading ReadUntilDeadline(ScaleState& state, long long deadlineMs, HANDLE stopRequest) {
    Reading reading = ReadOnce(state);
    while (!reading.accepted) {
        if (deadlineMs <= MonotonicMs()) break;
        if (reading.hardwareStatus != kStatusSettling) break;
        if (!PauseBeforeRetry(stopRequest)) break;
        reading = ReadOnce(state);
    }
    return reading;
}

}  // namespace pendrax
