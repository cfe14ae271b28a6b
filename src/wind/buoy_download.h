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

namespace quor::wind {

// The arguments of the RWE wind text analysis, in its own order.
struct WindTextCall {
    std::string wind_textfile;
    std::string station_nam;
    int16_t startyr = 0, endyr = 0, startm = 0, endm = 0, startd = 0, endd = 0, starth = 0, endh = 0;
    int16_t percent_wind = 0;
    std::string delimiter;
    int16_t yearno = 0, monthno = 0, dayno = 0, hourno = 0, minuteno = -1, windspdno = 0, winddirno = 0;
    int16_t lineno = 1;
};

// Runs the RWE wind text analysis; it reports to the user itself.
using RweTextAnalysis = std::function<void(const WindTextCall&)>;

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

// The call the merged file is analysed with.
WindTextCall buoyTextCall(const std::string& mergedPath, const BuoyWindRequest& request);

// "Analyze Wind Data" in RWE mode with the web download.
WindRunOutcome download_buoywind(BuoyDownloadContext& ctx, const BuoyWindRequest& request);

}  // namespace quor::wind
