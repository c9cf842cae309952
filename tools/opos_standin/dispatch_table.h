#pragma once
// The stand-in's dispatch table and the generic GetIDsOfNames/Invoke over it: member bodies
// receive converted arguments and never unpack a VARIANT themselves.

#include <windows.h>
#include <oaidl.h>

#include <array>
#include <string>

namespace standin {

class ScaleControl;

enum class ArgType { Long, Bool, Text, LongRef, TextRef };
enum class ResultType { None, Long, Bool, Text };
enum class MemberKind { Method, PropertyGet, PropertyPut };

// One converted argument; only the field of its ArgType is meaningful. Pointers borrow from the caller.
struct Arg {
    long number = 0;  // Long, and Bool as 0 or 1
    const wchar_t* text = L"";
    long* numberRef = nullptr;
    BSTR* textRef = nullptr;
};

// A member's result, converted to a VARIANT by the generic Invoke.
struct Value {
    ResultType type = ResultType::None;
    long number = 0;
    std::wstring text;

    static Value None() { return {}; }
    static Value Long(long n) { return {ResultType::Long, n, {}}; }
    static Value Bool(bool b) { return {ResultType::Bool, b ? 1L : 0L, {}}; }
    static Value Text(std::wstring t) { return {ResultType::Text, 0, std::move(t)}; }
};

constexpr unsigned kMaxParams = 4;

struct Member {
    const wchar_t* name;
    DISPID id;
    MemberKind kind;
    unsigned paramCount;
    std::array<ArgType, kMaxParams> params;
    Value (*handler)(ScaleControl& control, const Arg* args);
};

// Case-insensitive lookup of one name; parameter names are not supported.
HRESULT LookupNames(const Member* table, size_t size, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// Finds the member for `id` and `flags`, converts the arguments, runs the handler, returns its result.
HRESULT InvokeMember(const Member* table, size_t size, ScaleControl& control, DISPID id, WORD flags,
                     DISPPARAMS* params, VARIANT* result, UINT* argError) noexcept;

}  // namespace standin
