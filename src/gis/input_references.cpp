#include "gis/input_references.h"

namespace quor::gis {

namespace {

std::optional<std::string> referenceProblem(const platform::gis::SpatialReference& dataset, const std::string& what,
                                            const platform::gis::SpatialReference& bathymetry) {
    if (dataset.isNone()) return "The " + what + " has no spatial reference.";
    if (dataset.isSame(bathymetry)) return std::nullopt;
    return "The " + what + " (" + dataset.name() + ") and the bathymetry raster (" + bathymetry.name() +
           ") are in different spatial references.";
}

}  // namespace

std::optional<std::string> sitesReferenceProblem(const platform::gis::SpatialReference& sites,
                                                 const std::string& sitesName,
                                                 const platform::gis::SpatialReference& bathymetry) {
    return referenceProblem(sites, "point dataset " + sitesName, bathymetry);
}

std::optional<std::string> shorelineReferenceProblem(const platform::gis::SpatialReference& shoreline,
                                                     const platform::gis::SpatialReference& bathymetry) {
    return referenceProblem(shoreline, "shoreline", bathymetry);
}

}  // namespace quor::gis
