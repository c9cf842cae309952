#pragma once
// IUnknown for an object that offers one interface besides IUnknown and goes at its last Release.

#include <windows.h>
#include <unknwn.h>

namespace ka::com {

template <typename Base, const IID& kIid>
class SingleInterfaceObject : public Base {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kIid)) return E_NOINTERFACE;
        *object = static_cast<Base*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    SingleInterfaceObject() noexcept = default;
    virtual ~SingleInterfaceObject() = default;

private:
    LONG refs_ = 1;
};

}  // namespace ka::com
