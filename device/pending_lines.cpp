#include "device/pending_lines.h"

#include <cstdarg>

#include "logging/line_format.h"

namespace pendrax {

void PendingLines::Line(int level, const char* format, ...) noexcept {
    ka::PreserveLastError keep;
    zel::LineBuffer message;
    va_list args;
    va_start(args, format);
    {
        zel::VaListArguments arguments(args);
        zel::AppendMessage(message, format, arguments);
    }
    va_end(args);
    try {
        held_.push_back({level, message.Text()});
    } catch (...) {
        // Out of memory: written at once rather than lost.
        log_.Line(level, "%s", message.Text());
    }
}

void PendingLines::WriteAll() noexcept {
    ka::PreserveLastError keep;
    for (const Held& line : held_) log_.Line(line.level, "%s", line.text.c_str());
    held_.clear();
}

}  // namespace pendrax
