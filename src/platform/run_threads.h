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

// The threads of a run: the count given on the command line, else
// QUOR_THREADS when it is set, else the stored setting; 0, a missing value
// or one that is no whole number of 0 or more means usableCores(), and no
// more than those are ever used.
int runThreads();

// The counts threadCount() takes, in the words of every refusal of one and
// of quor-run's help.
inline constexpr const char* kThreadsRange = "a whole number of 0 or more (0 uses every core)";
// The refusal of a thread count that is not one of them.
std::string threadsRefusal();
// Why a thread count as written (the setting or the variable) is refused:
// threadsRefusal(). Nothing for an empty text.
std::optional<std::string> threadsProblem(const std::string& text);

// The setting as start-up read it ("" when missing).
void setThreadsSetting(const std::string& stored);
// A count given for this process on its command line (quor-run's
// --threads), over the variable and the setting.
void setThreadsGiven(int count);

// A control group's quota and period as whole cores (rounded up): version
// 2's cpu.max ("max 100000", "200000 100000") or version 1's
// cpu.cfs_quota_us and cpu.cfs_period_us on one line ("-1 100000");
// nothing when unlimited or unreadable.
std::optional<int> cpuMaxCores(const std::string& cpuMax);

}  // namespace quor::platform
