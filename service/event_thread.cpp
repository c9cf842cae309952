#include "service/event_thread.h"

#include <initializer_list>

#include "common/com/dispatch_call.h"

#include "service/event_request.h"
#include "service/line_forwarding.h"
#include "service/module.h"
#include "service/scale_trm07.h"
#include "service/weight_reading.h"

namespace pendrax {

namespace {

constexpr char kRoutine[] = "DoEventThread";
// The control object may write an error response back; this service object clears the
// failed reading whatever it answers, so the response starts as "clear" (OPOS_ER_CLEAR).
constexpr long kErrorResponseClear = 12;

// A missing control object or a failing call is logged; neither ends the thread.
void Fire(ScaleState& state, const ControlObjectLink& link, EventRequest which, std::initializer_list<VARIANT> args) {
    const char* name = EventRequestName(which);
    if (!CanCallEventRequest(link, which)) {
        state.log.Line(zel::kSignificant, "No control object to receive the %s event; event skipped.", name);
        return;
    }
    const HRESULT hr = CallEventRequest(link, which, args);
    if (FAILED(hr)) {
        state.log.Line(zel::kCritical, "CO's %s Event Request Method failed; HRESULT=[%d].", name, static_cast<long>(hr));
        return;
    }
    state.log.Line(zel::kInformation, "Completed firing CO's %s Event Request Method.", name);
}

void FireData(ScaleState& state, const ControlObjectLink& link, long weight) {
    state.log.Line(zel::kInformation, "Firing CO's SOData Event Request Method.");
    Fire(state, link, kSOData, {ka::com::LongArg(weight)});
}

void FireError(ScaleState& state, const ControlObjectLink& link, long commResult, long hardwareStatus) {
    state.log.Line(zel::kInformation, "Firing CO's SOError Event Request Method.  Comm: %d; Hardware: %d", commResult,
                   hardwareStatus);
    long response = kErrorResponseClear;
    // ResultCode, ResultCodeExtended, ErrorLocus, pErrorResponse.
    using namespace ka::com;
    Fire(state, link, kSOError, {LongArg(opos::OPOS_E_ILLEGAL), LongArg(0), LongArg(0), LongRefArg(&response)});
}

// Once a teardown (close, release, disable, the last reference) cancelled the read, the control
// object may be going away with us: no event is fired any more.
void LogSkipped(ScaleState& state, EventRequest which) {
    state.log.Line(zel::kSignificant, "Device is being disabled, released or closed; %s event skipped.",
                   EventRequestName(which));
}

// However the thread leaves, its reading and its turn are over: nothing waits for it in vain.
class PhasesEnd {
public:
    PhasesEnd(AsyncReads& reads, AsyncRead& read) noexcept : reads_(reads), read_(read) {}
    ~PhasesEnd() {
        reads_.ReadingDone(read_);
        reads_.TurnDone(read_);
    }
    PhasesEnd(const PhasesEnd&) = delete;
    PhasesEnd& operator=(const PhasesEnd&) = delete;

private:
    AsyncReads& reads_;
    AsyncRead& read_;
};

}  // namespace

bool EventThread::Start(CScaleTRM07& scale, long timeoutMs) noexcept {
    // The thread keeps the instance and the library alive until its very last act: a control
    // object may drop its last reference from inside the event, and COM may try to unload us.
    HMODULE library = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&EventThread::Entry),
                            &library)) {
        return false;
    }
    AsyncRead* read = scale.reads_.Add(scale, timeoutMs, scale.state_.link, &EventThread::Entry);
    if (!read) {
        ka::PreserveLastError keep;
        FreeLibrary(library);
        return false;
    }
    scale.TakeHold();
    LockServer();
    if (ResumeThread(read->thread.get()) != static_cast<DWORD>(-1)) return true;

    ka::PreserveLastError keep;
    // It never ran a line of its own.
    TerminateThread(read->thread.get(), 0);
    WaitForSingleObject(read->thread.get(), INFINITE);
    scale.reads_.Discard(read);
    UnlockServer();
    FreeLibrary(library);
    // The caller holds a reference of its own, so this is never the last hold.
    scale.DropHold();
    return false;
}

void EventThread::Run(AsyncRead& read) noexcept {
    CScaleTRM07& scale = *read.scale;
    ScaleState& state = scale.state_;
    PhasesEnd phasesEnd(scale.reads_, read);
    try {
        EventThreadLines lines(scale.reads_, read);
        state.log.SetThreadCategory(zel::kEventThread);
        state.log.Line(zel::kInformation, "Entering class event thread helper.");
        DoEventThread(read, lines);
        state.log.Line(zel::kInformation, "Leaving class event thread helper.");
    } catch (...) {
        // Out of memory: the thread still ends normally.
    }
}

DWORD WINAPI EventThread::Entry(void* parameter) noexcept {
    AsyncRead& read = *static_cast<AsyncRead*>(parameter);
    CScaleTRM07* scale = read.scale;
    Run(read);
    // May destroy the instance, and the read with it, here on this thread after its last line.
    scale->DropHold();
    UnlockServer();
    // Returning would run code of a library that may be unloaded the moment its reference goes.
    FreeLibraryAndExitThread(ModuleHandle(), 0);
}

long EventThread::DoEventThread(AsyncRead& read, EventThreadLines& lines) {
    CScaleTRM07& scale = *read.scale;
    ScaleState& state = scale.state_;
    AsyncReads& reads = scale.reads_;
    const long long deadline = MonotonicMs() + read.timeoutMs;
    const Reading reading = ReadUntilDeadline(state, deadline, read.cancelled.get());
    const long result = reading.accepted ? opos::OPOS_SUCCESS : opos::OPOS_E_ILLEGAL;
    const EventRequest event = reading.accepted ? kSOData : kSOError;

    // Skipped before the port is given up, so that the teardown's own lines follow.
    bool fire = !reads.Cancelled(read);
    if (!fire) LogSkipped(state, event);
    reads.ReadingDone(read);
    // The handler that the control object runs for this event reads ResultCode there, and what
    // its own calls record afterwards must stand.
    if (fire && !reads.AwaitTurn(read, [&scale, result] { scale.StoreResult(result); })) {
        fire = false;
        LogSkipped(state, event);
    }
    if (fire) {
        lines.Send();
        // Sending the held-back lines may take a while: a teardown meanwhile still stops the event.
        fire = !reads.Cancelled(read);
        if (!fire) LogSkipped(state, event);
    }
    if (!fire) {
        lines.Drop();
        return scale.LeaveLines(kRoutine, result);
    }
    if (reading.accepted) {
        FireData(state, read.link, reading.weight);
    } else {
        FireError(state, read.link, reading.commResult, reading.hardwareStatus);
    }
    return scale.LeaveLines(kRoutine, result);
}

}  // namespace pendrax
