#include "common/com/dispatch_call.h"

#include <algorithm>
#include <array>

#include "common/com/owners.h"

namespace ka::com {

namespace {
VARIANT Typed(VARTYPE type) noexcept {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

// EXCEPINFO strings belong to the caller of Invoke.
struct ExceptionRecord {
    EXCEPINFO info = {};
    ~ExceptionRecord() {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
};

HRESULT Converted(const VARIANT& result, VARTYPE type, UniqueVariant& converted) noexcept {
    return VariantChangeType(converted.put(), const_cast<VARIANT*>(&result), 0, type);
}
}  // namespace

VARIANT LongArg(long value) noexcept {
    VARIANT v = Typed(VT_I4);
    V_I4(&v) = value;
    return v;
}

VARIANT ShortArg(short value) noexcept {
    VARIANT v = Typed(VT_I2);
    V_I2(&v) = value;
    return v;
}

VARIANT BoolArg(bool value) noexcept {
    VARIANT v = Typed(VT_BOOL);
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT TextArg(BSTR text) noexcept {
    VARIANT v = Typed(VT_BSTR);
    V_BSTR(&v) = text;
    return v;
}

VARIANT LongRefArg(long* value) noexcept {
    VARIANT v = Typed(VT_I4 | VT_BYREF);
    V_I4REF(&v) = value;
    return v;
}

VARIANT TextRefArg(BSTR* text) noexcept {
    VARIANT v = Typed(VT_BSTR | VT_BYREF);
    V_BSTRREF(&v) = text;
    return v;
}

VARIANT DispatchArg(IDispatch* object) noexcept {
    VARIANT v = Typed(VT_DISPATCH);
    V_DISPATCH(&v) = object;
    return v;
}

VARIANT CurrencyArg(LONGLONG scaledBy10000) noexcept {
    VARIANT v = Typed(VT_CY);
    V_CY(&v).int64 = scaledBy10000;
    return v;
}

HRESULT InvokeByDispid(IDispatch* target, DISPID id, WORD flags, const VARIANT* args, std::size_t count,
                       VARIANT* result, UINT* argError) noexcept {
    if (!target) return E_POINTER;
    if (count > kMaxCallArgs || (count && !args)) return E_INVALIDARG;
    // Invoke takes the arguments last first.
    std::array<VARIANT, kMaxCallArgs> reversed{};
    std::reverse_copy(args, args + count, reversed.begin());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = count ? reversed.data() : nullptr;
    params.cArgs = static_cast<UINT>(count);
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    ExceptionRecord exception;
    UINT blamed = 0;
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception.info,
                          argError ? argError : &blamed);
}

HRESULT LookupDispid(IDispatch* target, const wchar_t* name, DISPID* id, LCID lcid) noexcept {
    if (!target || !name || !id) return E_POINTER;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return target->GetIDsOfNames(IID_NULL, names, 1, lcid, id);
}

HRESULT ResultAsLong(const VARIANT& result, long* value) noexcept {
    if (!value) return E_POINTER;
    UniqueVariant converted;
    const HRESULT hr = Converted(result, VT_I4, converted);
    if (SUCCEEDED(hr)) *value = V_I4(&converted.get());
    return hr;
}

HRESULT ResultAsBool(const VARIANT& result, bool* value) noexcept {
    if (!value) return E_POINTER;
    UniqueVariant converted;
    const HRESULT hr = Converted(result, VT_BOOL, converted);
    if (SUCCEEDED(hr)) *value = V_BOOL(&converted.get()) != VARIANT_FALSE;
    return hr;
}

}  // namespace ka::com
