#include "tools/opos_standin/scale_control.h"

#include <new>

#include "common/opos.h"
#include "tools/opos_standin/control_ids.h"
#include "common/com/control_events.h"
#include "common/com/dispatch_engine.h"
#include "common/opos_ids.h"
#include "tools/opos_standin/module_count.h"
#include "tools/opos_standin/service_profile.h"

namespace standin {

namespace {

using opos::OPOS_E_CLOSED;
using opos::OPOS_E_FAILURE;
using opos::OPOS_E_ILLEGAL;
using opos::OPOS_E_NOSERVICE;
using opos::OPOS_SUCCESS;

namespace pidx = opos::pidx;
using namespace ka::com;

constexpr wchar_t kDeviceClass[] = L"Scale";

using A = ArgType;
using R = ResultType;
using K = MemberKind;
using C = ScaleControl;
using Args = const DispatchArgs&;
using Out = DispatchResult&;

// The members and dispatch identifiers of the standard's control object; "Claim" is the older
// name of ClaimDevice, which the control object still answers to.
namespace control = opos::control;
const DispatchMember<ScaleControl> kMembers[] = {
    {L"Open", control::kOpen, K::Method, 1, {A::Text}, R::Long, [](C& c, Args a, Out r) { r.number = c.Open(a.Text(0)); }},
    {L"ClaimDevice", control::kClaimDevice, K::Method, 1, {A::Long}, R::Long,
     [](C& c, Args a, Out r) { r.number = c.Claim(a.Long(0)); }},
    {L"Claim", control::kClaimDevice, K::Method, 1, {A::Long}, R::Long,
     [](C& c, Args a, Out r) { r.number = c.Claim(a.Long(0)); }},
    {L"Close", control::kClose, K::Method, 0, {}, R::Long, [](C& c, Args, Out r) { r.number = c.Close(); }},
    {L"ReleaseDevice", control::kReleaseDevice, K::Method, 0, {}, R::Long,
     [](C& c, Args, Out r) { r.number = c.ReleaseDevice(); }},
    {L"CheckHealth", control::kCheckHealth, K::Method, 1, {A::Long}, R::Long,
     [](C& c, Args a, Out r) { r.number = c.CheckHealth(a.Long(0)); }},
    {L"ClearInput", control::kClearInput, K::Method, 0, {}, R::Long, [](C& c, Args, Out r) { r.number = c.ClearInput(); }},
    {L"ReadWeight", control::kReadWeight, K::Method, 2, {A::LongRef, A::Long}, R::Long,
     [](C& c, Args a, Out r) { r.number = c.ReadWeight(a.LongRef(0), a.Long(1)); }},
    {L"ZeroScale", control::kZeroScale, K::Method, 0, {}, R::Long, [](C& c, Args, Out r) { r.number = c.ZeroScale(); }},
    {L"DeviceEnabled", control::kDeviceEnabled, K::PropertyGet, 0, {}, R::Bool,
     [](C& c, Args, Out r) { r.number = c.DeviceEnabled(); }},
    {L"DeviceEnabled", control::kDeviceEnabled, K::PropertyPut, 1, {A::Bool}, R::None,
     [](C& c, Args a, Out) { c.SetDeviceEnabled(a.Bool(0)); }},
    {L"AsyncMode", control::kAsyncMode, K::PropertyGet, 0, {}, R::Bool, [](C& c, Args, Out r) { r.number = c.AsyncMode(); }},
    {L"AsyncMode", control::kAsyncMode, K::PropertyPut, 1, {A::Bool}, R::None,
     [](C& c, Args a, Out) { c.SetAsyncMode(a.Bool(0)); }},
    {L"DataEventEnabled", control::kDataEventEnabled, K::PropertyGet, 0, {}, R::Bool,
     [](C& c, Args, Out r) { r.number = c.DataEventEnabled(); }},
    {L"DataEventEnabled", control::kDataEventEnabled, K::PropertyPut, 1, {A::Bool}, R::None,
     [](C& c, Args a, Out) { c.SetDataEventEnabled(a.Bool(0)); }},
    {L"FreezeEvents", control::kFreezeEvents, K::PropertyGet, 0, {}, R::Bool,
     [](C& c, Args, Out r) { r.number = c.FreezeEvents(); }},
    {L"FreezeEvents", control::kFreezeEvents, K::PropertyPut, 1, {A::Bool}, R::None,
     [](C& c, Args a, Out) { c.SetFreezeEvents(a.Bool(0)); }},
    {L"ResultCode", control::kResultCode, K::PropertyGet, 0, {}, R::Long, [](C& c, Args, Out r) { r.number = c.ResultCode(); }},
    {L"CheckHealthText", control::kCheckHealthText, K::PropertyGet, 0, {}, R::Text,
     [](C& c, Args, Out r) { r.text = c.CheckHealthText(); }},

    {L"DeliverOnCallingThread", kDispidDeliverOnCallingThread, K::PropertyGet, 0, {}, R::Bool,
     [](C& c, Args, Out r) { r.number = c.DeliverOnCallingThread(); }},
    {L"DeliverOnCallingThread", kDispidDeliverOnCallingThread, K::PropertyPut, 1, {A::Bool}, R::None,
     [](C& c, Args a, Out) { c.SetDeliverOnCallingThread(a.Bool(0)); }},

    {L"SOData", kDispidSOData, K::Method, 1, {A::Long}, R::None, [](C& c, Args a, Out) { c.SOData(a.Long(0)); }},
    {L"SODirectIO", kDispidSODirectIO, K::Method, 3, {A::Long, A::LongRef, A::TextRef}, R::None,
     [](C& c, Args a, Out) { c.SODirectIO(a.Long(0), a.LongRef(1), a.TextRef(2)); }},
    {L"SOError", kDispidSOError, K::Method, 4, {A::Long, A::Long, A::Long, A::LongRef}, R::None,
     [](C& c, Args a, Out) { c.SOError(a.Long(0), a.Long(1), a.Long(2), a.LongRef(3)); }},
    {L"SOStatusUpdate", kDispidSOStatusUpdate, K::Method, 1, {A::Long}, R::None,
     [](C& c, Args a, Out) { c.SOStatusUpdate(a.Long(0)); }},
};

}  // namespace

ScaleControl::ScaleControl() noexcept
    : localResult_(OPOS_E_CLOSED),
      source_(*static_cast<IDispatch*>(this)),
      delivery_(static_cast<IDispatch*>(this), &ScaleControl::Deliver, this) {
    ModuleAddRef();
}

ScaleControl::~ScaleControl() {
    // A client that lets go of an open control must not leave the device claimed.
    if (service_) Close();
    source_.DisconnectAll();
    ModuleRelease();
}

HRESULT ScaleControl::QueryInterface(REFIID riid, void** object) noexcept {
    if (!object || !IsEqualIID(riid, IID_IConnectionPointContainer)) return SingleInterfaceObject::QueryInterface(riid, object);
    *object = static_cast<IConnectionPointContainer*>(&source_);
    AddRef();
    return S_OK;
}

HRESULT ScaleControl::Create(REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    auto* control = new (std::nothrow) ScaleControl();
    if (!control) return E_OUTOFMEMORY;
    const bool ready = control->delivery_.Ready();
    HRESULT hr = ready ? control->QueryInterface(riid, object) : E_OUTOFMEMORY;
    control->Release();
    return hr;
}

MemberTable<ScaleControl> ScaleControl::Members() noexcept { return {kMembers, std::size(kMembers)}; }

long ScaleControl::Local(long result) noexcept {
    localResult_ = result;
    localResultValid_ = true;
    return result;
}

long ScaleControl::CreateService(const std::wstring& deviceName) {
    std::wstring progId;
    long found = FindServiceProgId(deviceName, progId);
    if (found != OPOS_SUCCESS) return found;
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return OPOS_E_NOSERVICE;
    ComPtr<IDispatch> service;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(service.put())))) {
        return OPOS_E_NOSERVICE;
    }
    const ServiceDispids dispids = BindServiceMethods(service.get());
    if (!dispids.Bound(kOpenService)) return OPOS_E_NOSERVICE;
    UniqueBstr deviceClass(SysAllocString(kDeviceClass));
    UniqueBstr name(SysAllocStringLen(deviceName.data(), static_cast<UINT>(deviceName.size())));
    if (!deviceClass || !name) return OPOS_E_FAILURE;
    UniqueVariant answer;
    long code = 0;
    HRESULT hr = InvokeByDispid(service.get(), dispids[kOpenService], DISPATCH_METHOD,
                                {TextArg(deviceClass.get()), TextArg(name.get()), DispatchArg(this)}, answer.put());
    // A server that cannot take OpenService is no service object.
    if (FAILED(hr) || FAILED(ResultAsLong(answer.get(), &code))) return OPOS_E_NOSERVICE;
    if (code != OPOS_SUCCESS) return code;

    // Terminals' control objects refuse a release they do not know, or one that lacks a method
    // its release must have.
    UniqueVariant version;
    long versionNumber = 0;
    if (!dispids.Bound(kGetPropertyNumber) ||
        FAILED(InvokeByDispid(service.get(), dispids[kGetPropertyNumber], DISPATCH_METHOD,
                              {LongArg(pidx::kServiceObjectVersion)}, version.put())) ||
        FAILED(ResultAsLong(version.get(), &versionNumber)) || !ServiceObjectAcceptable(versionNumber, dispids)) {
        if (dispids.Bound(kCloseService)) InvokeByDispid(service.get(), dispids[kCloseService], DISPATCH_METHOD, {}, nullptr);
        return OPOS_E_NOSERVICE;
    }
    service_ = std::move(service);
    dispids_ = dispids;
    return OPOS_SUCCESS;
}

