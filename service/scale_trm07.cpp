#include "service/scale_trm07.h"

#include "service/module.h"

namespace pendrax {

const CLSID CLSID_ScaleTRM07 = {0xA3F61C02, 0x7E45, 0x4D2B, {0x8C, 0x1A, 0x52, 0xB9, 0xE0, 0xD4, 0xF7, 0x13}};
const IID DIID_ScaleTRM07 = {0xA3F61C01, 0x7E45, 0x4D2B, {0x8C, 0x1A, 0x52, 0xB9, 0xE0, 0xD4, 0xF7, 0x13}};

namespace {

// A thread that has done reading gets this long for its event call when the last reference goes.
constexpr DWORD kEventThreadSlackMs = 10000;

}  // namespace

CScaleTRM07::CScaleTRM07() { LockServer(); }

CScaleTRM07::~CScaleTRM07() {
    try {
        if (state_.open) Close();
        // Whatever became of the open flag, no claim outlives the instance: the port would stay
        // claimed for every application until this process ends.
        GiveBackClaim();
    } catch (...) {
        // Destruction goes on: the members still release the port, the claim lock and the slot.
    }
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
    // The control object is letting go and may go away itself: neither a forwarded line nor an
    // event may reach it any more. On an event thread (the control object let go inside the
    // event) that thread ends first and the instance goes with its hold.
    state_.log.ClearLineSink();
    reads_.CancelAll();
    if (!reads_.WaitForAllToEnd(kEventThreadSlackMs)) {
        state_.log.Line(zel::kCritical, "Event thread still running after its event's time; GLE=[%d].",
                        static_cast<long>(GetLastError()));
    }
    DropHold();
}

void CScaleTRM07::TakeHold() noexcept { InterlockedIncrement(&holds_); }

void CScaleTRM07::DropHold() noexcept {
    if (InterlockedDecrement(&holds_) == 0) delete this;
}

bool CScaleTRM07::AwaitReads() {
    if (reads_.WaitForReading()) return true;
    state_.log.Line(zel::kCritical, "Event thread still reading past its deadline; GLE=[%d].",
                    static_cast<long>(GetLastError()));
    return false;
}

void CScaleTRM07::StopReads() {
    reads_.CancelAll();
    // The port closes after it in any case: the conversation lock waits for a late reply.
    AwaitReads();
}

}  // namespace pendrax
