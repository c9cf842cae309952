#pragma once
// Self-registration of the stand-in: always under a class of its own, and under the real control
// object's class identifier and class name only where no other server holds them. It never
// displaces another server of that identifier: on a machine with the real control object, the
// stand-in's own class is registered and the real one is left alone, and unregistering the
// stand-in leaves it alone too.

#include <windows.h>

#include <string>

namespace standin {

HRESULT RegisterStandIn(const std::wstring& modulePath) noexcept;
HRESULT UnregisterStandIn() noexcept;

// The in-process server now registered for the control's class identifier; "" when none is.
std::wstring RegisteredServerPath();
// Whether `path` names the stand-in's DLL (any folder, any case).
bool IsStandInPath(const std::wstring& path);
// No server but the stand-in holds the control's class identifier.
bool StandardClassIsFree();

}  // namespace standin
