// The generic half of IDispatch: argument checks, conversions and the result VARIANT.

#include "common/com/dispatch_engine.h"

#include "common/com/ansi_text.h"

namespace ka::com {

namespace {

bool IsMissing(const VARIANT& v) noexcept { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// A VARIANT passed by reference as VT_VARIANT | VT_BYREF stands for the variant it points to.
VARIANT* Unwrapped(VARIANT& v) noexcept {
    if (v.vt == (VT_VARIANT | VT_BYREF)) return v.pvarVal;
    return &v;
}

// The caller's variable of type `vt`, passed by reference directly or inside a variant passed by
// reference; null for anything else.
void* Reference(VARIANT& source, VARTYPE vt) noexcept {
    if (source.vt == (vt | VT_BYREF)) return source.byref;
    VARIANT* inner = Unwrapped(source);
    if (!inner || inner == &source) return nullptr;
    // Every value of the variant's union starts at the same address.
    if (inner->vt == vt) return &inner->lVal;
    if (inner->vt == (vt | VT_BYREF)) return inner->byref;
    return nullptr;
}

// Automation clients pass "Nothing" for an object in several ways.
bool IsNullObject(const VARIANT& v) noexcept {
    return v.vt == VT_EMPTY || v.vt == VT_NULL || (v.vt == VT_I4 && v.lVal == 0);
}

// The usual automation coercion; by-reference sources are read through.
HRESULT Coerce(UniqueVariant& target, VARIANT& source, VARTYPE vt) noexcept {
    VARIANT* value = Unwrapped(source);
    if (!value) return DISP_E_TYPEMISMATCH;
    return SUCCEEDED(VariantChangeType(target.put(), value, 0, vt)) ? S_OK : DISP_E_TYPEMISMATCH;
}

}  // namespace

bool KindAccepts(MemberKind kind, WORD flags) noexcept {
    switch (kind) {
        case MemberKind::Method:
            return (flags & DISPATCH_METHOD) != 0;
        case MemberKind::PropertyGet:
            return (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
        case MemberKind::PropertyPut:
            return (flags & DISPATCH_PROPERTYPUT) != 0;
    }
    return false;
}

bool SameName(const wchar_t* a, const wchar_t* b) noexcept {
    return a && b && CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

HRESULT ConvertArgument(ArgType type, VARIANT& source, DispatchArgs& args, int position) {
    if (IsMissing(source) || (Unwrapped(source) && IsMissing(*Unwrapped(source)))) return DISP_E_PARAMNOTFOUND;
    auto& slot = args.slots_[position];
    switch (type) {
        case ArgType::Long:
            if (Coerce(slot.coerced, source, VT_I4) != S_OK) return DISP_E_TYPEMISMATCH;
            slot.number = V_I4(&slot.coerced.get());
            return S_OK;
        case ArgType::Bool:
            if (Coerce(slot.coerced, source, VT_BOOL) != S_OK) return DISP_E_TYPEMISMATCH;
            slot.number = V_BOOL(&slot.coerced.get()) != VARIANT_FALSE ? 1 : 0;
            return S_OK;
        case ArgType::Text: {
            if (Coerce(slot.coerced, source, VT_BSTR) != S_OK) return DISP_E_TYPEMISMATCH;
            const BSTR text = V_BSTR(&slot.coerced.get());
            slot.text.assign(text ? text : L"", text ? SysStringLen(text) : 0);
            slot.ansi = BstrToAnsi(text);
            return S_OK;
        }
        case ArgType::Currency:
            if (Coerce(slot.coerced, source, VT_CY) != S_OK) return DISP_E_TYPEMISMATCH;
            slot.currency = V_CY(&slot.coerced.get());
            return S_OK;
        case ArgType::LongRef:
            slot.longRef = static_cast<long*>(Reference(source, VT_I4));
            return slot.longRef ? S_OK : DISP_E_TYPEMISMATCH;
        case ArgType::TextRef:
            slot.textRef = static_cast<BSTR*>(Reference(source, VT_BSTR));
            return slot.textRef ? S_OK : DISP_E_TYPEMISMATCH;
        case ArgType::Dispatch: {
            VARIANT* value = Unwrapped(source);
            if (!value) return DISP_E_TYPEMISMATCH;
            if (IsNullObject(*value)) {
                slot.dispatch = nullptr;
                return S_OK;
            }
            // VT_DISPATCH, VT_UNKNOWN and their by-reference forms; the coerced copy holds a
            // reference only for the length of the call, like the caller's own variable.
            if (Coerce(slot.coerced, source, VT_DISPATCH) != S_OK) return DISP_E_TYPEMISMATCH;
            slot.dispatch = V_DISPATCH(&slot.coerced.get());
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT PrepareArguments(const MemberShape& member, DISPPARAMS* params, DispatchArgs& args, UINT* argError) {
    DISPPARAMS none{};
    if (!params) params = &none;
    // A property write carries its value as the one argument named DISPID_PROPERTYPUT.
    if (member.kind == MemberKind::PropertyPut) {
        if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_PARAMNOTOPTIONAL;
        }
    } else if (params->cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }
    const UINT argCount = params->cArgs;
    if (argCount != static_cast<UINT>(member.argCount)) return DISP_E_BADPARAMCOUNT;
    if (argCount > 0 && !params->rgvarg) return E_INVALIDARG;
    for (int position = 0; position < member.argCount; ++position) {
        // rgvarg holds the arguments last first.
        const UINT index = argCount - 1 - static_cast<UINT>(position);
        const HRESULT hr = ConvertArgument(member.args[position], params->rgvarg[index], args, position);
        if (hr != S_OK) {
            if (argError) *argError = index;
            return hr;
        }
    }
    return S_OK;
}

HRESULT StoreResult(ResultType type, const DispatchResult& value, VARIANT* result) noexcept {
    if (!result) return S_OK;
    switch (type) {
        case ResultType::None:
            return S_OK;
        case ResultType::Long:
            V_VT(result) = VT_I4;
            V_I4(result) = value.number;
            return S_OK;
        case ResultType::Bool:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = value.number ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case ResultType::Currency:
            V_VT(result) = VT_CY;
            V_CY(result) = value.currency;
            return S_OK;
        case ResultType::Text: {
            BSTR text = SysAllocStringLen(value.text.data(), static_cast<UINT>(value.text.size()));
            if (!text) return E_OUTOFMEMORY;
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = text;
            return S_OK;
        }
    }
    return E_UNEXPECTED;
}

HRESULT MapCurrentException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace ka::com
