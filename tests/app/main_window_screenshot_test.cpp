#include <gtest/gtest.h>

#include <qgsgraduatedsymbolrenderer.h>
#include <qgsmaptopixel.h>
#include <qgsvectorlayer.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/class_breaks_renderer.h"
#include "app/main_form.h"
#include "app/map_style.h"
#include "app/map_view.h"
#include "app/run_command.h"
#include "gis/geodatabase.h"
#include "gis/load_features.h"
#include "gis/point_display.h"
#include "gis/ui/dataset_chooser.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "platform/settings_store.h"
#include "project/ui/ptdatasel_dialog.h"
#include "qgis_support.h"
#include "../gis/rays_test_data.h"
#include "test_support.h"
#include "user_steps.h"
#include "wind/rei_wind_file.h"
#include "wired_window.h"

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

namespace {

// The graded classes the view draws the layer in, or null.
QgsGraduatedSymbolRenderer* drawnClasses(app::MapView& view, const pg::Layer& layer) {
    auto* drawn = dynamic_cast<QgsVectorLayer*>(view.qgisLayer(layer));
    return drawn ? dynamic_cast<QgsGraduatedSymbolRenderer*>(drawn->renderer()) : nullptr;
}

// How many of the layer's sites the picture of the window shows in the
// colour of their "Index" class, or in the grey of no value.
int sitesInTheirColours(const QImage& img, app::MainForm& window, const pg::Layer& layer,
                        const QgsGraduatedSymbolRenderer& graded) {
    app::MapView& view = *window.MapControl2;
    int coloured = 0;
    auto results = layer.featureClass()->search();
    while (auto f = results.next()) {
        const pg::FieldValue v = f->value("Index");
        QColor colour;
        if (pg::isNull(v)) {
            colour = app::kNoValueColour;
        } else {
            // A value on a bound is drawn in the first class that holds it.
            for (const QgsRendererRange& r : graded.ranges())
                if (!colour.isValid() && r.lowerValue() <= pg::toDouble(v) && pg::toDouble(v) <= r.upperValue())
                    colour = r.symbol()->color();
        }
        EXPECT_TRUE(colour.isValid()) << "Index " << pg::toText(v) << " falls into no class";
        const pg::Point p = f->shape().asPoint();
        const QPoint q = view.getCoordinateTransform()->transform(p.x, p.y).toQPointF().toPoint();
        if (colour.isValid() && nearest(img, view.mapTo(&window, q) * img.devicePixelRatio(), colour, 2) < 40)
            ++coloured;
    }
    return coloured;
}

namespace td = gis::testdata;

// An REI project over a lake 10 m deep with the fast algorithm, as the
// window has it after start-up: the wind file, the grid 2 km across (every
// site beyond it has no depth) and the project geodatabase. Returns the grid.
std::string openLakeProject(test::WiredWindow& w) {
    w.load();
    w.state.model_mode = model::REI_MODE;
    w.holder.indexcheck = 1;  // the fast algorithm: the grid, no shoreline
    wind::ReiWindClimate climate;
    for (int k = 0; k < 8; ++k) {
        climate.speed[k] = 4 + k;
        climate.percent[k] = 12.5;
    }
    w.state.wind_path = w.home.file("north.Wind_REI");
    wind::writeReiWindHandEntry(w.state.wind_path, climate);
    const std::string bathy = w.home.file("bathy.tif");
    td::writeBathymetry(bathy, 0, 0, 50, 40, 40, [](double x, double y) { return -2 - (x + y) / 400; });
    auto& form = w.form;
    form.projfile = w.home.path();
    form.projname = "lake";
    form.geodatabasename = gis::geodatabaseFileName(form.projname);
    form.ptworkspace = gis::createWorkspace(form.projfile, form.projname);
    form.bathycov = bathy;
    form.bathyname = "bathy.tif";
    form.bathyunits = "Meter";
    form.Fetch = 1000;
    form.dist_bathy = 50;
    return bathy;
}

}  // namespace

