#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <qgsmaplayer.h>
#include <qgsmaplayerrenderer.h>
#include <qgspluginlayer.h>
#include <qgsmaptopixel.h>
#include <qgsvectorlayer.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QThreadPool>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "app/map_style.h"
#include "app/map_tools.h"
#include "app/map_view.h"
#include "gis/geodatabase.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "qgis_support.h"
#include "test_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

int colourDistance(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// True when a pixel within `radius` of (px, py) is within `tol` of the colour.
bool colourNear(const QImage& img, QPointF p, QColor c, int radius = 3, int tol = 40) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int x = qRound(p.x()) + dx, y = qRound(p.y()) + dy;
            if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) continue;
            if (colourDistance(img.pixelColor(x, y), c) <= tol) return true;
        }
    return false;
}

// A raster large enough that a draw of it is still going on a few steps later.
std::string largeRaster(const test::TempDir& dir) {
    const std::string path = dir.file("large.tif");
    GDALAllRegister();
    GDALDataset* ds =
        GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), 2000, 2000, 1, GDT_Float32, nullptr);
    double gt[6] = {0, 1, 0, 2000, 0, -1};
    ds->SetGeoTransform(gt);
    ds->GetRasterBand(1)->Fill(-5);
    GDALClose(ds);
    return path;
}

// Counts the completions of background work that reach the event loop.
struct CompletionCounter final : QObject {
    int seen = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::FutureCallOut) ++seen;
        return false;
    }
};

// Whether the view has a draw scheduled: QGIS redraws a view half a second
// after it was last resized, and a refresh waits for the next turn of the
// event loop, each on a single-shot timer of the view.
bool drawScheduled(const app::MapView& view) {
    for (const QTimer* t : view.findChildren<QTimer*>())
        if (t->isSingleShot() && t->isActive()) return true;
    return false;
}

// Whether the view has nothing left to draw: the model's changes mirrored,
// no draw going on and none scheduled. Counting draws starts from here, so
// that a draw asked for earlier does not come inside the count.
bool idle(app::MapView& view) {
    view.syncNow();
    return !drawScheduled(view) && !view.isDrawing();
}

struct MapViewTest : test::QgisTest {
    test::TempDir dir;
    model::MainFormState form;
    test::RecordingMessages messages;
    app::MapView view;

    void SetUp() override {
        view.resize(500, 400);
        view.show();
    }

    // A project geodatabase with a point class of n points along a diagonal.
    std::shared_ptr<pg::FeatureClass> pointClass(const std::string& name, int n, double step) {
        if (!form.ptworkspace) form.ptworkspace = gis::createWorkspace(dir.path(), "proj");
        auto fc = gis::createWorkspaceFeatureClass(form.ptworkspace, name, gis::ftype_simple, gis::geom_point, messages);
        for (int i = 0; i < n; ++i) {
            pg::Feature f = fc->createFeature();
            f.setShape(pg::Geometry::point(i * step, i * step));
            f.setValue(2, i * step);
            f.setValue(3, i * step);
            fc->store(f);
        }
        return fc;
    }
};

}  // namespace

TEST_F(MapViewTest, MirrorsTheModelOnceAfterManyChangesAndKeepsItsOrder) {
    auto a = pointClass("Pointdata1", 3, 100);
    auto b = pointClass("Pointdata2", 3, 50);
    pg::Map& map = view.map();
    const int syncs = view.syncCount();
    auto la = pg::Layer::featureLayer(a), lb = pg::Layer::featureLayer(b);
    map.addLayer(la);
    map.addLayer(lb);
    for (int i = 0; i < 50; ++i) {
        auto tmp = pg::Layer::featureLayer(a, "rays");
        map.addLayer(tmp);
        map.deleteLayer(tmp);
    }
    EXPECT_EQ(view.syncCount(), syncs) << "model changes must not draw at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.syncCount() > syncs; }, 5000));
    view.syncNow();  // a second pass still pending would run now
    EXPECT_EQ(view.syncCount(), syncs + 1) << "one mirror pass for the whole burst";
    ASSERT_EQ(view.layers().size(), 2);
    EXPECT_EQ(view.layers()[0], view.qgisLayer(*lb));  // position 0 on top
    EXPECT_EQ(view.layers()[1], view.qgisLayer(*la));
    EXPECT_EQ(view.layers()[0]->providerType(), "ogr");

    // Moving and hiding follow the model.
    map.moveLayer(0, 1);
    la->setVisible(false);
    map.refresh();
    view.syncNow();
    ASSERT_EQ(view.layers().size(), 1);
    EXPECT_EQ(view.layers()[0], view.qgisLayer(*lb));
}

