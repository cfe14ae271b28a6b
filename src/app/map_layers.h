#pragma once
// QGIS layers that draw the layers of our own map model. The model stays
// the source of truth; these are views over the same files ("ogr" for
// shapefiles and GeoPackage classes, "gdal" for rasters), or memory copies
// of classes whose rows other connections cannot see yet (a class written
// inside an open transaction).
#include <memory>

#include "platform/gis/map.h"

class QgsMapLayer;
class QgsVectorLayer;

namespace quor::app {

namespace pg = platform::gis;

// A QGIS layer for the model layer, styled for this program: a depth
// colour ramp for rasters, simple symbols for polygons, lines and points,
// the classes of a run's "Index" where the model layer has them.
// Never null: a layer whose class or raster is gone becomes an empty
// memory layer that draws nothing. The caller owns the result.
QgsMapLayer* makeQgisLayer(const pg::Layer& layer);

// A memory layer holding a copy of the class's features and fields, in
// the class's own geometry type and coordinate system. An unreadable
// class gives an empty layer.
QgsVectorLayer* memoryCopy(const pg::FeatureClass& fc, const std::string& layerName);

}  // namespace quor::app
