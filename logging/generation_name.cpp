#include "logging/generation_name.h"

namespace zel {

namespace {
constexpr std::string_view kOlderMark = ".old";
// Where a path's last name begins: after a folder separator or a drive's colon.
constexpr std::string_view kNameStarts = "\\/:";
}  // namespace

std::string OlderGenerationPath(std::string_view path) {
    const std::size_t separator = path.find_last_of(kNameStarts);
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    const std::size_t dot = path.rfind('.');
    // A dot that starts the name (".log") or stands in a folder's name is no extension.
    const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
    const std::size_t insertAt = hasExtension ? dot : path.size();
    std::string older(path.substr(0, insertAt));
    older.append(kOlderMark).append(path.substr(insertAt));
    return older;
}

}  // namespace zel
