#pragma once
// Reading the service object's log file back as entries: display name, category, level, message.

#include <string>
#include <vector>

#include "tests/support/profile_fixture.h"

namespace ka::test {

struct LogEntry {
    std::string name;
    std::string category;  // "Main Thread", "Event Thread" or ""
    std::string level;     // "Funct Trace (3)" ...
    std::string message;
};

inline std::string Trimmed(const std::string& text) {
    const size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// Lines of the form "MM/DD/YY HH:MM:SS name category level message" with a display name of at
// most 15 characters; the header block and empty lines are skipped.
inline std::vector<LogEntry> ReadLogEntries(const std::string& path) {
    constexpr size_t kName = 18, kCategory = 34, kLevel = 50, kMessage = 66, kWidth = 15;
    std::vector<LogEntry> entries;
    for (const auto& line : ReadLines(path)) {
        if (line.size() < kMessage || line[2] != '/' || line[5] != '/' || line[11] != ':') continue;
        entries.push_back({Trimmed(line.substr(kName, kWidth)), Trimmed(line.substr(kCategory, kWidth)),
                           Trimmed(line.substr(kLevel, kWidth)), line.substr(kMessage)});
    }
    return entries;
}

inline std::vector<std::string> Messages(const std::vector<LogEntry>& entries) {
    std::vector<std::string> messages;
    for (const auto& entry : entries) messages.push_back(entry.message);
    return messages;
}

// The messages written after the first `skip` entries.
inline std::vector<std::string> MessagesAfter(const std::string& path, size_t skip) {
    auto messages = Messages(ReadLogEntries(path));
    if (skip >= messages.size()) return {};
    return std::vector<std::string>(messages.begin() + static_cast<std::ptrdiff_t>(skip), messages.end());
}

}  // namespace ka::test
