#include "platform/run_threads.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/numbers.h"

namespace quor::platform {

namespace {

std::atomic<int> storedThreads{0};
std::atomic<int> givenThreads{-1};  // none given

int affinityCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return n;
    }
    const unsigned hw = std::thread::hardware_concurrency();
    return hw > 0 ? static_cast<int>(hw) : 1;
}

}  // namespace

std::optional<int> threadCount(const std::string& text) {
    const auto v = parseDecimal(text);
    if (!v || !(*v >= 0) || *v != std::floor(*v)) return std::nullopt;
    // One beyond any core count is cut to INT_MAX; the run takes the cores.
    return static_cast<int>(std::min<double>(*v, INT_MAX));
}

std::optional<int> cpuMaxCores(const std::string& cpuMax) {
    std::istringstream in(cpuMax);
    std::string quota;
    double period = 0;
    if (!(in >> quota >> period) || quota == "max" || !(period > 0)) return std::nullopt;
    const auto q = parseDecimal(quota);
    if (!q || !(*q > 0)) return std::nullopt;
    return std::max(1, static_cast<int>(std::ceil(*q / period)));
}

namespace {

// The first line of a file, empty when it cannot be read.
std::string firstLine(const std::string& path) {
    std::ifstream f(path);
    std::string line;
    std::getline(f, line);
    return line;
}

// The smallest quota of the group and every group above it: `quota(folder)`
// gives a folder's own, as whole cores.
template <class Quota>
std::optional<int> smallestQuota(const std::string& root, std::string group, Quota&& quota) {
    std::optional<int> least;
    for (;;) {
        if (const auto q = quota(root + group)) least = least ? std::min(*least, *q) : *q;
        if (group.empty() || group == "/") return least;
        group = group.substr(0, group.find_last_of('/'));
    }
}

}  // namespace

int usableCores() {
    int cores = affinityCores();
    // The process's control groups: "0::<path>" for version 2, and
    // "<n>:cpu,cpuacct:<path>" (or "cpu") for version 1.
    std::ifstream self("/proc/self/cgroup");
    for (std::string line; std::getline(self, line);) {
        const auto a = line.find(':'), b = line.find(':', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        const std::string controllers = line.substr(a + 1, b - a - 1), group = line.substr(b + 1);
        std::optional<int> quota;
        if (line.rfind("0::", 0) == 0) {
            quota = smallestQuota("/sys/fs/cgroup", group,
                                  [](const std::string& dir) { return cpuMaxCores(firstLine(dir + "/cpu.max")); });
        } else if (("," + controllers + ",").find(",cpu,") != std::string::npos) {
            for (const char* root : {"/sys/fs/cgroup/cpu,cpuacct", "/sys/fs/cgroup/cpu"}) {
                quota = smallestQuota(root, group, [](const std::string& dir) {
                    return cpuMaxCores(firstLine(dir + "/cpu.cfs_quota_us") + " " +
                                       firstLine(dir + "/cpu.cfs_period_us"));
                });
                if (quota) break;
            }
        }
        if (quota) cores = std::min(cores, *quota);
    }
    return std::max(1, cores);
}

void setThreadsSetting(const std::string& stored) { storedThreads = threadCount(stored).value_or(0); }

void setThreadsGiven(int count) { givenThreads = count; }

std::string threadsRefusal() { return std::string("The number of threads must be ") + kThreadsRange + "."; }

std::optional<std::string> threadsProblem(const std::string& text) {
    if (text.empty() || threadCount(text)) return std::nullopt;
    return threadsRefusal();
}

int runThreads() {
    int n = storedThreads;
    const char* env = std::getenv(kThreadsVariable);
    if (env && *env) n = threadCount(env).value_or(0);
    if (givenThreads >= 0) n = givenThreads;
    // More threads than cores would only share them, each with its own
    // copy of a worker's state.
    const int cores = usableCores();
    return n > 0 ? std::min(n, cores) : cores;
}

}  // namespace quor::platform
