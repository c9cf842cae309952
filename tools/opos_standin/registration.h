#pragma once
// Self-registration of the stand-in under the control object's class name and class identifier.
// It never displaces another server of that identifier: on a machine where the real control object
// is installed, registering the stand-in is refused and unregistering it leaves the real one alone.

#include <windows.h>

#include <string>

namespace standin {

HRESULT RegisterStandIn(const std::wstring& modulePath) noexcept;
HRESULT UnregisterStandIn() noexcept;

// The in-process server now registered for the control's class identifier; "" when none is.
std::wstring RegisteredServerPath();
// Whether `path` names the stand-in's DLL (any folder, any case).
bool IsStandInPath(const std::wstring& path);

}  // namespace standin
