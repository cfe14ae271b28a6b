#include "platform/gis/projection.h"

#include <ogr_spatialref.h>

#include <cmath>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"

namespace quor::platform::gis {

CoordinateTransform::CoordinateTransform(const SpatialReference& from, const SpatialReference& to) {
    if (from.isNone() || to.isNone()) throw GisError("A point without a spatial reference cannot be projected.");
    detail::ErrorCapture err;
    ct_ = OGRCreateCoordinateTransformation(from.ogr(), to.ogr());
    if (!ct_)
        throw GisError(err.message("No transformation from " + from.name() + " to " + to.name() + " is known."));
}

CoordinateTransform::~CoordinateTransform() {
    if (ct_) OGRCoordinateTransformation::DestroyCT(ct_);
}

Point CoordinateTransform::transform(const Point& p) const {
    detail::ErrorCapture err;
    double x = p.x, y = p.y;
    if (!ct_->Transform(1, &x, &y) || !std::isfinite(x) || !std::isfinite(y))
        throw GisError(err.message("The point " + std::to_string(p.x) + " " + std::to_string(p.y) +
                                   " cannot be projected."));
    return {x, y};
}

}  // namespace quor::platform::gis
