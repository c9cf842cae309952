#include "service/module.h"

#include <mutex>

#include "common/this_module.h"

namespace pendrax {

namespace {
HINSTANCE g_module = nullptr;
long g_objectLocks = 0;
long g_clientLocks = 0;
}  // namespace

HINSTANCE ModuleHandle() noexcept { return g_module ? g_module : ka::ModuleOfThisCode(); }

void SetModuleHandle(HINSTANCE module) noexcept { g_module = module; }

ka::CriticalSection& GlobalLock() noexcept {
    static ka::CriticalSection lock;
    return lock;
}

void LockServer() noexcept {
    std::lock_guard<ka::CriticalSection> hold(GlobalLock());
    ++g_objectLocks;
}

void UnlockServer() noexcept {
    std::lock_guard<ka::CriticalSection> hold(GlobalLock());
    --g_objectLocks;
}

void ClientLockServer(bool lock) noexcept {
    std::lock_guard<ka::CriticalSection> hold(GlobalLock());
    if (lock) {
        ++g_clientLocks;
    } else if (g_clientLocks > 0) {
        // An unbalanced LockServer(FALSE) takes back no lock of a live object, and cannot make
        // the count wrap and pin the library forever.
        --g_clientLocks;
    }
}

long ServerLockCount() noexcept {
    std::lock_guard<ka::CriticalSection> hold(GlobalLock());
    return g_objectLocks + g_clientLocks;
}

}  // namespace pendrax
