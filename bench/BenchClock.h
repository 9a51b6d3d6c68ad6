// The benchmarks' clock: the performance counter, in ticks and in seconds.
#pragma once

#include <windows.h>

namespace kwbench {

inline long long Ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

inline double Seconds(long long ticks) {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return static_cast<double>(ticks) / frequency;
}

// Seconds since an arbitrary fixed point.
inline double Now() { return Seconds(Ticks()); }

}  // namespace kwbench
