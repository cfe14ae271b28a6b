#pragma once
// Opening the open project's bathymetry as its members record it (the
// shoreline opens through gis::openShoreline), and what REI takes from it.
#include <memory>
#include <optional>

#include "model/model_state.h"
#include "platform/gis/raster.h"
#include "project/interrogation_distance.h"

namespace quor::project {

// The raster bathyname in bathycov's folder (the text before its last "/"
// or "\"). GisError when it cannot be located or opened.
std::shared_ptr<platform::gis::Raster> openProjectBathymetry(const model::MainFormState& form);

// What New Project and Open Project take from the bathymetry in REI mode,
// in the window and in quor-run alike: its sign into form.depthno, and the
// interrogation distance its cells recommend when that is not the setting
// (nothing when it is, or a cell side is no number). The exact extremes
// take a whole reading, which `progress` follows. GisError when the raster
// cannot be read.
std::optional<InterrogationProposal> reiBathymetryProposal(const platform::gis::Raster& raster,
                                                           model::MainFormState& form,
                                                           platform::Progress* progress = nullptr);

}  // namespace quor::project
