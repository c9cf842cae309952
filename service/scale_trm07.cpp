#include "service/scale_trm07.h"

#include <new>

#include "service/module.h"

namespace pendrax {

const CLSID CLSID_ScaleTRM07 = {0xA3F61C02, 0x7E45, 0x4D2B, {0x8C, 0x1A, 0x52, 0xB9, 0xE0, 0xD4, 0xF7, 0x13}};
const IID DIID_ScaleTRM07 = {0xA3F61C01, 0x7E45, 0x4D2B, {0x8C, 0x1A, 0x52, 0xB9, 0xE0, 0xD4, 0xF7, 0x13}};

namespace {

// A read ends at most one attempt (500 ms read, 500 ms pause) after its deadline; the event
// call into the control object gets the rest.
constexpr DWORD kEventThreadSlackMs = 10000;

}  // namespace

CScaleTRM07::CScaleTRM07() : eventThreadStop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!eventThreadStop_) throw std::bad_alloc();
    LockServer();
}

CScaleTRM07::~CScaleTRM07() {
    try {
        if (state_.open) Close();
    } catch (...) {
        // Destruction goes on: the members still release the port, the claim lock and the slot.
    }
    WaitForEventThread();
    UnlockServer();
}

HRESULT CScaleTRM07::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) && !IsEqualIID(riid, DIID_ScaleTRM07)) {
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG CScaleTRM07::AddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

ULONG CScaleTRM07::Release() noexcept {
    const LONG remaining = InterlockedDecrement(&refCount_);
    if (remaining == 0) LastClientReferenceGone();
    return static_cast<ULONG>(remaining);
}

void CScaleTRM07::LastClientReferenceGone() noexcept {
    // The control object is letting go and may go away itself: no event may reach it any more.
    // On the event thread itself (the control object let go inside the event) the thread ends
    // first and the instance goes with its hold.
    WaitForEventThread();
    DropHold();
}

void CScaleTRM07::TakeHold() noexcept { InterlockedIncrement(&holds_); }

void CScaleTRM07::DropHold() noexcept {
    if (InterlockedDecrement(&holds_) == 0) delete this;
}

bool CScaleTRM07::EventThreadRunning() {
    if (!eventThread_) return false;
    if (WaitForSingleObject(eventThread_.get(), 0) == WAIT_TIMEOUT) return true;
    eventThread_.reset();
    // A stop request left by a wait that gave up must not cut short the next read.
    ResetEvent(eventThreadStop_.get());
    return false;
}

void CScaleTRM07::WaitForEventThread() {
    if (!EventThreadRunning()) return;
    // The event thread itself may reach a teardown path through a control-object callback.
    if (GetThreadId(eventThread_.get()) == GetCurrentThreadId()) return;

    SetEvent(eventThreadStop_.get());
    const DWORD readTimeout = state_.asyncReadTimeout > 0 ? static_cast<DWORD>(state_.asyncReadTimeout) : 0;
    const DWORD limit = readTimeout > INFINITE - 1 - kEventThreadSlackMs ? INFINITE - 1 : readTimeout + kEventThreadSlackMs;
    const ULONGLONG start = GetTickCount64();
    const HANDLE thread = eventThread_.get();
    bool ended = false;
    for (;;) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= limit) break;
        // A control object may marshal the event to this thread with SendMessage: keep
        // serving sent messages so neither side waits on the other.
        const DWORD wait = MsgWaitForMultipleObjectsEx(1, &thread, static_cast<DWORD>(limit - elapsed), QS_SENDMESSAGE,
                                                       MWMO_INPUTAVAILABLE);
        if (wait == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (wait != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    if (ended) {
        ResetEvent(eventThreadStop_.get());
        eventThread_.reset();
        return;
    }
    // The stop request stays set: a thread that outlived the wait must not fire its event into
    // a control object that may be going away.
    try {
        state_.log.Line(zel::kCritical, "Event thread still running after %d ms; GLE=[%d].", static_cast<long>(limit),
                static_cast<long>(GetLastError()));
    } catch (...) {
    }
}

}  // namespace pendrax
