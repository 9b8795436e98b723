#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// A double as a 64-bit integer, the fraction dropped. Clamped, because casting a value outside the range
// (or NaN) is undefined; NaN gives 0.
inline std::int64_t truncatedInteger(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 9.2233720368547758e18) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value <= -9.2233720368547758e18) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}
