#include "platform/run_threads.h"

#include <sched.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/numbers.h"

namespace quor::platform {

namespace {

std::atomic<int> storedThreads{0};

// A thread count as written by a user; nothing when it is not a whole number >= 0.
std::optional<int> threadCount(const std::string& text) {
    const auto v = parseDecimal(text);
    if (!v || *v < 0 || *v != std::floor(*v) || *v > 4096) return std::nullopt;
    return static_cast<int>(*v);
}

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

std::optional<int> cpuMaxCores(const std::string& cpuMax) {
    std::istringstream in(cpuMax);
    std::string quota;
    double period = 0;
    if (!(in >> quota >> period) || quota == "max" || !(period > 0)) return std::nullopt;
    const auto q = parseDecimal(quota);
    if (!q || !(*q > 0)) return std::nullopt;
    return std::max(1, static_cast<int>(std::ceil(*q / period)));
}

int usableCores() {
    int cores = affinityCores();
    // The process's own cgroup (v2) and every one above it may set a quota.
    std::string group;
    std::ifstream self("/proc/self/cgroup");
    for (std::string line; std::getline(self, line);)
        if (line.rfind("0::", 0) == 0) group = line.substr(3);
    for (;;) {
        std::ifstream f("/sys/fs/cgroup" + group + "/cpu.max");
        std::string line;
        if (f && std::getline(f, line))
            if (const auto quota = cpuMaxCores(line)) cores = std::min(cores, *quota);
        if (group.empty() || group == "/") break;
        group = group.substr(0, group.find_last_of('/'));
    }
    return std::max(1, cores);
}

void setThreadsSetting(const std::string& stored) { storedThreads = threadCount(stored).value_or(0); }

int runThreads() {
    int n = storedThreads;
    if (const char* env = std::getenv(kThreadsVariable))
        if (const auto v = threadCount(env)) n = *v;
    return n > 0 ? n : usableCores();
}

}  // namespace quor::platform
