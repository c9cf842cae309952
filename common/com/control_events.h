#pragma once
// An application's side of the OPOS Scale control object's events: the sink it connects to the
// control's event source (IConnectionPointContainer, as on a terminal), the connection, and the
// wait that serves the thread's messages, since the control object hands each event to the
// thread that created it. Used by scalectl, the benchmarks and the tests, against the real
// control object and the stand-in alike.

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <vector>

#include "common/com/owners.h"
#include "common/unique_handle.h"

namespace ka::com {

// The control object's default source interface.
extern const IID DIID_OposScaleEvents;

// The name of an event (opos::control::kDataEvent and the rest), by which the control object looks
// it up on the application's sink before it fires it; "" for no event.
const wchar_t* ControlEventName(DISPID event) noexcept;

// Records every event and runs the application's action inside it. Lives on its owner's stack and
// outlives every connection: COM never deletes it.
class ApplicationEvents final : public IDispatch {
public:
    struct Event {
        DISPID kind;   // opos::control::kDataEvent, kDirectIOEvent, kErrorEvent or kStatusUpdateEvent
        long value;    // the first argument: the weight, the result code, the event number, the data
        DWORD thread;  // where the handler ran
        size_t index;  // 0 for the first event seen
    };

    ApplicationEvents() noexcept;
    ApplicationEvents(const ApplicationEvents&) = delete;
    ApplicationEvents& operator=(const ApplicationEvents&) = delete;

    // Runs inside every event, after it was recorded.
    void OnEvent(std::function<void(const Event&)> action) { action_ = std::move(action); }

    std::vector<Event> Events() const;
    size_t Count() const;
    // Set (auto reset) whenever an event was recorded.
    HANDLE Arrived() const noexcept { return arrived_.get(); }
    // Signalled while no control object holds the sink: every connection has let go.
    HANDLE Dropped() const noexcept { return dropped_.get(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override;

private:
    mutable ka::CriticalSection lock_;
    std::vector<Event> events_;
    std::function<void(const Event&)> action_;
    LONG refs_ = 1;
    ka::UniqueHandle arrived_;
    ka::UniqueHandle dropped_;
};

// One sink connected to a control's event source; disconnected when it goes.
class EventConnection {
public:
    EventConnection() noexcept = default;
    ~EventConnection() { Disconnect(); }
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;

    HRESULT Connect(IDispatch* control, IDispatch* sink) noexcept;
    void Disconnect() noexcept;

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// Waits for `event` while dispatching the calling thread's messages, so the events the control
// object posts to this thread are handled meanwhile. True when the event was signalled in time. A
// WM_QUIT is left for the program's own loop.
bool WaitServingMessages(HANDLE event, DWORD timeoutMs) noexcept;

// Serves messages until `sink` has recorded `count` events in all, at most `timeoutMs`.
bool AwaitEvents(const ApplicationEvents& sink, size_t count, DWORD timeoutMs) noexcept;

}  // namespace ka::com
