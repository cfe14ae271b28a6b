#pragma once
// Synthetic lake projects for the ray pipeline tests and benchmarks: a
// water polygon with islands written as a shapefile, a bathymetry GeoTIFF
// written cell by cell from a function, and a project geodatabase with
// the model state that a run would hold.
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "gis/ray_site.h"
#include "platform/gis/map.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"

namespace quor::gis::testdata {

namespace pg = platform::gis;

// UTM-like offsets, so that coordinate sizes are those of real projects.
inline constexpr double kX0 = 500000;
inline constexpr double kY0 = 5800000;

using Ring = std::vector<pg::Point>;  // relative to (kX0, kY0), not closed

inline OGRLinearRing toRing(const Ring& r) {
    OGRLinearRing ring;
    for (const auto& p : r) ring.addPoint(kX0 + p.x, kY0 + p.y);
    ring.closeRings();
    return ring;
}

// Writes a polygon shapefile `name`.shp in `folder`: one feature per
// polygon, each given as its exterior ring and holes.
inline void writeShoreline(const std::string& folder, const std::string& name,
                           const std::vector<std::vector<Ring>>& polygons, int epsg = 32755) {
    GDALAllRegister();
    auto* drv = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    std::unique_ptr<GDALDataset> ds(drv->Create(folder.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!ds) throw std::runtime_error("cannot create shapefile folder");
    OGRSpatialReference sr;
    sr.importFromEPSG(epsg);
    sr.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer* layer = ds->CreateLayer(name.c_str(), epsg ? &sr : nullptr, wkbPolygon, nullptr);
    for (const auto& rings : polygons) {
        OGRPolygon poly;
        for (const auto& r : rings) {
            OGRLinearRing ring = toRing(r);
            poly.addRing(&ring);
        }
        OGRFeature f(layer->GetLayerDefn());
        f.SetGeometry(&poly);
        if (layer->CreateFeature(&f) != OGRERR_NONE) throw std::runtime_error("cannot write shoreline");
    }
}

// Writes a Float32 GeoTIFF over [minX, minX + cols*cell] x [minY, minY + rows*cell]
// (relative coordinates); value(x, y) at each cell centre, NaN meaning NoData (-9999).
inline void writeBathymetry(const std::string& path, double minX, double minY, double cell, int cols, int rows,
                            const std::function<double(double, double)>& value) {
    GDALAllRegister();
    auto* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
    char** opts = nullptr;
    opts = CSLSetNameValue(opts, "TILED", "YES");
    std::unique_ptr<GDALDataset> ds(drv->Create(path.c_str(), cols, rows, 1, GDT_Float32, opts));
    CSLDestroy(opts);
    if (!ds) throw std::runtime_error("cannot create raster");
    double gt[6] = {kX0 + minX, cell, 0, kY0 + minY + rows * cell, 0, -cell};
    ds->SetGeoTransform(gt);
    OGRSpatialReference sr;
    sr.importFromEPSG(32755);
    ds->SetSpatialRef(&sr);
    GDALRasterBand* band = ds->GetRasterBand(1);
    band->SetNoDataValue(-9999);
    std::vector<float> line(static_cast<size_t>(cols));
    for (int r = 0; r < rows; ++r) {
        const double y = minY + (rows - r - 0.5) * cell;
        for (int c = 0; c < cols; ++c) {
            const double v = value(minX + (c + 0.5) * cell, y);
            line[c] = std::isnan(v) ? -9999.0f : static_cast<float>(v);
        }
        if (band->RasterIO(GF_Write, 0, r, cols, 1, line.data(), cols, 1, GDT_Float32, 0, 0) != CE_None)
            throw std::runtime_error("cannot write raster");
    }
}

// A project open in memory: geodatabase, map, model state and recorders.
template <class MessagesT, class ProgressT>
struct Project {
    std::string folder;
    model::ModelState state;
    model::SettingsHolder fm;
    model::MainFormState mf;
    model::WindSummary wind;
    pg::Map map;
    MessagesT messages;
    ProgressT progress;
    RayContext ctx{state, fm, mf, wind, map, messages, progress};

    // `shoreFolder`/`shoreName` name a shapefile written beforehand.
    Project(const std::string& projectFolder, const std::string& shoreFolder, const std::string& shoreName)
        : folder(projectFolder) {
        mf.dir_path = projectFolder;
        mf.projfile = projectFolder;
        mf.projname = "bay1";
        mf.geodatabasename = "bay1.gpkg";
        mf.ptworkspace = pg::Workspace::createGeoPackage(projectFolder + "/bay1.gpkg");
        mf.shorecov = shoreFolder;
        mf.shorename = shoreName;
        mf.Fetch = 10000;
        mf.dist_bathy = 100;
        mf.unitfactor = 1;
        state.app_folder = projectFolder + "/app";
        wind.windpowercoll.assign(32, 0.053f);
    }

    pg::Point site(double x, double y) const { return {kX0 + x, kY0 + y}; }
};

}  // namespace quor::gis::testdata