TEST_F(MapViewTest, ClassesInsideATransactionAndDeletedClassesDrawWithoutFailing) {
    auto a = pointClass("Pointdata1", 2, 100);
    pg::Map& map = view.map();
    {
        pg::Workspace::Transaction t(*form.ptworkspace);
        auto rays = pointClass("rays", 4, 10);
        auto lr = pg::Layer::featureLayer(rays);
        map.addLayer(lr);
        view.syncNow();
        QgsMapLayer* ql = view.qgisLayer(*lr);
        ASSERT_NE(ql, nullptr);
        EXPECT_EQ(ql->providerType(), "memory");
        EXPECT_EQ(static_cast<QgsVectorLayer*>(ql)->featureCount(), 4);
        map.deleteLayer(lr);
        t.commit();
    }
    // A layer whose class is deleted (before or after it was mirrored) draws nothing.
    auto la = pg::Layer::featureLayer(a);
    map.addLayer(la);
    view.syncNow();
    auto gone = pg::Layer::featureLayer(a, "gone");
    map.addLayer(gone);
    form.ptworkspace->deleteFeatureClass("Pointdata1");
    EXPECT_TRUE(test::drawAndWait(view));
    ASSERT_NE(view.qgisLayer(*gone), nullptr);
    EXPECT_EQ(view.qgisLayer(*gone)->providerType(), "memory");
    EXPECT_TRUE(map.fullExtent().isEmpty());
}

TEST_F(MapViewTest, MarkersAreWipedByTheNextDrawAndTheAfterDrawRunsEachTime) {
    pointClass("Pointdata1", 3, 100);
    view.map().addLayer(pg::Layer::featureLayer(form.ptworkspace->openFeatureClass("Pointdata1")));
    int afterDraws = 0;
    view.afterDraw = [&] { ++afterDraws; };
    ASSERT_TRUE(test::drawAndWait(view));
    view.drawMarker(100, 100);
    view.drawMarker(200, 200);
    EXPECT_EQ(view.screenMarkers().size(), 2u);
    // A site's square likewise; a second one replaces the first.
    view.drawOutline({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    view.drawOutline({{102, 102}, {98, 102}, {98, 98}, {102, 98}, {102, 102}});
    const auto square = view.screenOutline();
    ASSERT_GE(square.size(), 4u);
    EXPECT_DOUBLE_EQ(square[0].x, 102);
    EXPECT_DOUBLE_EQ(square[2].y, 98);
    const int before = afterDraws;
    ASSERT_TRUE(test::drawAndWait(view));
    EXPECT_TRUE(view.screenMarkers().empty());
    EXPECT_TRUE(view.screenOutline().empty());
    EXPECT_EQ(afterDraws, before + 1);
}

TEST_F(MapViewTest, ZoomOutAtFullExtentLeavesTheViewAndDoesNotRedraw) {
    pointClass("Pointdata1", 11, 100);  // full extent 0..1000 both ways
    view.map().addLayer(pg::Layer::featureLayer(form.ptworkspace->openFeatureClass("Pointdata1")));
    view.setVisibleBounds({0, 0, 1000, 1000});
    ASSERT_TRUE(test::drawAndWait(view));
    struct Buttons final : app::ToolButtons {
        bool pressed(int t, const std::string& k) const override { return t == 2 && k == "zoomout"; }
        void setPressed(int, const std::string&, bool) override {}
    } buttons;
    app::MapMouseHandler handler(view, buttons, nullptr);
    const pg::Envelope before = view.visibleBounds();
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle(view); }, 10000));
    int drawn = 0;
    QObject::connect(&view, &QgsMapCanvas::renderStarting, [&] { ++drawn; });
    handler.mousedown({1, 0, 5, 5, 300.2, 700.7});
    EXPECT_EQ(view.visibleBounds(), before);
    EXPECT_TRUE(idle(view)) << "a draw was asked for";
    EXPECT_EQ(drawn, 0);

    // Zoomed in, zoom out doubles about the rounded point.
    view.setVisibleBounds({400, 400, 600, 600});
    const pg::Envelope small = view.visibleBounds();
    handler.mousedown({1, 0, 5, 5, 300.5, 700.5});
    const pg::Envelope out = view.visibleBounds();
    EXPECT_NEAR(out.width(), 2 * small.width(), 1e-6);
    EXPECT_NEAR((out.minX + out.maxX) / 2, 300, 1e-6);
    EXPECT_NEAR((out.minY + out.maxY) / 2, 700, 1e-6);
}

