#pragma once
// Finding the service object of a device name: the default value of its profile key is the ProgID.

#include <string>

namespace standin {

constexpr wchar_t kScaleProfileRoot[] = L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale";

// The ProgID named by the profile of `deviceName`, with a description suffix cut off.
// Returns 0, or OPOS_E_NOEXIST when there is no such profile or it names no ProgID.
long FindServiceProgId(const std::wstring& deviceName, std::wstring& progId);

// The value text before a "|||" description suffix, without the blanks that end it.
std::wstring ProfileValueText(const std::wstring& stored);

}  // namespace standin
