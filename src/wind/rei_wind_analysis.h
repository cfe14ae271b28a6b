#pragma once
// The REI wind analysis of a buoy station's yearly records: download the
// years, merge them, keep the date window, drop invalid records, label
// the eight compass classes, keep the strongest records down to the
// chosen top percentage, and save the class means and shares of time as
// an REI wind file.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "wind/buoy_request.h"
#include "wind/buoy_year.h"

namespace quor::wind {

// Class index of a direction in degrees (0 E, 1 SE, 2 S, 3 SW, 4 W, 5 NW,
// 6 N, 7 NE); boundaries belong to the anticlockwise side (21 is N, 66 NE,
// 336 NW); 360 is north. Nothing for a missing (999) or impossible
// direction, by the one rule of model::windDirection.
std::optional<int> compassClass(double direction);

// The inclusive percentile of a sample (position 1 + p(n - 1) of the sorted
// values, interpolated linearly). `values` is sorted in place; not empty.
double percentileInclusive(std::vector<double>& values, double p);

// The records from the first at or after `start` through the first at or
// after `end` (inclusive), or through the last record. Empty when the first
// record at or after `start` already lies at or after `end`.
struct RecordSpan {
    size_t begin = 0, end = 0;
    size_t size() const { return end - begin; }
};
RecordSpan windowSpan(const std::vector<BuoyRecord>& records, double start, double end);

struct ReiWindStats {
    std::array<float, 8> meanSpeed{};  // single precision, as stored in the shared arrays
    std::array<float, 8> count{};
    int32_t total = 0;         // records at or above the cut-off
    int32_t windowRecords = 0; // records in the date window
    int32_t usableRecords = 0; // of those, with a valid speed and direction
    double cutSpeed = 0;
};

// Class means and shares of time rounded to 2 decimals, half to even; the
// share is count / total * 100 in single precision, 0 when total is 0.
struct ReiClassValues {
    std::array<double, 8> speed{};
    std::array<double, 8> percent{};
};
ReiClassValues roundReiClasses(const std::array<float, 8>& meanSpeed, const std::array<float, 8>& count,
                               int32_t total);

// The statistics of the window. Nothing when no record of the window has a
// usable speed and direction.
std::optional<ReiWindStats> analyseReiRecords(const std::vector<BuoyRecord>& records, double start, double end,
                                              int topPercent);

// Asks for the file to save; nothing when the user cancels.
class SavePathChooser {
public:
    virtual ~SavePathChooser() = default;
    virtual std::optional<std::string> chooseSavePath(const std::string& title, const std::string& filter,
                                                      const std::string& startFolder) = 0;
};

struct ReiAnalysisContext {
    model::ModelState& state;
    model::WindSummary& holder;
    const model::MainFormState& form;
    platform::Messages& messages;
    YearFetcher& fetcher;
    SavePathChooser& chooser;
    std::string serverAddress;
    WindDialogHooks hooks;
    std::function<void()> showSummary;  // opens the wind summary display
    // Where the downloaded years are kept while the analysis runs; a fresh
    // private folder under the system's temporary folder when empty.
    std::string workFolder;
};

// The analysis behind "Analyze Wind Data" in REI mode.
WindRunOutcome windanalysis_rei(ReiAnalysisContext& ctx, const BuoyWindRequest& request);

// Saves the class results of the shared arrays as an REI wind file
// (or the temporary one), fills the wind summary holder and shows it.
void save_windrei(ReiAnalysisContext& ctx, int32_t total);

}  // namespace quor::wind
