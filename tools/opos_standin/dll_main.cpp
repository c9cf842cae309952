// Entry points of OposScaleStandIn.dll, the OPOS Scale control object stand-in for our own Wine
// prefixes. A POS terminal has the real control object instead; never install this there.

#include <windows.h>

#include <new>
#include <vector>

#include "tools/opos_standin/class_factory.h"
#include "tools/opos_standin/control_ids.h"
#include "tools/opos_standin/event_delivery.h"
#include "tools/opos_standin/module_count.h"
#include "tools/opos_standin/registration.h"
#include "tools/opos_standin/scale_control.h"

namespace {

HMODULE g_module = nullptr;

struct ServedClass {
    const CLSID* clsid;
    standin::CreatorFn create;
};

// One control under two identities: its own, and the real control's where it holds that one.
constexpr ServedClass kClasses[] = {
    {&standin::kStandInClsid, &standin::ScaleControl::Create},
    {&standin::kControlClsid, &standin::ScaleControl::Create},
};

std::wstring ModulePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return L"";
        if (length < path.size()) return std::wstring(path.data(), length);
        path.resize(path.size() * 2);
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    // Unloaded while the process goes on: it may load the library again.
    if (reason == DLL_PROCESS_DETACH && !reserved) standin::UnregisterEventWindowClass();
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (const auto& served : kClasses) {
        if (!IsEqualCLSID(clsid, *served.clsid)) continue;
        auto* factory = new (std::nothrow) standin::ClassFactory(served.create);
        if (!factory) return E_OUTOFMEMORY;
        HRESULT hr = factory->QueryInterface(riid, object);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() noexcept { return standin::ModuleInUse() ? S_FALSE : S_OK; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() noexcept {
    try {
        std::wstring path = ModulePath();
        if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
        return standin::RegisterStandIn(path);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() noexcept { return standin::UnregisterStandIn(); }
