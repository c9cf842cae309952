#include "service/class_factory.h"

#include <array>
#include <cstring>
#include <mutex>
#include <utility>

#include "service/module.h"
#include "service/scale_trm07.h"

namespace pendrax {

namespace {

HRESULT CreateScaleTRM07(REFIID riid, void** ppv) noexcept {
    try {
        auto* scale = new CScaleTRM07();
        const HRESULT hr = scale->QueryInterface(riid, ppv);
        scale->Release();
        return hr;
    } catch (...) {
        // Construction can fail only for want of resources (memory, the log's named mutexes).
        return E_OUTOFMEMORY;
    }
}

constexpr ClassEntry kClasses[] = {
    {&CLSID_ScaleTRM07, CreateScaleTRM07, kProgId},
};
constexpr size_t kClassCount = sizeof kClasses / sizeof kClasses[0];

bool g_available = false;

// One static factory per class; it lives as long as the library and is never deleted.
class ClassFactory final : public IClassFactory {
public:
    explicit constexpr ClassFactory(const ClassEntry& entry) noexcept : entry_(&entry) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        std::lock_guard<ka::CriticalSection> hold(GlobalLock());
        return static_cast<ULONG>(++refCount_);
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        std::lock_guard<ka::CriticalSection> hold(GlobalLock());
        if (refCount_ > 1) --refCount_;
        return static_cast<ULONG>(refCount_);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return entry_->create(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        ClientLockServer(lock != FALSE);
        return S_OK;
    }

    const ClassEntry& Entry() const noexcept { return *entry_; }
    // Above 1 while a client still holds the factory.
    long RefCount() const noexcept { return refCount_; }

private:
    const ClassEntry* entry_;
    long refCount_ = 1;
};

template <size_t... Index>
std::array<ClassFactory, sizeof...(Index)> MakeFactories(std::index_sequence<Index...>) noexcept {
    return {{ClassFactory(kClasses[Index])...}};
}

std::array<ClassFactory, kClassCount> g_factories = MakeFactories(std::make_index_sequence<kClassCount>());

}  // namespace

void SetClassesAvailable(bool available) noexcept {
    std::lock_guard<ka::CriticalSection> hold(GlobalLock());
    g_available = available;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    {
        std::lock_guard<ka::CriticalSection> hold(GlobalLock());
        if (!g_available) return CLASS_E_CLASSNOTAVAILABLE;
    }
    for (auto& factory : g_factories) {
        if (std::memcmp(&clsid, factory.Entry().clsid, sizeof(CLSID)) == 0) return factory.QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() noexcept {
    if (ServerLockCount() > 0) return S_FALSE;
    std::lock_guard<ka::CriticalSection> hold(GlobalLock());
    for (const auto& factory : g_factories) {
        if (factory.RefCount() > 1) return S_FALSE;
    }
    return S_OK;
}

}  // namespace pendrax
