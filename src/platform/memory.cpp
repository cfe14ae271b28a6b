#include "platform/memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

namespace quor::platform {

namespace {

// A field of /proc/self/status ("VmSize:", "VmData:") in bytes; 0 when absent.
double statusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == field) {
            double kb = 0;
            status >> kb;
            return kb * 1024;
        }
    return 0;
}

// What a limit leaves beside what the process already uses under it.
double roomUnder(int resource, const char* usedField) {
    rlimit lim{};
    if (getrlimit(resource, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return -1;
    return std::max(0.0, static_cast<double>(lim.rlim_cur) - statusBytes(usedField));
}

// The memory.max of the process's own control group (version 2), when set.
double controlGroupLimit() {
    std::ifstream cgroup("/proc/self/cgroup");
    std::string line;
    while (std::getline(cgroup, line)) {
        if (line.rfind("0::", 0) != 0) continue;
        std::ifstream max("/sys/fs/cgroup" + line.substr(3) + "/memory.max");
        std::string value;
        if (max >> value && value != "max") {
            try {
                return std::stod(value);
            } catch (const std::exception&) {
            }
        }
    }
    return -1;
}

}  // namespace

double usableMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    double usable = pages > 0 && pageSize > 0 ? static_cast<double>(pages) * static_cast<double>(pageSize)
                                              : std::numeric_limits<double>::infinity();
    for (double limit : {roomUnder(RLIMIT_AS, "VmSize:"), roomUnder(RLIMIT_DATA, "VmData:"), controlGroupLimit()})
        if (limit >= 0) usable = std::min(usable, limit);
    return usable;
}

}  // namespace quor::platform
