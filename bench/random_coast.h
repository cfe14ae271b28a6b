#pragma once
// A national coast made from the bay: `count` distinct sites drawn at random
// (a fixed seed, the same file on every machine) inside the example's water
// polygons and on cells of its bathymetry that hold a depth. Written as a
// point shapefile (a path ending in .shp) or as the layer "sites" of a new
// GeoPackage (.gpkg), with one field SITE_ID counted from 1.
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quor::bench {

inline constexpr std::uint64_t kCoastSeed = 20260608;

// splitmix64: the same numbers whatever the standard library.
class CoastRandom {
public:
    explicit CoastRandom(std::uint64_t seed) : state_(seed) {}
    // Uniform in [0, 1), 53 bits.
    double next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-53;
    }

private:
    std::uint64_t state_;
};

inline void writeRandomCoast(const std::string& exampleFolder, const std::string& path, int count,
                             std::uint64_t seed = kCoastSeed) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> water(GDALDataset::Open((exampleFolder + "/water_portphillip.shp").c_str(),
                                                         GDAL_OF_VECTOR | GDAL_OF_READONLY));
    std::unique_ptr<GDALDataset> bathy(GDALDataset::Open((exampleFolder + "/bathy_portphillip_m.tif").c_str(),
                                                         GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!water || !bathy) throw std::runtime_error("the example is missing from " + exampleFolder);
    OGRLayer* waterLayer = water->GetLayer(0);
    OGRMultiPolygon polygons;
    waterLayer->ResetReading();
    for (auto& f : *waterLayer) {
        const OGRGeometry* g = f->GetGeometryRef();
        if (!g) continue;
        if (wkbFlatten(g->getGeometryType()) == wkbMultiPolygon)
            for (const OGRPolygon* part : *g->toMultiPolygon()) polygons.addGeometry(part);
        else
            polygons.addGeometry(g);
    }
    std::unique_ptr<OGRGeometry> area(polygons.UnionCascaded());
    if (!area) throw std::runtime_error("the example's water cannot be joined");
    OGRPreparedGeometryH prepared = OGRCreatePreparedGeometry(OGRGeometry::ToHandle(area.get()));

    const int w = bathy->GetRasterXSize(), h = bathy->GetRasterYSize();
    double gt[6];
    bathy->GetGeoTransform(gt);
    GDALRasterBand* band = bathy->GetRasterBand(1);
    int hasNoData = 0;
    const double noData = band->GetNoDataValue(&hasNoData);
    std::vector<float> cells(static_cast<std::size_t>(w) * h);
    if (band->RasterIO(GF_Read, 0, 0, w, h, cells.data(), w, h, GDT_Float32, 0, 0) != CE_None)
        throw std::runtime_error("the example's bathymetry cannot be read");

    const bool geoPackage = std::filesystem::path(path).extension() == ".gpkg";
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(geoPackage ? "GPKG" : "ESRI Shapefile");
    std::unique_ptr<GDALDataset> out(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!out) throw std::runtime_error("cannot create " + path);
    OGRLayer* layer = out->CreateLayer(geoPackage ? "sites" : std::filesystem::path(path).stem().string().c_str(),
                                       waterLayer->GetSpatialRef(), wkbPoint, nullptr);
    OGRFieldDefn id("SITE_ID", OFTInteger);
    layer->CreateField(&id);
    if (geoPackage) out->StartTransaction();

    CoastRandom random(seed);
    std::set<std::pair<double, double>> taken;
    OGREnvelope box;
    area->getEnvelope(&box);
    // Sites a centimetre apart at least: distinct in every format's coordinates.
    const auto round = [](double v) { return std::round(v * 100) / 100; };
    int made = 0;
    while (made < count) {
        const double x = round(box.MinX + random.next() * (box.MaxX - box.MinX));
        const double y = round(box.MinY + random.next() * (box.MaxY - box.MinY));
        const double col = (x - gt[0]) / gt[1], row = (y - gt[3]) / gt[5];
        if (!(col >= 0 && row >= 0 && col < w && row < h)) continue;
        const float depth = cells[static_cast<std::size_t>(row) * w + static_cast<std::size_t>(col)];
        if (!std::isfinite(depth) || (hasNoData && depth == static_cast<float>(noData))) continue;
        OGRPoint p(x, y);
        if (!OGRPreparedGeometryContains(prepared, OGRGeometry::ToHandle(&p))) continue;
        if (!taken.emplace(x, y).second) continue;
        OGRFeature f(layer->GetLayerDefn());
        f.SetField(0, ++made);
        f.SetGeometry(&p);
        if (layer->CreateFeature(&f) != OGRERR_NONE) throw std::runtime_error("cannot write " + path);
    }
    if (geoPackage) out->CommitTransaction();
    OGRDestroyPreparedGeometry(prepared);
}

}  // namespace quor::bench
