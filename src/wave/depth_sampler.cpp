#include "wave/depth_sampler.h"

#include <cmath>

#include "platform/gis/geometry.h"
#include "platform/gis/raster.h"

namespace quor::wave {

namespace pg = platform::gis;

double RaySegment::length() const { return std::hypot(to.x - from.x, to.y - from.y); }

std::vector<MapPoint> densifySegment(const RaySegment& segment, double maxPiece) {
    const pg::Path path = pg::densify({{segment.from.x, segment.from.y}, {segment.to.x, segment.to.y}}, maxPiece);
    std::vector<MapPoint> v;
    v.reserve(path.size());
    for (const auto& p : path) v.push_back({p.x, p.y});
    return v;
}

std::vector<MapPoint> DepthSampler::densify(const RaySegment& segment, double maxPiece) const {
    return densifySegment(segment, maxPiece);
}

RasterDepthSampler::RasterDepthSampler(std::shared_ptr<const pg::Raster> raster) : raster_(std::move(raster)) {}

DepthSample RasterDepthSampler::identify(const MapPoint& p) const {
    const pg::PixelValue v = raster_->identify(p.x, p.y);
    switch (v.kind) {
        case pg::PixelValue::Kind::Value: return DepthSample::of(v.value);
        case pg::PixelValue::Kind::NoData: return DepthSample::noData();
        case pg::PixelValue::Kind::Outside: break;
    }
    return DepthSample::outside();
}

}  // namespace quor::wave
