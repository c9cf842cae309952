#include "tools/opos_standin/service_profile.h"

#include <windows.h>

#include <vector>

#include "common/opos.h"
#include "common/unique_handle.h"

namespace standin {

namespace {
constexpr wchar_t kDescriptionMark[] = L"|||";
// ProgIDs are at most 39 characters; anything much longer is not one.
constexpr DWORD kMaxValueBytes = 256 * sizeof(wchar_t);

// A name holding a path separator would reach some other key than its own.
bool IsPlainKeyName(const std::wstring& name) { return !name.empty() && name.find(L'\\') == std::wstring::npos; }

bool ReadDefaultText(HKEY key, std::wstring& text) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
    if (type != REG_SZ || bytes == 0 || bytes > kMaxValueBytes) return false;
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
            ERROR_SUCCESS || type != REG_SZ) {
        return false;
    }
    text.assign(buffer.data());  // ends at the first NUL, stored or added
    return true;
}
}  // namespace

std::wstring ProfileValueText(const std::wstring& stored) {
    std::wstring text = stored.substr(0, stored.find(kDescriptionMark));
    size_t end = text.find_last_not_of(L" \t");
    text.erase(end == std::wstring::npos ? 0 : end + 1);
    return text;
}

long FindServiceProgId(const std::wstring& deviceName, std::wstring& progId) {
    if (!IsPlainKeyName(deviceName)) return opos::OPOS_E_NOEXIST;
    std::wstring path = std::wstring(kScaleProfileRoot) + L"\\" + deviceName;
    ka::UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return opos::OPOS_E_NOEXIST;
    }
    std::wstring stored;
    if (!ReadDefaultText(key.get(), stored)) return opos::OPOS_E_NOEXIST;
    progId = ProfileValueText(stored);
    return progId.empty() ? opos::OPOS_E_NOEXIST : opos::OPOS_SUCCESS;
}

}  // namespace standin
