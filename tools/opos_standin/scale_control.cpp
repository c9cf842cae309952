#include "tools/opos_standin/scale_control.h"

#include <new>

#include "common/opos.h"
#include "tools/opos_standin/control_ids.h"
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

namespace so = opos::so;
namespace pidx = opos::pidx;
using namespace ka::com;

constexpr wchar_t kDeviceClass[] = L"Scale";

using A = ArgType;
using R = ResultType;
using K = MemberKind;
using C = ScaleControl;
using Args = const DispatchArgs&;
using Out = DispatchResult&;

const DispatchMember<ScaleControl> kMembers[] = {
    {L"Open", opos::control::kOpen, K::Method, 1, {A::Text}, R::Long, [](C& c, Args a, Out r) { r.number = c.Open(a.Text(0)); }},
    {L"Claim", kDispidClaim, K::Method, 1, {A::Long}, R::Long,
     [](C& c, Args a, Out r) { r.number = c.Claim(a.Long(0)); }},
    {L"Close", opos::control::kClose, K::Method, 0, {}, R::Long, [](C& c, Args, Out r) { r.number = c.Close(); }},
    {L"ReleaseDevice", opos::control::kReleaseDevice, K::Method, 0, {}, R::Long,
     [](C& c, Args, Out r) { r.number = c.ReleaseDevice(); }},
    {L"CheckHealth", opos::control::kCheckHealth, K::Method, 1, {A::Long}, R::Long,
     [](C& c, Args a, Out r) { r.number = c.CheckHealth(a.Long(0)); }},
    {L"ReadWeight", opos::control::kReadWeight, K::Method, 2, {A::LongRef, A::Long}, R::Long,
     [](C& c, Args a, Out r) { r.number = c.ReadWeight(a.LongRef(0), a.Long(1)); }},
    {L"ZeroScale", opos::control::kZeroScale, K::Method, 0, {}, R::Long, [](C& c, Args, Out r) { r.number = c.ZeroScale(); }},
    {L"DeviceEnabled", opos::control::kDeviceEnabled, K::PropertyGet, 0, {}, R::Bool,
     [](C& c, Args, Out r) { r.number = c.DeviceEnabled(); }},
    {L"DeviceEnabled", opos::control::kDeviceEnabled, K::PropertyPut, 1, {A::Bool}, R::None,
     [](C& c, Args a, Out) { c.SetDeviceEnabled(a.Bool(0)); }},
    {L"AsyncMode", kDispidAsyncMode, K::PropertyGet, 0, {}, R::Bool, [](C& c, Args, Out r) { r.number = c.AsyncMode(); }},
    {L"AsyncMode", kDispidAsyncMode, K::PropertyPut, 1, {A::Bool}, R::None,
     [](C& c, Args a, Out) { c.SetAsyncMode(a.Bool(0)); }},
    {L"DataEventEnabled", kDispidDataEventEnabled, K::PropertyGet, 0, {}, R::Bool,
     [](C& c, Args, Out r) { r.number = c.DataEventEnabled(); }},
    {L"DataEventEnabled", kDispidDataEventEnabled, K::PropertyPut, 1, {A::Bool}, R::None,
     [](C& c, Args a, Out) { c.SetDataEventEnabled(a.Bool(0)); }},
    {L"ResultCode", kDispidResultCode, K::PropertyGet, 0, {}, R::Long, [](C& c, Args, Out r) { r.number = c.ResultCode(); }},
    {L"CheckHealthText", kDispidCheckHealthText, K::PropertyGet, 0, {}, R::Text,
     [](C& c, Args, Out r) { r.text = c.CheckHealthText(); }},

    {L"WaitForEvent", kDispidWaitForEvent, K::Method, 1, {A::Long}, R::Long,
     [](C& c, Args a, Out r) {
         // Never unbounded: a negative timeout only looks.
         const DWORD timeout = a.Long(0) < 0 ? 0 : static_cast<DWORD>(a.Long(0));
         r.number = c.Events().WaitForEvents(timeout);
     }},
    {L"DataEventCount", kDispidDataEventCount, K::PropertyGet, 0, {}, R::Long,
     [](C& c, Args, Out r) { r.number = c.Events().DataCount(); }},
    {L"ErrorEventCount", kDispidErrorEventCount, K::PropertyGet, 0, {}, R::Long,
     [](C& c, Args, Out r) { r.number = c.Events().ErrorCount(); }},
    {L"DirectIOEventCount", kDispidDirectIOEventCount, K::PropertyGet, 0, {}, R::Long,
     [](C& c, Args, Out r) { r.number = c.Events().DirectIOCount(); }},
    {L"StatusUpdateCount", kDispidStatusUpdateCount, K::PropertyGet, 0, {}, R::Long,
     [](C& c, Args, Out r) { r.number = c.Events().StatusUpdateCount(); }},
    {L"LastDataWeight", kDispidLastDataWeight, K::PropertyGet, 0, {}, R::Long,
     [](C& c, Args, Out r) { r.number = c.Events().LastDataWeight(); }},
    {L"LastErrorResultCode", kDispidLastErrorResultCode, K::PropertyGet, 0, {}, R::Long,
     [](C& c, Args, Out r) { r.number = c.Events().LastErrorResultCode(); }},
    {L"LastDirectIOText", kDispidLastDirectIOText, K::PropertyGet, 0, {}, R::Text,
     [](C& c, Args, Out r) { r.text = c.Events().LastDirectIOText(); }},

    {L"SOData", kDispidSOData, K::Method, 1, {A::Long}, R::None, [](C& c, Args a, Out) { c.SOData(a.Long(0)); }},
    {L"SODirectIO", kDispidSODirectIO, K::Method, 3, {A::Long, A::LongRef, A::TextRef}, R::None,
     [](C& c, Args a, Out) { c.SODirectIO(a.Long(0), a.LongRef(1), a.TextRef(2)); }},
    {L"SOError", kDispidSOError, K::Method, 4, {A::Long, A::Long, A::Long, A::LongRef}, R::None,
     [](C& c, Args a, Out) { c.SOError(a.Long(0), a.Long(1), a.Long(2), a.LongRef(3)); }},
    {L"SOStatusUpdate", kDispidSOStatusUpdate, K::Method, 1, {A::Long}, R::None,
     [](C& c, Args a, Out) { c.SOStatusUpdate(a.Long(0)); }},
};

}  // namespace

