#pragma once
// How a run without the window ends: one line on standard error, or the
// same as one JSON object on standard output. The sites not computed are
// counted by the status code their results hold (RWE) or by why their
// fields stayed empty (REI).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cli/run_options.h"
#include "platform/gis/feature_class.h"
#include "rei/rei_run.h"
#include "wave/wave_main.h"

namespace quor::cli {

struct RunReport {
    Model model = Model::Rwe;
    std::string end;          // "completed", "stopped", "failed", "refused"
    std::int64_t sites = 0;   // the run's sites (the part's, with --part)
    std::int64_t computed = 0;
    std::vector<std::pair<std::string, std::int64_t>> notComputed;  // by status code or reason
    double seconds = 0;
    int threads = 0;
    std::string dataset;      // where the results are
};

// An RWE run's report: its status codes read back from the dataset it wrote.
RunReport rweReport(const wave::RunOutcome& outcome, const platform::gis::FeatureClass& points);
RunReport reiReport(const rei::ReiRunOutcome& outcome);

std::string endLine(const RunReport& report);
std::string jsonOf(const RunReport& report);

}  // namespace quor::cli
