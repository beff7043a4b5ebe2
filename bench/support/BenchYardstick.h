#pragma once
// The yardstick every benchmark states its figures against, measured in the same process: the time of
// std::sort over 10,000,000 random 64-bit integers, before and after the run. A figure divided by it
// stays comparable across machines and loads. Also the minor page faults of each phase (getrusage).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace bench {

inline double sortCalibrationSeconds() {
    std::vector<std::uint64_t> values(10'000'000);
    std::mt19937_64 random(20261208);
    for (std::uint64_t& v : values)
        v = random();
    const auto start = std::chrono::steady_clock::now();
    std::sort(values.begin(), values.end());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!std::is_sorted(values.begin(), values.end())) std::fprintf(stderr, "calibration: not sorted\n");
    return took.count();
}

inline long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

inline long peakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// One timed phase: wall seconds and minor page faults from construction to stop().
class Phase {
public:
    Phase() : m_faults(minorFaults()), m_start(std::chrono::steady_clock::now()) {}
    void stop() {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - m_start;
        seconds = took.count();
        faults = minorFaults() - m_faults;
        peakMiB = peakRssMiB();
    }
    double seconds = 0;
    long faults = 0;
    long peakMiB = 0; // the process's peak memory so far

private:
    long m_faults;
    std::chrono::steady_clock::time_point m_start;
};

// Figures are collected during the run and printed with their multiples once the second calibration
// is known; the yardstick is the mean of the two calibrations.
class Report {
public:
    Report() : m_before(sortCalibrationSeconds()) {
        std::printf("calibration before: std::sort of 10,000,000 random 64-bit integers %.3f s\n", m_before);
    }
    void add(std::string name, const Phase& phase) {
        m_rows.push_back({std::move(name), phase.seconds, phase.faults, phase.peakMiB});
    }
    void print() {
        const double after = sortCalibrationSeconds();
        const double yard = (m_before + after) / 2;
        std::printf("calibration after:  %.3f s; yardstick (mean) %.3f s\n", after, yard);
        std::printf("%-26s %9s %8s %12s %9s\n", "phase", "seconds", "x calib", "minor faults", "peak MiB");
        for (const Row& r : m_rows)
            std::printf("%-26s %9.3f %8.2f %12ld %9ld\n", r.name.c_str(), r.seconds, r.seconds / yard,
                        r.faults, r.peakMiB);
    }

private:
    struct Row {
        std::string name;
        double seconds;
        long faults;
        long peakMiB;
    };
    double m_before;
    std::vector<Row> m_rows;
};

} // namespace bench
