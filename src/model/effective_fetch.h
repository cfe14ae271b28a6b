#pragma once
// The cosine-weighted effective fetch of an n-ray fan: every direction
// takes the weighted mean of the direct fetches within 45 degrees on
// either side (the window wraps around the circle), rounded half to even
// and never longer than the direction's own fetch. Both the clipping path
// and the raster-stepping path of the wave model use it.
#include <vector>

#include "model/bounded_array.h"

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

// Direction tables keep direction d at index d + kDirectionOffset, with
// room on both sides for the window's wrap-around.
inline constexpr int kDirectionOffset = 7;

// Repeats the last and the first n/8 directions of an n-ray table around
// its ends, so that the table shows the window as it wraps the circle.
template <class T, int Upper>
void wrapDirectionTable(BoundedArray<T, Upper>& table, int n) {
    const int m = effectiveFetchHalfWidth(n);
    for (int k = 0; k < m; ++k) {
        table(kDirectionOffset - 1 - k) = table(n + kDirectionOffset - 1 - k);
        table(n + kDirectionOffset + k) = table(kDirectionOffset + k);
    }
}

// The effective fetch of every direction of an n-ray table into
// fetcharray(0..n-1); the rest of fetcharray is cleared.
template <class T, int Upper, int FetchUpper>
void fillEffectiveFetch(BoundedArray<double, FetchUpper>& fetcharray, const BoundedArray<T, Upper>& table, int n) {
    std::vector<double> direct(static_cast<std::size_t>(n));
    for (int d = 0; d < n; ++d) direct[static_cast<std::size_t>(d)] = table(d + kDirectionOffset);
    fetcharray.erase();
    const std::vector<double> effective = effectiveFetch(direct);
    for (int d = 0; d < n; ++d) fetcharray(d) = effective[static_cast<std::size_t>(d)];
}

}  // namespace quor::model