// What the user sees after REI runs started as the user starts them: the
// computed sites in the reds of their "Index", the sites that could not be
// computed in a colour of their own, none missing from the map.
TEST_F(MainWindowScreenshot, ReiRunsFromTheRunButtonColourEverySite) {
    test::WiredWindow w;
    const std::string bathy = openLakeProject(w);
    w.holder.refreshmap = 0;  // the map is shown while the run goes on
    auto& form = w.form;
    auto clicked = form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                        {{"X", pg::FieldType::Double}, {"Y", pg::FieldType::Double}},
                                                        pg::SpatialReference::fromEpsg(32755));
    for (int i = 0; i < 10; ++i) {
        pg::Feature f = clicked->createFeature();
        f.setShape(pg::Geometry::point(td::kX0 + 200 + 160 * i, td::kY0 + 300 + 140 * i));
        clicked->store(f);
    }
    // A point shapefile whose 12 sites lie beyond the grid.
    const std::string shpFolder = w.home.file("sites");
    std::filesystem::create_directories(shpFolder);
    {
        auto ws = pg::Workspace::open(shpFolder);
        auto dry = ws->createFeatureClass("dry_sites", pg::GeometryType::Point, {{"SITE", pg::FieldType::Integer}},
                                          pg::SpatialReference::fromEpsg(32755));
        for (int i = 0; i < 12; ++i) {
            pg::Feature f = dry->createFeature();
            f.setShape(pg::Geometry::point(td::kX0 + 2300 + 40 * i, td::kY0 + 200 + 150 * i));
            dry->store(f);
        }
    }
    const std::string shp = shpFolder + "/dry_sites.shp";

    // The project as the window shows it: grid, point datasets, the listed shapefile.
    pg::Map& map = w.window.MapControl2->map();
    map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(bathy), "bathy.tif"));
    NoTree tree;
    gis::displaypointdata(form, map, tree);
    form.shpcol.push_back(shp);
    map.addLayer(pg::Layer::featureLayer(pg::Workspace::open(shp)->openFeatureClass("dry_sites"), "dry_sites"));
    ASSERT_EQ(map.layerCount(), 3);
    w.window.resize(1024, 700);
    w.window.show();
    pg::Envelope all = map.fullExtent();
    all = {all.minX - 200, all.minY - 200, all.maxX + 200, all.maxY + 200};
    map.setExtent(all);

    test::runFromTheRunButton(w.window, "Pointdata1");
    test::runFromTheRunButton(w.window, shp);
    const std::vector<std::string> told = w.messages.texts();
    EXPECT_NE(std::find(told.begin(), told.end(), "12 of 12 sites could not be processed"), told.end())
        << ::testing::PrintToString(told);
    w.window.menuItem("Refresh")->trigger();  // F4
    w.window.MapControl2->syncNow();
    ASSERT_TRUE(test::drawAndWait(*w.window.MapControl2));
    const QImage img = w.window.grab().toImage();

    // Each site in its class's colour.
    for (const char* name : {"Pointdata1", "dry_sites"}) {
        SCOPED_TRACE(name);
        const auto layer = map.layer(map.findLayer(name));
        const auto* graded = drawnClasses(*w.window.MapControl2, *layer);
        ASSERT_NE(graded, nullptr) << "the run's layer is drawn by its Index";
        EXPECT_EQ(sitesInTheirColours(img, w.window, *layer, *graded), layer->featureClass()->featureCount());
    }
}

namespace {

// Runs the menu item's command, choosing `path` in the dataset chooser it opens.
void commandChoosing(app::MainForm& window, const char* item, const std::string& path) {
    test::UserSteps steps;
    steps.then(
        "the dataset chooser",
        [path] {
            auto* d = test::activeModal<gis::ui::DatasetChooserDialog>();
            return d && d->selectPath(QString::fromStdString(path)) && d->canAccept() ? d : nullptr;
        },
        [](QWidget& d) { static_cast<QDialog&>(d).accept(); });
    steps.start();
    window.menuItem(item)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps.finished(); }, 60000));
    EXPECT_EQ(steps.missed(), "") << item;
}

