// CheckHealth, ClearInput, ClearOutput, DirectIO and the forwarding of log lines.

#include <cstdint>

#include "device/health_dialog.h"
#include "common/com/ansi_text.h"
#include "common/com/dispatch_call.h"
#include "common/com/owners.h"
#include "service/event_request.h"
#include "service/scale_trm07.h"

namespace pendrax {

namespace {

constexpr char kCheckHealth[] = "CheckHealth";
constexpr char kClearInput[] = "ClearInput";
constexpr char kClearOutput[] = "ClearOutput";
constexpr char kDirectIO[] = "DirectIO";

struct HealthText {
    long level;
    const char* text;
};
constexpr HealthText kHealthTexts[] = {
    {opos::OPOS_CH_INTERNAL, "Internal HCheck: Successful"},
    {opos::OPOS_CH_EXTERNAL, "External HCkeck: Successful"},
    {opos::OPOS_CH_INTERACTIVE, "Interactive HCheck:  Complete"},
};

const char* HealthTextFor(long level) {
    for (const HealthText& entry : kHealthTexts)
        if (entry.level == level) return entry.text;
    return nullptr;
}

// The one vendor command: pData >= 0 forwards log lines at that verbosity, < 0 stops.
constexpr long kLogForwardingCommand = 1000;
// Forwarded lines reach the control object as SODirectIO with this event number and pData 0.
constexpr long kForwardedLineEvent = 1000;

long PointerValue(const void* p) { return static_cast<long>(reinterpret_cast<std::intptr_t>(p)); }

// A line written while a line is being forwarded (say, by a control object that calls back
// into us from SODirectIO) must not be forwarded again on the same thread.
thread_local bool t_forwardingLine = false;

class ForwardingGuard {
public:
    ForwardingGuard() noexcept { t_forwardingLine = true; }
    ~ForwardingGuard() { t_forwardingLine = false; }
    ForwardingGuard(const ForwardingGuard&) = delete;
    ForwardingGuard& operator=(const ForwardingGuard&) = delete;
};

// The line sink: delivers the line to the control object through SODirectIO, or drops it
// when there is no control object or it has no SODirectIO. Runs on the writing thread.
void ForwardLogLine(void* context, const char* line) noexcept {
    if (t_forwardingLine || !context || !line) return;
    try {
        ForwardingGuard guard;
        const ControlObjectLink& link = static_cast<CScaleTRM07*>(context)->State().link;
        if (!CanCallEventRequest(link, kSODirectIO)) return;
        ka::com::UniqueBstr text(ka::com::AnsiToBstr(line));
        if (!text) return;
        long data = 0;
        // A failure cannot be logged from inside the log; the line is simply lost.
        CallEventRequest(link, kSODirectIO,
                         {ka::com::LongArg(kForwardedLineEvent), ka::com::LongRefArg(&data),
                          ka::com::TextRefArg(text.addressof())});
    } catch (...) {
    }
}

}  // namespace

long CScaleTRM07::CheckHealth(long level) {
    LogLine(state_, zel::kFunctTrace, "ENTER [CheckHealth]");
    LogLine(state_, zel::kDataFlow, "  * Level = [%d].", level);
    if (const long gate = GateProbeClaimAndEnabled(kCheckHealth)) return gate;

    const char* text = HealthTextFor(level);
    if (!text) return FailureExit(kCheckHealth, opos::OPOS_E_ILLEGAL);
    if (level == opos::OPOS_CH_INTERACTIVE && !RunHealthCheckDialog(*this)) {
        // Claiming an interactive check that nobody saw would report a failure as success.
        LogLine(state_, zel::kCritical, "Failed to show the Interactive Check Health dialog; GLE=[%d].",
                static_cast<long>(GetLastError()));
        return FailureExit(kCheckHealth, opos::OPOS_E_FAILURE);
    }
    state_.checkHealthText = text;
    return SuccessExit(kCheckHealth);
}

long CScaleTRM07::ClearInput() {
    LogLine(state_, zel::kFunctTrace, "ENTER[ClearInput]");
    if (const long gate = GateProbeAndClaim(kClearInput)) return gate;
    return SuccessExit(kClearInput);
}

// Nothing is buffered for output.
long CScaleTRM07::ClearOutput() { return SuccessExit(kClearOutput); }

long CScaleTRM07::DirectIO(long command, long* pData, BSTR* pString) {
    LogLine(state_, zel::kFunctTrace, "ENTER [DirectIO].");
    LogLine(state_, zel::kDataFlow, "  * Command = [%d].", command);
    LogLine(state_, zel::kDataFlow, "  * pData   = [%d].", PointerValue(pData));
    LogLine(state_, zel::kDataFlow, "  * pString = [%d].", PointerValue(pString));
    if (command != kLogForwardingCommand) {
        LogLine(state_, zel::kSignificant, "Illegal DirectIO command [%d].", command);
        return FailureExit(kDirectIO, opos::OPOS_E_ILLEGAL);
    }
    if (!pData) {
        LogLine(state_, zel::kSignificant, "DirectIO command [%d] needs pData.", command);
        return FailureExit(kDirectIO, opos::OPOS_E_ILLEGAL);
    }

    const long verbosity = *pData;
    if (verbosity < 0) {
        state_.log.ClearLineSink();
        LogLine(state_, zel::kInformation, "DirectIO Logging disabled.");
    } else {
        state_.log.SetLineSink(&ForwardLogLine, this, verbosity, 0);
        LogLine(state_, zel::kInformation, "DirectIO Logging enabled, verbosity = [%d].", verbosity);
    }
    return SuccessExit(kDirectIO);
}

}  // namespace pendrax
