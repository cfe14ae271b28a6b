#pragma once
// The bathymetry sign flag and the proposed interrogation distance, from
// a raster's statistics and cell size.
#include <cstdint>
#include <optional>

namespace quor::project {

// 0 when the raster holds values of both signs, 1 when of one sign only,
// nothing when minimum and maximum are both 0 (the flag stays as it was).
std::optional<int16_t> depthSignFlag(double minimum, double maximum);

// The smaller cell side less one, rounded half to even and never below 1;
// nothing when it does not fit a 16-bit integer.
std::optional<int16_t> recommendedInterrogationDistance(double cellX, double cellY);

}  // namespace quor::project
