#pragma once
// Whether the sites and the shoreline lie in the bathymetry's coordinates.
// A run reads a site's coordinates, and clips its rays against the
// shoreline, as the bathymetry's without moving them: a dataset in another
// spatial reference would be computed where it does not lie. Both models
// check here, in the window and in quor-run, before anything is written.
#include <optional>
#include <string>

#include "platform/gis/spatial_reference.h"

namespace quor::gis {

// Why the sites (the point dataset `sitesName`) cannot be run against the
// bathymetry, or nothing.
std::optional<std::string> sitesReferenceProblem(const platform::gis::SpatialReference& sites,
                                                 const std::string& sitesName,
                                                 const platform::gis::SpatialReference& bathymetry);

// Why the shoreline cannot clip rays over the bathymetry, or nothing.
std::optional<std::string> shorelineReferenceProblem(const platform::gis::SpatialReference& shoreline,
                                                     const platform::gis::SpatialReference& bathymetry);

}  // namespace quor::gis
