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

// What a keeper thread and the claim it keeps share; whichever lets go last frees it, so that
// neither waits for the other to end.
struct KeeperState {
    ka::UniqueHandle mutex;      // its own handle, whatever becomes of the link's
    ka::UniqueHandle answered;   // the wait for the mutex has ended
    ka::UniqueHandle letGo;      // give the mutex back and end
    ka::UniqueHandle released;   // the mutex is given back
    DWORD waitMs = 0;
    DWORD waitResult = WAIT_FAILED;
    DWORD waitError = 0;
};

// The thread's start parameter: its share of the state, and the reference to the library that
// keeps the keeper's code loaded until its very last instruction.
struct KeeperStart {
    std::shared_ptr<KeeperState> state;
    HMODULE library = nullptr;
};

DWORD WINAPI RunKeeper(void* parameter) noexcept {
    HMODULE library = nullptr;
    {
        std::unique_ptr<KeeperStart> start(static_cast<KeeperStart*>(parameter));
        library = start->library;
        KeeperState& keeper = *start->state;
        keeper.waitResult = WaitForSingleObject(keeper.mutex.get(), keeper.waitMs);
        keeper.waitError = GetLastError();
        const bool acquired = Acquired(keeper.waitResult);
        SetEvent(keeper.answered.get());
        if (acquired) {
            WaitForSingleObject(keeper.letGo.get(), INFINITE);
            ReleaseMutex(keeper.mutex.get());
            SetEvent(keeper.released.get());
        }
    }
    // The library may be on its way out (a close from another library's detach): the thread's
    // exit waits for the loader, which the releasing thread may hold, so nothing waits for it.
    FreeLibraryAndExitThread(library, 0);
}

// The thread that owns one claim mutex for this process, seen from the claim it keeps.
class Keeper {
public:
    // A keeper waiting `waitMs` for the link's mutex, which takes over `library` (a reference to
    // the library that holds its code); null with the last-error code when it cannot start.
    static std::unique_ptr<Keeper> Start(const DeviceLink& link, DWORD waitMs, ka::UniqueModule& library) {
        if (!library) return nullptr;
        auto keeper = std::make_unique<Keeper>();
        auto state = std::make_shared<KeeperState>();
        state->waitMs = waitMs;
        HANDLE process = GetCurrentProcess();
        HANDLE mutex = nullptr;
        if (!link.claimLock) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        if (!DuplicateHandle(process, link.claimLock.get(), process, &mutex, 0, FALSE, DUPLICATE_SAME_ACCESS)) return nullptr;
        state->mutex.reset(mutex);
        state->answered.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        state->letGo.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        state->released.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!state->answered || !state->letGo || !state->released) return nullptr;

        auto start = std::make_unique<KeeperStart>();
        start->state = state;
        start->library = library.get();
        keeper->thread_.reset(CreateThread(nullptr, kKeeperStackBytes, &RunKeeper, start.get(),
                                           STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        if (!keeper->thread_) return nullptr;
        // The thread's now, and the library reference with it.
        start.release();
        library.release();
        keeper->state_ = std::move(state);
        return keeper;
    }

    // Waits until the keeper's wait for the mutex has ended: true when it holds the mutex,
    // false with the wait's result and last-error code.
    bool AwaitAnswer(DWORD& waitResult) const noexcept {
        WaitForSingleObject(state_->answered.get(), INFINITE);
        waitResult = state_->waitResult;
        SetLastError(state_->waitError);
        return Acquired(waitResult);
    }

    // Gives the mutex back and returns once it is free. Only the release is waited for, not the
    // thread's end: that needs the loader, which a close from a library's detach holds. A thread
    // that is gone (ended by the process's exit) left the mutex abandoned, which frees it too.
    void GiveBack() noexcept {
        SetEvent(state_->letGo.get());
        const HANDLE ends[] = {state_->released.get(), thread_.get()};
        WaitForMultipleObjects(2, ends, FALSE, INFINITE);
    }

private:
    std::shared_ptr<KeeperState> state_;
    ka::UniqueHandle thread_;
};

// A claim this process holds or waits for: the application thread it answers to, and how many
// instances (two device names may share a port) hold it. No holder yet while its keeper still
// waits for the mutex.
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
    // With the lock held.
    void Erase(const HeldClaim* gone) {
        claims.erase(std::remove_if(claims.begin(), claims.end(),
                                    [gone](const std::unique_ptr<HeldClaim>& claim) { return claim.get() == gone; }),
                     claims.end());
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

long TimedOut(DeviceLink& link) {
    link.log.Line(zel::kCritical, "Timed-out trying to claim device; GLE=[%d].", static_cast<long>(GetLastError()));
    return opos::OPOS_E_CLAIMED;
}

// A reference to the library that holds the keeper's code: null with the last-error code when it
// cannot be had. Taken and given back outside the claims' hold, since the loader's lock comes first.
ka::UniqueModule ReferenceToKeeperCode() noexcept {
    HMODULE library = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunKeeper), &library);
    return ka::UniqueModule(library);
}

}  // namespace

