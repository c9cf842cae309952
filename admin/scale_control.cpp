#include "admin/scale_control.h"

#include "common/com/ansi_text.h"
#include "common/com/dispatch_call.h"
#include "common/opos_ids.h"

namespace vantorel {

namespace {

using namespace ka::com;
namespace control = opos::control;
constexpr wchar_t kClaimName[] = L"Claim";

// Every result code is taken as a 32-bit integer, whatever type the control returned it in.
HRESULT InvokeForResult(IDispatch* dispatch, DISPID member, std::initializer_list<VARIANT> arguments, long& result) {
    UniqueVariant returned;
    const HRESULT hr = InvokeByDispid(dispatch, member, DISPATCH_METHOD, arguments, returned.put());
    if (FAILED(hr)) return hr;
    return ResultAsLong(returned.get(), &result);
}

}  // namespace

HRESULT ScaleControl::Create() noexcept {
    return CoCreateInstance(control::kClsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(dispatch_.put()));
}

HRESULT ScaleControl::Open(const std::string& deviceName, long& result) noexcept {
    UniqueBstr name(AnsiToBstr(deviceName.c_str()));
    if (!name) return E_OUTOFMEMORY;
    return InvokeForResult(dispatch_.get(), control::kOpen, {TextArg(name.get())}, result);
}

HRESULT ScaleControl::Claim(long timeout, long& result) noexcept {
    DISPID claim = DISPID_UNKNOWN;
    const HRESULT hr = LookupDispid(dispatch_.get(), kClaimName, &claim);
    if (FAILED(hr)) return hr;
    return InvokeForResult(dispatch_.get(), claim, {ShortArg(static_cast<short>(timeout))}, result);
}

HRESULT ScaleControl::SetDeviceEnabled(bool enabled) noexcept {
    return InvokeByDispid(dispatch_.get(), control::kDeviceEnabled, DISPATCH_PROPERTYPUT, {BoolArg(enabled)}, nullptr);
}

HRESULT ScaleControl::GetDeviceEnabled(bool& enabled) noexcept {
    UniqueVariant value;
    const HRESULT hr = InvokeByDispid(dispatch_.get(), control::kDeviceEnabled, DISPATCH_PROPERTYGET, {}, value.put());
    if (FAILED(hr)) return hr;
    return ResultAsBool(value.get(), &enabled);
}

HRESULT ScaleControl::CheckHealth(long level, long& result) noexcept {
    return InvokeForResult(dispatch_.get(), control::kCheckHealth, {LongArg(level)}, result);
}

HRESULT ScaleControl::ReleaseDevice(long& result) noexcept {
    return InvokeForResult(dispatch_.get(), control::kReleaseDevice, {}, result);
}

HRESULT ScaleControl::Close(long& result) noexcept {
    return InvokeForResult(dispatch_.get(), control::kClose, {}, result);
}

HRESULT ScaleControl::ReadWeight(long& weight, long timeout, long& result) noexcept {
    weight = 0;
    return InvokeForResult(dispatch_.get(), control::kReadWeight, {LongRefArg(&weight), LongArg(timeout)}, result);
}

HRESULT ScaleControl::ZeroScale(long& result) noexcept {
    return InvokeForResult(dispatch_.get(), control::kZeroScale, {}, result);
}

}  // namespace vantorel
