// The DLL's entry point and its COM exports. Everything they call lives in pendrax_core.

#include <windows.h>
#include <objbase.h>

#include "service/application.h"
#include "service/class_factory.h"
#include "service/module.h"
#include "service/registration.h"

// The library keeps no per-thread state of its own: each instance owns its log-category slot.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) noexcept {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            pendrax::SetModuleHandle(instance);
            if (!pendrax::ApplicationStartUp()) {
                pendrax::ApplicationShutDown();
                return FALSE;
            }
            return TRUE;
        case DLL_PROCESS_DETACH:
            pendrax::ApplicationShutDown();
            return TRUE;
        default:
            return TRUE;
    }
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) { return pendrax::GetClassObject(rclsid, riid, ppv); }

STDAPI DllCanUnloadNow() { return pendrax::CanUnloadNow(); }

STDAPI DllRegisterServer() { return pendrax::RegisterServer(); }

STDAPI DllUnregisterServer() { return pendrax::UnregisterServer(); }
