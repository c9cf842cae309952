#pragma once
// How the log file's lines look to a test: where the message starts and the header block, as the
// file holds them (tabs as spaces, line ends taken off).

#include <cstddef>
#include <string>
#include <vector>

#include "logging/line_format.h"

namespace zel::test {

constexpr std::size_t kHeaderLineCount = 8;
constexpr std::size_t kMessageColumn = 66;

inline std::string AsInFile(std::string line) {
    for (char& c : line) {
        if (c == '\t') c = ' ';
    }
    return line;
}

inline std::vector<std::string> HeaderBlock() {
    return {"", "", AsInFile(ColumnTitleLine()), "", "", AsInFile(RuleLine()), "", ""};
}

// The first `count` lines, or all when there are fewer.
inline std::vector<std::string> FirstLines(const std::vector<std::string>& lines, std::size_t count) {
    return {lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(count < lines.size() ? count : lines.size())};
}

}  // namespace zel::test
