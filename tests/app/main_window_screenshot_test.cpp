#include <gtest/gtest.h>

#include <qgsgraduatedsymbolrenderer.h>
#include <qgsmaptopixel.h>
#include <qgsvectorlayer.h>

#include <QDir>
#include <QImage>

#include <algorithm>
#include <cmath>

#include "app/class_breaks_renderer.h"
#include "app/main_form.h"
#include "app/map_style.h"
#include "app/map_view.h"
#include "app/run_command.h"
#include "gis/geodatabase.h"
#include "gis/load_features.h"
#include "gis/point_display.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "platform/settings_store.h"
#include "qgis_support.h"
#include "test_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

struct NoTree final : gis::PointDatasetTree {
    void addPointDatasetNode(int, const std::string&, const std::string&, int) override {}
};

int distance(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The closest colour match within `radius` pixels.
int nearest(const QImage& img, QPoint p, QColor c, int radius) {
    int best = 1000;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint q(p.x() + dx, p.y() + dy);
            if (img.rect().contains(q)) best = std::min(best, distance(img.pixelColor(q), c));
        }
    return best;
}

}  // namespace

struct MainWindowScreenshot : test::QgisTest {};

TEST_F(MainWindowScreenshot, ShowsThePortPhillipProjectOnTheMap) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    test::TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    test::RecordingMessages messages;
    model::ModelState state;
    state.welcome_done = true;  // the picture is of the project, not the welcome
    model::MainFormState form;
    model::SettingsHolder holder;
    app::MainForm window{state, form, holder, store, &messages};
    app::StartupEnvironment env;
    env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
    env.fallbackFolder = home.path() + "/fallback";
    window.Form_Load(env);

    // A project: bathymetry, shoreline and the 1,015 sites copied into its geodatabase.
    form.projfile = home.path();
    form.projname = "portphillip";
    form.geodatabasename = gis::geodatabaseFileName(form.projname);
    form.ptworkspace = gis::createWorkspace(form.projfile, form.projname);
    auto sitesWs = pg::Workspace::open(data + "/sites_portphillip.shp");
    auto source = sitesWs->openFeatureClass("sites_portphillip");
    auto target = form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                       {{"X", pg::FieldType::Double}, {"Y", pg::FieldType::Double}},
                                                       source->spatialReference());
    auto cursor = source->search();
    ASSERT_TRUE(gis::LoadFeatures(target, cursor, nullptr, messages).ok());
    ASSERT_EQ(target->featureCount(), 1015);

    pg::Map& map = window.MapControl2->map();
    map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(data + "/bathy_portphillip_m.tif"), "bathy_portphillip_m"));
    auto shoreWs = pg::Workspace::open(data + "/water_portphillip.shp");
    map.addLayer(pg::Layer::featureLayer(shoreWs->openFeatureClass("water_portphillip")));
    NoTree tree;
    gis::displaypointdata(form, map, tree);
    ASSERT_EQ(map.layerCount(), 3);

    window.resize(1280, 860);
    window.show();
    // The extent is set once the window has its size, as a project opened
    // in the running program is.
    map.setExtent(map.fullExtent());
    ASSERT_TRUE(test::drawAndWait(*window.MapControl2));
    const QImage img = window.grab().toImage();
    const QString folder = QStringLiteral(QUOR_BUILD_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    ASSERT_TRUE(img.save(folder + QStringLiteral("/main_window.png")));

    app::MapView& view = *window.MapControl2;
    auto at = [&](double x, double y) {
        const QPoint p = view.getCoordinateTransform()->transform(x, y).toQPointF().toPoint();
        return view.mapTo(&window, p) * img.devicePixelRatio();
    };
    // The raster: deep water mid-bay in the ramp's blues.
    const QColor deep = img.pixelColor(at(303000, 5780000));
    EXPECT_GT(deep.blue(), deep.red() + 60) << deep.name().toStdString();
    EXPECT_LT(nearest(img, at(303000, 5780000), app::depthRampColours()[0], 0),
              distance(QColor(Qt::white), app::depthRampColours()[0]));
    // The shoreline outline along the rectangle's southern edge.
    EXPECT_LT(nearest(img, at(290000, 5742000), app::kShoreColour, 3), 80);
    // The sites, at the first few water sites.
    int seen = 0;
    auto sites = target->search();
    for (int i = 0; i < 20; ++i) {
        auto f = sites.next();
        ASSERT_TRUE(f);
        const pg::Point p = f->shape().asPoint();
        if (nearest(img, at(p.x, p.y), app::kPointColour, 2) < 60) ++seen;
    }
    EXPECT_GE(seen, 15);
}

