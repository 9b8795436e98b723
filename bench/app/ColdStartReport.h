#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    // The peak of this program's own memory. Not getrusage's ru_maxrss: a child started by fork (or vfork)
    // and exec inherits its parent's peak there, so a parent grown large masks both children's.
    long peakKib = 0;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, "VmHWM:", 6) == 0) {
                peakKib = std::atol(line + 6);
            }
        }
        std::fclose(status);
    }
    std::printf("%.3f %ld\n", ms, peakKib);
    std::fflush(stdout);
}

} // namespace ColdStartReport
