#pragma once
// Outgoing IDispatch calls by dispatch identifier, with the arguments in their declared order:
// the event thread's calls into the control object, the administrator's and scalectl's calls
// into the control object, the stand-in's calls into the service object, and the tests'.

#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <initializer_list>

namespace ka::com {

// Argument makers; each VARIANT borrows what it refers to and needs no clearing.
VARIANT LongArg(long value) noexcept;
VARIANT ShortArg(short value) noexcept;
VARIANT BoolArg(bool value) noexcept;
VARIANT TextArg(BSTR text) noexcept;
VARIANT LongRefArg(long* value) noexcept;
VARIANT TextRefArg(BSTR* text) noexcept;
VARIANT DispatchArg(IDispatch* object) noexcept;
VARIANT CurrencyArg(LONGLONG scaledBy10000) noexcept;

constexpr std::size_t kMaxCallArgs = 16;

// Invokes `id` on `target` with `flags` (DISPATCH_METHOD, DISPATCH_PROPERTYGET or
// DISPATCH_PROPERTYPUT; a put passes its one argument as the property value). `args` are in
// declared order; `result` and `argError` may be null.
HRESULT InvokeByDispid(IDispatch* target, DISPID id, WORD flags, const VARIANT* args, std::size_t count,
                       VARIANT* result, UINT* argError = nullptr) noexcept;
inline HRESULT InvokeByDispid(IDispatch* target, DISPID id, WORD flags, std::initializer_list<VARIANT> args,
                              VARIANT* result) noexcept {
    return InvokeByDispid(target, id, flags, args.begin(), args.size(), result);
}

// Looks up one member name.
HRESULT LookupDispid(IDispatch* target, const wchar_t* name, DISPID* id, LCID lcid = LOCALE_USER_DEFAULT) noexcept;

// A call's result as a long or a boolean, whatever type the callee answered in.
HRESULT ResultAsLong(const VARIANT& result, long* value) noexcept;
HRESULT ResultAsBool(const VARIANT& result, bool* value) noexcept;

}  // namespace ka::com
