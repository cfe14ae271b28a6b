#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gis/geodatabase.h"
#include "gis/point_display.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/map.h"
#include "platform/gis/workspace.h"
#include "test_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

struct FakeTree final : gis::PointDatasetTree {
    struct Node {
        int position;
        std::string key, text;
        int image;
    };
    std::vector<Node> nodes;
    void addPointDatasetNode(int position, const std::string& key, const std::string& text, int image) override {
        nodes.push_back({position, key, text, image});
    }
};

struct FakeDisplay final : gis::PointMarkerDisplay {
    std::vector<pg::Point> markers;
    std::vector<gis::MarkerSymbol> symbols;
    int buildShown = 0;
    void drawMarker(const pg::Point& p, const gis::MarkerSymbol& s) override {
        markers.push_back(p);
        symbols.push_back(s);
    }
    void showBuild() override { ++buildShown; }
};

struct PointDisplay : ::testing::Test {
    test::TempDir dir;
    test::RecordingMessages messages;
    model::MainFormState form;
    pg::Map map;
    FakeTree tree;

    void SetUp() override {
        form.projfile = dir.path();
        form.projname = "bay";
        form.ptworkspace = gis::createWorkspace(form.projfile, form.projname);
    }
    void make(const std::string& name, int32_t geom = gis::geom_point) {
        ASSERT_TRUE(gis::createWorkspaceFeatureClass(form.ptworkspace, name, gis::ftype_simple, geom, messages));
    }
    std::vector<std::string> layerNames() const {
        std::vector<std::string> n;
        for (const auto& l : map.layers()) n.push_back(l->name());
        return n;
    }
};

}  // namespace

TEST_F(PointDisplay, ShowsPointClassesAndDeletesEveryLeftoverWorkClass) {
    // Work classes next to each other: deleting while walking the list
    // would skip the second of each pair.
    make("Pointdata1");
    make("rays", gis::geom_polyline);
    make("orp_rays", gis::geom_polyline);
    make("Pointdata_ext1");
    make("Inter_rays", gis::geom_polyline);
    make("EffF_rays", gis::geom_polyline);
    map.addLayer(pg::Layer::featureLayer(nullptr, "bathy"));
    gis::displaypointdata(form, map, tree);

    EXPECT_EQ(form.ptworkspace->featureClassNames(), (std::vector<std::string>{"Pointdata1", "Pointdata_ext1"}));
    EXPECT_EQ(layerNames(), (std::vector<std::string>{"Pointdata_ext1", "Pointdata1", "bathy"}));
    ASSERT_EQ(tree.nodes.size(), 2u);
    EXPECT_EQ(tree.nodes[0].position, 5);
    EXPECT_EQ(tree.nodes[0].key, "node55");
    EXPECT_EQ(tree.nodes[0].text, "Pointdata1");
    EXPECT_EQ(tree.nodes[1].key, "node56");
    EXPECT_EQ(tree.nodes[1].text, "Pointdata_ext1");
    EXPECT_EQ(tree.nodes[1].image, 5);
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(PointDisplay, OtherCaseIsAPointDatasetAndAnEmptyOrMissingGeodatabaseShowsNothing) {
    make("RAYS");
    EXPECT_FALSE(gis::isWorkClassName("RAYS"));
    EXPECT_TRUE(gis::isWorkClassName("Inter_ray"));
    gis::displaypointdata(form, map, tree);
    EXPECT_EQ(layerNames(), (std::vector<std::string>{"RAYS"}));

    test::TempDir other;
    model::MainFormState empty;
    empty.projfile = other.path();
    empty.projname = "none";
    empty.ptworkspace = gis::createWorkspace(other.path(), "none");
    FakeTree t2;
    pg::Map m2;
    gis::displaypointdata(empty, m2, t2);
    EXPECT_EQ(m2.layerCount(), 0);
    EXPECT_TRUE(t2.nodes.empty());

    // A geodatabase file that is not there ends it silently.
    model::MainFormState missing = empty;
    missing.projname = "elsewhere";
    gis::displaypointdata(missing, m2, t2);
    EXPECT_EQ(m2.layerCount(), 0);
}

TEST_F(PointDisplay, PointcrtStoresTheClickWithItsCoordinatesAndMarksIt) {
    form.sfeatureclass1 = gis::createAccessWorkspace(form, messages, form.projfile, form.projname);
    ASSERT_TRUE(form.sfeatureclass1);
    FakeDisplay display;
    const std::vector<pg::Point> clicks = {{303512.25, 5781234.5}, {1, 2}, {-3.5, 4.75}};
    for (const auto& c : clicks) gis::pointcrt(form, display, c.x, c.y);

    ASSERT_EQ(form.sfeatureclass1->featureCount(), 3);
    auto cursor = form.sfeatureclass1->search();
    for (const auto& c : clicks) {
        auto f = cursor.next();
        ASSERT_TRUE(f);
        EXPECT_EQ(f->shape().asPoint(), c);
        EXPECT_DOUBLE_EQ(pg::toDouble(f->value("X")), c.x);
        EXPECT_DOUBLE_EQ(pg::toDouble(f->value("Y")), c.y);
    }
    EXPECT_EQ(display.markers, clicks);
    EXPECT_EQ(display.symbols[0].size, 6);
    EXPECT_EQ(display.symbols[0].style, 2);
    EXPECT_EQ(display.buildShown, 3);

    // Without a class nothing is stored or drawn, and nothing fails.
    form.sfeatureclass1.reset();
    gis::pointcrt(form, display, 9, 9);
    EXPECT_EQ(display.markers.size(), 3u);
}
