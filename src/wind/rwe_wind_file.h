#pragma once
// The RWE wind file (".Wind_RWE"): per sector the mean wind speed and the
// percentage of time, with the station, the analysed window and the
// cut-off speed; and the "temporary_wind.txt" layout written when the user
// cancels the save. Both writers take the shared analysis results from the
// model state and copy the summary into the wind summary holder.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/date_text.h"
#include "platform/feedback.h"
#include "wind/rei_wind_analysis.h"
#include "wind/wind_sectors.h"

namespace quor::wind {

inline constexpr const char* kRweExtension = ".Wind_RWE";

// The texts of one file, every number already formatted.
struct RweWindText {
    std::string created;   // date and time of writing
    std::string source;    // station or source label
    std::string start;     // window start
    std::string end;       // window end as the file shows it
    std::string cutoff;    // cut-off speed, without its unit
    std::vector<std::string> speeds;       // one per sector, m/s
    std::vector<std::string> percentages;  // one per sector
};

// 9 + 2n lines: title, empty, "Created on: ...", source, start, end,
// cut-off followed by "m/s", n, empty, the n speeds, the n percentages.
std::vector<std::string> rweWindFileLines(const RweWindText& text);
// 8 + 2n lines: title, empty, "Created on: ...", empty, speeds, percentages,
// then "Station ID", "Start Date:", "End Date:" and "Cutoff Speed: " lines.
std::vector<std::string> rweTemporaryLines(const RweWindText& text);

// A speed or percentage rounded to 2 decimals (half to even) in the
// shortest text. Single-precision values are rounded as they print.
std::string twoDecimals(double value);
std::string twoDecimals(float value);

// What the wind file writers and the analyses work on.
struct WindFileContext {
    model::ModelState& state;
    model::WindSummary& holder;
    const model::MainFormState& main;
    platform::Messages& messages;
    SavePathChooser* dialog = nullptr;              // the save dialog; needed by save_windfile only
    std::function<platform::DateTime()> now = {};  // the clock; the machine's when empty
};

struct WindFileWritten {
    std::string path;        // the file written, empty when none could be
    bool temporary = false;  // the temporary layout was written instead
};

// The sector means and counts into the state the writers take them from.
void putSectors(model::ModelState& state, const SectorSummary& sectors);

// Asks for a ".Wind_RWE" name and writes the analysis results (total =
// records that entered the sectors). A name typed without the extension
// gets it, and the replace question is about the file really written.
// Cancel or a failure writes "temporary_wind.txt" in the project folder
// (the data folder's "Project" folder when no project is open); a failure
// is told to the user with the place the data went.
WindFileWritten save_windfile(WindFileContext& ctx, double total, int sectors);

// Writes windname + ".Wind_RWE" without a dialog, through a temporary file
// renamed over the target. Line 6 shows wind_end - 1 hour (the batch cut
// holds the end one hour on); percentages in single precision. Returns the
// error text, empty on success.
std::string windbatch_ok_wv(WindFileContext& ctx, int32_t tot, int norays, const std::string& windname);

}  // namespace quor::wind
