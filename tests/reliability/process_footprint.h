#pragma once
// What a process holds, measured the same way on Windows and under Wine: for the checks that
// repeated work leaves nothing behind.

#include <windows.h>
#include <psapi.h>

#include <vector>

namespace ka::test {

// Committed private pages, counted region by region: what PrivateUsage reports on Windows,
// where Wine leaves PrivateUsage at 0.
inline long long CommittedPrivateBytes() {
    long long total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += static_cast<long long>(region.RegionSize);
        if (region.RegionSize == 0) break;
    }
    return total;
}

inline long long PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters) &&
        counters.PrivateUsage != 0) {
        return static_cast<long long>(counters.PrivateUsage);
    }
    return CommittedPrivateBytes();
}

// Bytes in use in every heap of the process, block by block: finer than pages, so a leak of a
// few bytes a cycle shows long before it costs a page.
inline long long HeapBytesInUse() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    long long total = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += static_cast<long long>(entry.cbData);
        }
        HeapUnlock(heap);
    }
    return total;
}

}  // namespace ka::test
