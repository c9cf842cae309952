#pragma once
// Counters in named shared memory that the processes of a cross-process test keep together.

#include <windows.h>

#include "common/unique_handle.h"

namespace ka::test {

struct SharedTally {
    volatile LONG holders;    // processes that hold the claim right now
    volatile LONG overlaps;   // times a process found another holder beside itself
    volatile LONG claims;     // claims taken in all
    volatile LONG refusals;   // claims answered "claimed by someone else"
    volatile LONG badReads;   // reads under the claim that did not answer the standing weight
    LONG weight;              // the standing weight of the simulated scale
};

// A view of the tally: created by the test (zeroed), opened by name by each worker.
class SharedTallyView {
public:
    // Creates the named tally.
    SharedTallyView(const char* name, bool create)
        : mapping_(create ? CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedTally), name)
                          : OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name)) {
        if (mapping_) view_ = static_cast<SharedTally*>(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    }
    explicit SharedTallyView(const char* name) : SharedTallyView(name, false) {}
    ~SharedTallyView() {
        if (view_) UnmapViewOfFile(view_);
    }
    SharedTallyView(const SharedTallyView&) = delete;
    SharedTallyView& operator=(const SharedTallyView&) = delete;

    explicit operator bool() const noexcept { return view_ != nullptr; }
    SharedTally* operator->() const noexcept { return view_; }

private:
    ka::UniqueHandle mapping_;
    SharedTally* view_ = nullptr;
};

}  // namespace ka::test
