#include "admin/scale_control.h"

#include <utility>
#include <vector>

namespace vantorel {

const CLSID CLSID_OPOSScale = {0xCCB90172, 0xB81E, 0x11D2, {0xAB, 0x74, 0x00, 0x40, 0x05, 0x4C, 0x37, 0x19}};

namespace {

// Members invoked by fixed dispatch identifiers; Claim is looked up by name at each call.
constexpr DISPID kDispidDeviceEnabled = 17;
constexpr DISPID kDispidCheckHealth = 31;
constexpr DISPID kDispidClose = 35;
constexpr DISPID kDispidOpen = 37;
constexpr DISPID kDispidReleaseDevice = 38;
constexpr DISPID kDispidReadWeight = 71;
constexpr DISPID kDispidZeroScale = 72;
constexpr wchar_t kClaimName[] = L"Claim";

// Clears what Invoke may hand back in an exception record.
struct ExceptionRecord {
    EXCEPINFO info = {};
    ~ExceptionRecord() {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
};

// Arguments are given first to last; IDispatch wants them last to first.
HRESULT Invoke(IDispatch* dispatch, DISPID member, WORD flags, std::vector<VARIANT> arguments, VARIANT* result) {
    if (!dispatch) return E_POINTER;
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    ExceptionRecord exception;
    UINT argumentError = 0;
    return dispatch->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception.info,
                            &argumentError);
}

VARIANT Long(long value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT Short(short value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = value;
    return v;
}

VARIANT Bool(bool value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT LongByReference(long* value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4 | VT_BYREF;
    V_I4REF(&v) = value;
    return v;
}

VARIANT Text(BSTR value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = value;
    return v;
}

// Every result code is taken as a 32-bit integer, whatever type the control returned it in.
HRESULT InvokeForResult(IDispatch* dispatch, DISPID member, std::vector<VARIANT> arguments, long& result) {
    ka::UniqueVariant returned;
    HRESULT hr = Invoke(dispatch, member, DISPATCH_METHOD, std::move(arguments), returned.get());
    if (FAILED(hr)) return hr;
    hr = VariantChangeType(returned.get(), returned.get(), 0, VT_I4);
    if (FAILED(hr)) return hr;
    result = V_I4(returned.get());
    return S_OK;
}

ka::UniqueBstr ToBstr(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    ka::UniqueBstr bstr(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
    if (bstr && length > 0) {
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bstr.get(), length);
    }
    return bstr;
}

}  // namespace

HRESULT ScaleControl::Create() noexcept {
    dispatch_.reset();
    return CoCreateInstance(CLSID_OPOSScale, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(dispatch_.put()));
}

HRESULT ScaleControl::Open(const std::string& deviceName, long& result) noexcept {
    try {
        ka::UniqueBstr name = ToBstr(deviceName);
        if (!name) return E_OUTOFMEMORY;
        return InvokeForResult(dispatch_.get(), kDispidOpen, {Text(name.get())}, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScaleControl::Claim(long timeout, long& result) noexcept {
    try {
        if (!dispatch_) return E_POINTER;
        LPOLESTR name = const_cast<LPOLESTR>(kClaimName);
        DISPID claim = DISPID_UNKNOWN;
        HRESULT hr = dispatch_.get()->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &claim);
        if (FAILED(hr)) return hr;
        return InvokeForResult(dispatch_.get(), claim, {Short(static_cast<short>(timeout))}, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScaleControl::SetDeviceEnabled(bool enabled) noexcept {
    try {
        return Invoke(dispatch_.get(), kDispidDeviceEnabled, DISPATCH_PROPERTYPUT, {Bool(enabled)}, nullptr);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScaleControl::GetDeviceEnabled(bool& enabled) noexcept {
    try {
        ka::UniqueVariant value;
        HRESULT hr = Invoke(dispatch_.get(), kDispidDeviceEnabled, DISPATCH_PROPERTYGET, {}, value.get());
        if (FAILED(hr)) return hr;
        hr = VariantChangeType(value.get(), value.get(), 0, VT_BOOL);
        if (FAILED(hr)) return hr;
        enabled = V_BOOL(value.get()) != VARIANT_FALSE;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScaleControl::CheckHealth(long level, long& result) noexcept {
    try {
        return InvokeForResult(dispatch_.get(), kDispidCheckHealth, {Long(level)}, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScaleControl::ReleaseDevice(long& result) noexcept {
    try {
        return InvokeForResult(dispatch_.get(), kDispidReleaseDevice, {}, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScaleControl::Close(long& result) noexcept {
    try {
        return InvokeForResult(dispatch_.get(), kDispidClose, {}, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScaleControl::ReadWeight(long& weight, long timeout, long& result) noexcept {
    try {
        weight = 0;
        return InvokeForResult(dispatch_.get(), kDispidReadWeight, {LongByReference(&weight), Long(timeout)}, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScaleControl::ZeroScale(long& result) noexcept {
    try {
        return InvokeForResult(dispatch_.get(), kDispidZeroScale, {}, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace vantorel
