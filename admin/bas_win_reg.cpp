#include "admin/bas_win_reg.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "common/profile_reader.h"
#include "common/profile_schema.h"
#include "common/unique_handle.h"

namespace vantorel::basWinReg {

namespace {

constexpr char kPathSeparator[] = "\\";
// A key name's ANSI form: up to three bytes a character (UTF-8 as the code page), and the NUL.
constexpr DWORD kNameBufferSize = kMaxKeyNameLength * 3 + 1;

constexpr RegistryView kThirtyTwoBitView{KEY_WOW64_32KEY, "32-bit"};
constexpr RegistryView kSixtyFourBitView{KEY_WOW64_64KEY, "64-bit"};
// 32-bit Windows has one view; no view flag is needed to reach it.
constexpr RegistryView kOnlyView{0, "32-bit"};

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

std::string ProviderPath() { return FullPath(kProviderPseudoClass, ka::profile::kProviderName); }

// Each open asks only for what its operation does: a user who may read the profiles but not
// change them still lists and reads every device. A view flag in `access` picks the view.
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

// Also true for a 32-bit program on 64-bit Windows, which is how the administrator ships.
bool HasTwoViews() noexcept {
#ifdef _WIN64
    return true;
#else
    // IsWow64Process2 also knows an x86 program that ARM64 Windows emulates; older systems lack it.
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto isWow64Process2 = reinterpret_cast<IsWow64Process2Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process2")));
    USHORT process = IMAGE_FILE_MACHINE_UNKNOWN;
    USHORT native = IMAGE_FILE_MACHINE_UNKNOWN;
    if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &process, &native)) {
        return process != IMAGE_FILE_MACHINE_UNKNOWN;
    }
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

// A value as stored: any type, its bytes unchanged.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

long QueryRaw(HKEY key, const std::string& name, RawValue& value) {
    return ka::profile::ReadRawValue(key, name.c_str(), value.type, value.data);
}

long WriteRaw(HKEY key, const char* name, const RawValue& value) {
    const BYTE none = 0;
    return RegSetValueExA(key, name, 0, value.type, value.data.empty() ? &none : value.data.data(),
                          static_cast<DWORD>(value.data.size()));
}

bool HoldsValue(HKEY key, const std::string& name) {
    return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

long ValueNames(HKEY key, std::vector<std::string>& names) {
    DWORD longest = 0;
    long rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                               nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    // The longest name in characters; its ANSI form may take up to three bytes a character.
    std::vector<char> name(longest * 3 + 1);
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(name.size());
        rc = RegEnumValueA(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc == ERROR_MORE_DATA) {  // a longer name came meanwhile
            name.resize(name.size() * 2);
            continue;
        }
        if (rc != ERROR_SUCCESS) return rc;
        names.emplace_back(name.data(), length);
        ++index;
    }
}

bool HasSubkeys(HKEY key) {
    DWORD subkeys = 0;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys > 0;
}

bool ListsName(const std::vector<std::string>& names, const std::string& name) {
    // Value and key names match in any casing, as the registry matches them.
    return std::any_of(names.begin(), names.end(),
                       [&name](const std::string& listed) { return lstrcmpiA(listed.c_str(), name.c_str()) == 0; });
}

// The values whose type or data differ between two keys, or that one of them lacks; an absent
// key (null) holds no values.
void AddDifferingValues(HKEY first, HKEY other, std::vector<std::string>& differing) {
    std::vector<std::string> names;
    if (first) ValueNames(first, names);
    std::vector<std::string> otherNames;
    if (other) ValueNames(other, otherNames);
    for (std::string& name : otherNames) {
        if (!ListsName(names, name)) names.push_back(std::move(name));
    }
    for (const std::string& name : names) {
        RawValue a;
        RawValue b;
        const bool inFirst = first && QueryRaw(first, name, a) == ERROR_SUCCESS;
        const bool inOther = other && QueryRaw(other, name, b) == ERROR_SUCCESS;
        if (inFirst == inOther && (!inFirst || (a.type == b.type && a.data == b.data))) continue;
        if (!ListsName(differing, name)) differing.push_back(name);
    }
}

// The values of one key as every view holds it, each view compared with the first.
std::vector<std::string> DifferingValues(const std::string& path) {
    const std::vector<RegistryView>& views = ProfileViews();
    std::vector<ka::UniqueKey> keys(views.size());
    for (std::size_t v = 0; v < views.size(); ++v) OpenKey(path, KEY_QUERY_VALUE | views[v].flag, keys[v]);
    std::vector<std::string> differing;
    for (std::size_t v = 1; v < views.size(); ++v) AddDifferingValues(keys[0].get(), keys[v].get(), differing);
    // In the order a user finds them, whatever order each view keeps.
    std::sort(differing.begin(), differing.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    return differing;
}

// Opens the key in the view, making it (and its parent) where missing; `created` says whether
// this call made it.
long CreateKeyIn(const RegistryView& view, const std::string& parentPath, const std::string& keyName, REGSAM access,
                 ka::UniqueKey& key, bool& created) {
    ka::UniqueKey parent;
    long rc = OpenKey(parentPath, KEY_CREATE_SUB_KEY | view.flag, parent);
    // On a fresh machine the class key (or the ServiceInfo key) comes into being here.
    if (rc == ERROR_FILE_NOT_FOUND) {
        rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, parentPath.c_str(), 0, nullptr, 0, KEY_CREATE_SUB_KEY | view.flag,
                             nullptr, parent.put(), nullptr);
    }
    if (rc != ERROR_SUCCESS) return rc;
    DWORD disposition = 0;
    rc = RegCreateKeyExA(parent.get(), keyName.c_str(), 0, nullptr, 0, access | view.flag, nullptr, key.put(),
                         &disposition);
    created = rc == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return rc;
}

long DeleteKeyIn(const RegistryView& view, const std::string& path) {
    ka::UniqueKey key;
    const long rc = OpenKey(path, DELETE | view.flag, key);
    if (rc != ERROR_SUCCESS) return rc;
    // An empty subkey name deletes the opened key itself.
    return RegDeleteKeyA(key.get(), "");
}

// Makes the key in view `to` hold exactly the values of the key in view `from`.
long CopyKey(const RegistryView& from, const RegistryView& to, const std::string& parentPath,
             const std::string& keyName) {
    ka::UniqueKey source;
    long rc = OpenKey(parentPath + kPathSeparator + keyName, KEY_QUERY_VALUE | from.flag, source);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<std::string> names;
    rc = ValueNames(source.get(), names);
    if (rc != ERROR_SUCCESS) return rc;
    ka::UniqueKey target;
    bool created = false;
    rc = CreateKeyIn(to, parentPath, keyName, KEY_SET_VALUE | KEY_QUERY_VALUE, target, created);
    if (rc != ERROR_SUCCESS) return rc;
    for (const std::string& name : names) {
        RawValue value;
        if (QueryRaw(source.get(), name, value) != ERROR_SUCCESS) continue;  // gone meanwhile
        rc = WriteRaw(target.get(), name.c_str(), value);
        if (rc != ERROR_SUCCESS) return rc;
    }
    std::vector<std::string> targetNames;
    rc = ValueNames(target.get(), targetNames);
    if (rc != ERROR_SUCCESS) return rc;
    for (const std::string& name : targetNames) {
        if (HoldsValue(source.get(), name)) continue;
        rc = RegDeleteValueA(target.get(), name.c_str());
        if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

// The key opened in every view that holds it, with `access`; the first refusal is answered.
long OpenInEveryView(const std::string& path, REGSAM access, std::vector<ka::UniqueKey>& keys) {
    for (const RegistryView& view : ProfileViews()) {
        ka::UniqueKey key;
        const long rc = OpenKey(path, access | view.flag, key);
        if (rc == ERROR_FILE_NOT_FOUND) continue;
        if (rc != ERROR_SUCCESS) return rc;
        keys.push_back(std::move(key));
    }
    return keys.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

// Puts back what a key held before a write that another view refused.
void Restore(HKEY key, const char* valueName, const std::optional<RawValue>& before) {
    if (!before) {
        RegDeleteValueA(key, valueName);
        return;
    }
    WriteRaw(key, valueName, *before);
}

}  // namespace

const std::vector<RegistryView>& ProfileViews() {
    static const std::vector<RegistryView> views = HasTwoViews()
                                                       ? std::vector<RegistryView>{kThirtyTwoBitView, kSixtyFourBitView}
                                                       : std::vector<RegistryView>{kOnlyView};
    return views;
}

std::vector<bool> ViewsHoldingKey(const std::string& keyRoot, const std::string& keyName) {
    std::vector<bool> holds;
    for (const RegistryView& view : ProfileViews()) {
        ka::UniqueKey key;
        holds.push_back(OpenKey(FullPath(keyRoot, keyName), KEY_READ | view.flag, key) == ERROR_SUCCESS);
    }
    return holds;
}

std::string GetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                            const std::string& defaultText) {
    const std::vector<bool> holds = ViewsHoldingKey(keyRoot, keyName);
    const auto shown = std::find(holds.begin(), holds.end(), true);
    if (shown == holds.end()) return defaultText;
    return GetProfileValueIn(ProfileViews()[static_cast<std::size_t>(shown - holds.begin())], keyRoot, keyName,
                             valueName, defaultText);
}

std::string GetProfileValueIn(const RegistryView& view, const std::string& keyRoot, const std::string& keyName,
                              const std::string& valueName, const std::string& defaultText) {
    std::string text;
    return ka::profile::ReadProfileText(FullPath(keyRoot, keyName), valueName.c_str(), text, view.flag) ==
                   ERROR_SUCCESS
               ? text
               : defaultText;
}

long SetProfileValue(const std::string& keyRoot, const std::string& keyName, const std::string& valueName,
                     const std::string& valueText, const std::string& description) {
    const std::string stored = ka::profile::WithDescription(valueText, description);
    const char* name = ValueNameOrDefault(valueName);
    // Every view's key is opened before any is written, so a view that refuses changes nothing.
    std::vector<ka::UniqueKey> keys;
    long rc = OpenInEveryView(FullPath(keyRoot, keyName), KEY_SET_VALUE | KEY_QUERY_VALUE, keys);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<std::optional<RawValue>> before(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        // A value that cannot be read could not be put back: nothing is written.
        RawValue held;
        rc = QueryRaw(keys[k].get(), valueName, held);
        if (rc == ERROR_SUCCESS) before[k] = std::move(held);
        else if (rc != ERROR_FILE_NOT_FOUND) return rc;
    }
    for (std::size_t k = 0; k < keys.size(); ++k) {
        rc = RegSetValueExA(keys[k].get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                            static_cast<DWORD>(stored.size() + 1));
        if (rc == ERROR_SUCCESS) continue;
        for (std::size_t written = 0; written < k; ++written) Restore(keys[written].get(), name, before[written]);
        return rc;
    }
    return ERROR_SUCCESS;
}

long CreateProfileKey(const std::string& keyRoot, const std::string& keyName) {
    const std::string parentPath = ParentPath(keyRoot);
    std::vector<const RegistryView*> made;
    for (const RegistryView& view : ProfileViews()) {
        ka::UniqueKey key;
        bool created = false;
        const long rc = CreateKeyIn(view, parentPath, keyName, KEY_QUERY_VALUE, key, created);
        if (rc != ERROR_SUCCESS) {
            for (const RegistryView* undo : made) DeleteKeyIn(*undo, parentPath + kPathSeparator + keyName);
            return rc;
        }
        if (created) made.push_back(&view);
    }
    return ERROR_SUCCESS;
}

long DeleteProfileKey(const std::string& deviceClass, const std::string& deviceName) {
    std::vector<ka::UniqueKey> keys;
    long rc = OpenInEveryView(ClassPath(deviceClass) + kPathSeparator + deviceName, DELETE | KEY_QUERY_VALUE, keys);
    if (rc != ERROR_SUCCESS) return rc;
    // A key with subkeys cannot be deleted; found before any view is changed, it leaves all as they were.
    if (keys.size() > 1 && std::any_of(keys.begin(), keys.end(), [](const ka::UniqueKey& key) {
            return HasSubkeys(key.get());
        })) {
        return ERROR_ACCESS_DENIED;
    }
    for (const ka::UniqueKey& key : keys) {
        rc = RegDeleteKeyA(key.get(), "");
        if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

int DeviceKeyExists(const std::string& deviceClass, const std::string& deviceName) {
    for (const RegistryView& view : ProfileViews()) {
        ka::UniqueKey classKey;
        if (OpenKey(ClassPath(deviceClass), KEY_READ | view.flag, classKey) != ERROR_SUCCESS) continue;
        char name[kNameBufferSize];
        for (DWORD index = 0; RegEnumKeyA(classKey.get(), index, name, sizeof name) == ERROR_SUCCESS; ++index) {
            if (CutAtNul(name, sizeof name) == deviceName) return 1;
        }
    }
    return 0;
}

std::vector<std::string> DeviceNames(const std::string& deviceClass) {
    const std::vector<RegistryView>& views = ProfileViews();
    std::vector<std::string> names;
    for (std::size_t v = 0; v < views.size(); ++v) {
        ka::UniqueKey classKey;
        if (OpenKey(ClassPath(deviceClass), KEY_READ | views[v].flag, classKey) != ERROR_SUCCESS) continue;
        char name[kNameBufferSize];
        for (DWORD index = 0; RegEnumKeyA(classKey.get(), index, name, sizeof name) == ERROR_SUCCESS; ++index) {
            const std::string found = CutAtNul(name, sizeof name);
            if (v == 0) {
                names.push_back(found);
                continue;
            }
            // A key that an earlier view holds, in whatever casing, was listed from there.
            if (ListsName(names, found)) continue;
            names.insert(std::find_if(names.begin(), names.end(),
                                      [&found](const std::string& listed) {
                                          return lstrcmpiA(listed.c_str(), found.c_str()) > 0;
                                      }),
                         found);
        }
    }
    return names;
}

std::string EnumDeviceName(const std::string& deviceClass, short index) {
    if (index < 0) return std::string();
    const std::vector<std::string> names = DeviceNames(deviceClass);
    return static_cast<std::size_t>(index) < names.size() ? names[static_cast<std::size_t>(index)] : std::string();
}

long ProfileKeyStatus(const std::string& keyRoot, const std::string& keyName) {
    for (const RegistryView& view : ProfileViews()) {
        ka::UniqueKey key;
        const long rc = OpenKey(FullPath(keyRoot, keyName), KEY_READ | view.flag, key);
        if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

long ProviderKeyStatus(const std::string& providerName) {
    return ProfileKeyStatus(kProviderPseudoClass, providerName);
}

ViewComparison CompareViews(const std::string& deviceClass, const std::string& deviceName) {
    ViewComparison views;
    views.holdsDevice = ViewsHoldingKey(deviceClass, deviceName);
    if (views.holdsDevice.size() < 2) return views;
    if (std::all_of(views.holdsDevice.begin(), views.holdsDevice.end(), [](bool holds) { return holds; })) {
        views.deviceValues = DifferingValues(FullPath(deviceClass, deviceName));
    }
    views.providerValues = DifferingValues(ProviderPath());
    return views;
}

bool OutOfStep(const ViewComparison& views) {
    const auto& holds = views.holdsDevice;
    const bool anywhere = std::find(holds.begin(), holds.end(), true) != holds.end();
    const bool everywhere = std::find(holds.begin(), holds.end(), false) == holds.end();
    return anywhere && (!everywhere || !views.deviceValues.empty() || !views.providerValues.empty());
}

long BringIntoStep(const std::string& deviceClass, const std::string& deviceName, std::size_t source) {
    const std::vector<RegistryView>& views = ProfileViews();
    if (source >= views.size()) return ERROR_INVALID_PARAMETER;
    const std::vector<bool> holdsDevice = ViewsHoldingKey(deviceClass, deviceName);
    if (!holdsDevice[source]) {
        // Only a device the followed view truly lacks is deleted elsewhere, never one it refuses to show.
        ka::UniqueKey probe;
        const long rc = OpenKey(FullPath(deviceClass, deviceName), KEY_QUERY_VALUE | views[source].flag, probe);
        if (rc != ERROR_FILE_NOT_FOUND) return rc == ERROR_SUCCESS ? ERROR_ACCESS_DENIED : rc;
    }
    for (std::size_t v = 0; v < views.size(); ++v) {
        if (v == source) continue;
        long rc = ERROR_SUCCESS;
        if (holdsDevice[source]) {
            rc = CopyKey(views[source], views[v], ParentPath(deviceClass), deviceName);
        } else if (holdsDevice[v]) {
            rc = DeleteKeyIn(views[v], FullPath(deviceClass, deviceName));
        }
        if (rc != ERROR_SUCCESS) return rc;
    }
    // The provider key holds the log file of every device: it is given, never taken away.
    const std::vector<bool> holdsProvider = ViewsHoldingKey(kProviderPseudoClass, ka::profile::kProviderName);
    std::size_t giver = source;
    if (!holdsProvider[giver]) {
        giver = static_cast<std::size_t>(std::find(holdsProvider.begin(), holdsProvider.end(), true) -
                                         holdsProvider.begin());
    }
    for (std::size_t v = 0; v < views.size() && giver < views.size(); ++v) {
        if (v == giver) continue;
        const long rc = CopyKey(views[giver], views[v], ka::profile::kProviderRoot, ka::profile::kProviderName);
        if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

}  // namespace vantorel::basWinReg
