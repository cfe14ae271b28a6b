#pragma once
// How much memory this process can count on.
#include <string>

namespace quor::platform {

struct UsableMemory {
    double bytes = 0;
    // True when a limit on this process or its control group, not the
    // machine's own memory, sets the bound: raising that limit helps.
    bool limited = false;
};

// The machine's physical memory in bytes, or less when the process runs
// under a limit: the room its address-space and data-size limits leave,
// or its control groups' memory limit.
UsableMemory usableMemory();
inline double usableMemoryBytes() { return usableMemory().bytes; }

// The tightest memory limit in bytes of the control groups this process
// belongs to, their parents included, in either version of control
// groups; -1 when none is set. `root` is the folder that holds "proc" and
// "sys" ("" for the running system's own).
double controlGroupMemoryLimit(const std::string& root = {});

}  // namespace quor::platform
