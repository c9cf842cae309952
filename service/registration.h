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
    std::string value;
    WriteWhen when;
    const char* valueName = nullptr;  // null: the key's default value
};

// The entries in the order they are written: five keys, then the threading model of the server.
std::vector<RegistrationEntry> RegistrationEntries();

// Writes the entries in order; the first that cannot be written ends the sequence with
// SELFREG_E_CLASS.
HRESULT RegisterServer() noexcept;
// Removes the keys the registration writes, deepest first, and their values with them;
// SELFREG_E_CLASS when any remains.
HRESULT UnregisterServer() noexcept;

}  // namespace pendrax
