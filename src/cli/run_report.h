#pragma once
// How a run without the window ends: one line on standard error, or the
// same as one JSON object on standard output. Every count is the run's
// own, as its writer counted what it stored: the sites not computed by the
// status code their results hold (RWE) or by why their fields stayed empty
// (REI), and how many of the stored sites the dataset still holds.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/run_end.h"
#include "cli/run_options.h"
#include "rei/rei_run.h"
#include "wave/wave_main.h"

namespace quor::cli {

struct RunReport {
    std::optional<Model> model = Model::Rwe;  // none when the command was not understood
    End end = End::Completed;
    bool counted = true;      // false when the run counted nothing (refused, or stopped before it began)
    std::int64_t sites = 0;   // the run's sites (the part's, with --part)
    std::int64_t computed = 0;
    std::int64_t stored = 0;  // sites whose results this run stored
    std::int64_t held = 0;    // of those, the sites the dataset still holds
    std::vector<std::pair<std::string, std::int64_t>> notComputed;  // by status code or reason
    double seconds = 0;
    int threads = 0;
    std::string dataset;      // where the results are
    std::string message;      // why a run was refused or failed, when the run did not say it itself
};

// A run's report from the counts its writer kept.
RunReport rweReport(const wave::RunOutcome& outcome);
RunReport reiReport(const rei::ReiRunOutcome& outcome);
// A run refused before it began, with why.
RunReport refusedReport(std::optional<Model> model, const std::string& why);

std::string endLine(const RunReport& report);
std::string jsonOf(const RunReport& report);

}  // namespace quor::cli
