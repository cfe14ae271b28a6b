#pragma once
// The REI run over every site of a point dataset: per site the fan of 32
// rays is cast, clipped (or, in the fast mode, measured over the grid)
// and profiled, and the site's index is written into its result fields.
// Everything that would make the results wrong is checked before the
// dataset is touched; a site that cannot be computed, or whose values are
// not finite numbers, gets empty fields (a re-run keeps nothing of the
// earlier run's there) and is counted, never written as 0. Each site's
// results are committed on their own.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run_shell.h"
#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/map.h"

namespace quor::rei {

namespace pg = platform::gis;

inline constexpr const char* kNoShoreline = "Cannot run in original mode without shoreline file.";
inline constexpr const char* kCouldNotRun = " Could not run the model";
inline constexpr const char* kProcessingDone = "Processing Done";
inline constexpr const char* kRunStopped = "The run was stopped.";


struct ReiRunContext {
    model::ModelState& state;
    model::SettingsHolder& fm_property;
    model::MainFormState& mainform;
    model::WindSummary& winddata;
    pg::Map& map;
    platform::Messages& messages;
    platform::Progress& progress;
    // The project's bathymetry units ("Meter", "Centimeter", "Feet"); when
    // left empty the main window's own `bathyunits` are used.
    std::string bathyunits = {};
    // Reads the project's wind file into the holder again, with its powers
    // from the current categories (the wind subsystem's loader); false,
    // the user told, when it cannot. A run without it is refused.
    std::function<bool(platform::Messages&)> reloadWind;
    model::RunShell* shell = nullptr;
    // Asked before each site is stored: true ends the run there, every site
    // before it stored and counted. The window leaves it empty, since there
    // an REI run cannot be cancelled once started.
    std::function<bool()> stopRequested = {};
    // Draws each site's square over the map (see gis::RayContext).
    std::function<void(const std::vector<pg::Point>& square)> drawSiteSquare = {};
    // False when no one looks at the run's map (see gis::RayContext).
    bool mapSeen = true;
    // Whether the sites may be none (see gis::RayContext).
    bool sitesMayBeNone = false;
    // The dataset is a working copy, which the caller keeps only once the
    // run has completed: a run that ends otherwise leaves it to the caller
    // to say what was kept, and never counts what the copy holds.
    bool workingCopy = false;
};

enum class ReiRunEnd {
    Completed,  // every site visited
    Declined,   // the user kept the existing REI values
    Refused,    // an input cannot give correct results; the dataset is untouched
    Failed,     // the run broke off; sites before keep their values
    Stopped,    // stopped on request (stopRequested); sites before keep their values
};

struct ReiRunOutcome {
    ReiRunEnd end = ReiRunEnd::Failed;
    std::int64_t sites = 0;    // features of the dataset
    std::int64_t written = 0;  // sites whose results were written
    // Of those, the sites whose results the dataset still holds at the end
    // (fewer when another program put its own table in place).
    std::int64_t held = 0;
    std::int64_t failed = 0;   // sites that could not be computed (NoData, failed rays)
    std::int64_t skipped = 0;  // features without a point shape
    std::int64_t notFinite = 0;  // sites whose values were not finite numbers; left empty
    int threads = 0;             // threads the sites were computed on
};

// Runs the model; counterstart is accepted for the callers' sake and has
// no effect (sites are numbered from 1). The project's wind file is read
// again first, so that changed categories or powers reach this run.
ReiRunOutcome runmodel(ReiRunContext& ctx, const std::shared_ptr<pg::FeatureClass>& pFeatClass,
                       std::int16_t counterstart);

}  // namespace quor::rei
