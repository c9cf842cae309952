#include "common/profile_reader.h"

#include <cstring>
#include <new>
#include <vector>

#include "common/profile_schema.h"
#include "common/unique_handle.h"

namespace ka::profile {

namespace {
constexpr char kPathSeparator = '\\';
}  // namespace

long OpenProfileKey(const std::string& keyPath, REGSAM access, ka::UniqueKey& key) {
    const std::size_t separator = keyPath.rfind(kPathSeparator);
    if (separator == std::string::npos) return RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, access, key.put());
    ka::UniqueKey parent;
    const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.substr(0, separator).c_str(), 0,
                                      KEY_READ | (access & KEY_WOW64_RES), parent.put());
    if (result != ERROR_SUCCESS) return result;
    return RegOpenKeyExA(parent.get(), keyPath.c_str() + separator + 1, 0, access, key.put());
}

long ReadProfileText(const std::string& keyPath, const char* valueName, std::string& text, REGSAM view) {
    try {
        ka::UniqueKey key;
        LONG result = OpenProfileKey(keyPath, KEY_READ | view, key);
        if (result != ERROR_SUCCESS) return result;
        const char* name = valueName && *valueName ? valueName : nullptr;
        std::vector<char> data;
        DWORD type = REG_NONE;
        DWORD size = 0;
        do {  // again if the value grew between the two questions
            result = RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size);
            if (result != ERROR_SUCCESS) return result;
            data.assign(size + 1, '\0');
            result = RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        } while (result == ERROR_MORE_DATA);
        if (result != ERROR_SUCCESS) return result;
        if (type != REG_SZ) return ERROR_INVALID_DATATYPE;
        text = StripDescription(std::string_view(data.data(), strnlen(data.data(), size)));
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace ka::profile
