#include "tools/opos_standin/scale_control.h"

#include <new>

#include "common/opos.h"
#include "tools/opos_standin/control_ids.h"
#include "tools/opos_standin/dispatch_table.h"
#include "tools/opos_standin/module_count.h"
#include "tools/opos_standin/service_profile.h"

namespace standin {

namespace {

using opos::OPOS_E_CLOSED;
using opos::OPOS_E_FAILURE;
using opos::OPOS_E_ILLEGAL;
using opos::OPOS_E_NOSERVICE;
using opos::OPOS_SUCCESS;

// The service object's dispatch methods that the control members forward to.
constexpr DISPID kSoOpenService = 1;
constexpr DISPID kSoClose = 2;
constexpr DISPID kSoClaim = 3;
constexpr DISPID kSoCheckHealth = 5;
constexpr DISPID kSoSetPropertyNumber = 9;
constexpr DISPID kSoGetPropertyString = 10;
constexpr DISPID kSoReadWeight = 13;
constexpr DISPID kSoZeroScale = 14;
constexpr DISPID kSoGetPropertyNumber = 16;
constexpr DISPID kSoReleaseDevice = 20;

// OPOS property indexes behind the control's properties.
constexpr long kPidxDataEventEnabled = 2;
constexpr long kPidxDeviceEnabled = 3;
constexpr long kPidxResultCode = 6;
constexpr long kPidxAsyncMode = 9003;
constexpr long kPidxCheckHealthText = 1000001;

constexpr wchar_t kDeviceClass[] = L"Scale";

using A = ArgType;
using K = MemberKind;
using C = ScaleControl;

const Member kMembers[] = {
    {L"Open", kDispidOpen, K::Method, 1, {A::Text},
     [](C& c, const Arg* a) { return Value::Long(c.Open(a[0].text)); }},
    {L"Claim", kDispidClaim, K::Method, 1, {A::Long},
     [](C& c, const Arg* a) { return Value::Long(c.Claim(a[0].number)); }},
    {L"Close", kDispidClose, K::Method, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.Close()); }},
    {L"ReleaseDevice", kDispidReleaseDevice, K::Method, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.ReleaseDevice()); }},
    {L"CheckHealth", kDispidCheckHealth, K::Method, 1, {A::Long},
     [](C& c, const Arg* a) { return Value::Long(c.CheckHealth(a[0].number)); }},
    {L"ReadWeight", kDispidReadWeight, K::Method, 2, {A::LongRef, A::Long},
     [](C& c, const Arg* a) { return Value::Long(c.ReadWeight(a[0].numberRef, a[1].number)); }},
    {L"ZeroScale", kDispidZeroScale, K::Method, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.ZeroScale()); }},
    {L"DeviceEnabled", kDispidDeviceEnabled, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Bool(c.DeviceEnabled()); }},
    {L"DeviceEnabled", kDispidDeviceEnabled, K::PropertyPut, 1, {A::Bool},
     [](C& c, const Arg* a) { c.SetDeviceEnabled(a[0].number != 0); return Value::None(); }},
    {L"AsyncMode", kDispidAsyncMode, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Bool(c.AsyncMode()); }},
    {L"AsyncMode", kDispidAsyncMode, K::PropertyPut, 1, {A::Bool},
     [](C& c, const Arg* a) { c.SetAsyncMode(a[0].number != 0); return Value::None(); }},
    {L"DataEventEnabled", kDispidDataEventEnabled, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Bool(c.DataEventEnabled()); }},
    {L"DataEventEnabled", kDispidDataEventEnabled, K::PropertyPut, 1, {A::Bool},
     [](C& c, const Arg* a) { c.SetDataEventEnabled(a[0].number != 0); return Value::None(); }},
    {L"ResultCode", kDispidResultCode, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.ResultCode()); }},
    {L"CheckHealthText", kDispidCheckHealthText, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Text(c.CheckHealthText()); }},

    {L"WaitForEvent", kDispidWaitForEvent, K::Method, 1, {A::Long},
     [](C& c, const Arg* a) {
         // Never unbounded: a negative timeout only looks.
         DWORD timeout = a[0].number < 0 ? 0 : static_cast<DWORD>(a[0].number);
         return Value::Long(c.Events().WaitForEvents(timeout));
     }},
    {L"DataEventCount", kDispidDataEventCount, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.Events().DataCount()); }},
    {L"ErrorEventCount", kDispidErrorEventCount, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.Events().ErrorCount()); }},
    {L"DirectIOEventCount", kDispidDirectIOEventCount, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.Events().DirectIOCount()); }},
    {L"StatusUpdateCount", kDispidStatusUpdateCount, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.Events().StatusUpdateCount()); }},
    {L"LastDataWeight", kDispidLastDataWeight, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.Events().LastDataWeight()); }},
    {L"LastErrorResultCode", kDispidLastErrorResultCode, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Long(c.Events().LastErrorResultCode()); }},
    {L"LastDirectIOText", kDispidLastDirectIOText, K::PropertyGet, 0, {},
     [](C& c, const Arg*) { return Value::Text(c.Events().LastDirectIOText()); }},

    {L"SOData", kDispidSOData, K::Method, 1, {A::Long},
     [](C& c, const Arg* a) { c.SOData(a[0].number); return Value::None(); }},
    {L"SODirectIO", kDispidSODirectIO, K::Method, 3, {A::Long, A::LongRef, A::TextRef},
     [](C& c, const Arg* a) { c.SODirectIO(a[0].number, a[1].numberRef, a[2].textRef); return Value::None(); }},
    {L"SOError", kDispidSOError, K::Method, 4, {A::Long, A::Long, A::Long, A::LongRef},
     [](C& c, const Arg* a) {
         c.SOError(a[0].number, a[1].number, a[2].number, a[3].numberRef);
         return Value::None();
     }},
    {L"SOStatusUpdate", kDispidSOStatusUpdate, K::Method, 1, {A::Long},
     [](C& c, const Arg* a) { c.SOStatusUpdate(a[0].number); return Value::None(); }},
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

