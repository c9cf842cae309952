#include "service/line_forwarding.h"

#include "common/com/ansi_text.h"
#include "common/com/dispatch_call.h"
#include "common/com/owners.h"
#include "service/event_request.h"

namespace pendrax {

namespace {

// Forwarded lines reach the control object as SODirectIO with this event number and pData 0.
constexpr long kForwardedLineEvent = 1000;

// A line written while a line is being forwarded (say, by a control object that calls back
// into us from SODirectIO) must not be forwarded again on the same thread.
thread_local bool t_forwardingLine = false;
// Set on an event thread for its life.
thread_local EventThreadLines* t_eventThreadLines = nullptr;

class ForwardingGuard {
public:
    ForwardingGuard() noexcept { t_forwardingLine = true; }
    ~ForwardingGuard() { t_forwardingLine = false; }
    ForwardingGuard(const ForwardingGuard&) = delete;
    ForwardingGuard& operator=(const ForwardingGuard&) = delete;
};

// Drops the line when there is no control object or it has no SODirectIO; a failure cannot be
// logged from inside the log, so the line is simply lost.
void CallDirectIO(const ControlObjectLink& link, const char* line) noexcept {
    if (!CanCallEventRequest(link, kSODirectIO)) return;
    try {
        ForwardingGuard guard;
        ka::com::UniqueBstr text(ka::com::AnsiToBstr(line));
        if (!text) return;
        long data = 0;
        CallEventRequest(link, kSODirectIO,
                         {ka::com::LongArg(kForwardedLineEvent), ka::com::LongRefArg(&data),
                          ka::com::TextRefArg(text.addressof())});
    } catch (...) {
    }
}

}  // namespace

void ForwardLogLine(void* context, const char* line) noexcept {
    if (t_forwardingLine || !context || !line) return;
    if (t_eventThreadLines) {
        t_eventThreadLines->Take(line);
        return;
    }
    const ControlObjectLink& link = *static_cast<const ControlObjectLink*>(context);
    if (!link.dispatch) return;
    if (GetCurrentThreadId() != link.thread) {
        CallDirectIO(link, line);
        return;
    }
    // The control object may let go of us, and of itself, while it handles the line.
    IDispatch* const controlObject = link.dispatch;
    controlObject->AddRef();
    CallDirectIO(link, line);
    controlObject->Release();
}

EventThreadLines::EventThreadLines(AsyncReads& reads, AsyncRead& read) noexcept : reads_(reads), read_(read) {
    t_eventThreadLines = this;
}

EventThreadLines::~EventThreadLines() { t_eventThreadLines = nullptr; }

void EventThreadLines::Send() noexcept {
    if (mode_ != Mode::HoldBack) return;
    mode_ = Mode::Send;
    std::vector<std::string> held;
    held.swap(held_);
    for (const std::string& line : held) {
        SendOne(line.c_str());
        if (mode_ == Mode::Drop) break;
    }
}

void EventThreadLines::Drop() noexcept {
    mode_ = Mode::Drop;
    held_.clear();
}

void EventThreadLines::Take(const char* line) noexcept {
    switch (mode_) {
    case Mode::HoldBack:
        try {
            held_.emplace_back(line);
        } catch (...) {
            // Out of memory: the log file still has the line.
        }
        break;
    case Mode::Send:
        SendOne(line);
        break;
    case Mode::Drop:
        break;
    }
}

void EventThreadLines::SendOne(const char* line) noexcept {
    // Once the read is cancelled the control object may be going away: nothing more reaches it.
    if (reads_.Cancelled(read_)) {
        Drop();
        return;
    }
    CallDirectIO(read_.link, line);
}

}  // namespace pendrax
