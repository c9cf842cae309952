#include "device/claim_lock.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace pendrax {

namespace {

using Hold = std::lock_guard<ka::CriticalSection>;

// The keeper only waits on two objects.
constexpr SIZE_T kKeeperStackBytes = 64 * 1024;

// An abandoned mutex is owned by the waiter all the same: its holder ended without releasing it.
bool Acquired(DWORD waitResult) noexcept { return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED; }

// The thread that owns one claim mutex for this process.
struct Keeper {
    ka::UniqueHandle mutex;      // its own handle, whatever becomes of the link's
    ka::UniqueHandle answered;   // the wait for the mutex has ended
    ka::UniqueHandle letGo;      // give the mutex back and end
    ka::UniqueHandle thread;
    DWORD waitMs = 0;
    DWORD waitResult = WAIT_FAILED;
    DWORD waitError = 0;

    static DWORD WINAPI Run(void* self) noexcept {
        auto& keeper = *static_cast<Keeper*>(self);
        keeper.waitResult = WaitForSingleObject(keeper.mutex.get(), keeper.waitMs);
        keeper.waitError = GetLastError();
        SetEvent(keeper.answered.get());
        if (!Acquired(keeper.waitResult)) return 0;
        WaitForSingleObject(keeper.letGo.get(), INFINITE);
        ReleaseMutex(keeper.mutex.get());
        return 0;
    }

    // Ends the thread, giving the mutex back if it holds it. The thread only has a release left
    // to do, so this is a short wait; the keeper's memory must outlive it.
    ~Keeper() {
        if (!thread) return;
        SetEvent(letGo.get());
        WaitForSingleObject(thread.get(), INFINITE);
    }
};

// A claim this process holds: the application thread it answers to, and how many instances
// (two device names may share a port) hold it.
struct HeldClaim {
    std::string name;
    DWORD claimer = 0;
    long holders = 0;
    std::unique_ptr<Keeper> keeper;
};

struct HeldClaims {
    ka::CriticalSection lock;
    std::vector<std::unique_ptr<HeldClaim>> claims;

    // With the lock held.
    HeldClaim* Find(const std::string& name) {
        for (auto& claim : claims)
            if (claim->name == name) return claim.get();
        return nullptr;
    }
};

HeldClaims& ProcessClaims() {
    static HeldClaims claims;
    return claims;
}

long FailedToClaim(DeviceLink& link) {
    link.log.Line(zel::kCritical, "Failed to claim device; GLE=[%d].", static_cast<long>(GetLastError()));
    return opos::OPOS_E_FAILURE;
}

// A keeper waiting `waitMs` for the link's mutex; null with the last-error code when it cannot start.
std::unique_ptr<Keeper> StartKeeper(DeviceLink& link, DWORD waitMs) {
    auto keeper = std::make_unique<Keeper>();
    keeper->waitMs = waitMs;
    HANDLE process = GetCurrentProcess();
    HANDLE mutex = nullptr;
    if (!link.claimLock || !DuplicateHandle(process, link.claimLock.get(), process, &mutex, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        if (!link.claimLock) SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    keeper->mutex.reset(mutex);
    keeper->answered.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    keeper->letGo.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!keeper->answered || !keeper->letGo) return nullptr;
    keeper->thread.reset(
        CreateThread(nullptr, kKeeperStackBytes, &Keeper::Run, keeper.get(), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!keeper->thread) return nullptr;
    return keeper;
}

}  // namespace

long ClaimLock(DeviceLink& link, long timeout) {
    HeldClaims& held = ProcessClaims();
    {
        Hold hold(held.lock);
        if (HeldClaim* claim = held.Find(link.claimLockName)) {
            // Held by this process already: for this thread it is one more holder, as a second
            // wait on one's own mutex would be; another thread of ours holds it against us.
            if (claim->claimer != GetCurrentThreadId()) {
                link.log.Line(zel::kCritical, "Timed-out trying to claim device; GLE=[%d].", static_cast<long>(GetLastError()));
                return opos::OPOS_E_CLAIMED;
            }
            ++claim->holders;
            link.claimedLockName = link.claimLockName;
            link.claimed = TRUE;
            return opos::OPOS_SUCCESS;
        }
    }
    // Any timeout but forever decides at once: a holder elsewhere is not waited for.
    std::unique_ptr<Keeper> keeper = StartKeeper(link, timeout == opos::OPOS_FOREVER ? INFINITE : 0);
    if (!keeper) return FailedToClaim(link);
    WaitForSingleObject(keeper->answered.get(), INFINITE);
    if (!Acquired(keeper->waitResult)) {
        SetLastError(keeper->waitError);
        if (keeper->waitResult == WAIT_TIMEOUT) {
            link.log.Line(zel::kCritical, "Timed-out trying to claim device; GLE=[%d].", static_cast<long>(GetLastError()));
            return opos::OPOS_E_CLAIMED;
        }
        return FailedToClaim(link);
    }

    auto claim = std::make_unique<HeldClaim>();
    claim->name = link.claimLockName;
    claim->claimer = GetCurrentThreadId();
    claim->holders = 1;
    claim->keeper = std::move(keeper);
    {
        Hold hold(held.lock);
        held.claims.push_back(std::move(claim));
    }
    link.claimedLockName = link.claimLockName;
    link.claimed = TRUE;
    return opos::OPOS_SUCCESS;
}

long ReleaseClaimLock(DeviceLink& link) {
    std::unique_ptr<HeldClaim> lastHolder;
    if (link.claimed) {
        HeldClaims& held = ProcessClaims();
        Hold hold(held.lock);
        auto at = std::find_if(held.claims.begin(), held.claims.end(),
                               [&](const std::unique_ptr<HeldClaim>& claim) { return claim->name == link.claimedLockName; });
        if (at != held.claims.end() && --(*at)->holders == 0) {
            lastHolder = std::move(*at);
            held.claims.erase(at);
        }
    }
    link.claimed = FALSE;
    link.claimedLockName.clear();
    // Its keeper gives the mutex back before this returns, so the next claimant finds it free.
    lastHolder.reset();
    return 0;
}

bool ClaimProbePasses(DeviceLink& link) {
    {
        HeldClaims& held = ProcessClaims();
        Hold hold(held.lock);
        if (const HeldClaim* claim = held.Find(link.claimLockName)) return claim->claimer == GetCurrentThreadId();
    }
    const HANDLE lock = link.claimLock.get();
    const DWORD wait = lock ? WaitForSingleObject(lock, 0) : WAIT_FAILED;
    if (!Acquired(wait)) return false;
    ReleaseMutex(lock);
    return true;
}

}  // namespace pendrax
