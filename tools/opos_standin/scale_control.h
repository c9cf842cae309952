#pragma once
// The stand-in for the OPOS Scale control object: it finds the service object through the device
// profile, drives it by the service object's dispatch identifiers, and records the events that the
// service object requests, from any thread.
//
// For our own Wine prefixes only; a POS terminal has the real control object under the same identity.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/com/dispatch_call.h"
#include "common/com/dispatch_engine.h"
#include "common/com/owners.h"
#include "common/com/unknown.h"
#include "tools/opos_standin/event_record.h"

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
    long ReadWeight(long* weight, long timeout);
    long ZeroScale();
    bool DeviceEnabled();
    void SetDeviceEnabled(bool enabled);
    bool AsyncMode();
    void SetAsyncMode(bool async);
    bool DataEventEnabled();
    void SetDataEventEnabled(bool enabled);
    long ResultCode();
    std::wstring CheckHealthText();

    // Event requests of the service object; safe from any thread.
    void SOData(long weight) noexcept;
    void SODirectIO(long eventNumber, long* data, BSTR* text);
    void SOError(long resultCode, long resultCodeExtended, long errorLocus, long* errorResponse) noexcept;
    void SOStatusUpdate(long data) noexcept;

    EventRecord& Events() noexcept { return events_; }

private:
    ScaleControl() noexcept;
    ~ScaleControl() override;

    // Calls a service-object method that answers a result code; 101 while closed.
    long CallService(DISPID id, std::initializer_list<VARIANT> args);
    // GetPropertyNumber; false (and 0) while closed or when the call fails.
    long ServiceNumber(long propIndex);
    // SetPropertyNumber; the outcome is the service object's ResultCode.
    void SetServiceNumber(long propIndex, long number);
    long CreateService(const std::wstring& deviceName);
    // Every result of a call made while closed, or of a failed call, is answered locally.
    long Local(long result) noexcept;

    ka::com::ComPtr<IDispatch> service_;
    long localResult_;
    bool localResultValid_ = true;
    EventRecord events_;
};

}  // namespace standin
