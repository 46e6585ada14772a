#pragma once

// The process's memory as the kernel counts it, for the benchmarks' peak figures.

#include <cstdlib>
#include <fstream>
#include <string>

#include <QtGlobal>

namespace kestrum::bench {

/// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when it is not there.
inline qint64 statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::atoll(line.c_str() + prefix.size());
    }
    return -1;
}

/// Sets the peak RSS (VmHWM) back to the current RSS.
inline bool resetPeak()
{
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5";
    return static_cast<bool>(clearRefs.flush());
}

} // namespace kestrum::bench
