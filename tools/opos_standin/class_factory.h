#pragma once
// One generic class factory for the classes the stand-in DLL serves.

#include <windows.h>
#include <unknwn.h>

namespace standin {

using CreatorFn = HRESULT (*)(REFIID riid, void** object) noexcept;

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreatorFn create) noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

private:
    ~ClassFactory();
    LONG refs_ = 1;
    CreatorFn create_;
};

}  // namespace standin