TEST_F(MapViewTest, BathymetryOnTopSwapsTheTwoLowestLayersOnlyWithAProject) {
    auto a = pointClass("A", 1, 1), b = pointClass("B", 1, 1), c = pointClass("C", 1, 1);
    pg::Map& map = view.map();
    map.addLayer(pg::Layer::featureLayer(a, "bathy"));
    map.addLayer(pg::Layer::featureLayer(b, "shore"));
    map.addLayer(pg::Layer::featureLayer(c, "points"));
    auto names = [&] {
        std::vector<std::string> n;
        for (const auto& l : map.layers()) n.push_back(l->name());
        return n;
    };
    EXPECT_FALSE(app::bathymetryOnTop(map, 3, true)) << "no project: the box is cleared";
    EXPECT_EQ(names(), (std::vector<std::string>{"points", "shore", "bathy"}));
    EXPECT_TRUE(app::bathymetryOnTop(map, 4, true));
    EXPECT_EQ(names(), (std::vector<std::string>{"points", "bathy", "shore"}));
    EXPECT_TRUE(app::bathymetryOnTop(map, 5, false));
    EXPECT_EQ(names(), (std::vector<std::string>{"points", "shore", "bathy"}));
}

TEST_F(MapViewTest, DrawsThePortPhillipBathymetryShorelineAndSites) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    auto raster = pg::Raster::open(data + "/bathy_portphillip_m.tif");
    auto shoreWs = pg::Workspace::open(data + "/water_portphillip.shp");
    auto sitesWs = pg::Workspace::open(data + "/sites_portphillip.shp");
    pg::Map& map = view.map();
    map.addLayer(pg::Layer::rasterLayer(raster, "bathy"));
    map.addLayer(pg::Layer::featureLayer(shoreWs->openFeatureClass("water_portphillip")));
    auto sites = sitesWs->openFeatureClass("sites_portphillip");
    map.addLayer(pg::Layer::featureLayer(sites));
    map.setExtent(map.fullExtent());
    ASSERT_TRUE(test::drawAndWait(view));
    const QImage img = view.grab().toImage();
    const QgsMapToPixel* m2p = view.getCoordinateTransform();
    auto px = [&](double x, double y) { return m2p->transform(x, y).toQPointF(); };

    // Deep water in the middle of the bay: a dark blue of the depth ramp.
    const QColor deep = img.pixelColor(px(303000, 5780000).toPoint());
    EXPECT_GT(deep.blue(), deep.red() + 40) << deep.name().toStdString();
    // Sites: their orange near every one of a few water sites.
    int found = 0, tried = 0;
    auto cursor = sites->search();
    while (auto f = cursor.next()) {
        if (++tried > 40) break;
        const pg::Point p = f->shape().asPoint();
        if (colourNear(img, px(p.x, p.y), app::kPointColour, 2, 60)) ++found;
    }
    EXPECT_GE(found, 30);
    // The shoreline's outline runs along the rectangle's edge.
    EXPECT_TRUE(colourNear(img, px(300000, 5742000), app::kShoreColour, 3, 80));
}

