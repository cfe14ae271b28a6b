#include "gis/input_references.h"

#include <ogr_spatialref.h>

#include <cmath>

#include "platform/gis/projection_scale.h"
#include "platform/numbers.h"

namespace quor::gis {

namespace {

namespace pg = platform::gis;

constexpr const char* kMetresNeeded = "; fetches and depths need a projected spatial reference in metres.";

// How far from true a projection's scale may be where a run measures. UTM
// inside its zone (0.9996 to about 1.001), and the national grids built
// like it, keep well within; Web Mercator at 38 degrees of latitude is
// 1.27.
constexpr double kMostScaleError = 0.01;
// Scales are taken at this many points along each side of the raster, and
// as many rows between: its corners and edges, where a projection strays
// farthest from true, among them.
constexpr int kScalePointsPerSide = 11;

// Why `sr` cannot carry the run's distances, in words naming the dataset
// and its unit, or nothing.
std::optional<std::string> notMetric(const pg::SpatialReference& sr, const std::string& what) {
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

// The UTM zone on WGS 84 of a point (longitude, latitude in degrees), as
// its name and EPSG code say it.
std::string utmZoneOf(const pg::Point& lonLat) {
    const int zone = static_cast<int>(std::floor((lonLat.x + 180) / 6)) % 60 + 1;
    const int code = (lonLat.y < 0 ? 32700 : 32600) + zone;
    return pg::SpatialReference::fromEpsg(code).name() + " (EPSG:" + std::to_string(code) + ")";
}

std::string percent(double share) { return platform::formatNumber(platform::roundHalfEven(share * 100, 2)) + " %"; }
std::string scale(double value) { return platform::formatNumber(platform::roundHalfEven(value, 4)); }

// Why the projection of `sr` cannot measure distances over `area`, or
// nothing: its scale there strays from 1 by more than kMostScaleError.
std::optional<std::string> notTrue(const pg::SpatialReference& sr, const pg::Envelope& area, const std::string& what) {
    const auto range = pg::scaleOver(sr, area, kScalePointsPerSide);
    if (!range)
        return "The " + what + " is in a projection whose scale cannot be worked out over the whole raster (" +
               sr.name() + "), so its distances cannot be trusted; fetches and depths need a projected spatial "
               "reference in metres defined over the whole area.";
    const bool stretches = range->most - 1 > kMostScaleError, shrinks = 1 - range->least > kMostScaleError;
    if (!stretches && !shrinks) return std::nullopt;
    std::string off;
    if (stretches) off = "up to " + percent(range->most - 1) + " too long";
    if (shrinks) off += std::string(stretches ? ", " : "") + "up to " + percent(1 - range->least) + " too short";
    return "The " + what + " is in a projection that " +
           (stretches && shrinks ? "stretches and shrinks" : stretches ? "stretches" : "shrinks") +
           " distances where it lies (" + sr.name() + "): its scale there runs from " + scale(range->least) + " to " +
           scale(range->most) + ", every fetch and distance measured " + off +
           ". Fetches and depths need a projected spatial reference in metres whose scale stays within " +
           percent(kMostScaleError) + " of true over the area, such as the UTM zone of its centre, " +
           utmZoneOf(range->centre) + ".";
}

std::optional<std::string> referenceProblem(const pg::SpatialReference& dataset, const std::string& what,
                                            const pg::SpatialReference& bathymetry) {
    if (auto p = notMetric(dataset, what)) return p;
    if (dataset.isSame(bathymetry)) return std::nullopt;
    return "The " + what + " (" + dataset.name() + ") and the bathymetry raster (" + bathymetry.name() +
           ") are in different spatial references.";
}

}  // namespace

std::string unreadableReference(const std::string& what, const std::string& file) {
    return "The spatial reference of the " + what + " cannot be read (" + file + ").";
}

std::optional<std::string> bathymetryReferenceProblem(const pg::Raster& bathymetry, const std::string& name) {
    const std::string what = "bathymetry raster " + name;
    const pg::SpatialReference sr = bathymetry.spatialReference();
    if (auto p = notMetric(sr, what)) return p;
    if (sr.isProjected()) return notTrue(sr, bathymetry.extent(), what);
    return std::nullopt;
}

std::optional<std::string> sitesReferenceProblem(const pg::SpatialReference& sites, const std::string& sitesName,
                                                 const pg::SpatialReference& bathymetry) {
    return referenceProblem(sites, "point dataset " + sitesName, bathymetry);
}

std::optional<std::string> shorelineReferenceProblem(const pg::SpatialReference& shoreline,
                                                     const std::string& shorelineName,
                                                     const pg::SpatialReference& bathymetry) {
    return referenceProblem(shoreline, "shoreline " + shorelineName, bathymetry);
}

}  // namespace quor::gis
