#pragma once
// CScaleTRM07: the OPOS Scale service object for the TRM-07, driven through IDispatch.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/com/dispatch_engine.h"
#include "common/profile_schema.h"
#include "service/async_reads.h"
#include "service/scale_state.h"

namespace pendrax {

// {A3F61C02-7E45-4D2B-8C1A-52B9E0D4F713}
extern const CLSID CLSID_ScaleTRM07;
// {A3F61C01-7E45-4D2B-8C1A-52B9E0D4F713}
extern const IID DIID_ScaleTRM07;
// The ProgID is the profile schema's, since device profiles name it.
using ka::profile::kProgId;
constexpr char kClsidText[] = "{A3F61C02-7E45-4D2B-8C1A-52B9E0D4F713}";

class CScaleTRM07 final : public ka::com::TableDispatch<CScaleTRM07> {
public:
    CScaleTRM07();
    ~CScaleTRM07();
    CScaleTRM07(const CScaleTRM07&) = delete;
    CScaleTRM07& operator=(const CScaleTRM07&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IDispatch is generic over the dispatch table.
    static ka::com::MemberTable<CScaleTRM07> Members() noexcept;

    // The dispatch methods, with arguments already converted from their VARIANTs.
    long OpenService(const char* deviceClass, const char* deviceName, IDispatch* controlObject);
    long Close();
    long Claim(long timeout);
    long ReleaseDevice();  // also the dispatch method "Release"
    long CheckHealth(long level);
    long ClearInput();
    long ClearOutput();
    long DirectIO(long command, long* pData, BSTR* pString);
    void SetPropertyNumber(long propIndex, long number);
    std::string GetPropertyString(long propIndex);
    void SetPropertyString(long propIndex, const char* value);
    long DisplayText(const char* data);
    long ReadWeight(long* pWeightData, long timeout);
    // ReadWeight on the caller's thread whatever AsyncMode says: the interactive health check
    // shows what it read and raises no event.
    long ReadWeightSynchronously(long* pWeightData, long timeout);
    long ZeroScale();
    long COFreezeEvents(long freeze);
    long GetPropertyNumber(long propIndex);
    void SetUnitPrice(CY unitPrice);
    CY GetUnitPrice();
    CY GetSalesPrice();

    // The state record, for inspection.
    const ScaleState& State() const noexcept { return state_; }

private:
    // The event thread and the property tables work on the state record and leave through the
    // common exits, as the dispatch methods do.
    friend struct EventThread;
    friend struct PropertyTables;

    // SetPropertyNumber(DeviceEnabled): nonzero enables (gated), 0 disables.
    void SetDeviceEnabled(long number);
    // The one store of FreezeEvents, shared by COFreezeEvents and SetPropertyNumber(4).
    void StoreFreezeEvents(long freeze);
    // Stores DataEventEnabled under the data-event lock when it changes.
    void StoreDataEventEnabled(long enabled);

    long ReadWeightAs(long* pWeightData, long timeout, bool async);
    // Releasing once the gate has passed, or from Close, which passes no gate.
    long ReleaseClaimed();
    // Close's and destruction's release: from any thread, with its entry line, when claimed.
    void GiveBackClaim();

    // The common exits: log the leave lines, record the result under the result lock.
    long SuccessExit(const char* routine);
    long FailureExit(const char* routine, long result);
    // The leave lines alone: the event thread records its result before it fires.
    long LeaveLines(const char* routine, long result);
    long Exit(const char* routine, long result) { return result == 0 ? SuccessExit(routine) : FailureExit(routine, result); }

    // Access-gate tests in their fixed order; each returns 0 or the failure exit's result.
    long ForeignClaimProbe(const char* routine);
    long OwnClaimTest(const char* routine);
    long EnabledTest(const char* routine);
    long GateProbeAndClaim(const char* routine);          // tests 1 and 2
    long GateProbeClaimAndEnabled(const char* routine);   // tests 1, 2 and 3
    // OPOS_E_BUSY while an asynchronous reading still owns the port.
    long RefuseWhileReading(const char* routine);
    // OPOS_E_BUSY for an asynchronous read while one already waits behind the one delivered.
    long RefuseAnotherRead(const char* routine);

    // -1 when all four bound, else the index of the first that could not be bound.
    long BindEventRequests();
    void DetachControlObject() noexcept;
    void StoreResult(long result);
    // Waits, bounded, until no event thread reads any more; false (logged) when one still does.
    bool AwaitReads();
    // Every teardown: reads in flight stop retrying and skip their events, and the port is free
    // once this returns. A thread that is firing is left to finish.
    void StopReads();

    // The instance lives while a client holds a reference or an event thread runs: the clients
    // together hold one hold, each running event thread another.
    void LastClientReferenceGone() noexcept;
    void TakeHold() noexcept;
    void DropHold() noexcept;

    LONG refCount_ = 1;
    LONG holds_ = 1;
    ScaleState state_;
    AsyncReads reads_;
};

}  // namespace pendrax
