#pragma once
// The service object's log: a ZelLog with its category and level tables installed.

#include "logging/zel_log.h"

namespace zel {

enum Category : int { kUnassigned = 0, kMainThread = 1, kEventThread = 2, kDeviceThread = 3 };
enum Level : int { kCritical = 0, kSignificant = 1, kInformation = 2, kFunctTrace = 3, kDataFlow = 4 };

// Each line carries the category of the thread that writes it, kept in a thread-local slot that
// the service object allocates when it opens: 1 on the opening thread, 2 on an event thread.
class OposLog : public ZelLog {
public:
    OposLog();

    // A fresh slot, with the calling thread's category `category`; the earlier slot is given back.
    void AllocateCategorySlot(int category) noexcept;
    // The calling thread's category from now on; nothing before a slot is allocated.
    void SetThreadCategory(int category) noexcept;
    // The calling thread's category, kUnassigned when it has none.
    int ThreadCategory() const noexcept;

    // Writes one line with the calling thread's category. The last-error code survives the
    // call, so a following line can still show it.
    void Line(int level, const char* format, ...) noexcept;

private:
    // TLS_OUT_OF_INDEXES until allocated: index 0 may be someone else's slot.
    ka::UniqueTlsSlot categorySlot_;
};

}  // namespace zel
