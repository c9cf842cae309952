#pragma once
// Library-wide state of the service-object DLL: its module handle and the server lock count.

#include <windows.h>

#include "common/unique_handle.h"

namespace pendrax {

// The module that holds the service object: the DLL when loaded as a COM server, else the
// module the code was linked into. Resources and the registered path come from it.
HINSTANCE ModuleHandle() noexcept;
// Recorded by the library entry point at process attach.
void SetModuleHandle(HINSTANCE module) noexcept;

// Guards the server lock count and the class table's availability and reference counts.
ka::CriticalSection& GlobalLock() noexcept;

// What keeps the library loaded, counted apart so that one cannot take back what the other gave:
// our own objects and threads (an instance, a running event thread), and the clients' locks
// through IClassFactory::LockServer.
void LockServer() noexcept;
void UnlockServer() noexcept;
void ClientLockServer(bool lock) noexcept;
// Both counts together.
long ServerLockCount() noexcept;

}  // namespace pendrax
