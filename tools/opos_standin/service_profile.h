#pragma once
// Finding the service object of a device name: the default value of its profile key is the ProgID.

#include <string>

namespace standin {

// The ProgID named by the profile of `deviceName`, with a description suffix cut off.
// Returns 0, or OPOS_E_NOEXIST when there is no such profile or it names no ProgID.
long FindServiceProgId(const std::wstring& deviceName, std::wstring& progId);

}  // namespace standin
