#pragma once
// A registry key that a standard user may read but not change or delete, for one test: its own
// security is restored when the object goes.

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace ka::test {

class ReadOnlyKey {
public:
    // `view` names a registry view (KEY_WOW64_32KEY, KEY_WOW64_64KEY); 0 is the test's own.
    explicit ReadOnlyKey(const std::string& path, HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = 0)
        : root_(root), path_(path), view_(view) {
        ka::UniqueKey key;
        if (RegOpenKeyExA(root_, path_.c_str(), 0, READ_CONTROL | WRITE_DAC | view_, key.put()) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS) return;
        PSECURITY_DESCRIPTOR readOnly = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                  nullptr))
            return;
        applied_ = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
        LocalFree(readOnly);
    }
    ~ReadOnlyKey() {
        if (!applied_) return;
        ka::UniqueKey key;
        if (RegOpenKeyExA(root_, path_.c_str(), 0, WRITE_DAC | view_, key.put()) == ERROR_SUCCESS)
            RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data());
    }
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
    bool applied() const { return applied_; }

private:
    HKEY root_;
    std::string path_;
    REGSAM view_;
    std::vector<BYTE> saved_;
    bool applied_ = false;
};

}  // namespace ka::test