// After an REI run the run's sites are drawn in the graded reds of their
// "Index", each value in a class.
TEST_F(MainWindowScreenshot, AfterAnReiRunTheSitesShowTheirIndexInColour) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    test::TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    test::RecordingMessages messages;
    model::ModelState state;
    state.welcome_done = true;
    state.wind_path = data + "/sample.Wind_REI";
    model::MainFormState form;
    model::SettingsHolder holder;
    app::MainForm window{state, form, holder, store, &messages};
    app::StartupEnvironment env;
    env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
    env.fallbackFolder = home.path() + "/fallback";
    window.Form_Load(env);
    state.model_mode = model::REI_MODE;
    holder.indexcheck = 1;  // the fast algorithm: the grid, no clipping
    holder.refreshmap = 1;
    app::RunCommand run(window, window.winddata());

    form.projfile = home.path();
    form.projname = "portphillip";
    form.geodatabasename = gis::geodatabaseFileName(form.projname);
    form.ptworkspace = gis::createWorkspace(form.projfile, form.projname);
    form.bathycov = data + "/bathy_portphillip_m.tif";
    form.bathyname = "bathy_portphillip_m.tif";
    form.bathyunits = "Meter";
    form.Fetch = 10000;
    form.dist_bathy = 50;
    auto source = pg::Workspace::open(data + "/sites_portphillip.shp")->openFeatureClass("sites_portphillip");
    auto sites = form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                      {{"X", pg::FieldType::Double}, {"Y", pg::FieldType::Double}},
                                                      source->spatialReference());
    auto cursor = source->search();
    ASSERT_TRUE(gis::LoadFeatures(sites, cursor, nullptr, messages).ok());

    pg::Map& map = window.MapControl2->map();
    map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(form.bathycov), "bathy_portphillip_m"));
    NoTree tree;
    gis::displaypointdata(form, map, tree);
    ASSERT_EQ(map.layerCount(), 2);

    run.drivers.runmodel(sites, 1, {});
    const std::vector<std::string> told = messages.texts();
    ASSERT_TRUE(std::find(told.begin(), told.end(), "Processing Done") != told.end()) << ::testing::PrintToString(told);

    window.resize(1280, 860);
    window.show();
    map.setExtent(map.fullExtent());
    // The view follows the model a few times a second: on a busy machine
    // the first draw may still show the layer as it was before the run.
    window.MapControl2->syncNow();
    ASSERT_TRUE(test::drawAndWait(*window.MapControl2));
    ASSERT_TRUE(test::drawAndWait(*window.MapControl2));
    const QImage img = window.grab().toImage();
    const QString folder = QStringLiteral(QUOR_BUILD_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    ASSERT_TRUE(img.save(folder + QStringLiteral("/rei_result.png")));

    app::MapView& view = *window.MapControl2;
    auto* layer = dynamic_cast<QgsVectorLayer*>(view.qgisLayer(*map.layer(0)));
    ASSERT_NE(layer, nullptr);
    auto* graded = dynamic_cast<QgsGraduatedSymbolRenderer*>(layer->renderer());
    ASSERT_NE(graded, nullptr) << "the run's layer is drawn by its Index";
    EXPECT_EQ(graded->classAttribute(), "Index");
    const QgsRangeList ranges = graded->ranges();
    ASSERT_EQ(ranges.size(), app::renderer_cls::kClasses);

    auto at = [&](double x, double y) {
        const QPoint p = view.getCoordinateTransform()->transform(x, y).toQPointF().toPoint();
        return view.mapTo(&window, p) * img.devicePixelRatio();
    };
    int computed = 0, coloured = 0, darkest = 0, palest = 0;
    auto results = sites->search();
    while (auto f = results.next()) {
        const pg::FieldValue v = f->value("Index");
        if (pg::isNull(v)) continue;
        ++computed;
        const double index = pg::toDouble(v);
        int cls = -1;
        for (int i = 0; i < ranges.size(); ++i)
            if (ranges[i].lowerValue() <= index && index <= ranges[i].upperValue()) cls = i;
        ASSERT_GE(cls, 0) << "Index " << index << " falls into no class";
        const pg::Point p = f->shape().asPoint();
        if (nearest(img, at(p.x, p.y), ranges[cls].symbol()->color(), 2) < 40) {
            ++coloured;
            if (cls == ranges.size() - 1) ++darkest;
            if (cls == 0) ++palest;
        }
    }
    ASSERT_GT(computed, 500);
    EXPECT_GT(coloured, computed * 8 / 10) << coloured << " of " << computed;
    EXPECT_GT(darkest, 0);
    EXPECT_GT(palest, 0);
}