ScaleControl::ScaleControl() noexcept : localResult_(OPOS_E_CLOSED) { ModuleAddRef(); }

ScaleControl::~ScaleControl() {
    // A client that lets go of an open control must not leave the device claimed.
    if (service_) Close();
    ModuleRelease();
}

HRESULT ScaleControl::Create(REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    auto* control = new (std::nothrow) ScaleControl();
    if (!control) return E_OUTOFMEMORY;
    HRESULT hr = control->events_.Ready() ? control->QueryInterface(riid, object) : E_OUTOFMEMORY;
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
    UniqueBstr deviceClass(SysAllocString(kDeviceClass));
    UniqueBstr name(SysAllocStringLen(deviceName.data(), static_cast<UINT>(deviceName.size())));
    if (!deviceClass || !name) return OPOS_E_FAILURE;
    UniqueVariant answer;
    long code = 0;
    HRESULT hr = InvokeByDispid(service.get(), so::kOpenService, DISPATCH_METHOD,
                                {TextArg(deviceClass.get()), TextArg(name.get()), DispatchArg(this)}, answer.put());
    // A server that cannot take OpenService is no service object.
    if (FAILED(hr) || FAILED(ResultAsLong(answer.get(), &code))) return OPOS_E_NOSERVICE;
    if (code != OPOS_SUCCESS) return code;
    service_ = std::move(service);
    return OPOS_SUCCESS;
}

