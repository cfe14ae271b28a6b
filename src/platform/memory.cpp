#include "platform/memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
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

// A limit file's value; -1 when it is missing, unset ("max") or unreadable.
double limitIn(const std::string& file) {
    std::ifstream in(file);
    std::string value;
    if (!(in >> value) || value == "max") return -1;
    try {
        return std::stod(value);
    } catch (const std::exception&) {
        return -1;
    }
}

// The tighter of two limits, either of which may be unset (-1).
double tighter(double a, double b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); }

// The tightest of `file` in the group `path` under `mount` and in each of
// its parents. A group that is not there is passed over: inside a
// container the mount often starts at the container's own group, while
// the path names it from the host's root.
double tightestUpward(const std::string& mount, std::string path, const char* file) {
    double tightest = -1;
    while (true) {
        tightest = tighter(tightest, limitIn(mount + path + "/" + file));
        if (path.empty() || path == "/") break;
        const auto slash = path.find_last_of('/');
        path.erase(slash == std::string::npos ? 0 : slash);
    }
    return tightest;
}

bool namesMemoryController(const std::string& controllers) {
    std::istringstream list(controllers);
    std::string c;
    while (std::getline(list, c, ','))
        if (c == "memory") return true;
    return false;
}

}  // namespace

double controlGroupMemoryLimit(const std::string& root) {
    // Each line is "hierarchy:controllers:path"; version 2's has hierarchy
    // 0 and no controllers, version 1's memory hierarchy names "memory".
    std::ifstream cgroup(root + "/proc/self/cgroup");
    const std::string groups = root + "/sys/fs/cgroup";
    double tightest = -1;
    std::string line;
    while (std::getline(cgroup, line)) {
        const auto first = line.find(':');
        const auto second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string hierarchy = line.substr(0, first);
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (hierarchy == "0" && controllers.empty()) {
            // Alone at the top, or beside version 1 under "unified".
            for (const char* mount : {"", "/unified"})
                tightest = tighter(tightest, tightestUpward(groups + mount, path, "memory.max"));
        } else if (namesMemoryController(controllers)) {
            tightest = tighter(tightest, tightestUpward(groups + "/memory", path, "memory.limit_in_bytes"));
        }
    }
    return tightest;
}

UsableMemory usableMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    UsableMemory usable;
    usable.bytes = pages > 0 && pageSize > 0 ? static_cast<double>(pages) * static_cast<double>(pageSize)
                                             : std::numeric_limits<double>::infinity();
    for (double limit : {roomUnder(RLIMIT_AS, "VmSize:"), roomUnder(RLIMIT_DATA, "VmData:"), controlGroupMemoryLimit()})
        if (limit >= 0 && limit < usable.bytes) usable = {limit, true};
    return usable;
}

}  // namespace quor::platform
