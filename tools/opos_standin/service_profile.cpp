#include "tools/opos_standin/service_profile.h"

#include <windows.h>

#include "common/com/ansi_text.h"
#include "common/opos.h"
#include "common/profile_reader.h"
#include "common/profile_schema.h"

namespace standin {

long FindServiceProgId(const std::wstring& deviceName, std::wstring& progId) {
    const std::string name = ka::com::WideToAnsi(deviceName.data(), deviceName.size());
    // A name holding a path separator would reach some other key than its own.
    if (name.empty() || name.find('\\') != std::string::npos) return opos::OPOS_E_NOEXIST;
    std::string text;
    const std::string key = ka::profile::DeviceKeyPath(ka::profile::kScaleClass, name);
    if (ka::profile::ReadProfileText(key, nullptr, text) != ERROR_SUCCESS) return opos::OPOS_E_NOEXIST;
    progId = ka::com::AnsiToWide(text.c_str());
    return progId.empty() ? opos::OPOS_E_NOEXIST : opos::OPOS_SUCCESS;
}

}  // namespace standin
