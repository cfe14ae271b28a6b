#pragma once
// How many threads a run computes its sites on.
#include <optional>
#include <string>

namespace quor::platform {

// The setting "threads" under [Settings] and the variable that overrides it.
inline constexpr const char* kThreadsKey = "threads";
inline constexpr const char* kThreadsVariable = "QUOR_THREADS";

// A thread count as a user writes it (the setting, the variable, an
// option): a whole number from 0 to 4096; nothing otherwise.
std::optional<int> threadCount(const std::string& text);

// The cores this process may use: its CPU affinity, capped by the cgroup's
// cpu.max quota (rounded up); at least 1.
int usableCores();

// The threads of a run: QUOR_THREADS when it holds a number, else the
// stored setting; 0, a missing or an unreadable value means usableCores().
int runThreads();

// The setting as start-up read it ("" when missing).
void setThreadsSetting(const std::string& stored);

// A control group's quota and period as whole cores (rounded up): version
// 2's cpu.max ("max 100000", "200000 100000") or version 1's
// cpu.cfs_quota_us and cpu.cfs_period_us on one line ("-1 100000");
// nothing when unlimited or unreadable.
std::optional<int> cpuMaxCores(const std::string& cpuMax);

}  // namespace quor::platform
