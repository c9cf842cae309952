// CheckHealth, ClearInput, ClearOutput, DirectIO and the forwarding of log lines.

#include <cstdint>

#include "device/health_dialog.h"
#include "service/line_forwarding.h"
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

long PointerValue(const void* p) { return static_cast<long>(reinterpret_cast<std::intptr_t>(p)); }

// The dialog's read and zero buttons call the instance directly, gates and exits included. It
// reads synchronously whatever AsyncMode says: it shows the weight, and the application asked
// for no event.
class ScaleHealthTarget final : public HealthCheckTarget {
public:
    explicit ScaleHealthTarget(CScaleTRM07& scale) noexcept : scale_(scale) {}
    long ReadWeight(long* weight, long timeout) override { return scale_.ReadWeightSynchronously(weight, timeout); }
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
