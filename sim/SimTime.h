#pragma once

// Time in the simulation: nanoseconds of the steady clock (CLOCK_MONOTONIC on Linux), so that
// the trace can be compared with a test's own clock readings and packet times mean the same
// in every process of the machine.

#include <chrono>
#include <cstdint>
#include <limits>

using SimNs = int64_t;

constexpr SimNs kSimNever = std::numeric_limits<SimNs>::max();
constexpr SimNs kSimMicro = 1000;
constexpr SimNs kSimMilli = 1000 * 1000;

inline SimNs simNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline std::chrono::steady_clock::time_point simTimePoint(SimNs t)
{
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::nanoseconds(t)));
}
