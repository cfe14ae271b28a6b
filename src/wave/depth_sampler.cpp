#include "wave/depth_sampler.h"

#include <cmath>

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
    raster_->identifyMany(points, count, out);
}

}  // namespace quor::wave
