#pragma once
// The cosine-weighted effective fetch of an n-ray fan: every direction
// takes the weighted mean of the direct fetches within 45 degrees on
// either side (the window wraps around the circle), rounded half to even
// and never longer than the direction's own fetch. Both the clipping path
// and the raster-stepping path of the wave model use it.
#include <vector>

namespace quor::model {

// Half-width of the window in rays: n / 8 (2, 4, 5, 6, 7 for 16..56 rays).
int effectiveFetchHalfWidth(int n);

// Weights w(k) = cos(k * 360/n * 3.1416/180) for k = 0..m, centre first.
std::vector<double> effectiveFetchWeights(int n);

// Sum of the weights over the whole window (k = -m..m).
double effectiveFetchWeightSum(int n);

// direct[d] is the direct fetch of direction d (d = 0..n-1), already
// rounded to whole units; returns the effective fetch per direction.
// n must be a multiple of 8 between 8 and 64; throws std::invalid_argument otherwise.
std::vector<double> effectiveFetch(const std::vector<double>& direct);

}  // namespace quor::model