long ScaleControl::Open(const std::wstring& deviceName) {
    // A second Open leaves the session that is open as it is.
    if (service_) return Local(OPOS_E_ILLEGAL);
    delivery_.Allow();
    long result = CreateService(deviceName);
    if (result != OPOS_SUCCESS) return Local(result);
    localResultValid_ = false;
    return OPOS_SUCCESS;
}

long ScaleControl::CallService(ServiceMethod method, std::initializer_list<VARIANT> args) {
    if (!service_) return Local(OPOS_E_CLOSED);
    UniqueVariant answer;
    long code = 0;
    if (FAILED(InvokeByDispid(service_.get(), dispids_[method], DISPATCH_METHOD, args, answer.put())) ||
        FAILED(ResultAsLong(answer.get(), &code))) {
        return Local(OPOS_E_FAILURE);
    }
    localResultValid_ = false;
    return code;
}

long ScaleControl::ServiceNumber(long propIndex) {
    if (!service_) return 0;
    UniqueVariant answer;
    long number = 0;
    if (FAILED(InvokeByDispid(service_.get(), dispids_[kGetPropertyNumber], DISPATCH_METHOD, {LongArg(propIndex)},
                              answer.put())) ||
        FAILED(ResultAsLong(answer.get(), &number))) {
        return 0;
    }
    return number;
}

