#pragma once
// The one table-driven IDispatch: a class describes its members as data (name, DISPID, kind,
// argument and result types, handler) and its GetIDsOfNames and Invoke hand the table here.
// Member handlers receive converted arguments and never unpack a VARIANT themselves.

#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <new>
#include <string>

#include "common/com/owners.h"

namespace ka::com {

enum class ArgType : unsigned char {
    Long,       // VT_I4, coerced
    Bool,       // VT_BOOL, coerced
    Text,       // VT_BSTR, coerced; also offered in the ANSI code page
    LongRef,    // VT_I4 | VT_BYREF: the caller's variable
    TextRef,    // VT_BSTR | VT_BYREF: the caller's variable
    Dispatch,   // VT_DISPATCH, possibly null
    Currency,   // VT_CY, coerced
};

enum class ResultType : unsigned char { None, Long, Bool, Text, Currency };

// Automation clients call methods and property reads alike with METHOD | PROPERTYGET; a method
// asked for as a property only is no member.
enum class MemberKind : unsigned char { Method, PropertyGet, PropertyPut };

constexpr int kMaxDispatchArgs = 4;

// Arguments of one call, by declared position, in the types the table declares.
class DispatchArgs {
public:
    long Long(int position) const noexcept { return slots_[position].number; }
    bool Bool(int position) const noexcept { return slots_[position].number != 0; }
    const wchar_t* Text(int position) const noexcept { return slots_[position].text.c_str(); }
    const char* AnsiText(int position) const noexcept { return slots_[position].ansi.c_str(); }
    long* LongRef(int position) const noexcept { return slots_[position].longRef; }
    BSTR* TextRef(int position) const noexcept { return slots_[position].textRef; }
    IDispatch* Dispatch(int position) const noexcept { return slots_[position].dispatch; }
    CY Currency(int position) const noexcept { return slots_[position].currency; }

private:
    friend HRESULT ConvertArgument(ArgType type, VARIANT& source, DispatchArgs& args, int position);
    struct Slot {
        long number = 0;
        std::wstring text;
        std::string ansi;
        long* longRef = nullptr;
        BSTR* textRef = nullptr;
        IDispatch* dispatch = nullptr;
        CY currency{};
        UniqueVariant coerced;  // keeps a coerced object alive for the call
    };
    Slot slots_[kMaxDispatchArgs];
};

// A member's result; the table's result type says which field counts.
struct DispatchResult {
    long number = 0;  // Long, and Bool as 0 or 1
    std::wstring text;
    CY currency{};
};

template <typename Object>
struct DispatchMember {
    const wchar_t* name;
    DISPID dispid;
    MemberKind kind;
    int argCount;
    ArgType args[kMaxDispatchArgs];
    ResultType result;
    void (*handler)(Object& object, const DispatchArgs& args, DispatchResult& result);
};

template <typename Object>
struct MemberTable {
    const DispatchMember<Object>* members;
    std::size_t count;
};

// The parts of a member the generic call needs, whatever object it belongs to.
struct MemberShape {
    MemberKind kind;
    int argCount;
    const ArgType* args;
    ResultType result;
};

bool KindAccepts(MemberKind kind, WORD flags) noexcept;
bool SameName(const wchar_t* a, const wchar_t* b) noexcept;
// Converts one argument from its VARIANT into `args` at its declared position. DISP_E_* on failure.
HRESULT ConvertArgument(ArgType type, VARIANT& source, DispatchArgs& args, int position);
// Checks the argument list against the member and converts every argument.
HRESULT PrepareArguments(const MemberShape& member, DISPPARAMS* params, DispatchArgs& args, UINT* argError);
HRESULT StoreResult(ResultType type, const DispatchResult& value, VARIANT* result) noexcept;
// The HRESULT for an exception caught at the boundary.
HRESULT MapCurrentException() noexcept;
// Names resolve ignoring case; further names would be parameter names, which no member publishes.
template <typename Object>
HRESULT GetMemberIds(MemberTable<Object> table, REFIID riid, LPOLESTR* names, UINT count, DISPID* dispids) noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (!names || !dispids) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) dispids[i] = DISPID_UNKNOWN;
    for (std::size_t i = 0; i < table.count; ++i) {
        if (SameName(table.members[i].name, names[0])) {
            dispids[0] = table.members[i].dispid;
            break;
        }
    }
    return dispids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

template <typename Object>
HRESULT InvokeMember(MemberTable<Object> table, Object& object, DISPID dispid, REFIID riid, WORD flags,
                     DISPPARAMS* params, VARIANT* result, UINT* argError) noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    const DispatchMember<Object>* member = nullptr;
    for (std::size_t i = 0; i < table.count && !member; ++i) {
        if (table.members[i].dispid == dispid && KindAccepts(table.members[i].kind, flags)) member = &table.members[i];
    }
    if (!member) return DISP_E_MEMBERNOTFOUND;
    try {
        DispatchArgs args;
        const HRESULT prepared =
            PrepareArguments({member->kind, member->argCount, member->args, member->result}, params, args, argError);
        if (prepared != S_OK) return prepared;
        if (result) VariantInit(result);
        DispatchResult value;
        member->handler(object, args, value);
        return StoreResult(member->result, value, result);
    } catch (...) {
        return MapCurrentException();
    }
}

// IDispatch over a member table, for an object without a type library. Derived gives its table
// through `static MemberTable<Derived> Members() noexcept` and implements IUnknown itself.
template <typename Derived>
class TableDispatch : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_INVALIDARG;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* dispids) noexcept override {
        return GetMemberIds(Derived::Members(), riid, names, count, dispids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argError) noexcept override {
        // Keeps the object alive should a member drop the caller's last reference.
        AddRef();
        const HRESULT hr =
            InvokeMember(Derived::Members(), static_cast<Derived&>(*this), dispid, riid, flags, params, result, argError);
        Release();
        return hr;
    }
};

}  // namespace ka::com
