#pragma once
// The asynchronous reads of one instance still in flight. Each runs on an event thread of its own
// in two phases: reading, while it owns the port, then firing, while it only calls the control
// object. Teardowns, new reads and zeroing wait only for a thread that is reading, so a handler
// that the control object runs while our event request waits can call back into the instance;
// events reach the control object one at a time, in the order of their reads.

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "common/unique_handle.h"
#include "service/scale_state.h"

namespace pendrax {

class CScaleTRM07;

// One asynchronous read and its event thread.
struct AsyncRead {
    CScaleTRM07* scale = nullptr;
    long timeoutMs = 0;
    // The control object as it was when the read began: a later open may change the instance's.
    ControlObjectLink link;
    unsigned long sequence = 0;
    // Monotonic ms by which the reading has ended at the latest: its deadline and one attempt.
    long long latestEndMs = 0;
    ka::UniqueHandle thread;
    DWORD threadId = 0;
    ka::UniqueHandle readingDone;  // manual reset
    ka::UniqueHandle cancelled;    // manual reset: cuts the retries short, skips the event
    bool turnDone = false;         // guarded by the list's lock
};

class AsyncReads {
public:
    AsyncReads() noexcept;
    ~AsyncReads();
    AsyncReads(const AsyncReads&) = delete;
    AsyncReads& operator=(const AsyncReads&) = delete;

    // A new read whose thread is created suspended at `entry` with the read as its parameter;
    // null with the last-error code when it cannot be had.
    AsyncRead* Add(CScaleTRM07& scale, long timeoutMs, const ControlObjectLink& link, LPTHREAD_START_ROUTINE entry);
    // Forgets a read whose thread never ran.
    void Discard(AsyncRead* read) noexcept;

    // Waits for every thread but the caller that is still reading, each bounded by its deadline
    // and one attempt, serving messages sent to this thread meanwhile. False when one still reads.
    bool WaitForReading() noexcept;
    // Reads whose event has not had its turn yet, the one being delivered included.
    size_t Undelivered() noexcept;
    // Every read in flight skips its event and stops retrying; reads started later are not touched.
    void CancelAll() noexcept;
    // Waits for every thread but the caller to end, bounded by their deadlines and `slackMs` for
    // the event calls. False when one still runs.
    bool WaitForAllToEnd(DWORD slackMs) noexcept;

    // The event thread's side.
    void ReadingDone(AsyncRead& read) noexcept;
    bool Cancelled(const AsyncRead& read) const noexcept;
    // Waits until every earlier read has had its turn; false when this one was cancelled first.
    // `onTurn` runs once the turn is had, before any teardown can cancel it: what it records
    // comes before what the teardown records.
    bool AwaitTurn(AsyncRead& read, const std::function<void()>& onTurn) noexcept;
    void TurnDone(AsyncRead& read) noexcept;

private:
    // With the lock held: forgets reads whose thread has ended.
    void PruneEnded() noexcept;
    // The first read of another thread that still reads (`reading`) or runs, or null.
    std::shared_ptr<AsyncRead> FirstOther(bool reading);
    bool WaitForOthers(bool reading, DWORD slackMs) noexcept;

    ka::CriticalSection lock_;
    CONDITION_VARIABLE turnPassed_;
    std::vector<std::shared_ptr<AsyncRead>> reads_;
    unsigned long lastSequence_ = 0;
};

}  // namespace pendrax