long ClaimLock(DeviceLink& link, long timeout) {
    HeldClaims& held = ProcessClaims();
    ka::UniqueModule library = ReferenceToKeeperCode();
    enum class Lookup { Waiting, Mine, Another, NotStarted } lookup = Lookup::NotStarted;
    HeldClaim* claim = nullptr;
    try {
        // Looked up and, when new, entered under one hold: two threads of ours never both start a
        // keeper for one port. No line is written under it: a line may run the application.
        Hold hold(held.lock);
        if (HeldClaim* existing = held.Find(link.claimLockName)) {
            // Held by this process already: for this thread it is one more holder, as a second
            // wait on one's own mutex would be; another thread of ours holds or awaits it against us.
            lookup = existing->claimer == GetCurrentThreadId() && existing->holders > 0 ? Lookup::Mine : Lookup::Another;
            if (lookup == Lookup::Mine) ++existing->holders;
        } else if (auto keeper = Keeper::Start(link, timeout == opos::OPOS_FOREVER ? INFINITE : 0, library)) {
            // Any timeout but forever decides at once: a holder elsewhere is not waited for.
            auto waiting = std::make_unique<HeldClaim>();
            waiting->name = link.claimLockName;
            waiting->claimer = GetCurrentThreadId();
            waiting->keeper = std::move(keeper);
            claim = waiting.get();
            held.claims.push_back(std::move(waiting));
            lookup = Lookup::Waiting;
        }
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FailedToClaim(link);
    }
    if (lookup == Lookup::NotStarted) return FailedToClaim(link);
    if (lookup == Lookup::Another) return TimedOut(link);

    if (lookup == Lookup::Waiting) {
        DWORD waitResult = WAIT_FAILED;
        const bool acquired = claim->keeper->AwaitAnswer(waitResult);
        {
            ka::PreserveLastError keep;
            Hold hold(held.lock);
            if (acquired) {
                claim->holders = 1;
            } else {
                held.Erase(claim);  // its keeper ends by itself
            }
        }
        if (!acquired) return waitResult == WAIT_TIMEOUT ? TimedOut(link) : FailedToClaim(link);
    }
    link.claimedLockName = link.claimLockName;
    link.claimed = TRUE;
    return opos::OPOS_SUCCESS;
}

long ReleaseClaimLock(DeviceLink& link) {
    if (link.claimed) {
        HeldClaims& held = ProcessClaims();
        Hold hold(held.lock);
        HeldClaim* claim = held.Find(link.claimedLockName);
        if (claim && claim->holders > 0 && --claim->holders == 0) {
            // The entry goes only once the mutex is free: until then a lookup must still find the
            // claim held, not free while the mutex is not.
            claim->keeper->GiveBack();
            held.Erase(claim);
        }
    }
    link.claimed = FALSE;
    link.claimedLockName.clear();
    return 0;
}

bool ClaimProbePasses(DeviceLink& link) {
    {
        HeldClaims& held = ProcessClaims();
        Hold hold(held.lock);
        if (const HeldClaim* claim = held.Find(link.claimLockName)) {
            return claim->holders > 0 && claim->claimer == GetCurrentThreadId();
        }
    }
    const HANDLE lock = link.claimLock.get();
    const DWORD wait = lock ? WaitForSingleObject(lock, 0) : WAIT_FAILED;
    if (!Acquired(wait)) return false;
    ReleaseMutex(lock);
    return true;
}

}  // namespace pendrax
