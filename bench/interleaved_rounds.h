// A path through the runtime and its hand-written baseline, timed in alternating rounds so that
// both see the same machine (the machine is shared and its speed drifts); the medians of the
// rounds are what the benchmarks print.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

inline double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / frequency.QuadPart;
}

struct Medians {
    double runtime, baseline; // seconds per run
};

// Warms both paths up with warmUp runs each, then times rounds rounds of perRound runs of each.
inline Medians TimeInterleaved(void (*runtime)(), void (*baseline)(), int rounds, int perRound,
                               int warmUp) {
    auto time = [](void (*path)(), int count) {
        double start = Now();
        for (int i = 0; i < count; ++i)
            path();
        return (Now() - start) / count;
    };
    auto median = [](std::vector<double>& values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    time(runtime, warmUp);
    time(baseline, warmUp);
    std::vector<double> r, b;
    for (int round = 0; round < rounds; ++round) {
        r.push_back(time(runtime, perRound));
        b.push_back(time(baseline, perRound));
    }
    return {median(r), median(b)};
}
