#pragma once
// The RWE path of the buoy analysis: download the station's years into the
// data folder, append the later years' records to the first year's file,
// and hand that file to the RWE text analysis with the buoy's columns.
#include <cstdint>
#include <functional>
#include <string>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "wind/buoy_request.h"
#include "wind/buoy_year.h"
#include "wind/wind_text_analysis.h"

namespace quor::wind {

// Runs the RWE wind text analysis; it reports to the user itself.
using RweTextAnalysis = std::function<void(const WindTextQuery&)>;

struct BuoyDownloadContext {
    model::ModelState& state;
    platform::Messages& messages;
    YearFetcher& fetcher;
    std::string serverAddress;
    WindDialogHooks hooks;
    RweTextAnalysis analyse;
};

// The merged text: the first year's saved copy unchanged, then each later
// year's lines from its third line up to its first empty line, each
// followed by CR LF.
std::string appendBuoyYearLines(std::string merged, const std::string& laterCopy);

// The analysis of the merged file: blank-separated buoy columns (year,
// month, day, hour, direction, speed; the minute column from 2005 on),
// column names in line 1, records from line 3.
WindTextQuery buoyTextQuery(const std::string& mergedPath, const BuoyWindRequest& request);

// "Analyze Wind Data" in RWE mode with the web download.
WindRunOutcome download_buoywind(BuoyDownloadContext& ctx, const BuoyWindRequest& request);

}  // namespace quor::wind