long ScaleControl::Open(const std::wstring& deviceName) {
    // A second Open leaves the session that is open as it is.
    if (service_) return Local(OPOS_E_ILLEGAL);
    events_.Clear();
    long result = CreateService(deviceName);
    if (result != OPOS_SUCCESS) return Local(result);
    localResultValid_ = false;
    return OPOS_SUCCESS;
}

long ScaleControl::CallService(DISPID id, std::initializer_list<VARIANT> args) {
    if (!service_) return Local(OPOS_E_CLOSED);
    UniqueVariant answer;
    long code = 0;
    if (FAILED(InvokeByDispid(service_.get(), id, DISPATCH_METHOD, args, answer.put())) ||
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
    if (FAILED(InvokeByDispid(service_.get(), so::kGetPropertyNumber, DISPATCH_METHOD, {LongArg(propIndex)},
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
    if (FAILED(InvokeByDispid(service_.get(), so::kSetPropertyNumber, DISPATCH_METHOD,
                              {LongArg(propIndex), LongArg(number)}, nullptr))) {
        Local(OPOS_E_FAILURE);
        return;
    }
    localResultValid_ = false;
}

long ScaleControl::Claim(long timeout) { return CallService(so::kClaim, {LongArg(timeout)}); }

long ScaleControl::Close() {
    if (!service_) return Local(OPOS_E_CLOSED);
    long result = CallService(so::kClose, {});
    service_.reset();
    return Local(result);
}

long ScaleControl::ReleaseDevice() { return CallService(so::kReleaseDevice, {}); }
long ScaleControl::CheckHealth(long level) { return CallService(so::kCheckHealth, {LongArg(level)}); }

long ScaleControl::ReadWeight(long* weight, long timeout) {
    return CallService(so::kReadWeight, {LongRefArg(weight), LongArg(timeout)});
}

long ScaleControl::ZeroScale() { return CallService(so::kZeroScale, {}); }

bool ScaleControl::DeviceEnabled() { return ServiceNumber(pidx::kDeviceEnabled) != 0; }
void ScaleControl::SetDeviceEnabled(bool enabled) { SetServiceNumber(pidx::kDeviceEnabled, enabled ? 1 : 0); }
bool ScaleControl::AsyncMode() { return ServiceNumber(pidx::kAsyncMode) != 0; }
void ScaleControl::SetAsyncMode(bool async) { SetServiceNumber(pidx::kAsyncMode, async ? 1 : 0); }
bool ScaleControl::DataEventEnabled() { return ServiceNumber(pidx::kDataEventEnabled) != 0; }
void ScaleControl::SetDataEventEnabled(bool enabled) { SetServiceNumber(pidx::kDataEventEnabled, enabled ? 1 : 0); }

long ScaleControl::ResultCode() {
    if (localResultValid_ || !service_) return localResult_;
    return ServiceNumber(pidx::kResultCode);
}

std::wstring ScaleControl::CheckHealthText() {
    if (!service_) return L"";
    UniqueVariant answer;
    if (FAILED(InvokeByDispid(service_.get(), so::kGetPropertyString, DISPATCH_METHOD, {LongArg(pidx::kCheckHealthText)},
                              answer.put())) ||
        V_VT(&answer.get()) != VT_BSTR || !V_BSTR(&answer.get())) {
        return L"";
    }
    const BSTR text = V_BSTR(&answer.get());
    return std::wstring(text, SysStringLen(text));
}

void ScaleControl::SOData(long weight) noexcept { events_.RecordData(weight); }

void ScaleControl::SODirectIO(long, long*, BSTR* text) {
    BSTR value = text ? *text : nullptr;
    events_.RecordDirectIO(value ? std::wstring(value, SysStringLen(value)) : std::wstring());
}

// The error response is the application's to give; the stand-in leaves the service object's value.
void ScaleControl::SOError(long resultCode, long, long, long*) noexcept { events_.RecordError(resultCode); }

void ScaleControl::SOStatusUpdate(long) noexcept { events_.RecordStatusUpdate(); }

}  // namespace standin
