#include "admin/bas_win_reg.h"

#include <windows.h>

#include <cstring>

#include "common/profile_reader.h"
#include "common/profile_schema.h"
#include "common/unique_handle.h"

namespace vantorel::basWinReg {

namespace {

constexpr char kPathSeparator[] = "\\";
// A key name's ANSI form: up to three bytes a character (UTF-8 as the code page), and the NUL.
constexpr DWORD kNameBufferSize = kMaxKeyNameLength * 3 + 1;

std::string ParentPath(const std::string& keyRoot) {
    if (keyRoot == kProviderPseudoClass) return ka::profile::kProviderRoot;
    return std::string(ka::profile::kDeviceRoot) + kPathSeparator + keyRoot;
}

std::string FullPath(const std::string& keyRoot, const std::string& keyName) {
    return ParentPath(keyRoot) + kPathSeparator + keyName;
}

// Device classes only: the pseudo-class is not accepted by delete, exists and enumerate.
std::string ClassPath(const std::string& deviceClass) {
    return std::string(ka::profile::kDeviceRoot) + kPathSeparator + deviceClass;
}

// Each open asks only for what its operation does: a user who may read the profiles but not
// change them still lists and reads every device.
long OpenKey(const std::string& path, REGSAM access, ka::UniqueKey& key) {
    return ka::profile::OpenProfileKey(path, access, key);
}

// An empty value name addresses the key's default value.
const char* ValueNameOrDefault(const std::string& valueName) {
    return valueName.empty() ? nullptr : valueName.c_str();
}

std::string CutAtNul(const char* buffer, std::size_t length) {
    const void* nul = std::memchr(buffer, '\0', length);
    return std::string(buffer, nul ? static_cast<const char*>(nul) - buffer : length);
}

}  // namespace

std::string GetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                            const std::string& defaultText) {
    std::string text;
    return ka::profile::ReadProfileText(FullPath(keyRoot, keyName), valueName.c_str(), text) == ERROR_SUCCESS
               ? text
               : defaultText;
}

long SetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                     const std::string& valueText, const std::string& description) {
    const std::string stored = ka::profile::WithDescription(valueText, description);
    ka::UniqueKey key;
    const long rc = OpenKey(FullPath(keyRoot, keyName), KEY_SET_VALUE, key);
    if (rc != ERROR_SUCCESS) return rc;
    return RegSetValueExA(key.get(), ValueNameOrDefault(valueName), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(stored.c_str()), static_cast<DWORD>(stored.size() + 1));
}

long CreateProfileKey(const std::string& keyRoot, const std::string& keyName) {
    const std::string parentPath = ParentPath(keyRoot);
    ka::UniqueKey parent;
    long rc = OpenKey(parentPath, KEY_CREATE_SUB_KEY, parent);
    // On a fresh machine the class key (or the ServiceInfo key) comes into being here.
    if (rc == ERROR_FILE_NOT_FOUND) rc = RegCreateKeyA(HKEY_LOCAL_MACHINE, parentPath.c_str(), parent.put());
    if (rc != ERROR_SUCCESS) return rc;
    ka::UniqueKey created;
    return RegCreateKeyA(parent.get(), keyName.c_str(), created.put());
}

long DeleteProfileKey(const std::string& deviceClass, const std::string& deviceName) {
    ka::UniqueKey key;
    const long rc = OpenKey(ClassPath(deviceClass) + kPathSeparator + deviceName, DELETE, key);
    if (rc != ERROR_SUCCESS) return rc;
    // An empty subkey name deletes the opened key itself.
    return RegDeleteKeyA(key.get(), "");
}

int DeviceKeyExists(const std::string& deviceClass, const std::string& deviceName) {
    ka::UniqueKey classKey;
    if (OpenKey(ClassPath(deviceClass), KEY_READ, classKey) != ERROR_SUCCESS) return 0;
    char name[kNameBufferSize];
    for (DWORD index = 0; RegEnumKeyA(classKey.get(), index, name, sizeof name) == ERROR_SUCCESS; ++index) {
        if (CutAtNul(name, sizeof name) == deviceName) return 1;
    }
    return 0;
}

std::string EnumDeviceName(const std::string& deviceClass, short index) {
    ka::UniqueKey classKey;
    if (OpenKey(ClassPath(deviceClass), KEY_READ, classKey) != ERROR_SUCCESS) return std::string();
    char name[kNameBufferSize];
    if (RegEnumKeyA(classKey.get(), static_cast<DWORD>(index), name, sizeof name) != ERROR_SUCCESS) {
        return std::string();
    }
    return CutAtNul(name, sizeof name);
}

long ProfileKeyStatus(const std::string& keyRoot, const std::string& keyName) {
    ka::UniqueKey key;
    return OpenKey(FullPath(keyRoot, keyName), KEY_READ, key);
}

long ProviderKeyStatus(const std::string& providerName) {
    return ProfileKeyStatus(kProviderPseudoClass, providerName);
}

}  // namespace vantorel::basWinReg
