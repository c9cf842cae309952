#pragma once
// A control object that only counts the events it receives and keeps the last one: where many
// thousands arrive, recording each would itself grow memory or cost time.

#include <windows.h>
#include <oaidl.h>

#include <cwchar>

#include "common/unique_handle.h"

namespace ka::test {

class CountingControlObject final : public IDispatch {
public:
    enum Dispid : DISPID { kSOData = 1, kSODirectIO, kSOError, kSOStatusUpdate };

    CountingControlObject() : arrived_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
        QueryPerformanceFrequency(&frequency_);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        return S_OK;
    }
    // Lives on its owner's stack; the service object holds it without a reference anyway.
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        static const wchar_t* const kNames[] = {L"SOData", L"SODirectIO", L"SOError", L"SOStatusUpdate"};
        if (count != 1 || !names || !ids) return E_INVALIDARG;
        for (DISPID i = 0; i < 4; ++i) {
            if (_wcsicmp(names[0], kNames[i]) == 0) {
                ids[0] = i + 1;
                return S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (id == kSODirectIO) {
            InterlockedIncrement(&lines_);
            return S_OK;
        }
        lastTicks_ = now.QuadPart;
        lastEvent_ = id;
        lastValue_ = (params && params->cArgs >= 1 && params->rgvarg[params->cArgs - 1].vt == VT_I4)
                         ? params->rgvarg[params->cArgs - 1].lVal
                         : -1;
        InterlockedIncrement(&events_);
        SetEvent(arrived_.get());
        return S_OK;
    }

    // Waits for the next SOData or SOError.
    bool WaitForEvent(DWORD timeoutMs) const { return WaitForSingleObject(arrived_.get(), timeoutMs) == WAIT_OBJECT_0; }
    DISPID LastEvent() const { return lastEvent_; }
    // The weight of SOData, or the result code of SOError.
    long LastValue() const { return lastValue_; }
    // When the last event arrived, in milliseconds of the performance counter.
    double LastEventMs() const { return static_cast<double>(lastTicks_) * 1000.0 / static_cast<double>(frequency_.QuadPart); }
    long ForwardedLines() const { return lines_; }

private:
    ka::UniqueHandle arrived_;
    LARGE_INTEGER frequency_{};
    volatile LONG events_ = 0;
    volatile LONG lines_ = 0;
    volatile LONGLONG lastTicks_ = 0;
    volatile DISPID lastEvent_ = 0;
    volatile long lastValue_ = 0;
};

}  // namespace ka::test