void ScaleControl::SetServiceNumber(long propIndex, long number) {
    if (!service_) {
        Local(OPOS_E_CLOSED);
        return;
    }
    if (FAILED(InvokeByDispid(service_.get(), dispids_[kSetPropertyNumber], DISPATCH_METHOD,
                              {LongArg(propIndex), LongArg(number)}, nullptr))) {
        Local(OPOS_E_FAILURE);
        return;
    }
    localResultValid_ = false;
}

long ScaleControl::Claim(long timeout) {
    if (service_) delivery_.Allow();
    return CallService(kClaimDevice, {LongArg(timeout)});
}

// Release and Close first make events illegal and let a waiting request go, then call the
// service object: its teardown must not wait for an application that waits for it.
long ScaleControl::Close() {
    if (!service_) return Local(OPOS_E_CLOSED);
    delivery_.LetGo();
    long result = CallService(kCloseService, {});
    service_.reset();
    return Local(result);
}

long ScaleControl::ReleaseDevice() {
    if (service_) delivery_.LetGo();
    return CallService(kReleaseDevice, {});
}

long ScaleControl::CheckHealth(long level) { return CallService(kCheckHealth, {LongArg(level)}); }
long ScaleControl::ClearInput() { return CallService(kClearInput, {}); }

long ScaleControl::ReadWeight(long* weight, long timeout) {
    return CallService(kReadWeight, {LongRefArg(weight), LongArg(timeout)});
}

long ScaleControl::ZeroScale() { return CallService(kZeroScale, {}); }

bool ScaleControl::DeviceEnabled() { return ServiceNumber(pidx::kDeviceEnabled) != 0; }
void ScaleControl::SetDeviceEnabled(bool enabled) { SetServiceNumber(pidx::kDeviceEnabled, enabled ? 1 : 0); }
bool ScaleControl::AsyncMode() { return ServiceNumber(pidx::kAsyncMode) != 0; }
void ScaleControl::SetAsyncMode(bool async) { SetServiceNumber(pidx::kAsyncMode, async ? 1 : 0); }
bool ScaleControl::DataEventEnabled() { return ServiceNumber(pidx::kDataEventEnabled) != 0; }
void ScaleControl::SetDataEventEnabled(bool enabled) { SetServiceNumber(pidx::kDataEventEnabled, enabled ? 1 : 0); }

