#pragma once
// What the ray measurements need of the bathymetry: the value under a
// point, told apart from "no data here" and "not on the raster at all".
#include <algorithm>
#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

#include "platform/gis/raster.h"

namespace quor::gis {

// The GIS layer's identify result, under the name the measurements read it by.
using PixelSample = platform::gis::PixelValue;

// A surface to sample: a raster, read in bulk, or any function of the map
// position (synthetic fields, tests). A ray's vertices are asked for in
// runs, so that a raster takes each of its blocks once per run.
class RasterSampler {
public:
    template <class F, std::enable_if_t<std::is_invocable_r_v<PixelSample, F, double, double>, int> = 0>
    RasterSampler(F f) : point_(std::move(f)) {}
    explicit RasterSampler(const platform::gis::Raster& raster) : raster_(&raster) {}

    PixelSample operator()(double x, double y) const { return raster_ ? raster_->identify(x, y) : point_(x, y); }
    // out[i] receives the sample under points[i].
    void operator()(const platform::gis::Point* points, std::size_t count, PixelSample* out) const {
        if (raster_) return raster_->identifyMany(points, count, out);
        for (std::size_t i = 0; i < count; ++i) out[i] = point_(points[i].x, points[i].y);
    }

private:
    std::function<PixelSample(double, double)> point_;
    const platform::gis::Raster* raster_ = nullptr;
};

// Walks a ray's vertices in growing runs (a walk that ends early reads
// little past its end): `visit(i, sample)` returns false to stop.
template <class Visit>
void forEachSample(const RasterSampler& sample, const platform::gis::Point* points, std::size_t count, Visit visit) {
    PixelSample buf[256];
    std::size_t run = 16;
    for (std::size_t start = 0; start < count; start += run, run = run < 256 ? run * 2 : 256) {
        const std::size_t n = std::min(run, count - start);
        sample(points + start, n, buf);
        for (std::size_t i = 0; i < n; ++i)
            if (!visit(start + i, buf[i])) return;
    }
}

}  // namespace quor::gis
