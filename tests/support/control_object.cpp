#include "tests/support/control_object.h"

#include <cstdlib>
#include <cstring>

#include "common/opos_ids.h"
#include "common/unique_handle.h"

namespace ka::test {

namespace {

constexpr char kSelectionVariable[] = "KA_CONTROL_OBJECT";
constexpr char kStandardSelection[] = "standard";
constexpr wchar_t kTreatAsKey[] = L"Software\\Classes\\CLSID\\{CCB90172-B81E-11D2-AB74-0040054C3719}\\TreatAs";
constexpr wchar_t kControlClsidText[] = L"{CCB90172-B81E-11D2-AB74-0040054C3719}";
constexpr wchar_t kStandInClsidText[] = L"{5B2E9C41-8D3A-4F7B-9E16-2C4A7D0B3F58}";
constexpr wchar_t kStandardFileName[] = L"OPOSScale.ocx";

bool NamesFile(const std::wstring& path, const wchar_t* file) {
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return _wcsicmp(name.c_str(), file) == 0;
}

std::string TreatAsStandIn() {
    ka::UniqueKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTreatAsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                     nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kStandInClsidText),
                                sizeof kStandInClsidText);
    }
    return status == ERROR_SUCCESS ? "" : "cannot route the control object's class to the stand-in: error " +
                                              std::to_string(status);
}

std::string TreatAsItself() {
    const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTreatAsKey);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return "cannot take the stand-in's route away: error " + std::to_string(status);
    }
    if (!StandardControlRegistered()) {
        return "the standard's control object (OPOSScale.ocx) is not registered in this prefix";
    }
    return "";
}

}  // namespace

std::wstring RegisteredServer(const wchar_t* clsidText) {
    const std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + clsidText + L"\\InprocServer32";
    wchar_t path[MAX_PATH * 2] = {};
    DWORD bytes = sizeof path - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &bytes) != ERROR_SUCCESS) {
        return L"";
    }
    return path;
}

bool StandardControlRegistered() { return NamesFile(RegisteredServer(kControlClsidText), kStandardFileName); }

ControlKind SelectedControl() {
    const char* selection = std::getenv(kSelectionVariable);
    return selection && std::strcmp(selection, kStandardSelection) == 0 ? ControlKind::Standard : ControlKind::StandIn;
}

const char* ControlName(ControlKind kind) { return kind == ControlKind::Standard ? "OPOSScale.ocx" : "the stand-in"; }

std::string UseSelectedControl() {
    return SelectedControl() == ControlKind::Standard ? TreatAsItself() : TreatAsStandIn();
}

}  // namespace ka::test
