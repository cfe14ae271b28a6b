#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

#include <qgsmaptopixel.h>

#include "app/main_form.h"
#include "app/map_tools.h"
#include "app/map_view.h"
#include "app/point_entry.h"
#include "app/project_tree.h"
#include "app/run_command.h"
#include "gis/geodatabase.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/workspace.h"
#include "platform/settings_store.h"
#include "qgis_support.h"
#include "test_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

struct MainFormMap : test::QgisTest {
    test::TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    test::RecordingMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    app::MainForm window{state, form, holder, store, &messages};

    void SetUp() override {
        state.welcome_done = true;  // these tests are about the map
        app::StartupEnvironment env;
        env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
        env.fallbackFolder = home.path() + "/fallback";
        window.Form_Load(env);
        form.projfile = home.path();
        form.projname = "bay";
        form.ptworkspace = gis::createWorkspace(form.projfile, form.projname);
        // The background layers live outside the project geodatabase.
        auto other = gis::createWorkspace(home.path(), "inputs");
        int32_t geom = gis::geom_point;
        for (const char* name : {"bathy", "shore"}) {
            auto fc = gis::createWorkspaceFeatureClass(other, name, gis::ftype_simple, geom, messages);
            pg::Feature f = fc->createFeature();
            f.setShape(pg::Geometry::point(name[0] == 'b' ? 0 : 1000, name[0] == 'b' ? 0 : 800));
            fc->store(f);
            window.MapControl2->map().addLayer(pg::Layer::featureLayer(fc));
        }
        window.resize(900, 700);
        window.show();
    }
    std::vector<std::string> layerNames() {
        std::vector<std::string> n;
        for (const auto& l : window.MapControl2->map().layers()) n.push_back(l->name());
        return n;
    }
    void addTreeNodes(int n) {
        auto* root = new QTreeWidgetItem(window.TreeView1, {"project"});
        root->setData(0, Qt::UserRole, "Node1");
        for (int i = 1; i < n; ++i) new QTreeWidgetItem(root, {QString::number(i)});
    }
};

}  // namespace

TEST_F(MainFormMap, MapToolbarPressesTheClickedToolAndFullExtentShowsEverything) {
    window.toolbarButton(2, "zoomin")->trigger();
    EXPECT_TRUE(window.toolButtons().pressed(2, "zoomin"));
    EXPECT_TRUE(window.toolbarButton(2, "zoomin")->isChecked());
    EXPECT_EQ(window.MapControl2->mousePointer(), app::kPointerZoomIn);
    // A second click does not release it; another tool does.
    window.toolbarButton(2, "zoomin")->trigger();
    EXPECT_TRUE(window.toolButtons().pressed(2, "zoomin"));
    window.toolbarButton(2, "identify")->trigger();
    EXPECT_FALSE(window.toolButtons().pressed(2, "zoomin"));
    EXPECT_TRUE(window.toolButtons().pressed(2, "identify"));
    EXPECT_EQ(window.MapControl2->mousePointer(), app::kPointerIdentify);

    window.MapControl2->setVisibleBounds({100, 100, 200, 200});
    window.toolbarButton(2, "fullextent")->trigger();
    const pg::Envelope v = window.MapControl2->visibleBounds();
    EXPECT_LE(v.minX, 0);
    EXPECT_GE(v.maxX, 1000);
    EXPECT_LE(v.minY, 0);
    EXPECT_GE(v.maxY, 800);
    EXPECT_FALSE(window.toolButtons().pressed(2, "fullextent"));

    window.resetmaptools();
    EXPECT_FALSE(window.toolButtons().pressed(2, "zoomin"));
    EXPECT_FALSE(window.toolbarButton(2, "identify")->isChecked());
}

TEST_F(MainFormMap, MouseMoveOverTheMapWritesTheCoordinatesIntoPanelOne) {
    app::MapView& view = *window.MapControl2;
    view.setVisibleBounds({0, 0, 1000, 800});
    view.syncNow();
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &move);
    const QString text = window.statusPanel(1);
    const QStringList parts = text.split("  ");
    ASSERT_EQ(parts.size(), 2) << text.toStdString();
    EXPECT_GE(parts[0].toDouble(), -200);
    EXPECT_LE(parts[0].toDouble(), 200);
    EXPECT_GE(parts[1].toDouble(), 600);
}

TEST_F(MainFormMap, BathymetryOnTopNeedsAProjectAndSwapsTheLowestTwo) {
    window.Check1->click();
    EXPECT_FALSE(window.Check1->isChecked()) << "no project: the box is cleared again";
    EXPECT_EQ(layerNames(), (std::vector<std::string>{"shore", "bathy"}));

    addTreeNodes(4);
    window.Check1->click();
    EXPECT_TRUE(window.Check1->isChecked());
    EXPECT_EQ(layerNames(), (std::vector<std::string>{"bathy", "shore"}));
    window.Check1->click();
    EXPECT_EQ(layerNames(), (std::vector<std::string>{"shore", "bathy"}));
}

TEST_F(MainFormMap, ARunStartUnticksBathymetryOnTopAsAClickDoes) {
    app::RunCommand run(window, window.winddata());
    addTreeNodes(4);
    window.Check1->click();
    ASSERT_EQ(layerNames(), (std::vector<std::string>{"bathy", "shore"}));
    run.runStarted();
    EXPECT_FALSE(window.Check1->isChecked());
    EXPECT_EQ(layerNames(), (std::vector<std::string>{"shore", "bathy"}));
    run.runEnded();
}

