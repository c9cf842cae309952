#pragma once
// How the stand-in hands the service object's event requests to the application. By default as
// terminals' control objects do: a request made on another thread is posted to a hidden window
// of the thread that created the control, and does not return until the application's handler
// has run there; requests are taken one at a time; Release and Close let a waiting request go;
// while events are frozen a waiting request retries every 100 ms. Optionally the direct model:
// the handler runs at once on the requesting thread.

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <string>

#include "common/unique_handle.h"

namespace standin {

enum class EventKind { Data, DirectIO, Error, StatusUpdate };

// One event request as the application's handler receives it; the handler may change the
// by-reference parts (the error response, the direct I/O number).
struct EventRequest {
    EventKind kind = EventKind::Data;
    long numbers[3] = {};  // Data: status; DirectIO: event number; Error: result, extended, locus; StatusUpdate: data
    long byReference = 0;  // Error: the error response; DirectIO: pData
    std::wstring text;     // DirectIO: pString
};

class EventDelivery {
public:
    // Runs the application's side of one request: on the creating thread in the posted model.
    using Deliver = void (*)(void* context, EventRequest& request);

    // Creates the hidden window on the calling thread, the thread that created the control.
    // `keepAlive` is held for the length of every posted delivery.
    EventDelivery(IUnknown* keepAlive, Deliver deliver, void* context) noexcept;
    ~EventDelivery();
    EventDelivery(const EventDelivery&) = delete;
    EventDelivery& operator=(const EventDelivery&) = delete;

    // False when the window or the events could not be created; the control is unusable then.
    bool Ready() const noexcept;

    // false: the direct model.
    void SetPosted(bool posted) noexcept { posted_ = posted; }
    bool Posted() const noexcept { return posted_; }
    void SetFrozen(bool frozen) noexcept { frozen_ = frozen; }
    bool Frozen() const noexcept { return frozen_; }

    // Events become legal again (Open, Claim).
    void Allow() noexcept;
    // Events become illegal and a waiting request returns at once (Release, Close).
    void LetGo() noexcept;

    // Hands `request` to the application and returns when its handler has run, or when the
    // request was let go or is illegal. Safe from any thread.
    void Request(EventRequest& request) noexcept;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void DeliverPosted(unsigned long sequence) noexcept;
    void RequestFromOtherThread(EventRequest& request) noexcept;
    // False when the request is let go while events stay frozen.
    bool AwaitUnfrozen() noexcept;
    void EnterRequest() noexcept;
    void LeaveRequest() noexcept;

    IUnknown* keepAlive_;
    Deliver deliver_;
    void* context_;
    DWORD ownerThread_;
    HWND window_ = nullptr;
    std::atomic<bool> posted_{true};
    std::atomic<bool> frozen_{false};
    std::atomic<bool> legal_{true};
    ka::UniqueHandle letGo_;     // manual reset: set while events are illegal
    ka::UniqueHandle handled_;   // manual reset: the pending request's handler has run
    ka::UniqueHandle drained_;   // manual reset: no request from another thread is inside
    ka::CriticalSection oneAtATime_;
    // Guards the pending request and the count of requests inside.
    ka::CriticalSection slotLock_;
    EventRequest* pending_ = nullptr;
    unsigned long pendingSequence_ = 0;
    unsigned long lastSequence_ = 0;
    long requestsInside_ = 0;
};

// When the library unloads: a class left registered would name a procedure that is gone.
void UnregisterEventWindowClass() noexcept;

}  // namespace standin
