#pragma once
// Moving coordinates from one spatial reference to another through PROJ,
// in the traditional GIS axis order (x = easting or longitude).
#include <memory>

#include "platform/gis/geometry.h"
#include "platform/gis/spatial_reference.h"

class OGRCoordinateTransformation;

namespace quor::platform::gis {

class CoordinateTransform {
public:
    // GisError when either reference is none or PROJ has no way between them.
    CoordinateTransform(const SpatialReference& from, const SpatialReference& to);
    ~CoordinateTransform();
    CoordinateTransform(const CoordinateTransform&) = delete;
    CoordinateTransform& operator=(const CoordinateTransform&) = delete;

    // GisError when the point cannot be transformed (outside the projection's
    // domain, or a non-finite result).
    Point transform(const Point& p) const;

private:
    OGRCoordinateTransformation* ct_ = nullptr;
};

}  // namespace quor::platform::gis
