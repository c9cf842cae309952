#pragma once
// Outgoing IDispatch calls by dispatch identifier, with the arguments in their natural order.
// Used by the stand-in to drive the service object and by scalectl to drive the control object.

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>

#include "common/unique_handle.h"

namespace standin {

// Argument makers; each VARIANT borrows what it refers to and needs no clearing.
VARIANT LongArg(long value) noexcept;
VARIANT BoolArg(bool value) noexcept;
VARIANT TextArg(BSTR text) noexcept;
VARIANT LongRefArg(long* value) noexcept;
VARIANT DispatchArg(IDispatch* object) noexcept;

constexpr size_t kMaxCallArgs = 8;

// Invokes `id` on `target` with `flags` (DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT;
// a put passes its one argument as the property value). `result` may be null.
HRESULT InvokeByDispid(IDispatch* target, DISPID id, WORD flags, std::initializer_list<VARIANT> args,
                       VARIANT* result) noexcept;

// Looks up one member name.
HRESULT LookupDispid(IDispatch* target, const wchar_t* name, DISPID* id) noexcept;

// A call result as a long; E_... when it cannot be coerced.
HRESULT ResultAsLong(const VARIANT& result, long* value) noexcept;

// Owner of a COM interface pointer, released once.
template <typename Interface>
struct ComReleaseTraits {
    using Type = Interface*;
    static Interface* Invalid() noexcept { return nullptr; }
    static void Close(Interface* object) noexcept { object->Release(); }
};
template <typename Interface>
using ComRef = ka::UniqueResource<ComReleaseTraits<Interface>>;

}  // namespace standin
