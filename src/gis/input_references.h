#pragma once
// Whether the sites and the shoreline lie in the bathymetry's coordinates,
// and whether those are metres true on the ground. A run reads a site's
// coordinates, and clips its rays against the shoreline, as the
// bathymetry's without moving them: a dataset in another spatial
// reference would be computed where it does not lie. And it measures
// fetches, steps and distances in the coordinates' unit as metres: in
// degrees or feet every one of them would be wrong, and so would they in
// a projection that stretches distances where the bathymetry lies. Both
// models check here, in the window and in quor-run, before anything is
// written.
#include <optional>
#include <string>

#include "platform/gis/raster.h"
#include "platform/gis/spatial_reference.h"

namespace quor::gis {

// The words for a dataset (`what`, as "shoreline dataset") whose spatial
// reference is in `file`, which GDAL cannot read: it reads as none.
std::string unreadableReference(const std::string& what, const std::string& file);

// Why the bathymetry (the raster `name`) cannot carry a run's distances:
// no spatial reference (or one that cannot be read), neither a projected
// nor a local one, one whose unit is not the metre, or a projection whose
// scale strays from true by more than 1 % somewhere over the raster; or
// nothing. Checked first: the sites and the shoreline are held against it.
std::optional<std::string> bathymetryReferenceProblem(const platform::gis::Raster& bathymetry,
                                                      const std::string& name);

// Why the sites (the point dataset `sitesName`) cannot be run against the
// bathymetry, or nothing: their own unit, or another spatial reference
// than the bathymetry's.
std::optional<std::string> sitesReferenceProblem(const platform::gis::SpatialReference& sites,
                                                 const std::string& sitesName,
                                                 const platform::gis::SpatialReference& bathymetry);

// Why the shoreline `shorelineName` cannot clip rays over the bathymetry,
// or nothing; as for the sites.
std::optional<std::string> shorelineReferenceProblem(const platform::gis::SpatialReference& shoreline,
                                                     const std::string& shorelineName,
                                                     const platform::gis::SpatialReference& bathymetry);

}  // namespace quor::gis
