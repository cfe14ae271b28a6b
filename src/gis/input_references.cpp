#include "gis/input_references.h"

#include <ogr_spatialref.h>

#include <cmath>

namespace quor::gis {

namespace {

constexpr const char* kMetresNeeded = "; fetches and depths need a projected spatial reference in metres.";

// Why `sr` cannot carry the run's distances, in words naming the dataset
// and its unit, or nothing.
std::optional<std::string> notMetric(const platform::gis::SpatialReference& sr, const std::string& what) {
    if (!sr.unreadableFile().empty()) return unreadableReference(what, sr.unreadableFile());
    if (sr.isNone()) return "The " + what + " has no spatial reference.";
    const OGRSpatialReference& ogr = *sr.ogr();
    const char* unit = nullptr;
    if (sr.isGeographic()) {
        ogr.GetAngularUnits(&unit);
        return "The " + what + " is in geographic coordinates (" + sr.name() + "): its unit is the " +
               (unit ? unit : "degree") + kMetresNeeded;
    }
    // A local grid, as survey data come, is flat by definition: in metres
    // it measures true.
    if (!sr.isProjected() && !sr.isLocal())
        return "The " + what + " is not in a projected spatial reference (" + sr.name() + ")" + kMetresNeeded;
    if (std::abs(ogr.GetLinearUnits(&unit) - 1) > 1e-9)
        return "The " + what + " is not in metres (" + sr.name() + "): its unit is the " + (unit ? unit : "unknown") +
               kMetresNeeded;
    return std::nullopt;
}

std::optional<std::string> referenceProblem(const platform::gis::SpatialReference& dataset, const std::string& what,
                                            const platform::gis::SpatialReference& bathymetry) {
    if (auto p = notMetric(dataset, what)) return p;
    if (dataset.isSame(bathymetry)) return std::nullopt;
    return "The " + what + " (" + dataset.name() + ") and the bathymetry raster (" + bathymetry.name() +
           ") are in different spatial references.";
}

}  // namespace

std::string unreadableReference(const std::string& what, const std::string& file) {
    return "The spatial reference of the " + what + " cannot be read (" + file + ").";
}

std::optional<std::string> bathymetryReferenceProblem(const platform::gis::SpatialReference& bathymetry,
                                                      const std::string& name) {
    return notMetric(bathymetry, "bathymetry raster " + name);
}

std::optional<std::string> sitesReferenceProblem(const platform::gis::SpatialReference& sites,
                                                 const std::string& sitesName,
                                                 const platform::gis::SpatialReference& bathymetry) {
    return referenceProblem(sites, "point dataset " + sitesName, bathymetry);
}

std::optional<std::string> shorelineReferenceProblem(const platform::gis::SpatialReference& shoreline,
                                                     const std::string& shorelineName,
                                                     const platform::gis::SpatialReference& bathymetry) {
    return referenceProblem(shoreline, "shoreline " + shorelineName, bathymetry);
}

}  // namespace quor::gis
