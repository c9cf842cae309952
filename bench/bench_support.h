#pragma once
// What the benchmarks share: a high-resolution clock, sample statistics and one printed row
// per figure, each beside the floor it is measured against.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace ka::bench {

inline double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perMs;
}

// The process's CPU time, user and kernel, in milliseconds.
inline double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

struct Summary {
    double median = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
    size_t count = 0;
};

inline Summary Summarise(std::vector<double> samples) {
    Summary s;
    s.count = samples.size();
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    s.median = samples[samples.size() / 2];
    s.p99 = samples[std::min(samples.size() - 1, (samples.size() * 99) / 100)];
    s.min = samples.front();
    s.max = samples.back();
    return s;
}

inline void PrintHeading(const char* title) {
    std::printf("\n== %s\n", title);
    std::fflush(stdout);
}

inline void PrintLatency(const char* what, const Summary& s) {
    std::printf("  %-58s median %8.2f ms   p99 %8.2f ms   (min %.2f, max %.2f, n=%zu)\n", what, s.median, s.p99, s.min,
                s.max, s.count);
    std::fflush(stdout);
}

}  // namespace ka::bench
