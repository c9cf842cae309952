#include "tools/scalectl/scale_session.h"

#include <cstdio>

#include "common/com/dispatch_call.h"
#include "common/com/owners.h"
#include "common/opos.h"
#include "common/opos_ids.h"
#include "tools/scalectl/step_report.h"

namespace scalectl {

namespace {
constexpr long kClaimTimeoutMs = 1000;
// The data event may come this long after the read's own timeout: one reading attempt and the firing.
constexpr long kEventMarginMs = 3000;

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    }
    return out;
}

Outcome Success() { return Outcome{S_OK, opos::OPOS_SUCCESS}; }
}  // namespace

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool ScaleSession::Step(const std::string& label, const Outcome& outcome, const std::string& detail) {
    if (!outcome.called()) {
        PrintLine(CallFailedLine(label, outcome.hr));
        failed_ = true;
        return false;
    }
    PrintLine(StepLine(label, outcome.value) + (detail.empty() ? "" : "  " + detail));
    if (outcome.value != opos::OPOS_SUCCESS) failed_ = true;
    return outcome.value == opos::OPOS_SUCCESS;
}

// A property write answers nothing itself: its outcome is ResultCode, and the value read back.
bool ScaleSession::PutAndCheck(const std::string& label, const wchar_t* property, bool value) {
    HRESULT hr = control_.PutBool(property, value);
    if (FAILED(hr)) return Step(label, Outcome{hr, 0});
    Outcome result = control_.GetNumber(L"ResultCode");
    Outcome readBack = control_.GetNumber(property);
    if (result.called() && result.value == opos::OPOS_SUCCESS && readBack.called() && (readBack.value != 0) != value) {
        PrintLine(NoteLine(label, std::string("reads back ") + (value ? "false" : "true")));
        failed_ = true;
        return false;
    }
    return Step(label, result);
}

bool ScaleSession::Start(const std::wstring& device) {
    ka::com::UniqueBstr name(SysAllocStringLen(device.data(), static_cast<UINT>(device.size())));
    if (!name) return Step("Open", Outcome{E_OUTOFMEMORY, 0});
    PrintLine("Device \"" + Narrow(device) + "\"");
    opened_ = Step("Open", control_.Method(L"Open", {ka::com::TextArg(name.get())}));
    if (!opened_) return false;
    claimed_ = Step("Claim", control_.Method(L"Claim", {ka::com::LongArg(kClaimTimeoutMs)}));
    if (!claimed_) return false;
    enabled_ = PutAndCheck("DeviceEnabled true", L"DeviceEnabled", true);
    return enabled_;
}

bool ScaleSession::ReadWeight(const std::string& label, long timeoutMs) {
    long weight = 0;
    Outcome outcome = control_.Method(L"ReadWeight", {ka::com::LongRefArg(&weight), ka::com::LongArg(timeoutMs)});
    bool read = outcome.called() && outcome.value == opos::OPOS_SUCCESS;
    return Step(label, outcome, read ? WeightText(weight) : "");
}

// The control object hands its events to this thread while it serves messages; other events
// (direct I/O, status) may come first, and only data or an error ends the wait.
bool ScaleSession::AwaitDataEvent(size_t seenBefore, long timeoutMs) {
    const long limitMs = timeoutMs + kEventMarginMs;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limitMs);
    for (size_t seen = seenBefore;; ++seen) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !ka::com::AwaitEvents(control_.Events(), seen + 1, static_cast<DWORD>(deadline - now))) {
            break;
        }
        const ka::com::ApplicationEvents::Event event = control_.Events().Events()[seen];
        if (event.kind == opos::control::kErrorEvent) return Step("ErrorEvent", Outcome{S_OK, event.value});
        if (event.kind == opos::control::kDataEvent) return Step("DataEvent", Success(), WeightText(event.value));
    }
    PrintLine(NoteLine("DataEvent", "none within " + std::to_string(limitMs) + " ms"));
    failed_ = true;
    return false;
}

bool ScaleSession::ReadWeightAsync(long timeoutMs) {
    if (!connected_) {
        const HRESULT hr = control_.ConnectEvents();
        if (FAILED(hr)) return Step("DataEvent connection", Outcome{hr, 0});
        connected_ = true;
    }
    if (!PutAndCheck("AsyncMode true", L"AsyncMode", true)) return false;
    bool ok = PutAndCheck("DataEventEnabled true", L"DataEventEnabled", true);
    if (ok) {
        const size_t seenBefore = control_.Events().Count();
        long weight = 0;
        ok = Step("ReadWeight (async)",
                  control_.Method(L"ReadWeight", {ka::com::LongRefArg(&weight), ka::com::LongArg(timeoutMs)}),
                  "weight follows as a data event");
        if (ok) ok = AwaitDataEvent(seenBefore, timeoutMs);
    }
    // Back to synchronous reads whatever happened.
    bool restored = PutAndCheck("AsyncMode false", L"AsyncMode", false);
    return ok && restored;
}

bool ScaleSession::ZeroScale() { return Step("ZeroScale", control_.Method(L"ZeroScale", {})); }

bool ScaleSession::CheckHealth(long level) {
    std::string label = "CheckHealth " + std::to_string(level);
    Outcome outcome = control_.Method(L"CheckHealth", {ka::com::LongArg(level)});
    std::wstring text;
    if (outcome.called() && outcome.value == opos::OPOS_SUCCESS &&
        SUCCEEDED(control_.GetText(L"CheckHealthText", text))) {
        return Step(label, outcome, "\"" + Narrow(text) + "\"");
    }
    return Step(label, outcome);
}

int ScaleSession::Finish() {
    if (enabled_) {
        enabled_ = !PutAndCheck("DeviceEnabled false", L"DeviceEnabled", false);
    }
    if (claimed_) claimed_ = !Step("ReleaseDevice", control_.Method(L"ReleaseDevice", {}));
    if (opened_) opened_ = !Step("Close", control_.Method(L"Close", {}));
    PrintLine(failed_ ? "Result: FAILED" : "Result: OK");
    return failed_ ? 1 : 0;
}

}  // namespace scalectl
