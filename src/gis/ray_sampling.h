#pragma once
// What the ray measurements need of the bathymetry: the value under a
// point, told apart from "no data here" and "not on the raster at all".
#include <functional>

#include "platform/gis/raster.h"

namespace quor::gis {

// The GIS layer's identify result, under the name the measurements read it by.
using PixelSample = platform::gis::PixelValue;

using RasterSampler = std::function<PixelSample(double x, double y)>;

}  // namespace quor::gis