TEST_F(MapViewTest, TheDepthRampIsDarkWhereTheWaterIsDeepWhicheverSignDepthsHave) {
    for (const double sign : {1.0, -1.0}) {
        // 100 x 10 cells, depth growing from 1 to 100 along x.
        const std::string path = dir.file(sign > 0 ? "pos.tif" : "neg.tif");
        GDALAllRegister();
        GDALDataset* ds =
            GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), 100, 10, 1, GDT_Float32, nullptr);
        double gt[6] = {0, 10, 0, 100, 0, -10};
        ds->SetGeoTransform(gt);
        std::vector<float> v(1000);
        for (int i = 0; i < 1000; ++i) v[i] = static_cast<float>(sign * (1 + i % 100));
        ASSERT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 100, 10, v.data(), 100, 10, GDT_Float32, 0, 0), CE_None);
        GDALClose(ds);

        view.map().clearLayers();
        view.map().addLayer(pg::Layer::rasterLayer(pg::Raster::open(path), "bathy"));
        view.setVisibleBounds({0, 0, 1000, 100});
        ASSERT_TRUE(test::drawAndWait(view));
        const QImage img = view.grab().toImage();
        const QgsMapToPixel* m2p = view.getCoordinateTransform();
        const QColor shallow = img.pixelColor(m2p->transform(15, 50).toQPointF().toPoint());
        const QColor deep = img.pixelColor(m2p->transform(985, 50).toQPointF().toPoint());
        EXPECT_LT(deep.lightness(), shallow.lightness() - 100) << "sign " << sign;
        EXPECT_LT(colourDistance(deep, app::depthRampColours()[0]), 30) << deep.name().toStdString();
        // The statistics the map view needed stay out of the user's folder,
        // also once QGIS has closed the raster.
        view.map().clearLayers();
        ASSERT_TRUE(test::drawAndWait(view));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(std::filesystem::exists(path + ".aux.xml"));
    }
}

TEST_F(MapViewTest, LayersAddedAndRemovedBetweenTwoLooksDoNotRestartTheDrawingButARefreshDoes) {
    auto a = pointClass("Pointdata1", 3, 100);
    pg::Map& map = view.map();
    map.addLayer(pg::Layer::featureLayer(a));
    ASSERT_TRUE(test::drawAndWait(view));
    // Under load the redraw that follows showing the view would otherwise
    // come inside the counted loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle(view); }, 10000));
    int started = 0;
    QObject::connect(&view, &QgsMapCanvas::renderStarting, [&] { ++started; });
    for (int site = 0; site < 20; ++site) {
        auto rays = pg::Layer::featureLayer(a, "rays");
        map.addLayer(rays);
        map.deleteLayer(rays);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(idle(view)) << "the view asked for a draw";
    EXPECT_EQ(started, 0);
    map.refresh();
    EXPECT_TRUE(QTest::qWaitFor([&] { return started > 0; }, 5000));
}

TEST_F(MapViewTest, ARunsSitesRedrawTheMapAFewTimesASecondAndItsLastStateAlways) {
    auto points = pointClass("Pointdata1", 50, 20);
    pg::Map& map = view.map();
    map.addLayer(pg::Layer::featureLayer(points));
    ASSERT_TRUE(test::drawAndWait(view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle(view); }, 10000));
    int started = 0;
    QObject::connect(&view, &QgsMapCanvas::renderStarting, [&] { ++started; });
    // Sites as a run makes them: work classes in memory shown on top, the
    // event loop turned, the map redrawn, the work taken off again.
    auto work = pg::Workspace::createMemory("work");
    QElapsedTimer clock;
    clock.start();
    const int sites = 60;
    for (int site = 0; site < sites; ++site) {
        auto rays = gis::createWorkspaceFeatureClass(work, "rays", gis::ftype_simple, gis::geom_polyline, messages);
        pg::Feature f = rays->createFeature();
        f.setShape(pg::Geometry::line({site * 10.0, 0}, {site * 10.0, 900}));
        rays->store(f);
        auto layer = pg::Layer::featureLayer(rays, "rays");
        map.addLayer(layer);
        QCoreApplication::processEvents();
        map.refresh();
        QTest::qWait(5);  // the site's own work
        map.deleteLayer(layer);
        work->deleteFeatureClass("rays");
    }
    const qint64 ms = clock.elapsed();
    EXPECT_LE(started, ms / 200 + 2) << sites << " sites in " << ms << " ms";
    // The last state is drawn: the project's layer alone.
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.layers().size() == 1 && !view.isDrawing(); }, 5000));
    EXPECT_EQ(view.layers()[0], view.qgisLayer(*map.layer(0)));
}

