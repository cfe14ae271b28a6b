#pragma once
// Measuring a ray on the bathymetry grid: step outward from the site and
// count the wet sample points until the water ends.
#include <optional>
#include <string>
#include <vector>

#include "gis/ray_geometry.h"
#include "gis/ray_sampling.h"

namespace quor::gis {

// Wet test of one pixel value: positive bathymetry is water above the
// water level, negative bathymetry below it. The pixel is turned into
// metres first (unit factor 1, 100 or 3.281; 0, i.e. none set, counts as
// 1), since the water level is in metres.
bool isWater(double value, bool bathyPositive, float tideheight, float unitfactor = 1);

// The sampling step along rays: twice the run's cell step, at most 100.
// Throws std::invalid_argument for a cell step of 0 or less (it would
// never reach the end of a ray).
double fastRayStep(double cellStep);

// Wet length of one ray whose densified points are `vertices` (the site
// first): `step` for every wet point met before the first dry or NoData
// point; points off the raster add nothing. Nothing when the site itself
// is dry or has no data (off the raster counts as wet).
std::optional<double> walkRay(const std::vector<XY>& vertices, float step, const RasterSampler& sample,
                              bool bathyPositive, float tideheight, float unitfactor = 1);

}  // namespace quor::gis
