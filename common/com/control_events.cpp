#include "common/com/control_events.h"

#include <mutex>

#include "common/opos_ids.h"

namespace ka::com {

// {CCB90173-B81E-11D2-AB74-0040054C3719}
const IID DIID_OposScaleEvents = {0xCCB90173, 0xB81E, 0x11D2, {0xAB, 0x74, 0x00, 0x40, 0x05, 0x4C, 0x37, 0x19}};

namespace {

using Hold = std::lock_guard<ka::CriticalSection>;

struct NamedEvent {
    const wchar_t* name;
    DISPID dispid;
};
constexpr NamedEvent kEvents[] = {
    {L"DataEvent", opos::control::kDataEvent},
    {L"DirectIOEvent", opos::control::kDirectIOEvent},
    {L"ErrorEvent", opos::control::kErrorEvent},
    {L"StatusUpdateEvent", opos::control::kStatusUpdateEvent},
};

bool IsControlEvent(DISPID dispid) noexcept {
    for (const NamedEvent& event : kEvents)
        if (event.dispid == dispid) return true;
    return false;
}

}  // namespace

const wchar_t* ControlEventName(DISPID event) noexcept {
    for (const NamedEvent& named : kEvents)
        if (named.dispid == event) return named.name;
    return L"";
}

ApplicationEvents::ApplicationEvents() noexcept
    : arrived_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), dropped_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

std::vector<ApplicationEvents::Event> ApplicationEvents::Events() const {
    Hold hold(lock_);
    return events_;
}

size_t ApplicationEvents::Count() const {
    Hold hold(lock_);
    return events_.size();
}

// The control object asks its sink for its event interface; others ask for IDispatch.
HRESULT ApplicationEvents::QueryInterface(REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    for (const IID* offered : {&IID_IUnknown, &IID_IDispatch, &DIID_OposScaleEvents}) {
        if (!IsEqualIID(riid, *offered)) continue;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ApplicationEvents::AddRef() noexcept {
    const LONG refs = InterlockedIncrement(&refs_);
    if (refs == 2) ResetEvent(dropped_.get());
    return static_cast<ULONG>(refs);
}

ULONG ApplicationEvents::Release() noexcept {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 1) SetEvent(dropped_.get());
    return static_cast<ULONG>(left);
}

HRESULT ApplicationEvents::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ApplicationEvents::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

// The control object looks each event up by name before it fires it, and fires none the sink
// does not name.
HRESULT ApplicationEvents::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* dispids) noexcept {
    if (count == 0) return S_OK;
    if (!names || !dispids) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) dispids[i] = DISPID_UNKNOWN;
    for (const NamedEvent& event : kEvents) {
        if (names[0] && _wcsicmp(names[0], event.name) == 0) dispids[0] = event.dispid;
    }
    return dispids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

// Arguments arrive last first: the first one declared is the last in the array.
HRESULT ApplicationEvents::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                  UINT*) noexcept {
    if (!IsControlEvent(dispid)) return S_OK;
    if (!params || params->cArgs == 0) return DISP_E_BADPARAMCOUNT;
    VARIANT first;
    VariantInit(&first);
    if (FAILED(VariantChangeType(&first, &params->rgvarg[params->cArgs - 1], 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    Event event{dispid, V_I4(&first), GetCurrentThreadId(), 0};
    try {
        {
            Hold hold(lock_);
            event.index = events_.size();
            events_.push_back(event);
        }
        SetEvent(arrived_.get());
        if (action_) action_(event);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT EventConnection::Connect(IDispatch* control, IDispatch* sink) noexcept {
    Disconnect();
    if (!control || !sink) return E_POINTER;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.put()));
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID_OposScaleEvents, point.put());
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(sink, &cookie);
    if (FAILED(hr)) return hr;
    point_ = std::move(point);
    cookie_ = cookie;
    return S_OK;
}

void EventConnection::Disconnect() noexcept {
    if (!point_) return;
    point_->Unadvise(cookie_);
    point_.reset();
    cookie_ = 0;
}

bool WaitServingMessages(HANDLE event, DWORD timeoutMs) noexcept {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        const DWORD wait = MsgWaitForMultipleObjectsEx(1, &event, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (wait == WAIT_OBJECT_0) return true;
        if (wait != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

bool AwaitEvents(const ApplicationEvents& sink, size_t count, DWORD timeoutMs) noexcept {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (sink.Count() < count) {
        const ULONGLONG now = GetTickCount64();
        // Timed out, failed, or the program is quitting: waiting again would only spin.
        if (now >= deadline || !WaitServingMessages(sink.Arrived(), static_cast<DWORD>(deadline - now))) break;
    }
    return sink.Count() >= count;
}

}  // namespace ka::com