TEST_F(MainFormMap, PointEntryFromTheToolbarToBuildAddsANodeAndALayer) {
    addTreeNodes(4);
    form.geodatabasename = "bay.gpkg";
    window.toolbarButton(2, "zoomin")->setEnabled(true);
    window.toolbarButton(2, "identify")->setEnabled(true);
    window.toolbarButton(1, "addpoint")->setEnabled(true);
    window.toolbarButton(1, "addpoint")->trigger();
    EXPECT_TRUE(window.toolButtons().pressed(1, "addpoint"));
    EXPECT_FALSE(window.toolbarButton(1, "addpoint")->isEnabled());
    EXPECT_FALSE(window.toolbarButton(1, "run")->isEnabled());
    EXPECT_FALSE(window.toolbarButton(2, "identify")->isEnabled());
    EXPECT_TRUE(window.toolbarButton(2, "zoomin")->isEnabled()) << "the zoom tools stay usable";
    EXPECT_FALSE(window.canceladdpt->isHidden());
    EXPECT_TRUE(window.refresher->isHidden());

    window.mapHandler().mousedown({1, 0, 5, 5, 500, 400});
    EXPECT_FALSE(window.refresher->isHidden());
    EXPECT_TRUE(window.refresher->isEnabled());
    window.refresher->click();

    EXPECT_FALSE(window.toolButtons().pressed(1, "addpoint"));
    EXPECT_TRUE(window.toolbarButton(1, "addpoint")->isEnabled());
    EXPECT_TRUE(window.canceladdpt->isHidden());
    EXPECT_TRUE(window.refresher->isHidden());
    ASSERT_EQ(window.TreeView1->topLevelItem(0)->childCount(), 4);
    QTreeWidgetItem* node = window.TreeView1->topLevelItem(0)->child(3);
    EXPECT_EQ(node->text(0), "Pointdata1");
    EXPECT_EQ(node->data(0, Qt::UserRole).toString(), "node55");
    EXPECT_EQ(window.projectTree().picture(5), app::kPicturePoint);
    EXPECT_FALSE(node->icon(0).isNull()) << "the re-added node shows its picture";
    EXPECT_EQ(layerNames(), (std::vector<std::string>{"Pointdata1", "shore", "bathy"}));
}

TEST_F(MainFormMap, BuildKeepsTheLayersOfThePointListsShapefiles) {
    addTreeNodes(4);
    form.geodatabasename = "bay.gpkg";
    auto listed = pg::Workspace::open(home.path())->createFeatureClass("harbour", pg::GeometryType::Point, {});
    form.shpcol = {home.file("harbour.shp")};
    window.MapControl2->map().addLayer(pg::Layer::featureLayer(listed, "harbour"));
    window.toolbarButton(1, "addpoint")->setEnabled(true);
    window.toolbarButton(1, "addpoint")->trigger();
    window.mapHandler().mousedown({1, 0, 5, 5, 500, 400});
    window.refresher->click();
    EXPECT_EQ(layerNames(), (std::vector<std::string>{"harbour", "Pointdata1", "shore", "bathy"}));
}

TEST_F(MainFormMap, RubberBandAndPanFollowTheMouseUntilRelease) {
    app::MapView& view = *window.MapControl2;
    view.setVisibleBounds({0, 0, 1000, 800});
    view.syncNow();
    QWidget* vp = view.viewport();
    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, p, vp->mapToGlobal(p), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &e);
    };
    auto mapAt = [&](QPoint p) { return view.getCoordinateTransform()->toMapCoordinates(p.x(), p.y()); };

    window.toolbarButton(2, "zoomselect")->trigger();
    EXPECT_EQ(view.mousePointer(), app::kPointerZoom);
    const QPoint a(40, 30), b(140, 110);
    const QgsPointXY ma = mapAt(a), mb = mapAt(b);
    send(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(90, 70), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
    pg::Envelope v = view.visibleBounds();
    // The dragged rectangle is shown whole (the view keeps its own aspect).
    EXPECT_LE(v.minX, std::min(ma.x(), mb.x()) + 1e-6);
    EXPECT_GE(v.maxX, std::max(ma.x(), mb.x()) - 1e-6);
    EXPECT_NEAR((v.minX + v.maxX) / 2, (ma.x() + mb.x()) / 2, 1e-6);
    EXPECT_NEAR((v.minY + v.maxY) / 2, (ma.y() + mb.y()) / 2, 1e-6);
    EXPECT_LT(v.width(), 1000);

    // Pan: the map point under the press ends under the release.
    window.resetmaptools();
    window.toolbarButton(2, "pan")->trigger();
    const QPoint from(100, 100), to(160, 130);
    const QgsPointXY grabbed = mapAt(from);
    const double width = view.visibleBounds().width();
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(130, 115), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    const QgsPointXY under = mapAt(to);
    EXPECT_NEAR(under.x(), grabbed.x(), width / 500);
    EXPECT_NEAR(under.y(), grabbed.y(), width / 500);
    EXPECT_NEAR(view.visibleBounds().width(), width, 1e-6);
    EXPECT_FALSE(view.isTracking());
}
