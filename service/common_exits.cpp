// The two exits every result-recording dispatch method leaves through.

#include <mutex>

#include "service/scale_trm07.h"

namespace pendrax {

void CScaleTRM07::StoreResult(long result) {
    std::lock_guard<ka::CriticalSection> hold(state_.resultLock);
    state_.resultCode = result;
    state_.resultCodeExtended = 0;
}

long CScaleTRM07::LeaveLines(const char* routine, long result) {
    if (result != opos::OPOS_SUCCESS) {
        state_.log.Line(zel::kDataFlow, "Routine returned unsuccessful result [%s] [%d].", routine, result);
    }
    state_.log.Line(zel::kFunctTrace, "LEAVE [%s].", routine);
    return result;
}

long CScaleTRM07::SuccessExit(const char* routine) {
    LeaveLines(routine, opos::OPOS_SUCCESS);
    StoreResult(opos::OPOS_SUCCESS);
    return opos::OPOS_SUCCESS;
}

long CScaleTRM07::FailureExit(const char* routine, long result) {
    LeaveLines(routine, result);
    StoreResult(result);
    return result;
}

}  // namespace pendrax
