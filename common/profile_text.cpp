// The text rules of the profile schema: descriptions and key paths. Pure, so they are fuzzed
// natively too.

#include "common/leading_number.h"
#include "common/profile_schema.h"

namespace ka::profile {

std::string WithDescription(std::string_view text, std::string_view description) {
    std::string stored(text);
    if (description.empty()) return stored;
    stored.append("  ").append(kDescriptionMarker).append(" ").append(description);
    return stored;
}

std::string StripDescription(std::string_view stored) {
    const std::size_t marker = stored.find(kDescriptionMarker);
    if (marker == std::string_view::npos) return std::string(stored);
    std::size_t end = marker;
    while (end > 0 && IsBlank(stored[end - 1])) --end;
    return std::string(stored.substr(0, end));
}

std::string DeviceKeyPath(std::string_view deviceClass, std::string_view deviceName) {
    std::string path(kDeviceRoot);
    path.append("\\").append(deviceClass).append("\\").append(deviceName);
    return path;
}

std::string ProviderKeyPath() { return std::string(kProviderRoot) + "\\" + kProviderName; }

}  // namespace ka::profile
