#pragma once
// Connects the run start to the RWE run driver: a run of every site of the
// chosen dataset with the ray count of the settings, on the project's
// bathymetry raster.
#include <memory>
#include <optional>
#include <string>

#include "gis/ray_site.h"
#include "platform/gis/raster.h"
#include "project/ptdatasel.h"
#include "wave/wave_main.h"

namespace quor::wave {

// The settings' ranges, checked again at the start of a run: the maximum
// fetch and the fetch segment interrogation distance, with the range in
// the message, or nothing when both are acceptable.
std::optional<std::string> rweRunRangeProblem(const model::MainFormState& mainform, const model::ModelState& state);

// Why a single run cannot start: no wind file (a project made for batch
// runs has none), or a setting out of its range; nothing when it can.
std::optional<std::string> rweRunStartProblem(const model::MainFormState& mainform, const model::ModelState& state);

// One single run as the Run command starts it: refused, the user told why,
// when rweRunStartProblem finds a reason (the shell then goes idle again);
// otherwise a run of every site with the ray count of the settings.
RunOutcome singleRun(gis::RayContext& ctx, model::RunShell* shell, const std::shared_ptr<pg::FeatureClass>& points,
                     int16_t counterstart, const project::PointDatasetChoice& choice);

// Fills the RWE slot of `drivers` with singleRun. `ctx` and `shell` must outlive it.
void installWaveMain(project::RunDrivers& drivers, gis::RayContext& ctx, model::RunShell* shell = nullptr);

// The bathymetry raster of a run (`bathycov`). The previous run's raster
// (`bathy_raster`) serves again while it reads the same, unchanged file,
// so its minimum and maximum are read once; otherwise it is let go before
// the file is opened, so repeated runs never hold two rasters. GisError
// when the file cannot be opened.
std::shared_ptr<pg::Raster> runBathymetry(model::ModelState& state, const model::MainFormState& mainform);

}  // namespace quor::wave
