#pragma once
// The process's peak resident memory, and a way to start measuring it anew.
#include <fstream>
#include <string>

namespace kl::bench {

inline long peakRssKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

inline void resetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace kl::bench
