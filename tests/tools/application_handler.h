#pragma once
// The application's event handler as the control stand-in calls it: DataEvent and ErrorEvent by
// their dispatch identifiers, on the thread the delivery model gives. A test or a benchmark says
// what the handler does inside each event; every event is recorded first.

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <mutex>
#include <vector>

#include "common/unique_handle.h"
#include "tools/opos_standin/control_ids.h"

namespace ka::test {

// Lives on the test's stack and outlives the control it is given to: never deleted by COM.
class ApplicationHandler final : public IDispatch {
public:
    struct Event {
        DISPID kind;  // standin::kDispidDataEvent or kDispidErrorEvent
        long value;   // the weight, or the result code
        DWORD thread;
        size_t index;  // 0 for the first event the handler saw
    };

    // Runs inside every data or error event, after it was recorded.
    void OnEvent(std::function<void(const Event&)> action) { action_ = std::move(action); }

    // Signalled once the control has let go of the handler again: the control is gone.
    HANDLE Dropped() const noexcept { return dropped_.get(); }

    std::vector<Event> Events() const {
        std::lock_guard<ka::CriticalSection> hold(lock_);
        return events_;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        if (InterlockedIncrement(&refs_) == 2) ResetEvent(dropped_.get());
        return static_cast<ULONG>(refs_);
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 1) SetEvent(dropped_.get());
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return DISP_E_BADINDEX; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return DISP_E_UNKNOWNNAME;
    }
    // Arguments arrive last first: the weight or the result code is the first one declared.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        if (dispid != standin::kDispidDataEvent && dispid != standin::kDispidErrorEvent) return S_OK;
        if (!params || params->cArgs == 0 || V_VT(&params->rgvarg[params->cArgs - 1]) != VT_I4) return DISP_E_TYPEMISMATCH;
        Event event{dispid, V_I4(&params->rgvarg[params->cArgs - 1]), GetCurrentThreadId(), 0};
        {
            std::lock_guard<ka::CriticalSection> hold(lock_);
            event.index = events_.size();
            events_.push_back(event);
        }
        if (action_) action_(event);
        return S_OK;
    }

private:
    mutable ka::CriticalSection lock_;
    std::vector<Event> events_;
    std::function<void(const Event&)> action_;
    LONG refs_ = 1;
    ka::UniqueHandle dropped_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

}  // namespace ka::test
