#pragma once
// What the shallow-water stages need of the bathymetry: the first segment
// of a ray cut into evenly spaced vertices, and the pixel under a vertex
// with the three outcomes identify has (outside the raster, "NoData", a
// value). The stages talk to this small interface only, so they run on the
// GIS layer's rasters and on synthetic depth fields alike.
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/gis/geometry.h"
#include "platform/gis/raster.h"

namespace quor::wave {

// The GIS layer's point and identify result, under the names the stages
// read them by.
using MapPoint = platform::gis::Point;
using DepthSample = platform::gis::PixelValue;

// A ray's first segment, from the site outwards.
struct RaySegment {
    MapPoint from;
    MapPoint to;
    double length() const;
};

class DepthSampler {
public:
    virtual ~DepthSampler() = default;
    // Vertices from the site (index 0) to the far end (last index), evenly
    // spaced, no piece longer than maxPiece; both ends always kept.
    virtual std::vector<MapPoint> densify(const RaySegment& segment, double maxPiece) const;
    virtual DepthSample identify(const MapPoint& p) const = 0;
    // out[i] = identify(points[i]); a raster reads them in one pass.
    virtual void identifyMany(const MapPoint* points, std::size_t count, DepthSample* out) const;
};

// The GIS layer's densify applied to one segment.
std::vector<MapPoint> densifySegment(const RaySegment& segment, double maxPiece);

// A depth field given as a function of the map position (tests, benchmarks).
class FunctionDepthSampler final : public DepthSampler {
public:
    explicit FunctionDepthSampler(std::function<DepthSample(const MapPoint&)> f) : f_(std::move(f)) {}
    DepthSample identify(const MapPoint& p) const override { return f_(p); }

private:
    std::function<DepthSample(const MapPoint&)> f_;
};

// Identify on a GIS raster (the run's bathymetry). Pixel values arrive as
// the raster stores them; the stages apply the unit factor and the sign.
//
// The last bulk read is kept: the depth averaging and the first stage cut a
// direction's ray at the same spacing when the stage's step is 100, and
// then the stage's vertices are a stretch of the averaging's, read again
// for nothing. Only points equal bit for bit are taken from it.
class RasterDepthSampler final : public DepthSampler {
public:
    explicit RasterDepthSampler(std::shared_ptr<const platform::gis::Raster> raster);
    DepthSample identify(const MapPoint& p) const override;
    void identifyMany(const MapPoint* points, std::size_t count, DepthSample* out) const override;

private:
    bool fromLastRead(const MapPoint* points, std::size_t count, DepthSample* out) const;

    std::shared_ptr<const platform::gis::Raster> raster_;
    mutable std::vector<MapPoint> lastPoints_;
    mutable std::vector<DepthSample> lastSamples_;
};

}  // namespace quor::wave