// The class bounds the view draws with.
std::vector<double> drawnBounds(const QgsGraduatedSymbolRenderer& graded) {
    std::vector<double> b;
    for (const QgsRendererRange& r : graded.ranges()) b.push_back(r.lowerValue());
    if (!graded.ranges().isEmpty()) b.push_back(graded.ranges().back().upperValue());
    return b;
}

}  // namespace

// Change Shoreline and Change Bathymetry build the map again from the
// project. The point list's shapefile used to be left off it: the user no
// longer saw its sites, and the next run had no layer to colour.
TEST_F(MainWindowScreenshot, AListedShapefileStaysInItsColoursAfterAChangedShorelineOrBathymetryAndARunColoursIt) {
    test::WiredWindow w;
    const std::string bathy = openLakeProject(w), deeper = w.home.file("deeper.tif");
    td::writeBathymetry(deeper, 0, 0, 50, 40, 40, [](double x, double) { return -4 - x / 100; });
    td::writeShoreline(w.home.file("shore"), "lake", {{{{0, 0}, {2000, 0}, {2000, 2000}, {0, 2000}}}});
    auto& form = w.form;
    const std::string shp = w.home.file("sites/sites.shp");
    std::filesystem::create_directories(w.home.file("sites"));
    {
        auto sites = pg::Workspace::open(w.home.file("sites"))
                         ->createFeatureClass("sites", pg::GeometryType::Point, {{"SITE", pg::FieldType::Integer}},
                                              pg::SpatialReference::fromEpsg(32755));
        for (int i = 0; i < 10; ++i) {
            pg::Feature f = sites->createFeature();
            f.setShape(pg::Geometry::point(td::kX0 + 150 + 170 * i, td::kY0 + 1800 - 160 * i));
            sites->store(f);
        }
    }
    pg::Map& map = w.window.MapControl2->map();
    w.window.buildprojtree();
    map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(bathy), "bathy.tif"));
    map.setExtent(map.fullExtent());
    w.window.resize(1024, 700);
    w.window.show();
    commandChoosing(w.window, "Addpointc", shp);
    ASSERT_EQ(map.findLayer("sites"), 0);

    // What the window shows of the sites, once the view has drawn the map as it is.
    auto sitesAsDrawn = [&](std::vector<double>* bounds) {
        w.window.MapControl2->syncNow();
        EXPECT_TRUE(test::drawAndWait(*w.window.MapControl2));
        const int at = map.findLayer("sites");
        if (at < 0) return -1;
        const auto* graded = drawnClasses(*w.window.MapControl2, *map.layer(at));
        if (!graded) return -2;
        *bounds = drawnBounds(*graded);
        return sitesInTheirColours(w.window.grab().toImage(), w.window, *map.layer(at), *graded);
    };
    // The bounds of the classes a run gives the values it wrote.
    auto runsBounds = [&] {
        std::vector<double> values;
        auto results = pg::Workspace::open(shp)->openFeatureClass("sites")->search();
        while (auto f = results.next())
            if (!pg::isNull(f->value("Index"))) values.push_back(pg::toDouble(f->value("Index")));
        return app::renderer_cls::classBreaks(values);
    };
    std::vector<double> shown;

    commandChoosing(w.window, "Addshore", w.home.file("shore/lake.shp"));  // Ctrl+H
    test::runFromTheRunButton(w.window, shp);
    EXPECT_EQ(sitesAsDrawn(&shown), 10) << "the run colours the sites";
    const std::vector<double> firstRun = runsBounds();
    EXPECT_EQ(shown, firstRun);

    commandChoosing(w.window, "Addbathy", deeper);
    EXPECT_EQ(form.bathycov, deeper);
    EXPECT_EQ(sitesAsDrawn(&shown), 10) << "the sites keep the colours of their run";
    EXPECT_EQ(shown, firstRun);
    test::runFromTheRunButton(w.window, shp);
    EXPECT_EQ(sitesAsDrawn(&shown), 10) << "the next run colours them";
    EXPECT_EQ(shown, runsBounds());
    EXPECT_NE(shown, firstRun) << "the deeper water gives other values";
}
