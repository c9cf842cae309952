#pragma once
// The stand-in's event source, as applications find the real control object's: one connection
// point for the control's events, reached through IConnectionPointContainer. It lives inside the
// control and shares its reference count.

#include <windows.h>
#include <ocidl.h>

#include <vector>

#include "common/com/owners.h"
#include "common/unique_handle.h"

namespace standin {

class EventSource final : public IConnectionPointContainer, public IConnectionPoint {
public:
    // `outer` is the control: every reference taken here is the control's.
    explicit EventSource(IUnknown& outer) noexcept : outer_(outer) {}
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    // The connected sinks, each with a reference held for the caller's delivery.
    std::vector<ka::com::ComPtr<IDispatch>> Sinks() const;
    // Lets go of every sink: the control is going.
    void DisconnectAll() noexcept;

    // IUnknown, for both interfaces: the control's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return outer_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return outer_.Release(); }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) noexcept override;

    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) noexcept override;

private:
    struct Connection {
        DWORD cookie;
        ka::com::ComPtr<IDispatch> sink;
    };

    IUnknown& outer_;
    mutable ka::CriticalSection lock_;
    std::vector<Connection> connections_;
    DWORD lastCookie_ = 0;
};

}  // namespace standin
