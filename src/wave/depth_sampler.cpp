#include "wave/depth_sampler.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quor::wave {

double RaySegment::length() const { return std::hypot(to.x - from.x, to.y - from.y); }

std::vector<MapPoint> densifySegment(const RaySegment& segment, double maxPiece) {
    if (!(maxPiece > 0) || !std::isfinite(maxPiece)) throw std::invalid_argument("Invalid procedure call or argument");
    const double L = segment.length();
    const double pieces = std::max(1.0, std::ceil(L / maxPiece - 1e-9));
    if (pieces > 1e7) throw std::length_error("Out of memory");
    const int n = static_cast<int>(pieces);
    std::vector<MapPoint> v(static_cast<size_t>(n) + 1);
    const double dx = segment.to.x - segment.from.x, dy = segment.to.y - segment.from.y;
    for (int k = 0; k < n; ++k) {
        const double t = static_cast<double>(k) / n;
        v[k] = {segment.from.x + t * dx, segment.from.y + t * dy};
    }
    v[n] = segment.to;  // the far end exactly, not an interpolated neighbour
    return v;
}

std::vector<MapPoint> DepthSampler::densify(const RaySegment& segment, double maxPiece) const {
    return densifySegment(segment, maxPiece);
}

}  // namespace quor::wave
