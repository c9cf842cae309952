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

long ReadRawValue(HKEY key, const char* valueName, DWORD& type, std::vector<BYTE>& data) {
    long result = ERROR_SUCCESS;
    do {  // again if the value grew between the two questions
        DWORD size = 0;
        result = RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS) return result;
        data.resize(size);
        result = RegQueryValueExA(key, valueName, nullptr, &type, data.data(), &size);
        if (result == ERROR_SUCCESS) data.resize(size);
    } while (result == ERROR_MORE_DATA);
    return result;
}

long ReadProfileText(const std::string& keyPath, const char* valueName, std::string& text, REGSAM view) {
    try {
        ka::UniqueKey key;
        LONG result = OpenProfileKey(keyPath, KEY_READ | view, key);
        if (result != ERROR_SUCCESS) return result;
        const char* name = valueName && *valueName ? valueName : nullptr;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        result = ReadRawValue(key.get(), name, type, data);
        if (result != ERROR_SUCCESS) return result;
        if (type != REG_SZ) return ERROR_INVALID_DATATYPE;
        const char* chars = reinterpret_cast<const char*>(data.data());
        text = StripDescription(std::string_view(chars, data.empty() ? 0 : strnlen(chars, data.size())));
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace ka::profile
