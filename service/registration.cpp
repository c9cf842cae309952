#include "service/registration.h"

#include <olectl.h>

#include "common/unique_handle.h"
#include "service/module.h"
#include "service/scale_trm07.h"

namespace pendrax {

namespace {

// The short (8.3) form when the file system has one, else the long path.
std::string ModulePath() {
    char longPath[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(ModuleHandle(), longPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    char shortPath[MAX_PATH] = {};
    const DWORD shortLength = GetShortPathNameA(longPath, shortPath, MAX_PATH);
    if (shortLength == 0 || shortLength >= MAX_PATH) return longPath;
    return shortPath;
}

bool HasReadableDefault(const std::string& key) noexcept {
    ka::UniqueKey opened;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, opened.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    return RegQueryValueExA(opened.get(), nullptr, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
}

LONG WriteDefault(const std::string& key, const std::string& value) noexcept {
    ka::UniqueKey created;
    LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                  nullptr, created.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExA(created.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

}  // namespace

std::vector<RegistrationEntry> RegistrationEntries() {
    const std::string progId = kProgId;
    const std::string clsidKey = std::string("CLSID\\") + kClsidText;
    return {
        {progId, progId, WriteWhen::NoDefaultYet},
        {clsidKey, progId, WriteWhen::NoDefaultYet},
        {progId + "\\CLSID", kClsidText, WriteWhen::Always},
        {clsidKey + "\\ProgID", progId, WriteWhen::Always},
        {clsidKey + "\\InProcServer32", ModulePath(), WriteWhen::Always},
    };
}

HRESULT RegisterServer() noexcept {
    try {
        // Every entry is tried, so one key an installer cannot write does not cost the others;
        // a failure is reported, so a technician without the rights is not told it worked.
        HRESULT result = S_OK;
        for (const auto& entry : RegistrationEntries()) {
            if (entry.when == WriteWhen::NoDefaultYet && HasReadableDefault(entry.key)) continue;
            if (WriteDefault(entry.key, entry.value) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
        }
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServer() noexcept {
    try {
        const auto entries = RegistrationEntries();
        HRESULT result = S_OK;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            const LONG status = RegDeleteKeyA(HKEY_CLASSES_ROOT, it->key.c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
        }
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace pendrax