TEST_F(MapViewTest, ALayerTakenOffDuringADrawIsKeptUntilTheDrawHasFinished) {
    pg::Map& map = view.map();
    map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(largeRaster(dir)), "bathy"));
    auto points = pg::Layer::featureLayer(pointClass("Pointdata1", 3, 100));
    map.addLayer(points);
    view.syncNow();
    const QPointer<QgsMapLayer> drawn = view.qgisLayer(*points);
    ASSERT_FALSE(drawn.isNull());

    view.refreshView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.isDrawing(); }, 5000));
    map.deleteLayer(points);
    view.syncNow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(view.isDrawing()) << "the draw ended before the layer was taken off";
    // The draw files its images under the layer object as it finishes.
    EXPECT_FALSE(drawn.isNull());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.isDrawing(); }, 30000));
    // The release may wait for the view's next look at the superseded draws.
    EXPECT_TRUE(QTest::qWaitFor([&] { return drawn.isNull(); }, 30000)) << "the layer is released once the draw is over";
}

namespace {

// A view drawing a raster large enough for the draw to be caught running.
std::unique_ptr<app::MapView> viewDrawing(const test::TempDir& dir) {
    auto view = std::make_unique<app::MapView>();
    view->resize(500, 400);
    view->map().addLayer(pg::Layer::rasterLayer(pg::Raster::open(largeRaster(dir)), "bathy"));
    view->syncNow();
    view->refreshView();
    return view;
}

// How many draw completions reach the program once the view is gone (a
// view may see its draws end as it goes).
int drawsEndingAfter(std::unique_ptr<app::MapView> view) {
    view.reset();
    CompletionCounter after;
    qApp->installEventFilter(&after);
    QThreadPool::globalInstance()->waitForDone(30000);
    // Every draw that ended has posted its completion by now.
    QCoreApplication::sendPostedEvents();
    qApp->removeEventFilter(&after);
    return after.seen;
}

}  // namespace

// A view taken away during a draw used to leave the draw running on its
// own; at its end it filed its images into the view's cache, gone by then,
// and crashed or hung the program a moment later.
TEST(MapViewEnd, AViewTakenAwayDuringADrawEndsTheDrawWithIt) {
    test::requireQgis();
    test::TempDir dir;
    auto view = viewDrawing(dir);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isDrawing(); }, 5000));
    EXPECT_EQ(drawsEndingAfter(std::move(view)), 0) << "a draw of the view went on after the view was gone";
}

namespace {

// Holds every draw of a SlowLayer until it is opened, or for two seconds.
struct DrawGate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    std::atomic<int> entered{0};

    void pass() {
        ++entered;
        std::unique_lock<std::mutex> lock(m);
        cv.wait_for(lock, std::chrono::seconds(2), [this] { return open; });
    }
    void release() {
        {
            std::lock_guard<std::mutex> lock(m);
            open = true;
        }
        cv.notify_all();
    }
};

