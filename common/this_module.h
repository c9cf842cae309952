#pragma once
// The module (a DLL, or the program) that holds the calling code, found from an address in it:
// every module that links this has a copy of its own.

#include <windows.h>

namespace ka {

inline HMODULE ModuleOfThisCode() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleOfThisCode), &module);
    return module;
}

}  // namespace ka
