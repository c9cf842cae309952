#pragma once
// The stand-in for the OPOS Scale control object: it finds the service object through the device
// profile, binds its methods by name, drives it by the identifiers bound, and hands the events the
// service object requests to the application as terminals' control objects do (see
// event_delivery.h), recording each.
//
// For our own Wine prefixes only; a POS terminal has the real control object under the same identity.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/com/dispatch_call.h"
#include "common/com/dispatch_engine.h"
#include "common/com/owners.h"
#include "common/com/unknown.h"
#include "tools/opos_standin/event_delivery.h"
#include "tools/opos_standin/event_record.h"
#include "tools/opos_standin/service_binding.h"

namespace standin {

class ScaleControl final
    : public ka::com::SingleInterfaceObject<ka::com::TableDispatch<ScaleControl>, IID_IDispatch> {
public:
    // The class factory's creator.
    static HRESULT Create(REFIID riid, void** object) noexcept;

    // IDispatch is generic over the member table.
    static ka::com::MemberTable<ScaleControl> Members() noexcept;

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

    // The application's event handler (null for none), and the delivery model.
    void SetEventHandler(IDispatch* handler);
    bool DeliverOnCallingThread() const noexcept { return !delivery_.Posted(); }
    void SetDeliverOnCallingThread(bool direct) noexcept { delivery_.SetPosted(!direct); }

    // Event requests of the service object; safe from any thread.
    void SOData(long weight) noexcept;
    void SODirectIO(long eventNumber, long* data, BSTR* text);
    void SOError(long resultCode, long resultCodeExtended, long errorLocus, long* errorResponse) noexcept;
    void SOStatusUpdate(long data) noexcept;

    EventRecord& Events() noexcept { return events_; }
    // Waits for events while serving this thread's messages, so posted events are handled.
    long WaitForEvents(DWORD timeoutMs) noexcept;

private:
    ScaleControl() noexcept;
    ~ScaleControl() override;

    // The application's side of one event: recorded, then handed to its handler.
    static void Deliver(void* self, EventRequest& request) noexcept;
    void InvokeHandler(EventRequest& request) noexcept;

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
    ka::com::ComPtr<IDispatch> handler_;
    long localResult_;
    bool localResultValid_ = true;
    EventRecord events_;
    EventDelivery delivery_;
};

}  // namespace standin
