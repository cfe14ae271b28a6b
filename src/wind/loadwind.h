#pragma once
// Loading a REI project's wind file into the wind summary holder.
#include <optional>
#include <string>

#include "model/model_state.h"
#include "model/wind_values.h"
#include "platform/feedback.h"

namespace quor::wind {

inline constexpr const char* kWindFileNotAvailable = " Wind data file is not available or not in the right format.";

// Reads the REI wind file at `windpath` (at most 29 lines) into the
// holder's class speeds and percentages, station, dates, cut-off and
// `wind_file`, then derives the class and ray powers from the settings.
// True on success. On failure the holder is left as it was, `dlg_cancel`
// is set, the user is told, and the caller disables the wind display.
bool loadwind(const std::string& windpath, model::ModelState& state, model::WindSummary& winddata,
              const model::SettingsHolder& fm_property, platform::Messages& messages);

// Why the REI wind file at `windpath` cannot be loaded (the line at
// fault, or the file's own trouble), or nothing; shows nothing.
std::optional<std::string> reiWindFileProblem(const std::string& windpath);

// The REI run's start: the project's wind file (`wind_path`) read again.
bool reloadProjectWind(model::ModelState& state, model::WindSummary& winddata,
                       const model::SettingsHolder& fm_property, platform::Messages& messages);

}  // namespace quor::wind
