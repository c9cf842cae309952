#include "service/weight_reading.h"

#include "device/reply_parser.h"
#include "device/scale_conversation.h"

namespace pendrax {

namespace {

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr long long kEpochOffset100ns = 116444736000000000LL;
constexpr long long k100nsPerMs = 10000;

Reading ReadOnce(ScaleState& state) {
    Reading reading;
    long weight = 0;
    const long parsed = ReadScale(state, weight, reading.hardwareStatus, reading.commResult);
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

long long WallClockMs() noexcept {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    return (static_cast<long long>(ticks.QuadPart) - kEpochOffset100ns) / k100nsPerMs;
}

Reading ReadUntilDeadline(ScaleState& state, long long deadlineMs, HANDLE stopRequest) {
    Reading reading = ReadOnce(state);
    while (!reading.accepted) {
        if (deadlineMs <= WallClockMs()) break;
        if (reading.hardwareStatus != kStatusSettling) break;
        if (!PauseBeforeRetry(stopRequest)) break;
        reading = ReadOnce(state);
    }
    return reading;
}

}  // namespace pendrax
