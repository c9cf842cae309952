#pragma once
// Reading one value of a device profile, the one way the service object, the administrator and
// the control-object stand-in all read it.

#include <windows.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace ka::profile {

// Opens a key under HKEY_LOCAL_MACHINE with the access asked for, and answers the registry's
// result. A device name may be as long as the registry allows (255 characters), which makes its
// profile's path longer than the MAX_PATH characters the ANSI registry functions take: the key
// is opened within its parent. A registry view named in `access` (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY) holds for both steps.
long OpenProfileKey(const std::string& keyPath, REGSAM access, ka::UniqueKey& key);

// A value as stored, of any type, its bytes unchanged: the buffer is sized from the registry's
// answer, and asked again if the value grew meanwhile. Throws std::bad_alloc.
long ReadRawValue(HKEY key, const char* valueName, DWORD& type, std::vector<BYTE>& data);

// 0 with the REG_SZ value's own text (its description cut), or a Windows error code:
// ERROR_INVALID_DATATYPE for a value of another type. The key is opened for reading only, so a
// user who may not change the profile still reads it; the buffer is sized from the registry's
// answer, so a value of any length reads whole. A null or empty value name reads the default value.
// `view` names the registry view to read (0: the process's own).
long ReadProfileText(const std::string& keyPath, const char* valueName, std::string& text, REGSAM view = 0);

}  // namespace ka::profile
