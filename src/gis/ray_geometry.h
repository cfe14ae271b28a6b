#pragma once
// Plain geometry of the fetch-ray fan: where each ray ends in either
// angular convention, the small square that decides which pieces touch a
// site, and the clean-up that turns what a polygon clip leaves of one ray
// into straight, outward, non-overlapping pieces.
#include <array>
#include <cstdint>
#include <vector>

#include "model/constants.h"
#include "platform/gis/geometry.h"

namespace quor::gis {

using XY = platform::gis::Point;

// Number of rays of the REI fan; ray i points i * 11.25 degrees
// anticlockwise from east.
inline constexpr int kReiRayCount = 32;

// End of REI ray i of length `fetch` from `site`: (X0 + F cos a, Y0 + F sin a).
XY reiRayEnd(XY site, double fetch, int i);

// End of RWE ray d of an n-ray fan (bearing d * 360/n clockwise from north):
// (X0 + F sin a, Y0 + F cos a).
XY rweRayEnd(XY site, double fetch, int d, int n);

// The closed five-point square of half-side 2 around the site, in the
// order (+,+), (-,+), (-,-), (+,-), (+,+).
std::array<XY, 5> siteSquare(XY site);

// One straight piece of a ray, oriented outward from the site.
struct RayPiece {
    XY start;
    XY end;
    double startDistance = 0;  // from the site to `start`
};

// Turns the line parts that a clip left of one ray (in any order and
// orientation, possibly split where the ray grazes a polygon vertex while
// staying in water) into pieces: parts that touch or overlap are merged,
// every piece runs outward from the site, zero-length parts are dropped,
// and the result is ordered by the distance of its start from the site.
std::vector<RayPiece> mergeRayParts(const std::vector<std::vector<XY>>& parts, XY site);

}  // namespace quor::gis
