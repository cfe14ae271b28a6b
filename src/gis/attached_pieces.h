#pragma once
// The pieces of a site's rays that the clipping path keeps, taken
// straight from the run's prepared shoreline: no work class is written,
// clipped or selected. Runs that draw nothing use it; the pieces, their
// order and their lengths are exactly those the drawn path leaves in
// "orp_rays".
#include <cstdint>
#include <memory>
#include <vector>

#include "gis/ray_geometry.h"
#include "gis/ray_site.h"
#include "platform/gis/raster.h"

namespace quor::gis {

struct AttachedPiece {
    std::int64_t dir = 0;
    XY start;
    XY end;
    double length() const;
};

// One ray of a fan: its "Dir" and its line from the site outward (a
// ray read from a class keeps every part it has).
struct FanRay {
    std::int64_t dir = 0;
    std::vector<pg::Path> parts;
};

// The pieces of the rays that lie in water and meet the site's square,
// ray by ray in the order given, nearest piece first.
std::vector<AttachedPiece> attachedPieces(const pg::ClipPolygons& water, const std::vector<FanRay>& rays,
                                          const pg::Point& site);

// The rays of a fan class, in the order it stores them.
std::vector<FanRay> fanRays(const pg::FeatureClass& rays);

// Whether the segment ab meets the closed square of the site.
bool meetsSiteSquare(const XY& a, const XY& b, const pg::Point& site);

// The REI site in a run that draws nothing: the 32 rays are cast in
// memory, and the ray profile runs over their attached pieces, with the same
// messages as the drawn path when a step fails.
void profileAttachedRays(RayContext& ctx, const pg::Point& spoint, const std::shared_ptr<pg::Workspace>& pworkspace,
                         const std::shared_ptr<pg::Raster>& prasterlayer);

}  // namespace quor::gis
