#pragma once
// Log lines forwarded to the control object through SODirectIO (DirectIO command 1000).
//
// A line goes out on the thread that writes it. On the control object's own thread the call
// holds a reference on the control object for its length; other threads call without one, as
// the event requests do. An event thread holds its lines back while it reads, so that no thread
// that owns the port ever waits for the application, and sends them in its turn to fire.

#include <string>
#include <vector>

#include "service/async_reads.h"
#include "service/scale_state.h"

namespace pendrax {

// The log's line sink; `context` is the instance's ControlObjectLink.
void ForwardLogLine(void* context, const char* line) noexcept;

// On an event thread, for its whole life: lines written on it are held back until Send, and
// none goes out once its read was cancelled.
class EventThreadLines {
public:
    EventThreadLines(AsyncReads& reads, AsyncRead& read) noexcept;
    ~EventThreadLines();
    EventThreadLines(const EventThreadLines&) = delete;
    EventThreadLines& operator=(const EventThreadLines&) = delete;

    // Sends the lines held back; later lines go out as they are written.
    void Send() noexcept;
    // Drops the lines held back; later lines are dropped too.
    void Drop() noexcept;

    // The sink's way in for a line written on this thread.
    void Take(const char* line) noexcept;

private:
    enum class Mode { HoldBack, Send, Drop };
    void SendOne(const char* line) noexcept;

    AsyncReads& reads_;
    AsyncRead& read_;
    Mode mode_ = Mode::HoldBack;
    std::vector<std::string> held_;
};

}  // namespace pendrax
