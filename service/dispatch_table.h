#pragma once
// The dispatch interface as data: every method's name, DISPID, parameter and result types and
// the handler that calls the member function with arguments already converted.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/unique_handle.h"

namespace pendrax {

class CScaleTRM07;

enum class ArgType : unsigned char {
    Long,       // VT_I4, coerced
    String,     // VT_BSTR, coerced, handed over in the ANSI code page
    LongRef,    // VT_I4 | VT_BYREF: the caller's variable
    StringRef,  // VT_BSTR | VT_BYREF: the caller's variable
    Dispatch,   // VT_DISPATCH, possibly null
    Currency,   // VT_CY, coerced
};

enum class ResultType : unsigned char { None, Long, String, Currency };

constexpr int kMaxDispatchArgs = 3;

// Arguments of one call, by declared position, in the types the table declares.
class DispatchArgs {
public:
    long Long(int position) const noexcept { return slots_[position].number; }
    const char* Text(int position) const noexcept { return slots_[position].text.c_str(); }
    long* LongRef(int position) const noexcept { return slots_[position].longRef; }
    BSTR* StringRef(int position) const noexcept { return slots_[position].stringRef; }
    IDispatch* Dispatch(int position) const noexcept { return slots_[position].dispatch; }
    CY Currency(int position) const noexcept { return slots_[position].currency; }

private:
    friend HRESULT ConvertArgument(ArgType type, VARIANT& source, DispatchArgs& args, int position);
    struct Slot {
        long number = 0;
        std::string text;
        long* longRef = nullptr;
        BSTR* stringRef = nullptr;
        IDispatch* dispatch = nullptr;
        CY currency{};
        ka::UniqueVariant coerced;  // keeps a coerced value alive for the call
    };
    Slot slots_[kMaxDispatchArgs];
};

struct DispatchResult {
    long number = 0;
    std::string text;
    CY currency{};
};

using DispatchHandler = void (*)(CScaleTRM07& scale, const DispatchArgs& args, DispatchResult& result);

struct DispatchEntry {
    const wchar_t* name;
    DISPID dispid;
    int argCount;
    ArgType args[kMaxDispatchArgs];
    ResultType result;
    DispatchHandler handler;
};

// Null when the table has no such member.
const DispatchEntry* FindDispatchEntry(DISPID dispid) noexcept;
const DispatchEntry* FindDispatchEntry(const wchar_t* name) noexcept;

// Converts one argument from its VARIANT into args at its declared position. DISP_E_* on failure.
HRESULT ConvertArgument(ArgType type, VARIANT& source, DispatchArgs& args, int position);

// The generic body of IDispatch::Invoke for one table entry.
HRESULT InvokeDispatchEntry(CScaleTRM07& scale, const DispatchEntry& entry, WORD flags, DISPPARAMS* params,
                            VARIANT* result, UINT* argError);

}  // namespace pendrax
