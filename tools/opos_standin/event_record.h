#pragma once
// What the service object's event requests delivered, recorded from whichever thread raised them,
// with a bounded wait for the next arrival.

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace standin {

class EventRecord {
public:
    EventRecord() noexcept;
    EventRecord(const EventRecord&) = delete;
    EventRecord& operator=(const EventRecord&) = delete;

    // False when the arrival event could not be created; the record is unusable then.
    bool Ready() const noexcept { return arrived_.valid(); }

    void RecordData(long weight) noexcept;
    void RecordError(long resultCode) noexcept;
    void RecordDirectIO(const std::wstring& text) noexcept;
    void RecordStatusUpdate() noexcept;
    void Clear() noexcept;

    // Waits at most `timeoutMs` for events not yet waited for; returns how many arrived since the
    // previous wait, 0 when none arrived in time.
    long WaitForEvents(DWORD timeoutMs) noexcept;
    // Signalled while events wait to be waited for.
    HANDLE ArrivalEvent() const noexcept { return arrived_.get(); }

    long DataCount() const noexcept;
    long ErrorCount() const noexcept;
    long DirectIOCount() const noexcept;
    long StatusUpdateCount() const noexcept;
    long LastDataWeight() const noexcept;
    long LastErrorResultCode() const noexcept;
    std::wstring LastDirectIOText() const;

private:
    long Read(const long& field) const noexcept;
    void Arrived() noexcept;  // called with the lock held

    mutable ka::CriticalSection lock_;
    ka::UniqueHandle arrived_;  // manual reset; set while events wait to be waited for
    long unwaited_ = 0;
    long dataCount_ = 0;
    long errorCount_ = 0;
    long directIOCount_ = 0;
    long statusUpdateCount_ = 0;
    long lastDataWeight_ = 0;
    long lastErrorResultCode_ = 0;
    std::wstring lastDirectIOText_;
};

}  // namespace standin
