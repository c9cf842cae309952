// ReadWeight, ZeroScale, DisplayText, COFreezeEvents and the price methods.

#include "device/scale_conversation.h"
#include "service/event_thread.h"
#include "service/scale_trm07.h"
#include "service/weight_reading.h"

namespace pendrax {

namespace {

constexpr char kZeroCommand = 'Z';
// The read whose event is being delivered and one waiting behind it: an application that takes
// no events (frozen, or serving no messages) must not pile up a thread for every further read.
constexpr size_t kMostUndeliveredReads = 2;

}  // namespace

// Only one conversation may own the port: an asynchronous reading that outlived its bound wins.
long CScaleTRM07::RefuseWhileReading(const char* routine) {
    state_.log.Line(zel::kSignificant, "An asynchronous read is still under way; [%s] refused.", routine);
    return FailureExit(routine, opos::OPOS_E_BUSY);
}

long CScaleTRM07::RefuseAnotherRead(const char* routine) {
    state_.log.Line(zel::kSignificant, "An asynchronous read already waits for its event; [%s] refused.", routine);
    return FailureExit(routine, opos::OPOS_E_BUSY);
}

long CScaleTRM07::ReadWeight(long* pWeightData, long timeout) {
    return ReadWeightAs(pWeightData, timeout, state_.asyncMode != FALSE);
}

long CScaleTRM07::ReadWeightSynchronously(long* pWeightData, long timeout) {
    return ReadWeightAs(pWeightData, timeout, false);
}

long CScaleTRM07::ReadWeightAs(long* pWeightData, long timeout, bool async) {
    constexpr char kRoutine[] = "ReadWeight";
    const long long deadline = MonotonicMs() + timeout;
    state_.log.Line(zel::kFunctTrace, "ENTER [ReadWeight]");
    if (const long gate = GateProbeClaimAndEnabled(kRoutine)) return gate;
    if (async && reads_.Undelivered() >= kMostUndeliveredReads) return RefuseAnotherRead(kRoutine);
    // One conversation at a time: an earlier asynchronous read still reading goes first.
    if (!AwaitReads()) return RefuseWhileReading(kRoutine);

    if (async) {
        state_.asyncReadTimeout = timeout;
        if (!EventThread::Start(*this, timeout)) {
            state_.log.Line(zel::kCritical, "Failed to start event thread; GLE=[%d].",
                    static_cast<long>(GetLastError()));
            return FailureExit(kRoutine, opos::OPOS_E_FAILURE);
        }
        // The event thread records the result and logs the leave line.
        return opos::OPOS_SUCCESS;
    }

    const Reading reading = ReadUntilDeadline(state_, deadline);
    if (pWeightData) *pWeightData = reading.weight;
    if (reading.accepted) return SuccessExit(kRoutine);
    return FailureExit(kRoutine, MonotonicMs() > deadline ? opos::OPOS_E_TIMEOUT : opos::OPOS_E_ILLEGAL);
}

long CScaleTRM07::ZeroScale() {
    constexpr char kRoutine[] = "ZeroScale";
    state_.log.Line(zel::kFunctTrace, "ENTER [ZeroScale]");
    if (const long gate = GateProbeClaimAndEnabled(kRoutine)) return gate;
    if (!AwaitReads()) return RefuseWhileReading(kRoutine);
    if (!state_.capZeroScale) return FailureExit(kRoutine, opos::OPOS_E_ILLEGAL);

    // The reply only confirms the scale heard us; its content is not examined.
    char reply[kReplyCapacity + 1] = {};
    const long conversed = Converse(state_.device, kZeroCommand, reply, kReplyCapacity, kZeroLimitMs);
    return Exit(kRoutine, conversed == 0 ? opos::OPOS_SUCCESS : opos::OPOS_E_ILLEGAL);
}

long CScaleTRM07::DisplayText(const char*) {
    constexpr char kRoutine[] = "DisplayText";
    state_.log.Line(zel::kFunctTrace, "ENTER [DisplayText]");
    if (const long gate = GateProbeClaimAndEnabled(kRoutine)) return gate;
    // This model has no text display.
    return FailureExit(kRoutine, opos::OPOS_E_ILLEGAL);
}

long CScaleTRM07::COFreezeEvents(long freeze) {
    constexpr char kRoutine[] = "COFreezeEvents";
    state_.log.Line(zel::kFunctTrace, "ENTER [COFreezeEvents].");
    if (const long gate = GateProbeAndClaim(kRoutine)) return gate;
    StoreFreezeEvents(freeze);
    return SuccessExit(kRoutine);
}

// No price calculation in this model: nothing is logged and ResultCode stays as it is.
void CScaleTRM07::SetUnitPrice(CY) {}

CY CScaleTRM07::GetUnitPrice() {
    CY zero;
    zero.int64 = 0;
    return zero;
}

CY CScaleTRM07::GetSalesPrice() {
    CY zero;
    zero.int64 = 0;
    return zero;
}

}  // namespace pendrax
