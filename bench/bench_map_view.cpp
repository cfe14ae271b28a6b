// The map view's costs: a full redraw at full extent of a 20,000 x 20,000
// Float32 bathymetry (with and without overviews), a shoreline of 100,000
// vertices and 10,000 sites into a 1600 x 1000 view, with the longest
// stall of the event loop meanwhile; and a site's four work layers added
// to and removed from the shown map 1,000 times, with the event loop
// turning once per site as a run does.
#include <benchmark/benchmark.h>

#include <gdal.h>
#include <gdal_priv.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <memory>

#include "app/map_view.h"
#include "app/qgis_runtime.h"
#include "platform/gis/gis.h"

namespace pg = quor::platform::gis;

namespace {

constexpr int kSide = 20000;

// A striped, uncompressed Float32 GeoTIFF in metres: smooth negative
// depths, NoData on a band of land.
std::string makeRaster(const QString& folder, bool overviews) {
    const std::string path = (folder + (overviews ? "/bathy_ovr.tif" : "/bathy.tif")).toStdString();
    GDALDriver* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDataset* ds = drv->Create(path.c_str(), kSide, kSide, 1, GDT_Float32, nullptr);
    double gt[6] = {300000, 10, 0, 6000000, 0, -10};
    ds->SetGeoTransform(gt);
    ds->SetProjection(pg::SpatialReference::fromEpsg(32755).wkt().c_str());
    GDALRasterBand* band = ds->GetRasterBand(1);
    band->SetNoDataValue(-9999);
    std::vector<float> row(kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x)
            row[x] = x < 1500 + 300 * std::sin(y * 0.001) ? -9999.0f
                                                           : static_cast<float>(-0.5 - 30 * std::fabs(std::sin(x * 0.0003) * std::cos(y * 0.0002)));
        if (band->RasterIO(GF_Write, 0, y, kSide, 1, row.data(), kSide, 1, GDT_Float32, 0, 0) != CE_None) std::abort();
    }
    if (overviews) {
        int levels[] = {2, 4, 8, 16, 32, 64};
        ds->BuildOverviews("NEAREST", 6, levels, 0, nullptr, nullptr, nullptr);
    }
    GDALClose(ds);
    return path;
}

pg::Geometry coast() {
    const int n = 100000;
    pg::Path ring;
    for (int i = 0; i <= n; ++i) {
        const double a = (i % n) * 2 * M_PI / n;
        const double r = 80000 + 6000 * std::sin(9 * a) + 2500 * std::sin(57 * a) + 400 * std::sin(911 * a);
        ring.push_back({400000 + r * std::cos(a), 5900000 + r * std::sin(a)});
    }
    return pg::Geometry::polygon(ring);
}

struct Scene {
    QTemporaryDir dir;
    std::shared_ptr<pg::Workspace> ws;
    std::string rasterNoOvr, rasterOvr;

    Scene() {
        const QString folder = dir.path();
        ws = pg::Workspace::createGeoPackage((folder + "/bay.gpkg").toStdString());
        const auto sr = pg::SpatialReference::fromEpsg(32755);
        auto shore = ws->createFeatureClass("shore", pg::GeometryType::Polygon, {}, sr);
        pg::Feature f = shore->createFeature();
        f.setShape(coast());
        shore->store(f);
        auto sites = ws->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                            {{"X", pg::FieldType::Double}, {"Y", pg::FieldType::Double}}, sr);
        auto ins = sites->insertCursor(true);
        for (int i = 0; i < 10000; ++i) {
            pg::Feature p = ins.createFeatureBuffer();
            const double x = 330000 + (i % 100) * 1500, y = 5830000 + (i / 100) * 1500;
            p.setShape(pg::Geometry::point(x, y));
            p.setValue(2, x);
            p.setValue(3, y);
            ins.insert(p);
        }
        ins.flush();
        for (const char* name : {"rays", "Inter_rays", "orp_rays", "EffF_rays"})
            ws->createFeatureClass(name, pg::GeometryType::Polyline, {{"Dir", pg::FieldType::Integer}}, sr);
        rasterNoOvr = makeRaster(folder, false);
        rasterOvr = makeRaster(folder, true);
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void fullRedraw(benchmark::State& state, bool overviews, int layersMask = 7) {
    Scene& s = scene();
    quor::app::MapView view;
    view.resize(1600, 1000);
    view.show();
    pg::Map& map = view.map();
    if (layersMask & 1)
        map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(overviews ? s.rasterOvr : s.rasterNoOvr), "bathy"));
    if (layersMask & 2) map.addLayer(pg::Layer::featureLayer(s.ws->openFeatureClass("shore")));
    if (layersMask & 4) map.addLayer(pg::Layer::featureLayer(s.ws->openFeatureClass("Pointdata1")));
    map.setExtent(map.fullExtent());
    view.syncNow();

    qint64 worstStall = 0;
    for (auto _ : state) {
        view.clearCache();
        QEventLoop loop;
        QObject::connect(&view, &QgsMapCanvas::mapCanvasRefreshed, &loop, &QEventLoop::quit);
        // A timer every 5 ms: the largest gap between its ticks is how long
        // the window could not answer.
        QElapsedTimer tick;
        tick.start();
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            worstStall = std::max(worstStall, tick.restart());
        });
        probe.start(5);
        view.refreshView();
        loop.exec();
        probe.stop();
    }
    state.counters["worst_stall_ms"] = static_cast<double>(worstStall);
}

void BM_FullRedrawWithOverviews(benchmark::State& state) { fullRedraw(state, true); }
void BM_FullRedrawWithoutOverviews(benchmark::State& state) { fullRedraw(state, false); }
// The parts alone, to see where the time goes.
void BM_RasterOnlyWithOverviews(benchmark::State& state) { fullRedraw(state, true, 1); }
void BM_RasterOnlyWithoutOverviews(benchmark::State& state) { fullRedraw(state, false, 1); }
void BM_ShorelineOnly(benchmark::State& state) { fullRedraw(state, true, 2); }
void BM_SitesOnly(benchmark::State& state) { fullRedraw(state, true, 4); }

void BM_SiteWorkLayers1000(benchmark::State& state) {
    Scene& s = scene();
    quor::app::MapView view;
    view.resize(1600, 1000);
    view.show();
    pg::Map& map = view.map();
    map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(s.rasterOvr), "bathy"));
    map.addLayer(pg::Layer::featureLayer(s.ws->openFeatureClass("shore")));
    map.addLayer(pg::Layer::featureLayer(s.ws->openFeatureClass("Pointdata1")));
    map.setExtent(map.fullExtent());
    view.syncNow();
    std::vector<std::shared_ptr<pg::FeatureClass>> work;
    for (const char* name : {"rays", "Inter_rays", "orp_rays", "EffF_rays"}) work.push_back(s.ws->openFeatureClass(name));
    for (auto _ : state) {
        for (int site = 0; site < 1000; ++site) {
            std::vector<std::shared_ptr<pg::Layer>> layers;
            for (const auto& fc : work) {
                layers.push_back(pg::Layer::featureLayer(fc));
                map.addLayer(layers.back());
            }
            for (const auto& l : layers) map.deleteLayer(l);
            QCoreApplication::processEvents();  // the run's yield once per site
        }
    }
    state.counters["syncs"] = view.syncCount();
}

}  // namespace

BENCHMARK(BM_FullRedrawWithOverviews)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_FullRedrawWithoutOverviews)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RasterOnlyWithOverviews)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_RasterOnlyWithoutOverviews)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ShorelineOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SitesOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SiteWorkLayers1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quor::app::startQgis();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
