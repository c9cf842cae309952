#pragma once
// The library's creatable classes and the one generic class factory that serves them.

#include <windows.h>
#include <unknwn.h>

namespace pendrax {

// Allocates and constructs one object and hands out the requested interface of it.
using CreateFunction = HRESULT (*)(REFIID riid, void** ppv);

struct ClassEntry {
    const CLSID* clsid;
    CreateFunction create;
    const char* progId;
};

// Marked by the application object's start-up; cleared at shutdown.
void SetClassesAvailable(bool available) noexcept;

// The bodies of the DllGetClassObject and DllCanUnloadNow exports.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;
HRESULT CanUnloadNow() noexcept;

}  // namespace pendrax
