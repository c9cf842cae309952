#include "admin/bas_win_reg.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "common/unique_handle.h"

namespace vantorel::basWinReg {

namespace {

constexpr char kPathSeparator[] = "\\";

std::string ParentPath(const std::string& keyRoot) {
    if (keyRoot == kProviderPseudoClass) return kProviderRootPath;
    return std::string(kDeviceRootPath) + kPathSeparator + keyRoot;
}

std::string FullPath(const std::string& keyRoot, const std::string& keyName) {
    return ParentPath(keyRoot) + kPathSeparator + keyName;
}

// Device classes only: the pseudo-class is not accepted by delete, exists and enumerate.
std::string ClassPath(const std::string& deviceClass) {
    return std::string(kDeviceRootPath) + kPathSeparator + deviceClass;
}

long OpenKey(const std::string& path, ka::UniqueKey& key, REGSAM access = KEY_ALL_ACCESS) {
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, key.put());
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

std::string WithDescription(const std::string& valueText, const std::string& description) {
    if (description.empty()) return valueText;
    return valueText + "  " + kDescriptionMarker + " " + description;
}

std::string WithoutDescription(const std::string& storedText) {
    const auto marker = storedText.find(kDescriptionMarker);
    if (marker == std::string::npos) return storedText;
    auto end = storedText.find_last_not_of(' ', marker == 0 ? std::string::npos : marker - 1);
    if (marker == 0 || end == std::string::npos) return std::string();
    return storedText.substr(0, end + 1);
}

std::string GetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                            const std::string& defaultText) {
    // Read access is enough: a user who may not change the profile still sees what it holds.
    ka::UniqueKey key;
    if (OpenKey(FullPath(keyRoot, keyName), key, KEY_READ) != ERROR_SUCCESS) return defaultText;

    // Sized from the registry's own answer, so a value of any length (a long log path) reads back whole.
    const char* name = ValueNameOrDefault(valueName);
    std::vector<char> buffer;
    DWORD type = REG_NONE;
    long rc = ERROR_MORE_DATA;
    while (rc == ERROR_MORE_DATA) {  // again if the value grew between the two questions
        DWORD size = 0;
        rc = RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) break;
        buffer.assign(size + 1, '\0');
        rc = RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (rc == ERROR_SUCCESS) buffer.resize(size);
    }
    if (rc != ERROR_SUCCESS || type != REG_SZ) return defaultText;
    return WithoutDescription(CutAtNul(buffer.data(), buffer.size()));
}

long SetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                     const std::string& valueText, const std::string& description) {
    const std::string stored = WithDescription(valueText, description);
    ka::UniqueKey key;
    const long rc = OpenKey(FullPath(keyRoot, keyName), key);
    if (rc != ERROR_SUCCESS) return rc;
    return RegSetValueExA(key.get(), ValueNameOrDefault(valueName), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(stored.c_str()), static_cast<DWORD>(stored.size() + 1));
}

long CreateProfileKey(const std::string& keyRoot, const std::string& keyName) {
    const std::string parentPath = ParentPath(keyRoot);
    ka::UniqueKey parent;
    long rc = OpenKey(parentPath, parent);
    // On a fresh machine the class key (or the ServiceInfo key) comes into being here.
    if (rc == ERROR_FILE_NOT_FOUND) rc = RegCreateKeyA(HKEY_LOCAL_MACHINE, parentPath.c_str(), parent.put());
    if (rc != ERROR_SUCCESS) return rc;
    ka::UniqueKey created;
    return RegCreateKeyA(parent.get(), keyName.c_str(), created.put());
}

long DeleteProfileKey(const std::string& deviceClass, const std::string& deviceName) {
    ka::UniqueKey key;
    const long rc = OpenKey(ClassPath(deviceClass) + kPathSeparator + deviceName, key);
    if (rc != ERROR_SUCCESS) return rc;
    // An empty subkey name deletes the opened key itself.
    return RegDeleteKeyA(key.get(), "");
}

int DeviceKeyExists(const std::string& deviceClass, const std::string& deviceName) {
    ka::UniqueKey classKey;
    if (OpenKey(ClassPath(deviceClass), classKey) != ERROR_SUCCESS) return 0;
    char name[kNameBufferSize];
    // Any enumeration error, a name too long for the buffer included, ends the search.
    for (DWORD index = 0; RegEnumKeyA(classKey.get(), index, name, sizeof name) == ERROR_SUCCESS; ++index) {
        if (CutAtNul(name, sizeof name) == deviceName) return 1;
    }
    return 0;
}

std::string EnumDeviceName(const std::string& deviceClass, short index) {
    ka::UniqueKey classKey;
    if (OpenKey(ClassPath(deviceClass), classKey) != ERROR_SUCCESS) return std::string();
    char name[kNameBufferSize];
    if (RegEnumKeyA(classKey.get(), static_cast<DWORD>(index), name, sizeof name) != ERROR_SUCCESS) {
        return std::string();
    }
    return CutAtNul(name, sizeof name);
}

long ProfileKeyStatus(const std::string& keyRoot, const std::string& keyName) {
    ka::UniqueKey key;
    return OpenKey(FullPath(keyRoot, keyName), key);
}

long ProviderKeyStatus(const std::string& providerName) {
    return ProfileKeyStatus(kProviderPseudoClass, providerName);
}

}  // namespace vantorel::basWinReg
