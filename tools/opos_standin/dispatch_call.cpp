#include "tools/opos_standin/dispatch_call.h"

#include <algorithm>
#include <array>

namespace standin {

namespace {
VARIANT Empty() noexcept {
    VARIANT v;
    VariantInit(&v);
    return v;
}

// EXCEPINFO strings belong to the caller of Invoke.
void FreeExcepInfo(EXCEPINFO& info) noexcept {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
}
}  // namespace

VARIANT LongArg(long value) noexcept {
    VARIANT v = Empty();
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT BoolArg(bool value) noexcept {
    VARIANT v = Empty();
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT TextArg(BSTR text) noexcept {
    VARIANT v = Empty();
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    return v;
}

VARIANT LongRefArg(long* value) noexcept {
    VARIANT v = Empty();
    V_VT(&v) = VT_I4 | VT_BYREF;
    V_I4REF(&v) = value;
    return v;
}

VARIANT DispatchArg(IDispatch* object) noexcept {
    VARIANT v = Empty();
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}

HRESULT InvokeByDispid(IDispatch* target, DISPID id, WORD flags, std::initializer_list<VARIANT> args,
                       VARIANT* result) noexcept {
    if (!target) return E_POINTER;
    if (args.size() > kMaxCallArgs) return E_INVALIDARG;
    // Invoke takes the arguments last first.
    std::array<VARIANT, kMaxCallArgs> reversed{};
    std::reverse_copy(args.begin(), args.end(), reversed.begin());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = args.size() ? reversed.data() : nullptr;
    params.cArgs = static_cast<UINT>(args.size());
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, &argError);
    if (hr == DISP_E_EXCEPTION) FreeExcepInfo(info);
    return hr;
}

HRESULT LookupDispid(IDispatch* target, const wchar_t* name, DISPID* id) noexcept {
    if (!target || !name || !id) return E_POINTER;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

HRESULT ResultAsLong(const VARIANT& result, long* value) noexcept {
    if (!value) return E_POINTER;
    ka::UniqueVariant converted;
    HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(&result), 0, VT_I4);
    if (FAILED(hr)) return hr;
    *value = V_I4(converted.get());
    return S_OK;
}

}  // namespace standin
