#pragma once
// The stand-in for the OPOS Scale control object: it finds the service object through the device
// profile, binds its methods by name, drives it by the identifiers bound, and hands the events the
// service object requests to the application's connected sinks as terminals' control objects do
// (see event_delivery.h).
//
// For our own Wine prefixes only; a POS terminal has the real control object.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/com/dispatch_call.h"
#include "common/com/dispatch_engine.h"
#include "common/com/owners.h"
#include "common/com/unknown.h"
#include "tools/opos_standin/event_delivery.h"
#include "tools/opos_standin/event_source.h"
#include "tools/opos_standin/service_binding.h"

namespace standin {

class ScaleControl final
    : public ka::com::SingleInterfaceObject<ka::com::TableDispatch<ScaleControl>, IID_IDispatch> {
public:
    // The class factory's creator.
    static HRESULT Create(REFIID riid, void** object) noexcept;

    // IDispatch is generic over the member table; the event source is found through
    // IConnectionPointContainer.
    static ka::com::MemberTable<ScaleControl> Members() noexcept;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;

    // Control members, on the thread that created the control.
    long Open(const std::wstring& deviceName);
    long Claim(long timeout);
    long Close();
    long ReleaseDevice();
    long CheckHealth(long level);
    long ClearInput();
    long ReadWeight(long* weight, long timeout);
    long ZeroScale();
    bool DeviceEnabled();
    void SetDeviceEnabled(bool enabled);
    bool AsyncMode();
    void SetAsyncMode(bool async);
    bool DataEventEnabled();
    void SetDataEventEnabled(bool enabled);
    bool FreezeEvents();
    void SetFreezeEvents(bool freeze);
    long ResultCode();
    std::wstring CheckHealthText();

    // The delivery model.
    bool DeliverOnCallingThread() const noexcept { return !delivery_.Posted(); }
    void SetDeliverOnCallingThread(bool direct) noexcept { delivery_.SetPosted(!direct); }

    // Event requests of the service object; safe from any thread.
    void SOData(long weight) noexcept;
    void SODirectIO(long eventNumber, long* data, BSTR* text);
    void SOError(long resultCode, long resultCodeExtended, long errorLocus, long* errorResponse) noexcept;
    void SOStatusUpdate(long data) noexcept;

private:
    ScaleControl() noexcept;
    ~ScaleControl() override;

    // The application's side of one event: handed to every connected sink.
    static void Deliver(void* self, EventRequest& request) noexcept;
    static void InvokeSink(IDispatch* sink, EventRequest& request) noexcept;

    // Calls a service-object method that answers a result code; 101 while closed.
    long CallService(ServiceMethod method, std::initializer_list<VARIANT> args);
    // GetPropertyNumber; false (and 0) while closed or when the call fails.
    long ServiceNumber(long propIndex);
    // SetPropertyNumber; the outcome is the service object's ResultCode.
    void SetServiceNumber(long propIndex, long number);
    long CreateService(const std::wstring& deviceName);
    // Every result of a call made while closed, or of a failed call, is answered locally.
    long Local(long result) noexcept;

    ka::com::ComPtr<IDispatch> service_;
    ServiceDispids dispids_{};
    long localResult_;
    bool localResultValid_ = true;
    EventSource source_;
    EventDelivery delivery_;
};

}  // namespace standin
