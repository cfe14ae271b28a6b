#include <gtest/gtest.h>

#include <qgsmaptopixel.h>

#include <QDir>
#include <QImage>

#include <cmath>

#include "app/main_form.h"
#include "app/map_style.h"
#include "app/map_view.h"
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
