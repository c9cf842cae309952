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

LONG WriteEntry(const RegistrationEntry& entry) noexcept {
    ka::UniqueKey created;
    LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, created.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExA(created.get(), entry.valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.value.c_str()),
                          static_cast<DWORD>(entry.value.size() + 1));
}

// Each instance lives in the apartment of the control object that creates it: without a model,
// COM would put every instance in the process's first apartment, and a device kept on a thread
// of its own would wait for that apartment's thread on every call.
constexpr char kThreadingModelName[] = "ThreadingModel";
constexpr char kApartmentModel[] = "Apartment";

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
        {clsidKey + "\\InProcServer32", kApartmentModel, WriteWhen::Always, kThreadingModelName},
    };
}

HRESULT RegisterServer() noexcept {
    try {
        // A failure is reported, so a technician without the rights is not told it worked.
        for (const auto& entry : RegistrationEntries()) {
            if (entry.when == WriteWhen::NoDefaultYet && HasReadableDefault(entry.key)) continue;
            if (WriteEntry(entry) != ERROR_SUCCESS) return SELFREG_E_CLASS;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServer() noexcept {
    try {
        const auto entries = RegistrationEntries();
        HRESULT result = S_OK;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            // A named value goes with its key.
            if (it->valueName) continue;
            const LONG status = RegDeleteKeyA(HKEY_CLASSES_ROOT, it->key.c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
        }
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace pendrax
