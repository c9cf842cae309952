// The generic half of IDispatch::Invoke: argument checks, conversions and the result VARIANT.

#include "service/ansi_text.h"
#include "service/dispatch_table.h"

namespace pendrax {

namespace {

bool IsMissing(const VARIANT& v) noexcept { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// A VARIANT passed by reference as VT_VARIANT | VT_BYREF stands for the variant it points to.
VARIANT* Unwrapped(VARIANT& v) noexcept {
    if (v.vt == (VT_VARIANT | VT_BYREF)) return v.pvarVal;
    return &v;
}

long* LongReference(VARIANT& source) noexcept {
    if (source.vt == (VT_I4 | VT_BYREF)) return source.plVal;
    VARIANT* inner = Unwrapped(source);
    if (!inner || inner == &source) return nullptr;
    if (inner->vt == VT_I4) return &inner->lVal;
    if (inner->vt == (VT_I4 | VT_BYREF)) return inner->plVal;
    return nullptr;
}

BSTR* StringReference(VARIANT& source) noexcept {
    if (source.vt == (VT_BSTR | VT_BYREF)) return source.pbstrVal;
    VARIANT* inner = Unwrapped(source);
    if (!inner || inner == &source) return nullptr;
    if (inner->vt == VT_BSTR) return &inner->bstrVal;
    if (inner->vt == (VT_BSTR | VT_BYREF)) return inner->pbstrVal;
    return nullptr;
}

// Automation clients pass "Nothing" for an object in several ways.
bool IsNullObject(const VARIANT& v) noexcept {
    return v.vt == VT_EMPTY || v.vt == VT_NULL || (v.vt == VT_I4 && v.lVal == 0);
}

// The usual automation coercion; by-reference sources are read through.
HRESULT Coerce(VARIANT& target, VARIANT& source, VARTYPE vt) noexcept {
    VARIANT* value = Unwrapped(source);
    if (!value) return DISP_E_TYPEMISMATCH;
    return SUCCEEDED(VariantChangeType(&target, value, 0, vt)) ? S_OK : DISP_E_TYPEMISMATCH;
}

HRESULT StoreResult(ResultType type, const DispatchResult& value, VARIANT* result) noexcept {
    if (!result) return S_OK;
    switch (type) {
        case ResultType::None:
            return S_OK;
        case ResultType::Long:
            result->vt = VT_I4;
            result->lVal = value.number;
            return S_OK;
        case ResultType::Currency:
            result->vt = VT_CY;
            result->cyVal = value.currency;
            return S_OK;
        case ResultType::String: {
            BSTR text = AnsiToBstr(value.text.c_str());
            if (!text) return E_OUTOFMEMORY;
            result->vt = VT_BSTR;
            result->bstrVal = text;
            return S_OK;
        }
    }
    return E_UNEXPECTED;
}

}  // namespace

HRESULT ConvertArgument(ArgType type, VARIANT& source, DispatchArgs& args, int position) {
    if (IsMissing(source) || (Unwrapped(source) && IsMissing(*Unwrapped(source)))) return DISP_E_PARAMNOTFOUND;
    auto& slot = args.slots_[position];
    switch (type) {
        case ArgType::Long: {
            if (Coerce(*slot.coerced.put(), source, VT_I4) != S_OK) return DISP_E_TYPEMISMATCH;
            slot.number = slot.coerced->lVal;
            return S_OK;
        }
        case ArgType::String: {
            if (Coerce(*slot.coerced.put(), source, VT_BSTR) != S_OK) return DISP_E_TYPEMISMATCH;
            slot.text = BstrToAnsi(slot.coerced->bstrVal);
            return S_OK;
        }
        case ArgType::Currency: {
            if (Coerce(*slot.coerced.put(), source, VT_CY) != S_OK) return DISP_E_TYPEMISMATCH;
            slot.currency = slot.coerced->cyVal;
            return S_OK;
        }
        case ArgType::LongRef:
            slot.longRef = LongReference(source);
            return slot.longRef ? S_OK : DISP_E_TYPEMISMATCH;
        case ArgType::StringRef:
            slot.stringRef = StringReference(source);
            return slot.stringRef ? S_OK : DISP_E_TYPEMISMATCH;
        case ArgType::Dispatch: {
            VARIANT* value = Unwrapped(source);
            if (!value) return DISP_E_TYPEMISMATCH;
            if (IsNullObject(*value)) {
                slot.dispatch = nullptr;
                return S_OK;
            }
            // VT_DISPATCH, VT_UNKNOWN and their by-reference forms; the coerced copy holds a
            // reference only for the length of the call, like the caller's own variable.
            if (Coerce(*slot.coerced.put(), source, VT_DISPATCH) != S_OK) return DISP_E_TYPEMISMATCH;
            slot.dispatch = slot.coerced->pdispVal;
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT InvokeDispatchEntry(CScaleTRM07& scale, const DispatchEntry& entry, WORD flags, DISPPARAMS* params,
                            VARIANT* result, UINT* argError) {
    // Automation clients may ask for a method call and a property read at once.
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    const UINT argCount = params ? params->cArgs : 0;
    if (params && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (argCount != static_cast<UINT>(entry.argCount)) return DISP_E_BADPARAMCOUNT;
    if (argCount > 0 && !params->rgvarg) return E_INVALIDARG;

    DispatchArgs args;
    for (int position = 0; position < entry.argCount; ++position) {
        // rgvarg holds the arguments last first.
        const UINT index = argCount - 1 - static_cast<UINT>(position);
        const HRESULT hr = ConvertArgument(entry.args[position], params->rgvarg[index], args, position);
        if (hr != S_OK) {
            if (argError) *argError = index;
            return hr;
        }
    }

    if (result) VariantInit(result);
    DispatchResult value;
    entry.handler(scale, args, value);
    return StoreResult(entry.result, value, result);
}

}  // namespace pendrax