// A layer whose drawing takes no notice of being told to stop, as a slow
// block read or a style waiting on something else.
class SlowLayer final : public QgsPluginLayer {
public:
    explicit SlowLayer(std::shared_ptr<DrawGate> gate) : QgsPluginLayer("slow", "slow"), gate_(std::move(gate)) {
        setExtent(QgsRectangle(0, 0, 2000, 2000));
        setValid(true);
    }
    QgsPluginLayer* clone() const override { return new SlowLayer(gate_); }
    QgsMapLayerRenderer* createMapRenderer(QgsRenderContext& context) override {
        return new Renderer(id(), context, gate_);
    }
    bool readSymbology(const QDomNode&, QString&, QgsReadWriteContext&, StyleCategories) override { return true; }
    bool writeSymbology(QDomNode&, QDomDocument&, QString&, const QgsReadWriteContext&,
                        StyleCategories) const override {
        return true;
    }
    void setTransformContext(const QgsCoordinateTransformContext&) override {}

private:
    struct Renderer final : QgsMapLayerRenderer {
        Renderer(const QString& id, QgsRenderContext& context, std::shared_ptr<DrawGate> g)
            : QgsMapLayerRenderer(id, &context), gate(std::move(g)) {}
        bool render() override {
            gate->pass();
            return true;
        }
        std::shared_ptr<DrawGate> gate;
    };
    std::shared_ptr<DrawGate> gate_;
};

}  // namespace

// A draw superseded by the next one used to run on unseen; a view taken
// away meanwhile got its images filed into its freed cache a moment later.
// The first draw is held until it has been superseded, however fast the
// machine.
TEST(MapViewEnd, ADrawSupersededByTheNextEndsBeforeTheViewGoes) {
    test::requireQgis();
    test::TempDir dir;
    auto gate = std::make_shared<DrawGate>();
    SlowLayer slow(gate);
    auto view = viewDrawing(dir);
    view->setLayers({&slow});
    view->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate->entered > 0; }, 5000));
    bool superseded = false;
    QObject::connect(view.get(), &QgsMapCanvas::mapRefreshCanceled, [&] { superseded = true; });
    view->refreshView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return superseded; }, 5000));
    std::thread later([gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gate->release();
    });
    EXPECT_EQ(drawsEndingAfter(std::move(view)), 0)
        << "a superseded draw of the view went on after the view was gone";
    later.join();
}

// The view used to wait for the whole pool of drawing threads as QGIS let
// a draw go: a layer slow to stop held the window for as long as it drew.
TEST(MapViewEnd, ADrawSupersededWhileASlowLayerDrawsHoldsTheWindowOnlyBriefly) {
    test::requireQgis();
    test::TempDir dir;
    auto gate = std::make_shared<DrawGate>();
    SlowLayer slow(gate);
    QElapsedTimer held;
    qint64 heldMs = -1;
    auto view = std::make_unique<app::MapView>();
    view->resize(500, 400);
    auto bathy = pg::Layer::rasterLayer(pg::Raster::open(largeRaster(dir)), "bathy");
    view->map().addLayer(bathy);
    view->syncNow();
    const QPointer<QgsMapLayer> drawnBathy = view->qgisLayer(*bathy);
    view->setLayers({&slow, drawnBathy.data()});
    view->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate->entered > 0; }, 5000));

    // The model lets the raster go: the view draws without it, superseding
    // the slow draw, which goes on.
    QObject::connect(view.get(), &QgsMapCanvas::renderStarting, [&] {
        if (heldMs < 0) heldMs = held.elapsed();
    });
    view->map().deleteLayer(bathy);
    held.start();
    view->syncNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldMs >= 0 && !view->isDrawing(); }, 10000));
    EXPECT_LT(heldMs, 1000) << "the window waited for the superseded draw";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(drawnBathy.isNull()) << "the superseded draw still draws the raster";
    gate->release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return drawnBathy.isNull(); }, 5000)) << "kept after that draw was over";

    // A view taken away while a superseded draw still goes on ends it first.
    auto stillGoing = std::make_shared<DrawGate>();
    SlowLayer slower(stillGoing);
    view->setLayers({&slower});
    view->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stillGoing->entered > 0; }, 5000));
    view->setLayers({});
    view->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isDrawing(); }, 5000));
    std::thread later([stillGoing] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stillGoing->release();
    });
    EXPECT_EQ(drawsEndingAfter(std::move(view)), 0) << "a superseded draw of the view went on after the view was gone";
    later.join();
}
