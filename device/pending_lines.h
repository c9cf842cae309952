#pragma once
// Log lines composed at once and written a little later. A conversation writes its lines only
// once the port is free again: writing a line may run the application (the handler of a
// forwarded line), which must not find a conversation under way and take the port from under it.

#include <string>
#include <vector>

#include "logging/opos_log.h"

namespace pendrax {

class PendingLines {
public:
    explicit PendingLines(zel::OposLog& log) noexcept : log_(log) {}
    ~PendingLines() { WriteAll(); }
    PendingLines(const PendingLines&) = delete;
    PendingLines& operator=(const PendingLines&) = delete;

    // Composed now, as the log composes a message, so every value (a last-error code included)
    // is the one of this moment.
    void Line(int level, const char* format, ...) noexcept;
    // Writes the lines held, in order, with the calling thread's category.
    void WriteAll() noexcept;

private:
    struct Held {
        int level;
        std::string text;
    };
    zel::OposLog& log_;
    std::vector<Held> held_;
};

}  // namespace pendrax
