#pragma once
// How many threads a run computes its sites on.
#include <optional>
#include <string>

namespace quor::platform {

// The setting "threads" under [Settings] and the variable that overrides it.
inline constexpr const char* kThreadsKey = "threads";
inline constexpr const char* kThreadsVariable = "QUOR_THREADS";

// A thread count as a user writes it (the setting, the variable, an
// option): a whole number of 0 or more; nothing otherwise.
std::optional<int> threadCount(const std::string& text);

// The cores this process may use: its CPU affinity, capped by the cgroup's
// cpu.max quota (rounded up); at least 1.
int usableCores();

// The threads of a run: QUOR_THREADS when it is set, else the stored
// setting; 0, a missing value or one that is no whole number of 0 or more
// means usableCores(), and no more than those are ever used.
int runThreads();

// Why a thread count as written (the setting or the variable) is refused:
// it is not a whole number of 0 or more. Nothing for an empty text.
std::optional<std::string> threadsProblem(const std::string& text);
inline constexpr const char* kMsgThreads = "The number of threads must be a whole number of 0 or more (0 uses every core).";

// The setting as start-up read it ("" when missing).
void setThreadsSetting(const std::string& stored);

// A control group's quota and period as whole cores (rounded up): version
// 2's cpu.max ("max 100000", "200000 100000") or version 1's
// cpu.cfs_quota_us and cpu.cfs_period_us on one line ("-1 100000");
// nothing when unlimited or unreadable.
std::optional<int> cpuMaxCores(const std::string& cpuMax);

}  // namespace quor::platform
