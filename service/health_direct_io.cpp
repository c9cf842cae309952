// CheckHealth, ClearInput, ClearOutput, DirectIO and the forwarding of log lines.

#include <cstdint>

#include "device/health_dialog.h"
#include "common/com/ansi_text.h"
#include "common/com/dispatch_call.h"
#include "common/com/owners.h"
#include "service/event_request.h"
#include "service/module.h"
#include "service/scale_trm07.h"

namespace pendrax {

namespace {


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
        const ControlObjectLink& link = *static_cast<const ControlObjectLink*>(context);
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

// The dialog's read and zero buttons call the instance directly, gates and exits included.
class ScaleHealthTarget final : public HealthCheckTarget {
public:
    explicit ScaleHealthTarget(CScaleTRM07& scale) noexcept : scale_(scale) {}
    long ReadWeight(long* weight, long timeout) override { return scale_.ReadWeight(weight, timeout); }
    long ZeroScale() override { return scale_.ZeroScale(); }

private:
    CScaleTRM07& scale_;
};

}  // namespace

long CScaleTRM07::CheckHealth(long level) {
    constexpr char kRoutine[] = "CheckHealth";
    state_.log.Line(zel::kFunctTrace, "ENTER [CheckHealth]");
    state_.log.Line(zel::kDataFlow, "  * Level = [%d].", level);
    if (const long gate = GateProbeClaimAndEnabled(kRoutine)) return gate;

    const char* text = HealthTextFor(level);
    if (!text) return FailureExit(kRoutine, opos::OPOS_E_ILLEGAL);
    ScaleHealthTarget healthTarget(*this);
    if (level == opos::OPOS_CH_INTERACTIVE && !RunHealthCheckDialog(ModuleHandle(), healthTarget)) {
        // Claiming an interactive check that nobody saw would report a failure as success.
        state_.log.Line(zel::kCritical, "Failed to show the Interactive Check Health dialog; GLE=[%d].",
                static_cast<long>(GetLastError()));
        return FailureExit(kRoutine, opos::OPOS_E_FAILURE);
    }
    state_.checkHealthText = text;
    return SuccessExit(kRoutine);
}

long CScaleTRM07::ClearInput() {
    constexpr char kRoutine[] = "ClearInput";
    state_.log.Line(zel::kFunctTrace, "ENTER[ClearInput]");
    if (const long gate = GateProbeAndClaim(kRoutine)) return gate;
    return SuccessExit(kRoutine);
}

// Nothing is buffered for output.
long CScaleTRM07::ClearOutput() { return SuccessExit("ClearOutput"); }

long CScaleTRM07::DirectIO(long command, long* pData, BSTR* pString) {
    constexpr char kRoutine[] = "DirectIO";
    state_.log.Line(zel::kFunctTrace, "ENTER [DirectIO].");
    state_.log.Line(zel::kDataFlow, "  * Command = [%d].", command);
    state_.log.Line(zel::kDataFlow, "  * pData   = [%d].", PointerValue(pData));
    state_.log.Line(zel::kDataFlow, "  * pString = [%d].", PointerValue(pString));
    if (command != kLogForwardingCommand) {
        state_.log.Line(zel::kSignificant, "Illegal DirectIO command [%d].", command);
        return FailureExit(kRoutine, opos::OPOS_E_ILLEGAL);
    }
    if (!pData) {
        state_.log.Line(zel::kSignificant, "DirectIO command [%d] needs pData.", command);
        return FailureExit(kRoutine, opos::OPOS_E_ILLEGAL);
    }

    const long verbosity = *pData;
    if (verbosity < 0) {
        state_.log.ClearLineSink();
        state_.log.Line(zel::kInformation, "DirectIO Logging disabled.");
    } else {
        state_.log.SetLineSink(&ForwardLogLine, &state_.link, verbosity, 0);
        state_.log.Line(zel::kInformation, "DirectIO Logging enabled, verbosity = [%d].", verbosity);
    }
    return SuccessExit(kRoutine);
}

}  // namespace pendrax
