#pragma once
// The program's GIS layer on GDAL/OGR, GEOS and PROJ. Include this one
// header for all of it.
//
//   using namespace quor::platform::gis;
//   auto ws = Workspace::createGeoPackage(dir + "/bay1.gpkg");   // or openGeoPackage
//   auto rays = ws->createFeatureClass("rays", GeometryType::Polyline,
//                                      {{"Dir", FieldType::Integer, "Direction"}});
//   {
//       Workspace::Transaction tx(*ws);               // one transaction for many writes
//       auto ins = rays->insertCursor();              // buffered
//       Feature f = ins.createFeatureBuffer();
//       f.setShape(Geometry::line({x0, y0}, {x1, y1}));
//       f.setValue("Dir", std::int64_t{0});
//       ins.insert(f);
//       ins.flush();
//       tx.commit();
//   }
//   Feature first = rays->feature(1);                   // object ids run 1, 2, 3...
//   Path pts = densify(first.shape().firstSegment(), 100.0);
//   auto bathy = Raster::open("/data/bathy.tif");
//   PixelValue v = bathy->identify(pts[0]);           // Outside, NoData or a value
//   auto clip = ClipPolygons::fromFeatureClass(*Workspace::open(shoreFolder)->openFeatureClass("coast"));
//   clipAnalysis(*rays, clip, *ws, "Inter_ray");
//   multipartToSinglepart(*ws->openFeatureClass("Inter_ray"), *ws, "Inter_rays");
//   Map map; map.addLayer(Layer::featureLayer(rays, "rays"));   // index 0 is the top
//
// Every failure is a GisError whose text is fit for a message box.
#include "platform/gis/feature.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/fields.h"
#include "platform/gis/geometry.h"
#include "platform/gis/geoprocessing.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/map.h"
#include "platform/gis/projection_scale.h"
#include "platform/gis/raster.h"
#include "platform/gis/spatial_reference.h"
#include "platform/gis/workspace.h"
