#include "tools/opos_standin/event_source.h"

#include <olectl.h>

#include <algorithm>
#include <mutex>

#include "common/com/control_events.h"

namespace standin {

namespace {
using Hold = std::lock_guard<ka::CriticalSection>;
}  // namespace

std::vector<ka::com::ComPtr<IDispatch>> EventSource::Sinks() const {
    std::vector<ka::com::ComPtr<IDispatch>> sinks;
    Hold hold(lock_);
    sinks.reserve(connections_.size());
    for (const Connection& connection : connections_) {
        connection.sink->AddRef();
        sinks.emplace_back(connection.sink.get());
    }
    return sinks;
}

void EventSource::DisconnectAll() noexcept {
    std::vector<Connection> gone;
    {
        Hold hold(lock_);
        gone.swap(connections_);
    }
    // The sinks are released outside the lock: a sink may call back into the control.
}

HRESULT EventSource::QueryInterface(REFIID riid, void** object) noexcept { return outer_.QueryInterface(riid, object); }

// Nobody enumerates the stand-in's points: applications ask for the one they know.
HRESULT EventSource::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept {
    if (points) *points = nullptr;
    return E_NOTIMPL;
}

HRESULT EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(riid, ka::com::DIID_OposScaleEvents)) return CONNECT_E_NOCONNECTION;
    *point = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT EventSource::GetConnectionInterface(IID* iid) noexcept {
    if (!iid) return E_POINTER;
    *iid = ka::com::DIID_OposScaleEvents;
    return S_OK;
}

HRESULT EventSource::GetConnectionPointContainer(IConnectionPointContainer** container) noexcept {
    if (!container) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

HRESULT EventSource::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ka::com::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(ka::com::DIID_OposScaleEvents, reinterpret_cast<void**>(dispatch.put()))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    try {
        Hold hold(lock_);
        connections_.push_back({++lastCookie_, std::move(dispatch)});
        *cookie = lastCookie_;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT EventSource::Unadvise(DWORD cookie) noexcept {
    ka::com::ComPtr<IDispatch> gone;
    {
        Hold hold(lock_);
        auto at = std::find_if(connections_.begin(), connections_.end(),
                               [cookie](const Connection& c) { return c.cookie == cookie; });
        if (at == connections_.end()) return CONNECT_E_NOCONNECTION;
        gone = std::move(at->sink);
        connections_.erase(at);
    }
    return S_OK;
}

HRESULT EventSource::EnumConnections(IEnumConnections** connections) noexcept {
    if (connections) *connections = nullptr;
    return E_NOTIMPL;
}

}  // namespace standin
