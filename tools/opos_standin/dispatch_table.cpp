#include "tools/opos_standin/dispatch_table.h"

#include <new>

#include "common/unique_handle.h"

namespace standin {

namespace {

bool KindAccepts(MemberKind kind, WORD flags) noexcept {
    // Automation clients call methods and property reads alike with METHOD | PROPERTYGET.
    switch (kind) {
        case MemberKind::Method:
        case MemberKind::PropertyGet:
            return (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
        case MemberKind::PropertyPut:
            return (flags & DISPATCH_PROPERTYPUT) != 0;
    }
    return false;
}

const Member* FindMember(const Member* table, size_t size, DISPID id, WORD flags) noexcept {
    for (size_t i = 0; i < size; ++i) {
        if (table[i].id == id && KindAccepts(table[i].kind, flags)) return &table[i];
    }
    return nullptr;
}

HRESULT CheckNamedArgs(const Member& member, const DISPPARAMS& params) noexcept {
    if (member.kind == MemberKind::PropertyPut) {
        if (params.cNamedArgs != 1 || !params.rgdispidNamedArgs ||
            params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_PARAMNOTOPTIONAL;
        }
        return S_OK;
    }
    return params.cNamedArgs == 0 ? S_OK : DISP_E_NONAMEDARGS;
}

// Converts one VARIANT to the declared type; by-value conversions land in `holder`, which keeps
// a coerced string alive while the handler runs.
HRESULT ConvertArg(ArgType type, VARIANT& source, ka::UniqueVariant& holder, Arg& arg) noexcept {
    switch (type) {
        case ArgType::Long: {
            HRESULT hr = VariantChangeType(holder.put(), &source, 0, VT_I4);
            if (FAILED(hr)) return hr;
            arg.number = V_I4(holder.get());
            return S_OK;
        }
        case ArgType::Bool: {
            HRESULT hr = VariantChangeType(holder.put(), &source, 0, VT_BOOL);
            if (FAILED(hr)) return hr;
            arg.number = V_BOOL(holder.get()) != VARIANT_FALSE ? 1 : 0;
            return S_OK;
        }
        case ArgType::Text: {
            HRESULT hr = VariantChangeType(holder.put(), &source, 0, VT_BSTR);
            if (FAILED(hr)) return hr;
            if (V_BSTR(holder.get())) arg.text = V_BSTR(holder.get());
            return S_OK;
        }
        case ArgType::LongRef:
            // The caller's storage is written through, so nothing but a real long by reference will do.
            if (V_VT(&source) != (VT_I4 | VT_BYREF) || !V_I4REF(&source)) return DISP_E_TYPEMISMATCH;
            arg.numberRef = V_I4REF(&source);
            return S_OK;
        case ArgType::TextRef:
            if (V_VT(&source) != (VT_BSTR | VT_BYREF) || !V_BSTRREF(&source)) return DISP_E_TYPEMISMATCH;
            arg.textRef = V_BSTRREF(&source);
            return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT StoreResult(const Value& value, VARIANT* result) noexcept {
    if (!result) return S_OK;
    VariantInit(result);
    switch (value.type) {
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
        case ResultType::Text: {
            BSTR text = SysAllocStringLen(value.text.data(), static_cast<UINT>(value.text.size()));
            if (!text) return E_OUTOFMEMORY;
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = text;
            return S_OK;
        }
    }
    return S_OK;
}

}  // namespace

HRESULT LookupNames(const Member* table, size_t size, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (!names[0]) return DISP_E_UNKNOWNNAME;
    for (size_t i = 0; i < size; ++i) {
        if (_wcsicmp(table[i].name, names[0]) == 0) {
            ids[0] = table[i].id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT InvokeMember(const Member* table, size_t size, ScaleControl& control, DISPID id, WORD flags,
                     DISPPARAMS* params, VARIANT* result, UINT* argError) noexcept {
    const Member* member = FindMember(table, size, id, flags);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{};
    if (!params) params = &none;
    HRESULT hr = CheckNamedArgs(*member, *params);
    if (FAILED(hr)) return hr;
    if (params->cArgs != member->paramCount || (params->cArgs && !params->rgvarg)) return DISP_E_BADPARAMCOUNT;

    std::array<ka::UniqueVariant, kMaxParams> holders;
    std::array<Arg, kMaxParams> args{};
    for (unsigned i = 0; i < member->paramCount; ++i) {
        // rgvarg holds the arguments last first.
        UINT position = member->paramCount - 1 - i;
        hr = ConvertArg(member->params[i], params->rgvarg[position], holders[i], args[i]);
        if (FAILED(hr)) {
            if (argError) *argError = position;
            return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
        }
    }
    try {
        return StoreResult(member->handler(control, args.data()), result);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace standin
