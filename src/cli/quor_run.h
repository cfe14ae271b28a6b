#pragma once
// quor-run: one run of either model over the sites of a point dataset,
// without the window, as its Run command runs it: the same checks, the
// same locks, the same results, the sites' table written in place or a new
// dataset written with --output.
#include <string>
#include <vector>

namespace quor::cli {

// Runs the command line `args` (without the program's name) and returns
// the exit status (cli/run_end.h).
int runQuor(const std::vector<std::string>& args);

}  // namespace quor::cli
