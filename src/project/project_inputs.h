#pragma once
// Opening the open project's bathymetry as its members record it (the
// shoreline opens through gis::openShoreline).
#include <memory>

#include "model/model_state.h"
#include "platform/gis/raster.h"

namespace quor::project {

// The raster bathyname in bathycov's folder (the text before its last "/"
// or "\"). GisError when it cannot be located or opened.
std::shared_ptr<platform::gis::Raster> openProjectBathymetry(const model::MainFormState& form);

}  // namespace quor::project
