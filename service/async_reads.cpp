#include "service/async_reads.h"

#include <algorithm>
#include <mutex>

#include "device/scale_conversation.h"
#include "service/weight_reading.h"

namespace pendrax {

namespace {

using Hold = std::lock_guard<ka::CriticalSection>;

// A reading ends at most one pause and one attempt after its deadline; a new thread may take a
// moment to be scheduled.
constexpr long long kOneAttemptMs = kSettlingPauseMs + kWeighLimitMs;
constexpr long long kSchedulingGraceMs = 500;

bool Signalled(HANDLE handle) noexcept { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }

// A control object may hand an event over to the waiting thread with SendMessage: sent
// messages are served so that neither side waits on the other. Posted ones are not: they
// would run the application's code inside our call.
bool WaitServingSentMessages(HANDLE handle, long long timeoutMs) noexcept {
    const long long limit = MonotonicMs() + timeoutMs;
    for (;;) {
        const long long now = MonotonicMs();
        if (now >= limit) return false;
        const DWORD wait = MsgWaitForMultipleObjectsEx(1, &handle, static_cast<DWORD>(limit - now), QS_SENDMESSAGE,
                                                       MWMO_INPUTAVAILABLE);
        if (wait == WAIT_OBJECT_0) return true;
        if (wait != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

AsyncReads::AsyncReads() noexcept { InitializeConditionVariable(&turnPassed_); }

AsyncReads::~AsyncReads() = default;

AsyncRead* AsyncReads::Add(CScaleTRM07& scale, long timeoutMs, const ControlObjectLink& link,
                           LPTHREAD_START_ROUTINE entry) {
    try {
        auto read = std::make_shared<AsyncRead>();
        read->scale = &scale;
        read->timeoutMs = timeoutMs;
        read->link = link;
        read->latestEndMs = MonotonicMs() + std::max(timeoutMs, 0L) + kOneAttemptMs + kSchedulingGraceMs;
        read->readingDone.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        read->cancelled.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!read->readingDone || !read->cancelled) return nullptr;

        Hold hold(lock_);
        PruneEnded();
        reads_.push_back(read);
        // Default stack size; a new thread runs at normal priority.
        read->thread.reset(CreateThread(nullptr, 0, entry, read.get(), CREATE_SUSPENDED, &read->threadId));
        if (!read->thread) {
            ka::PreserveLastError keep;
            reads_.pop_back();
            return nullptr;
        }
        read->sequence = ++lastSequence_;
        return read.get();
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

void AsyncReads::Discard(AsyncRead* read) noexcept {
    Hold hold(lock_);
    reads_.erase(std::remove_if(reads_.begin(), reads_.end(),
                                [read](const std::shared_ptr<AsyncRead>& r) { return r.get() == read; }),
                 reads_.end());
}

void AsyncReads::PruneEnded() noexcept {
    reads_.erase(std::remove_if(reads_.begin(), reads_.end(),
                                [](const std::shared_ptr<AsyncRead>& r) { return Signalled(r->thread.get()); }),
                 reads_.end());
}

std::shared_ptr<AsyncRead> AsyncReads::FirstOther(bool reading) {
    const DWORD self = GetCurrentThreadId();
    for (const auto& read : reads_) {
        if (read->threadId == self) continue;
        if (!Signalled(reading ? read->readingDone.get() : read->thread.get())) return read;
    }
    return nullptr;
}

bool AsyncReads::WaitForOthers(bool reading, DWORD slackMs) noexcept {
    for (;;) {
        std::shared_ptr<AsyncRead> other;
        {
            Hold hold(lock_);
            PruneEnded();
            other = FirstOther(reading);
        }
        if (!other) return true;
        const long long left = other->latestEndMs + slackMs - MonotonicMs();
        if (left <= 0) return false;
        const HANDLE end = reading ? other->readingDone.get() : other->thread.get();
        if (!WaitServingSentMessages(end, left)) return false;
    }
}

bool AsyncReads::WaitForReading() noexcept { return WaitForOthers(true, 0); }

bool AsyncReads::WaitForAllToEnd(DWORD slackMs) noexcept { return WaitForOthers(false, slackMs); }

size_t AsyncReads::Undelivered() noexcept {
    Hold hold(lock_);
    PruneEnded();
    return static_cast<size_t>(
        std::count_if(reads_.begin(), reads_.end(), [](const std::shared_ptr<AsyncRead>& r) { return !r->turnDone; }));
}

void AsyncReads::CancelAll() noexcept {
    {
        Hold hold(lock_);
        for (const auto& read : reads_) SetEvent(read->cancelled.get());
    }
    WakeAllConditionVariable(&turnPassed_);
}

void AsyncReads::ReadingDone(AsyncRead& read) noexcept { SetEvent(read.readingDone.get()); }

bool AsyncReads::Cancelled(const AsyncRead& read) const noexcept { return Signalled(read.cancelled.get()); }

bool AsyncReads::AwaitTurn(AsyncRead& read, const std::function<void()>& onTurn) noexcept {
    Hold hold(lock_);
    for (;;) {
        if (Cancelled(read)) return false;
        const bool earlierWaiting = std::any_of(reads_.begin(), reads_.end(), [&read](const std::shared_ptr<AsyncRead>& r) {
            return r->sequence < read.sequence && !r->turnDone;
        });
        if (!earlierWaiting) break;
        SleepConditionVariableCS(&turnPassed_, lock_.native(), INFINITE);
    }
    onTurn();
    return true;
}

void AsyncReads::TurnDone(AsyncRead& read) noexcept {
    {
        Hold hold(lock_);
        read.turnDone = true;
    }
    WakeAllConditionVariable(&turnPassed_);
}

}  // namespace pendrax
