// The project tree: its nodes, the layer a left press switches and the
// pop-up a right press opens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTreeWidget>

#include "shell_fixture.h"

using namespace quor;
namespace pg = platform::gis;

namespace {

struct Tree : ::testing::Test, test::Shell {
    std::shared_ptr<pg::Layer> bathy = pg::Layer::rasterLayer(nullptr, "bathy.tif");
    std::shared_ptr<pg::Layer> shore = pg::Layer::featureLayer(nullptr, "water.shp");
    std::shared_ptr<pg::Layer> points1 = pg::Layer::featureLayer(nullptr, "Pointdata1");
    std::shared_ptr<pg::Layer> points2 = pg::Layer::featureLayer(nullptr, "Pointdata2");
    int redraws = 0;

    Tree() {
        // What the project display puts on the map: bathymetry lowest.
        window.commands().connect("displaylayers", [this] {
            window.map().addLayer(bathy);
            window.map().addLayer(shore);
            for (const auto& p : {points1, points2}) {
                window.map().addLayer(p);
                window.projectTree().addPointNode(p->name());
            }
        });
        openProject();
        window.map().addListener([this] { ++redraws; });
        window.show();
        QApplication::processEvents();
    }

    QTreeWidgetItem* node(int position) { return window.projectTree().node(position); }
    void press(int button, int position) {
        QTreeWidgetItem* item = node(position);
        ASSERT_TRUE(item) << position;
        window.TreeView1_MouseDown(button, window.TreeView1->visualItemRect(item).center());
    }
    std::vector<bool> visibility() {
        return {bathy->visible(), shore->visible(), points1->visible(), points2->visible()};
    }
};

TEST_F(Tree, BuildShowsTheFourInputsWithTheirMarksThenThePointDatasets) {
    app::ProjectTree& t = window.projectTree();
    ASSERT_EQ(t.nodeCount(), 6);
    const std::vector<std::pair<std::string, int>> expected = {
        {"Bay", app::kPictureProject},       {"bathy.tif", app::kPictureBathy}, {"water.shp", app::kPictureShore},
        {"sample.Wind_RWE", app::kPictureWind}, {"Pointdata1", app::kPicturePoint}, {"Pointdata2", app::kPicturePoint}};
    for (int p = 1; p <= 6; ++p) {
        EXPECT_EQ(t.text(p).toStdString(), expected[p - 1].first) << p;
        EXPECT_EQ(t.picture(p), expected[p - 1].second) << p;
        // A name cut at the pane's edge can still be read whole.
        EXPECT_EQ(node(p)->toolTip(0).toStdString(), expected[p - 1].first) << p;
    }
    EXPECT_TRUE(node(1)->isExpanded());
    EXPECT_EQ(node(2)->parent(), node(1));
}

TEST_F(Tree, LeftPressSwitchesTheNodesOwnLayerWhateverTheDrawingOrder) {
    press(1, 2);
    EXPECT_EQ(visibility(), (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(redraws, 1);
    press(1, 2);
    EXPECT_EQ(visibility(), (std::vector<bool>{true, true, true, true}));
    EXPECT_EQ(redraws, 2);

    // "Bathymetry on top" swaps the two bottom layers; the nodes follow them.
    window.map().moveLayer(window.map().layerCount() - 1, window.map().layerCount() - 2);
    press(1, 2);
    EXPECT_EQ(visibility(), (std::vector<bool>{false, true, true, true}));
    press(1, 3);
    EXPECT_EQ(visibility(), (std::vector<bool>{false, false, true, true}));

    // The last point dataset is reached even with the point list empty, and
    // a work layer on top does not shift anything.
    window.map().addLayer(pg::Layer::featureLayer(nullptr, "rays"));
    press(1, 6);
    EXPECT_EQ(visibility(), (std::vector<bool>{false, false, true, false}));
    press(1, 5);
    EXPECT_EQ(visibility(), (std::vector<bool>{false, false, false, false}));

    // The project and wind nodes switch nothing.
    const int before = redraws;
    press(1, 1);
    press(1, 4);
    EXPECT_EQ(visibility(), (std::vector<bool>{false, false, false, false}));
    EXPECT_EQ(redraws, before);
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(Tree, WithTheFastAlgorithmThePointNodesStillSwitchTheirOwnLayers) {
    // No shoreline layer and an empty shoreline node.
    window.map().deleteLayer(shore);
    window.projectTree().setNode(3, QString(), app::kPictureShore);
    press(1, 5);
    EXPECT_FALSE(points1->visible());
    EXPECT_TRUE(points2->visible());
    EXPECT_TRUE(bathy->visible());
    press(1, 3);
    EXPECT_TRUE(bathy->visible());
    EXPECT_TRUE(points2->visible());
}

TEST_F(Tree, RightPressOpensTheMenuOfTheNodeAndItsItemsActOnThatNode) {
    const std::vector<std::string> menus = {"rootmnu", "covbathy", "covshore", "mnutreeview", "ptdata", "ptdata"};
    for (int p = 1; p <= 6; ++p) {
        press(2, p);
        EXPECT_EQ(window.lastPopup(), menus[p - 1]) << p;
        EXPECT_EQ(window.projectTree().clicknode(), node(p));
        if (QMenu* m = window.treemnu(window.lastPopup())) m->hide();
    }

    // Empty space: no menu, no node.
    window.TreeView1_MouseDown(2, QPoint(5, window.TreeView1->viewport()->height() - 3));
    EXPECT_EQ(window.lastPopup(), "");
    EXPECT_EQ(window.projectTree().clicknode(), nullptr);

    // The items hand over to their commands.
    const std::vector<std::tuple<std::string, std::string, std::string>> items = {
        {"rootmnu", "remove1", "RemPr_Click"},      {"covbathy", "remove2", "Addbathy_Click"},
        {"covbathy", "projec", "showprojection"},   {"covshore", "remove3", "Addshore_Click"},
        {"covshore", "projec1", "showprojection"},  {"mnutreeview", "remove", "Addwind_Click"},
        {"ptdata", "remove4", "rem_ptdata"},        {"ptdata", "noFeat", "feat_no"},
        {"listv", "remove5", "rem_shpdata"}};
    for (const auto& [menu, item, command] : items) {
        ran.clear();
        QAction* a = window.treemnu(menu)->findChild<QAction*>(QString::fromStdString(item));
        ASSERT_TRUE(a) << item;
        a->trigger();
        EXPECT_EQ(ran, std::vector<std::string>{command}) << item;
    }
    // The point-dataset items read the dataset's name from the pressed node.
    press(2, 6);
    EXPECT_EQ(window.projectTree().clicknodeText().toStdString(), "Pointdata2");
    window.treemnu("ptdata")->hide();

    // "Wind Data" shows the wind summary in REI mode only.
    QAction* windData = window.treemnu("mnutreeview")->findChild<QAction*>("data");
    ran.clear();
    windData->trigger();
    EXPECT_TRUE(ran.empty());
    state.model_mode = model::REI_MODE;
    windData->trigger();
    EXPECT_EQ(ran, std::vector<std::string>{"Wind_pt"});
    EXPECT_FALSE(window.treemnu("listv")->findChild<QAction*>("properties")->isEnabled());
}

TEST_F(Tree, ANodeNamedLikeAnEarlierFixedNodeIsTreatedAsThatNode) {
    window.projectTree().setNode(5, "water.shp", app::kPicturePoint);
    press(2, 5);
    EXPECT_EQ(window.lastPopup(), "covshore");
    window.treemnu("covshore")->hide();
}

TEST_F(Tree, PointListMenuOnlyWithASelectedLine) {
    window.List1->addItem("sites.shp");
    window.List1_MouseDown(2);
    EXPECT_EQ(window.lastPopup(), "");
    window.List1->setCurrentRow(0);
    window.List1_MouseDown(2);
    EXPECT_EQ(window.lastPopup(), "listv");
    window.treemnu("listv")->hide();
    window.List1_MouseDown(1);
    EXPECT_EQ(window.lastPopup(), "");
}

TEST_F(Tree, RemovedNodeLeavesNoDanglingPressedNode) {
    press(2, 6);
    window.treemnu("ptdata")->hide();
    delete node(6);
    EXPECT_EQ(window.projectTree().clicknodeText(), QString());
    window.projectTree().clear();
    EXPECT_FALSE(window.projectOpen());
    EXPECT_EQ(window.projectTree().clicknode(), nullptr);
}

}  // namespace