bool ScaleControl::FreezeEvents() { return delivery_.Frozen(); }

// Frozen or not, the service object hears of it as the control object's request.
void ScaleControl::SetFreezeEvents(bool freeze) {
    delivery_.SetFrozen(freeze);
    CallService(kCOFreezeEvents, {LongArg(freeze ? 1 : 0)});
}

long ScaleControl::ResultCode() {
    if (localResultValid_ || !service_) return localResult_;
    return ServiceNumber(pidx::kResultCode);
}

std::wstring ScaleControl::CheckHealthText() {
    if (!service_) return L"";
    UniqueVariant answer;
    if (FAILED(InvokeByDispid(service_.get(), dispids_[kGetPropertyString], DISPATCH_METHOD, {LongArg(pidx::kCheckHealthText)},
                              answer.put())) ||
        V_VT(&answer.get()) != VT_BSTR || !V_BSTR(&answer.get())) {
        return L"";
    }
    const BSTR text = V_BSTR(&answer.get());
    return std::wstring(text, SysStringLen(text));
}

void ScaleControl::Deliver(void* self, EventRequest& request) noexcept {
    auto& scale = *static_cast<ScaleControl*>(self);
    try {
        // Each sink is held for its call: a handler may let go of the control and its sinks.
        for (const auto& sink : scale.source_.Sinks()) InvokeSink(sink.get(), request);
    } catch (...) {
        // Out of memory: the event goes undelivered, as an unconnected one does.
    }
}

// As the real control object does, each event is looked up by name on the sink, and one the sink
// does not name is not fired.
void ScaleControl::InvokeSink(IDispatch* sink, EventRequest& request) noexcept {
    constexpr DISPID kEventOf[] = {control::kDataEvent, control::kDirectIOEvent, control::kErrorEvent,
                                   control::kStatusUpdateEvent};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(LookupDispid(sink, ControlEventName(kEventOf[static_cast<int>(request.kind)]), &id))) return;
    const long* n = request.numbers;
    switch (request.kind) {
    case EventKind::Data:
        InvokeByDispid(sink, id, DISPATCH_METHOD, {LongArg(n[0])}, nullptr);
        break;
    case EventKind::Error:
        InvokeByDispid(sink, id, DISPATCH_METHOD,
                       {LongArg(n[0]), LongArg(n[1]), LongArg(n[2]), LongRefArg(&request.byReference)}, nullptr);
        break;
    case EventKind::DirectIO: {
        UniqueBstr text(SysAllocStringLen(request.text.data(), static_cast<UINT>(request.text.size())));
        BSTR textRef = text.get();
        InvokeByDispid(sink, id, DISPATCH_METHOD, {LongArg(n[0]), LongRefArg(&request.byReference), TextRefArg(&textRef)},
                       nullptr);
        if (textRef != text.get()) SysFreeString(textRef);
        break;
    }
    case EventKind::StatusUpdate:
        InvokeByDispid(sink, id, DISPATCH_METHOD, {LongArg(n[0])}, nullptr);
        break;
    }
}

void ScaleControl::SOData(long weight) noexcept {
    EventRequest request;
    request.kind = EventKind::Data;
    request.numbers[0] = weight;
    delivery_.Request(request);
}

void ScaleControl::SODirectIO(long eventNumber, long* data, BSTR* text) {
    EventRequest request;
    request.kind = EventKind::DirectIO;
    request.numbers[0] = eventNumber;
    request.byReference = data ? *data : 0;
    BSTR value = text ? *text : nullptr;
    if (value) request.text.assign(value, SysStringLen(value));
    delivery_.Request(request);
    if (data) *data = request.byReference;
}

// The error response is the application's to give: its handler may change it.
void ScaleControl::SOError(long resultCode, long resultCodeExtended, long errorLocus, long* errorResponse) noexcept {
    EventRequest request;
    request.kind = EventKind::Error;
    request.numbers[0] = resultCode;
    request.numbers[1] = resultCodeExtended;
    request.numbers[2] = errorLocus;
    request.byReference = errorResponse ? *errorResponse : 0;
    delivery_.Request(request);
    if (errorResponse) *errorResponse = request.byReference;
}

void ScaleControl::SOStatusUpdate(long data) noexcept {
    EventRequest request;
    request.kind = EventKind::StatusUpdate;
    request.numbers[0] = data;
    delivery_.Request(request);
}

}  // namespace standin
