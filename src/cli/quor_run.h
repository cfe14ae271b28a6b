#pragma once
// quor-run: one run of either model over the sites of a point dataset,
// without the window, as its Run command runs it: the same checks, the
// same locks, the same results, the sites' table written in place or a new
// dataset written with --output.
#include <string>
#include <vector>

namespace quor::cli {

// The exit statuses.
inline constexpr int kCompleted = 0;  // the run completed (status-coded sites are part of it)
inline constexpr int kStopped = 1;    // a failure, Ctrl-C, SIGTERM or SIGHUP
inline constexpr int kBadInput = 2;   // bad usage or input: nothing written

// Runs the command line `args` (without the program's name) and returns
// the exit status.
int runQuor(const std::vector<std::string>& args);

}  // namespace quor::cli
