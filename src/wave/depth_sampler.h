#pragma once
// What the shallow-water stages need of the bathymetry: the first segment
// of a ray cut into evenly spaced vertices, and the pixel under a vertex
// with the three outcomes identify has (outside the raster, "NoData", a
// value). The stages talk to this small interface only, so they run on the
// GIS layer's rasters and on synthetic depth fields alike.
#include <functional>
#include <memory>
#include <vector>

namespace quor::platform::gis {
class Raster;
}

namespace quor::wave {

struct MapPoint {
    double x = 0;
    double y = 0;
};

// A ray's first segment, from the site outwards.
struct RaySegment {
    MapPoint from;
    MapPoint to;
    double length() const;
};

struct DepthSample {
    enum class Kind { Outside, NoData, Value };
    Kind kind = Kind::Outside;
    double value = 0;  // the pixel value as stored (raster units, raster sign)

    static DepthSample outside() { return {}; }
    static DepthSample noData() { return {Kind::NoData, 0}; }
    static DepthSample of(double v) { return {Kind::Value, v}; }
    bool usable() const { return kind == Kind::Value; }
};

class DepthSampler {
public:
    virtual ~DepthSampler() = default;
    // Vertices from the site (index 0) to the far end (last index), evenly
    // spaced, no piece longer than maxPiece; both ends always kept.
    virtual std::vector<MapPoint> densify(const RaySegment& segment, double maxPiece) const;
    virtual DepthSample identify(const MapPoint& p) const = 0;
};

// The even split of a segment into n = max(1, ceil(L / d - 1e-9)) pieces,
// the same rule the GIS layer's densify follows (a ray measured a hair
// longer than a whole number of pieces gets no extra piece).
std::vector<MapPoint> densifySegment(const RaySegment& segment, double maxPiece);

// A depth field given as a function of the map position (tests, benchmarks).
class FunctionDepthSampler final : public DepthSampler {
public:
    explicit FunctionDepthSampler(std::function<DepthSample(const MapPoint&)> f) : f_(std::move(f)) {}
    DepthSample identify(const MapPoint& p) const override { return f_(p); }

private:
    std::function<DepthSample(const MapPoint&)> f_;
};

}  // namespace quor::wave
