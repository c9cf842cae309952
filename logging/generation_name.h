#pragma once
// Where the log file's older generation lives. Plain text work, no platform.

#include <string>
#include <string_view>

namespace zel {

// The log file's path with ".old" before its extension, so that the older generation sits beside
// the current file and opens in the same viewer: "c:\OposAdmin.log" gives "c:\OposAdmin.old.log",
// a name without an extension gets ".old" at its end.
std::string OlderGenerationPath(std::string_view path);

}  // namespace zel
