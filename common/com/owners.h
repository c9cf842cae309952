#pragma once
// Owners of COM resources on the one owner template: interface pointers, BSTRs, VARIANTs and
// the COM apartment of a thread.

#include <windows.h>
#include <oaidl.h>
#include <objbase.h>
#include <ole2.h>

#include "common/unique_handle.h"

namespace ka::com {

namespace detail {
template <typename Interface>
struct InterfaceTraits {
    using Type = Interface*;
    static Interface* Invalid() noexcept { return nullptr; }
    static bool IsValid(Interface* object) noexcept { return object != nullptr; }
    static void Close(Interface* object) noexcept { object->Release(); }
};

struct BstrTraits {
    using Type = BSTR;
    static BSTR Invalid() noexcept { return nullptr; }
    static bool IsValid(BSTR text) noexcept { return text != nullptr; }
    static void Close(BSTR text) noexcept { SysFreeString(text); }
};

// The owned value moves into Close by copy, so clearing the copy frees what it holds.
struct VariantTraits {
    using Type = VARIANT;
    static VARIANT Invalid() noexcept {
        VARIANT empty;
        VariantInit(&empty);
        return empty;
    }
    static bool IsValid(const VARIANT& value) noexcept { return value.vt != VT_EMPTY; }
    static void Close(VARIANT value) noexcept { VariantClear(&value); }
};

// The result of CoInitializeEx: any success, S_FALSE included, is balanced by CoUninitialize.
struct ApartmentTraits {
    using Type = HRESULT;
    static HRESULT Invalid() noexcept { return CO_E_NOTINITIALIZED; }
    static bool IsValid(HRESULT entered) noexcept { return SUCCEEDED(entered); }
    static void Close(HRESULT) noexcept { CoUninitialize(); }
};

// The same for OleInitialize, which a program with common dialogs enters instead.
struct OleTraits : ApartmentTraits {
    static void Close(HRESULT) noexcept { OleUninitialize(); }
};
}  // namespace detail

template <typename Interface>
using ComPtr = UniqueResource<detail::InterfaceTraits<Interface>>;
using UniqueBstr = UniqueResource<detail::BstrTraits>;
using UniqueVariant = UniqueResource<detail::VariantTraits>;
using ApartmentScope = UniqueResource<detail::ApartmentTraits>;
using OleScope = UniqueResource<detail::OleTraits>;

// Enters a single-threaded apartment for the life of the returned scope; its get() is the result.
inline ApartmentScope EnterSingleThreadedApartment() noexcept {
    return ApartmentScope(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

}  // namespace ka::com
