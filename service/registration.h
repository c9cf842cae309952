#pragma once
// Self-registration of the service object under HKEY_CLASSES_ROOT.

#include <windows.h>

#include <string>
#include <vector>

namespace pendrax {

enum class WriteWhen {
    Always,
    NoDefaultYet,  // an administrator's edit of the default value is kept
};

struct RegistrationEntry {
    std::string key;  // below HKEY_CLASSES_ROOT
    std::string value;  // the key's default value
    WriteWhen when;
};

// The five entries, in the order they are written.
std::vector<RegistrationEntry> RegistrationEntries();

// Writes every entry in order; SELFREG_E_CLASS when any of them could not be written.
HRESULT RegisterServer() noexcept;
// Removes the keys the registration writes, deepest first; SELFREG_E_CLASS when any remains.
HRESULT UnregisterServer() noexcept;

}  // namespace pendrax
