#pragma once
// One generic class factory for the classes the stand-in DLL serves.

#include <windows.h>
#include <unknwn.h>

#include "common/com/unknown.h"

namespace standin {

using CreatorFn = HRESULT (*)(REFIID riid, void** object) noexcept;

class ClassFactory final : public ka::com::SingleInterfaceObject<IClassFactory, IID_IClassFactory> {
public:
    explicit ClassFactory(CreatorFn create) noexcept;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

private:
    ~ClassFactory() override;
    CreatorFn create_;
};

}  // namespace standin
