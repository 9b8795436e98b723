#pragma once

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

// What a cold-start child prints: "<milliseconds> <peak KiB>".
namespace ColdStartReport {

inline std::chrono::steady_clock::time_point& start()
{
    static std::chrono::steady_clock::time_point point;
    return point;
}

inline void markStart()
{
    start() = std::chrono::steady_clock::now();
}

inline void print()
{
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start()).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %ld\n", ms, usage.ru_maxrss);
    std::fflush(stdout);
}

} // namespace ColdStartReport
