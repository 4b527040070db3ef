#pragma once

// What /proc tells about another process.

#include <sys/types.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

// A "Key:" line of /proc/PID/status in kB (VmHWM, VmRSS), -1 when there is none.
inline long statusKb(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + ":", 0) == 0)
            return std::atol(line.c_str() + key.size() + 1);
    }
    return -1;
}

} // namespace bench
