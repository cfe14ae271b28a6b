#pragma once
// What the ray measurements need of the bathymetry: the value under a
// point, told apart from "no data here" and "not on the raster at all".
#include <functional>

namespace quor::gis {

struct PixelSample {
    enum class Kind { Outside, NoData, Value };
    Kind kind = Kind::Outside;
    double value = 0;  // the pixel value as the model reads it, when kind is Value

    static PixelSample outside() { return {Kind::Outside, 0}; }
    static PixelSample noData() { return {Kind::NoData, 0}; }
    static PixelSample of(double v) { return {Kind::Value, v}; }
};

using RasterSampler = std::function<PixelSample(double x, double y)>;

}  // namespace quor::gis
