#include "tools/opos_standin/event_delivery.h"

#include <mutex>

#include "common/this_module.h"
#include "tools/opos_standin/module_count.h"

namespace standin {

namespace {

using Hold = std::lock_guard<ka::CriticalSection>;

constexpr UINT kDeliverMessage = WM_APP + 0x51;
constexpr DWORD kFrozenRetryMs = 100;
// A request that was let go returns at once; this only bounds a control going away.
constexpr DWORD kDrainLimitMs = 10000;
constexpr wchar_t kWindowClass[] = L"KolvaneArisScaleStandInEvents";

}  // namespace

void UnregisterEventWindowClass() noexcept { UnregisterClassW(kWindowClass, ka::ModuleOfThisCode()); }

EventDelivery::EventDelivery(IUnknown* keepAlive, Deliver deliver, void* context) noexcept
    : keepAlive_(keepAlive),
      deliver_(deliver),
      context_(context),
      ownerThread_(GetCurrentThreadId()),
      letGo_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      handled_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      drained_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {
    static const ATOM windowClass = [] {
        WNDCLASSW description{};
        description.lpfnWndProc = &EventDelivery::Procedure;
        description.hInstance = ka::ModuleOfThisCode();
        description.lpszClassName = kWindowClass;
        return RegisterClassW(&description);
    }();
    if (!windowClass) return;
    window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ka::ModuleOfThisCode(), nullptr);
    if (!window_) return;
    // The window's procedure is code of this library: it stays loaded while the window lives.
    ModuleAddRef();
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

EventDelivery::~EventDelivery() {
    LetGo();
    WaitForSingleObject(drained_.get(), kDrainLimitMs);
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    // A window can only be destroyed on its own thread; elsewhere it goes when that thread next
    // serves its messages.
    if (GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(window_);
    } else {
        PostMessageW(window_, WM_CLOSE, 0, 0);
    }
}

bool EventDelivery::Ready() const noexcept { return window_ && letGo_ && handled_ && drained_; }

void EventDelivery::Allow() noexcept {
    legal_ = true;
    ResetEvent(letGo_.get());
}

void EventDelivery::LetGo() noexcept {
    legal_ = false;
    SetEvent(letGo_.get());
}

void EventDelivery::Request(EventRequest& request) noexcept {
    if (!legal_) return;
    if (posted_ && GetCurrentThreadId() != ownerThread_) {
        RequestFromOtherThread(request);
        return;
    }
    deliver_(context_, request);
}

void EventDelivery::EnterRequest() noexcept {
    Hold hold(slotLock_);
    if (requestsInside_++ == 0) ResetEvent(drained_.get());
}

void EventDelivery::LeaveRequest() noexcept {
    Hold hold(slotLock_);
    if (--requestsInside_ == 0) SetEvent(drained_.get());
}

bool EventDelivery::AwaitUnfrozen() noexcept {
    while (frozen_) {
        if (WaitForSingleObject(letGo_.get(), kFrozenRetryMs) == WAIT_OBJECT_0) return false;
    }
    return legal_;
}

void EventDelivery::RequestFromOtherThread(EventRequest& request) noexcept {
    EnterRequest();
    {
        Hold oneAtATime(oneAtATime_);
        if (AwaitUnfrozen()) {
            unsigned long sequence = 0;
            {
                Hold hold(slotLock_);
                sequence = ++lastSequence_;
                pending_ = &request;
                pendingSequence_ = sequence;
                ResetEvent(handled_.get());
            }
            if (PostMessageW(window_, kDeliverMessage, static_cast<WPARAM>(sequence), 0)) {
                const HANDLE ends[] = {handled_.get(), letGo_.get()};
                WaitForMultipleObjects(2, ends, FALSE, INFINITE);
            }
            Hold hold(slotLock_);
            pending_ = nullptr;
        }
    }
    LeaveRequest();
}

void EventDelivery::DeliverPosted(unsigned long sequence) noexcept {
    EventRequest copy;
    try {
        Hold hold(slotLock_);
        // Let go meanwhile: the requester has returned and its request is gone.
        if (!pending_ || pendingSequence_ != sequence) return;
        copy = *pending_;
    } catch (...) {
        return;  // out of memory copying the text: the request is let go unanswered
    }
    deliver_(context_, copy);
    Hold hold(slotLock_);
    if (!pending_ || pendingSequence_ != sequence) return;
    pending_->byReference = copy.byReference;
    SetEvent(handled_.get());
}

LRESULT CALLBACK EventDelivery::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == kDeliverMessage) {
        auto* self = reinterpret_cast<EventDelivery*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!self) return 0;
        // The handler may let go of the control's last reference.
        IUnknown* keepAlive = self->keepAlive_;
        keepAlive->AddRef();
        self->DeliverPosted(static_cast<unsigned long>(wParam));
        keepAlive->Release();
        return 0;
    }
    if (message == WM_NCDESTROY) ModuleRelease();
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace standin
