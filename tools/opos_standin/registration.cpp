#include "tools/opos_standin/registration.h"

#include <olectl.h>

#include <vector>

#include "common/unique_handle.h"
#include "tools/opos_standin/control_ids.h"

namespace standin {

namespace {

constexpr wchar_t kClassesRoot[] = L"Software\\Classes\\";
constexpr wchar_t kDescription[] = L"OPOS Scale control object stand-in (test prefixes only)";
constexpr wchar_t kModulePathMark[] = L"<module>";

struct RegistryEntry {
    std::wstring key;  // below Software\Classes
    const wchar_t* name;  // nullptr: the default value
    std::wstring data;  // kModulePathMark: the DLL's path
};

std::wstring ClsidKey(const wchar_t* clsidText) { return std::wstring(L"CLSID\\") + clsidText; }
std::wstring ServerKey(const wchar_t* clsidText) { return ClsidKey(clsidText) + L"\\InprocServer32"; }

// One class's keys: the class, its server in the apartment model (the real control is an
// apartment-threaded ActiveX control), and its ProgID both ways.
std::vector<RegistryEntry> ClassEntries(const wchar_t* clsidText, const wchar_t* progId) {
    return {
        {ClsidKey(clsidText), nullptr, kDescription},
        {ServerKey(clsidText), nullptr, kModulePathMark},
        {ServerKey(clsidText), L"ThreadingModel", L"Apartment"},
        {ClsidKey(clsidText) + L"\\ProgID", nullptr, progId},
        {progId, nullptr, kDescription},
        {std::wstring(progId) + L"\\CLSID", nullptr, clsidText},
    };
}

LSTATUS WriteEntry(const RegistryEntry& entry, const std::wstring& modulePath) {
    ka::UniqueKey key;
    std::wstring path = kClassesRoot + entry.key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring& data = entry.data == kModulePathMark ? modulePath : entry.data;
    return RegSetValueExW(key.get(), entry.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

std::wstring ReadDefault(const std::wstring& keyBelowClasses) {
    std::wstring path = kClassesRoot + keyBelowClasses;
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS) {
        return L"";
    }
    return buffer;
}

LSTATUS DeleteTree(const std::wstring& keyBelowClasses) {
    std::wstring path = kClassesRoot + keyBelowClasses;
    LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    if (status == ERROR_SUCCESS) status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

HRESULT WriteEntries(const std::vector<RegistryEntry>& entries, const std::wstring& modulePath) {
    for (const auto& entry : entries) {
        LSTATUS status = WriteEntry(entry, modulePath);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

// The class and its ProgID, the latter only while it still names this class.
LSTATUS DeleteClass(const wchar_t* clsidText, const wchar_t* progId) {
    std::wstring progIdClsid = ReadDefault(std::wstring(progId) + L"\\CLSID");
    LSTATUS status = DeleteTree(ClsidKey(clsidText));
    if (status == ERROR_SUCCESS && _wcsicmp(progIdClsid.c_str(), clsidText) == 0) status = DeleteTree(progId);
    return status;
}

}  // namespace

std::wstring RegisteredServerPath() { return ReadDefault(ServerKey(kControlClsidText)); }

bool IsStandInPath(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return _wcsicmp(file.c_str(), kStandInFileName) == 0;
}

bool StandardClassIsFree() {
    std::wstring current = RegisteredServerPath();
    return current.empty() || IsStandInPath(current);
}

HRESULT RegisterStandIn(const std::wstring& modulePath) noexcept {
    try {
        HRESULT hr = WriteEntries(ClassEntries(kStandInClsidText, kStandInProgId), modulePath);
        if (FAILED(hr) || !StandardClassIsFree()) return hr;
        return WriteEntries(ClassEntries(kControlClsidText, kControlProgId), modulePath);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterStandIn() noexcept {
    try {
        LSTATUS status = DeleteClass(kStandInClsidText, kStandInProgId);
        if (status == ERROR_SUCCESS && StandardClassIsFree()) status = DeleteClass(kControlClsidText, kControlProgId);
        return HRESULT_FROM_WIN32(status);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace standin
