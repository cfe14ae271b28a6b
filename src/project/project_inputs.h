#pragma once
// Opening the open project's bathymetry and shoreline as its members
// record them.
#include <memory>

#include "model/model_state.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/raster.h"

namespace quor::project {

// The raster bathyname in bathycov's folder (the text before its last "/"
// or "\"). GisError when it cannot be located or opened.
std::shared_ptr<platform::gis::Raster> openProjectBathymetry(const model::MainFormState& form);

// The shoreline by its kind: option_arccov 2 is the class shorefeature of
// the coverage shorecov/shorename (a class recorded as "polygon" is the
// coverage's polygon class), anything else the shapefile shorecov/shorename.
// GisError when it cannot be opened.
std::shared_ptr<platform::gis::FeatureClass> openProjectShoreline(const model::MainFormState& form);

}  // namespace quor::project
