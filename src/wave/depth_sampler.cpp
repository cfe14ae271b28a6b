#include "wave/depth_sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gis/geometry.h"
#include "platform/gis/raster.h"

namespace quor::wave {

namespace pg = platform::gis;

double RaySegment::length() const { return std::hypot(to.x - from.x, to.y - from.y); }

std::vector<MapPoint> densifySegment(const RaySegment& segment, double maxPiece) {
    return pg::densify({segment.from, segment.to}, maxPiece);
}

std::vector<MapPoint> DepthSampler::densify(const RaySegment& segment, double maxPiece) const {
    return densifySegment(segment, maxPiece);
}

RasterDepthSampler::RasterDepthSampler(std::shared_ptr<const pg::Raster> raster) : raster_(std::move(raster)) {}

void DepthSampler::identifyMany(const MapPoint* points, std::size_t count, DepthSample* out) const {
    for (std::size_t i = 0; i < count; ++i) out[i] = identify(points[i]);
}

DepthSample RasterDepthSampler::identify(const MapPoint& p) const { return raster_->identify(p); }

void RasterDepthSampler::identifyMany(const MapPoint* points, std::size_t count, DepthSample* out) const {
    if (count == 0 || fromLastRead(points, count, out)) return;
    raster_->identifyMany(points, count, out);
    lastPoints_.assign(points, points + count);
    lastSamples_.assign(out, out + count);
}

bool RasterDepthSampler::fromLastRead(const MapPoint* points, std::size_t count, DepthSample* out) const {
    if (count > lastPoints_.size()) return false;
    auto same = [](const MapPoint& a, const MapPoint& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    for (std::size_t at = 0; at + count <= lastPoints_.size(); ++at) {
        if (!same(lastPoints_[at], points[0])) continue;
        for (std::size_t i = 1; i < count; ++i)
            if (!same(lastPoints_[at + i], points[i])) return false;
        std::copy_n(lastSamples_.begin() + static_cast<std::ptrdiff_t>(at), count, out);
        return true;
    }
    return false;
}

}  // namespace quor::wave
