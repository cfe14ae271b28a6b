#pragma once
// The REI depth term of one ray: the depth magnitude at every sample
// point, times the ray's fetch, damped linearly to nothing at the maximum
// fetch and by (1 + r) to the ray's power. Two ways to find the stretch:
// a clipped piece is measured whole; an unclipped ray is walked outward
// until the bathymetry reads 0, has no data or ends.
#include <vector>

#include "gis/ray_geometry.h"
#include "gis/ray_sampling.h"
#include "model/model_state.h"

namespace quor::gis {

// Normal path: `vertices` are the densified points of a clipped piece of
// length `pieceLength`. Resets and fills ray_bathy(dir).
void rayprofile(model::ModelState& state, const std::vector<XY>& vertices, int dir, XY site, double pieceLength,
                const RasterSampler& sample, double maxFetch, float unitfactor);

// Fast path: `vertices` are the densified points of the whole ray. Resets
// and fills ray_bathy(dir) and replaces ray_fetch(dir) with the distance
// the water reaches.
void rayprofile2(model::ModelState& state, const std::vector<XY>& vertices, int dir, XY site,
                 const RasterSampler& sample, double maxFetch, float unitfactor);

// Copies the wind climate's 32 per-direction powers (clockwise from east)
// onto the rays (anticlockwise from east): ray k takes item (32 - k) mod 32.
// Throws std::runtime_error when the holder has no full set of powers.
void windray_powers(model::ModelState& state, const model::WindSummary& winddata);

}  // namespace quor::gis