HRESULT ScaleControl::QueryInterface(REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ScaleControl::AddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG ScaleControl::Release() noexcept {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT ScaleControl::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ScaleControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT ScaleControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return LookupNames(kMembers, std::size(kMembers), names, count, ids);
}

HRESULT ScaleControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO*, UINT* argError) noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return InvokeMember(kMembers, std::size(kMembers), *this, id, flags, params, result, argError);
}

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
    ComRef<IDispatch> service;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(service.put())))) {
        return OPOS_E_NOSERVICE;
    }
    ka::UniqueBstr deviceClass(SysAllocString(kDeviceClass));
    ka::UniqueBstr name(SysAllocStringLen(deviceName.data(), static_cast<UINT>(deviceName.size())));
    if (!deviceClass || !name) return OPOS_E_FAILURE;
    ka::UniqueVariant answer;
    long code = 0;
    HRESULT hr = InvokeByDispid(service.get(), kSoOpenService, DISPATCH_METHOD,
                                {TextArg(deviceClass.get()), TextArg(name.get()), DispatchArg(this)}, answer.put());
    // A server that cannot take OpenService is no service object.
    if (FAILED(hr) || FAILED(ResultAsLong(*answer.get(), &code))) return OPOS_E_NOSERVICE;
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
    ka::UniqueVariant answer;
    long code = 0;
    if (FAILED(InvokeByDispid(service_.get(), id, DISPATCH_METHOD, args, answer.put())) ||
        FAILED(ResultAsLong(*answer.get(), &code))) {
        return Local(OPOS_E_FAILURE);
    }
    localResultValid_ = false;
    return code;
}

long ScaleControl::ServiceNumber(long propIndex) {
    if (!service_) return 0;
    ka::UniqueVariant answer;
    long number = 0;
    if (FAILED(InvokeByDispid(service_.get(), kSoGetPropertyNumber, DISPATCH_METHOD, {LongArg(propIndex)},
                              answer.put())) ||
        FAILED(ResultAsLong(*answer.get(), &number))) {
        return 0;
    }
    return number;
}

void ScaleControl::SetServiceNumber(long propIndex, long number) {
    if (!service_) {
        Local(OPOS_E_CLOSED);
        return;
    }
    if (FAILED(InvokeByDispid(service_.get(), kSoSetPropertyNumber, DISPATCH_METHOD,
                              {LongArg(propIndex), LongArg(number)}, nullptr))) {
        Local(OPOS_E_FAILURE);
        return;
    }
    localResultValid_ = false;
}

long ScaleControl::Claim(long timeout) { return CallService(kSoClaim, {LongArg(timeout)}); }

long ScaleControl::Close() {
    if (!service_) return Local(OPOS_E_CLOSED);
    long result = CallService(kSoClose, {});
    service_.reset();
    return Local(result);
}

long ScaleControl::ReleaseDevice() { return CallService(kSoReleaseDevice, {}); }
long ScaleControl::CheckHealth(long level) { return CallService(kSoCheckHealth, {LongArg(level)}); }

long ScaleControl::ReadWeight(long* weight, long timeout) {
    return CallService(kSoReadWeight, {LongRefArg(weight), LongArg(timeout)});
}

long ScaleControl::ZeroScale() { return CallService(kSoZeroScale, {}); }

bool ScaleControl::DeviceEnabled() { return ServiceNumber(kPidxDeviceEnabled) != 0; }
void ScaleControl::SetDeviceEnabled(bool enabled) { SetServiceNumber(kPidxDeviceEnabled, enabled ? 1 : 0); }
bool ScaleControl::AsyncMode() { return ServiceNumber(kPidxAsyncMode) != 0; }
void ScaleControl::SetAsyncMode(bool async) { SetServiceNumber(kPidxAsyncMode, async ? 1 : 0); }
bool ScaleControl::DataEventEnabled() { return ServiceNumber(kPidxDataEventEnabled) != 0; }
void ScaleControl::SetDataEventEnabled(bool enabled) { SetServiceNumber(kPidxDataEventEnabled, enabled ? 1 : 0); }

long ScaleControl::ResultCode() {
    if (localResultValid_ || !service_) return localResult_;
    return ServiceNumber(kPidxResultCode);
}

std::wstring ScaleControl::CheckHealthText() {
    if (!service_) return L"";
    ka::UniqueVariant answer;
    if (FAILED(InvokeByDispid(service_.get(), kSoGetPropertyString, DISPATCH_METHOD, {LongArg(kPidxCheckHealthText)},
                              answer.put())) ||
        V_VT(answer.get()) != VT_BSTR || !V_BSTR(answer.get())) {
        return L"";
    }
    return std::wstring(V_BSTR(answer.get()), SysStringLen(V_BSTR(answer.get())));
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
