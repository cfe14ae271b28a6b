#pragma once
// How much a projection stretches or shrinks distances where a dataset
// lies: PROJ's scale factors along the meridian and along the parallel,
// taken over a grid of points. A length measured in projected coordinates
// is the ground's length times the scale there.
#include <optional>

#include "platform/gis/geometry.h"
#include "platform/gis/spatial_reference.h"

namespace quor::platform::gis {

struct ScaleRange {
    double least = 1;  // the smallest scale, along a meridian or a parallel
    double most = 1;   // the largest
    Point centre;      // the area's centre: longitude (x) and latitude (y) in degrees
};

// The scales of the projection of `sr` at `perSide` by `perSide` points
// evenly over `area` (in `sr`'s coordinates), its corners and edges
// among them. Nothing when `sr` is not a projection PROJ can evaluate, or
// one of the points lies where the projection is not defined.
std::optional<ScaleRange> scaleOver(const SpatialReference& sr, const Envelope& area, int perSide);

}  // namespace quor::platform::gis
