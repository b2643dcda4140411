#pragma once
// What every bench measures besides wall time, written once: the median that
// its figures report, the CPU time of the whole process (which a busy machine
// hardly changes, unlike wall time) and the peak resident memory.
#include <algorithm>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace kl::bench {

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Every thread of the process, user and system time together.
inline double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline long peakRssKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// Starts measuring the peak anew, so a stage's figure is not the one before it.
inline void resetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace kl::bench
