#pragma once
// quor-run merge --output FILE PART...: the parts of one run put together
// into one dataset, in the order of their part numbers, only when they
// make exactly one whole: parts 1 to N of one N, each whole, of the same
// source sites, inputs and settings, written by the same version.
// Anything else is refused before anything is written, naming each part
// that is missing, given twice, or of another run and what differs.
#include <string>
#include <vector>

namespace quor::cli {

// Runs the merge's command line (after "merge") and returns the exit
// status: 0 merged, 1 stopped or failed while writing, 2 refused.
int runMerge(const std::vector<std::string>& args);

// What `quor-run merge --help` prints.
std::string mergeHelpText();

}  // namespace quor::cli
