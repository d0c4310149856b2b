// The benchmarks' clock: milliseconds from the performance counter, finer
// than anything they measure.
#pragma once

#include <windows.h>

inline double BenchNowMs()
{
    static const double s_dMsPerTick = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1000.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * s_dMsPerTick;
}
