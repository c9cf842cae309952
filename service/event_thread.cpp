#include "service/event_thread.h"

#include <cstdint>
#include <initializer_list>

#include "common/com/dispatch_call.h"

#include "service/event_request.h"
#include "service/module.h"
#include "service/scale_trm07.h"
#include "service/weight_reading.h"

namespace pendrax {

namespace {

constexpr char kRoutine[] = "DoEventThread";
// The control object may write an error response back; this service object clears the
// failed reading whatever it answers, so the response starts as "clear" (OPOS_ER_CLEAR).
constexpr long kErrorResponseClear = 12;

bool AsyncReadPending(ScaleState& state) {
    return InterlockedCompareExchange(&state.asyncReadPending, 0, 0) != 0;
}

void EndAsyncReadPending(ScaleState& state) { InterlockedExchange(&state.asyncReadPending, 0); }

bool Signalled(HANDLE event) { return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// A missing control object or a failing call is logged; neither ends the thread. Once a
// teardown (close, release, disable, destruction) waits for this thread, the control object
// may be going away with us, so no event is fired any more.
void Fire(ScaleState& state, HANDLE stopRequest, EventRequest which, std::initializer_list<VARIANT> args) {
    const char* name = EventRequestName(which);
    if (Signalled(stopRequest)) {
        state.log.Line(zel::kSignificant, "Device is being disabled, released or closed; %s event skipped.", name);
        return;
    }
    if (!CanCallEventRequest(state.link, which)) {
        state.log.Line(zel::kSignificant, "No control object to receive the %s event; event skipped.", name);
        return;
    }
    const HRESULT hr = CallEventRequest(state.link, which, args);
    if (FAILED(hr)) {
        state.log.Line(zel::kCritical, "CO's %s Event Request Method failed; HRESULT=[%d].", name,
                static_cast<long>(hr));
        return;
    }
    state.log.Line(zel::kInformation, "Completed firing CO's %s Event Request Method.", name);
}

void FireData(ScaleState& state, HANDLE stopRequest, long weight) {
    state.log.Line(zel::kInformation, "Firing CO's SOData Event Request Method.");
    Fire(state, stopRequest, kSOData, {ka::com::LongArg(weight)});
}

void FireError(ScaleState& state, HANDLE stopRequest, long commResult, long hardwareStatus) {
    state.log.Line(zel::kInformation, "Firing CO's SOError Event Request Method.  Comm: %d; Hardware: %d",
            commResult, hardwareStatus);
    long response = kErrorResponseClear;
    // ResultCode, ResultCodeExtended, ErrorLocus, pErrorResponse.
    using namespace ka::com;
    Fire(state, stopRequest, kSOError, {LongArg(opos::OPOS_E_ILLEGAL), LongArg(0), LongArg(0), LongRefArg(&response)});
}

}  // namespace

HANDLE EventThread::Start(CScaleTRM07& scale) noexcept {
    // The thread keeps the instance and the library alive until its very last act: a control
    // object may drop its last reference from inside the event, and COM may try to unload us.
    HMODULE library = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&EventThread::Entry),
                            &library)) {
        return nullptr;
    }
    volatile LONG& pending = scale.state_.asyncReadPending;
    InterlockedExchange(&pending, 1);
    scale.TakeHold();
    LockServer();
    // Default stack size; a new thread runs at normal priority.
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, &EventThread::Entry, &scale, 0, &threadId);
    if (!thread) {
        ka::PreserveLastError keep;
        InterlockedExchange(&pending, 0);
        UnlockServer();
        FreeLibrary(library);
        // The caller holds a reference of its own, so this is never the last hold.
        scale.DropHold();
    }
    return thread;
}

bool EventThread::AwaitFinished(CScaleTRM07& scale) {
    if (!scale.EventThreadRunning()) return true;
    if (AsyncReadPending(scale.state_)) return false;
    // Only its leave lines and result are left: wait, so that result lands before ours.
    scale.WaitForEventThread();
    return !scale.EventThreadRunning();
}

void EventThread::Run(CScaleTRM07& scale) noexcept {
    try {
        ScaleState& state = scale.state_;
        state.log.SetThreadCategory(zel::kEventThread);
        state.log.Line(zel::kInformation, "Entering class event thread helper.");
        DoEventThread(scale);
        state.log.Line(zel::kInformation, "Leaving class event thread helper.");
    } catch (...) {
        // Out of memory while logging: the thread still ends normally.
        EndAsyncReadPending(scale.state_);
    }
}

DWORD WINAPI EventThread::Entry(void* instance) noexcept {
    auto* scale = static_cast<CScaleTRM07*>(instance);
    Run(*scale);
    // May destroy the instance here, on this thread, after its last line above.
    scale->DropHold();
    UnlockServer();
    // Returning would run code of a library that may be unloaded the moment its reference goes.
    FreeLibraryAndExitThread(ModuleHandle(), 0);
}

long EventThread::DoEventThread(CScaleTRM07& scale) {
    ScaleState& state = scale.state_;
    const long long deadline = MonotonicMs() + state.asyncReadTimeout;
    const HANDLE stopRequest = scale.EventThreadStopRequest();
    const Reading reading = ReadUntilDeadline(state, deadline, stopRequest);
    if (!reading.accepted) {
        FireError(state, stopRequest, reading.commResult, reading.hardwareStatus);
        EndAsyncReadPending(state);
        return scale.FailureExit(kRoutine, opos::OPOS_E_ILLEGAL);
    }
    FireData(state, stopRequest, reading.weight);
    EndAsyncReadPending(state);
    return scale.SuccessExit(kRoutine);
}

}  // namespace pendrax
