#include "tools/opos_standin/event_record.h"

#include <mutex>

namespace standin {

using Hold = std::lock_guard<ka::CriticalSection>;

EventRecord::EventRecord() noexcept : arrived_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void EventRecord::Arrived() noexcept {
    ++unwaited_;
    SetEvent(arrived_.get());
}

void EventRecord::RecordData(long weight) noexcept {
    Hold hold(lock_);
    ++dataCount_;
    lastDataWeight_ = weight;
    Arrived();
}

void EventRecord::RecordError(long resultCode) noexcept {
    Hold hold(lock_);
    ++errorCount_;
    lastErrorResultCode_ = resultCode;
    Arrived();
}

void EventRecord::RecordDirectIO(const std::wstring& text) noexcept {
    Hold hold(lock_);
    ++directIOCount_;
    try {
        lastDirectIOText_ = text;
    } catch (...) {
        lastDirectIOText_.clear();  // out of memory: the count still tells that it came
    }
    Arrived();
}

void EventRecord::RecordStatusUpdate() noexcept {
    Hold hold(lock_);
    ++statusUpdateCount_;
    Arrived();
}

void EventRecord::Clear() noexcept {
    Hold hold(lock_);
    unwaited_ = dataCount_ = errorCount_ = directIOCount_ = statusUpdateCount_ = 0;
    lastDataWeight_ = lastErrorResultCode_ = 0;
    lastDirectIOText_.clear();
    ResetEvent(arrived_.get());
}

long EventRecord::WaitForEvents(DWORD timeoutMs) noexcept {
    if (WaitForSingleObject(arrived_.get(), timeoutMs) != WAIT_OBJECT_0) return 0;
    Hold hold(lock_);
    long count = unwaited_;
    unwaited_ = 0;
    ResetEvent(arrived_.get());
    return count;
}

long EventRecord::Read(const long& field) const noexcept {
    Hold hold(lock_);
    return field;
}

long EventRecord::DataCount() const noexcept { return Read(dataCount_); }
long EventRecord::ErrorCount() const noexcept { return Read(errorCount_); }
long EventRecord::DirectIOCount() const noexcept { return Read(directIOCount_); }
long EventRecord::StatusUpdateCount() const noexcept { return Read(statusUpdateCount_); }
long EventRecord::LastDataWeight() const noexcept { return Read(lastDataWeight_); }
long EventRecord::LastErrorResultCode() const noexcept { return Read(lastErrorResultCode_); }

std::wstring EventRecord::LastDirectIOText() const {
    Hold hold(lock_);
    return lastDirectIOText_;
}

}  // namespace standin
