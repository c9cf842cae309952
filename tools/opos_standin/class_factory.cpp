#include "tools/opos_standin/class_factory.h"

#include "tools/opos_standin/module_count.h"

namespace standin {

ClassFactory::ClassFactory(CreatorFn create) noexcept : create_(create) { ModuleAddRef(); }
ClassFactory::~ClassFactory() { ModuleRelease(); }

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(riid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) noexcept {
    if (lock) {
        ModuleAddRef();
    } else {
        ModuleRelease();
    }
    return S_OK;
}

}  // namespace standin
