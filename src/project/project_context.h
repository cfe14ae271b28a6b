#pragma once
// Everything the project commands work on: the shared state, the settings
// store, the map model, the user-facing interfaces, and the operations of
// subsystems that are built after this one (handed in as functions).
#include <functional>
#include <optional>
#include <string>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/map.h"
#include "platform/settings_store.h"

namespace quor::project {

struct ProjectHooks {
    // Reads an REI wind file into the wind summary holder; on failure it
    // reports the failure itself, sets dlg_cancel and returns false. While
    // unset, REI wind files cannot be loaded and every load fails.
    std::function<bool(const std::string& windpath)> loadwind;
    // Why an REI wind file cannot be used, naming the line at fault, or
    // nothing; shows nothing. Opening a project asks it first, so that an
    // unusable wind file is told once, with the project's own words.
    std::function<std::optional<std::string>(const std::string& windpath)> reiWindProblem;
    // The wind entry form, shown modally; its OK saves a wind file and sets
    // wind_path and wind_name.
    std::function<void()> showWindEntryForm;
};

struct ProjectContext {
    model::ModelState& state;
    model::MainFormState& form;
    model::SettingsHolder& holder;
    model::WindSummary& wind;
    platform::SettingsStore& settings;
    platform::Messages& messages;
    platform::gis::Map& map;
    ProjectHooks hooks;
    // Long readings of the project's data (a large bathymetry) show their
    // progress here; none is shown while unset.
    platform::Progress* progress = nullptr;
};

}  // namespace quor::project
