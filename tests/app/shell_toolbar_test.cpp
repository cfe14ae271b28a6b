// What a click on each toolbar button and menu item does.
#include <gtest/gtest.h>

#include <QPushButton>

#include "app/map_view.h"
#include "gis/geodatabase.h"
#include "shell_fixture.h"

using namespace quor;
namespace pg = platform::gis;

namespace {

struct Toolbars : ::testing::Test, test::Shell {
    Toolbars() { openProject(); }
};

TEST_F(Toolbars, EachProjectKeyDispatchesToItsCommand) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"new", "NewPr_Click"},          {"open", "OpenPr_Click"},      {"save", "Savepr_Click"},
        {"delete", "RemPr_Click"},       {"bathy", "Addbathy_Click"},   {"shore", "Addshore_Click"},
        {"wind", "Addwind_Click"},       {"drawpoly", "Addpointc_Click"}, {"run", "ptdatasel"},
    };
    for (const auto& [key, command] : expected) {
        ran.clear();
        window.toolbarButton(1, key)->trigger();
        EXPECT_EQ(ran, std::vector<std::string>{command}) << key;
        // A plain command leaves its button up.
        EXPECT_EQ(window.toolbarValue(1, key), 0) << key;
    }
    ran.clear();
    window.Toolbar1_ButtonClick("printt");
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(Toolbars, RunReleasesTheMapToolsAndShowsRunonUntilTheChooserCancels) {
    window.toolbarButton(2, "pan")->trigger();
    ASSERT_EQ(window.toolbarValue(2, "pan"), 1);
    std::string pictureDuringChooser;
    int pointerDuringChooser = 0;
    window.commands().connect("ptdatasel", [&] {
        pictureDuringChooser = window.toolbarButtonImage(1, "run");
        pointerDuringChooser = window.mapPointer();
        window.setToolbarButtonImage(1, "run", "runoff");  // the chooser's Cancel
    });
    window.toolbarButton(1, "run")->trigger();
    EXPECT_EQ(pictureDuringChooser, "runon");
    EXPECT_EQ(pointerDuringChooser, 1);
    for (const char* tool : {"zoomin", "zoomout", "zoomselect", "fullextent", "pan", "identify"})
        EXPECT_EQ(window.toolbarValue(2, tool), 0) << tool;
    EXPECT_FALSE(window.toolbarButton(2, "pan")->isChecked());
    EXPECT_EQ(window.toolbarButtonImage(1, "run"), "runoff");

    // A run's end puts every tool up and the run button back to idle,
    // without touching what is enabled.
    window.commands().connect("ptdatasel", [] {});
    window.toolbarButton(2, "identify")->trigger();
    window.toolbarButton(1, "run")->trigger();
    const auto before = enabledTable();
    window.runEnded();
    EXPECT_EQ(window.toolbarValue(2, "identify"), 0);
    EXPECT_EQ(window.toolbarButtonImage(1, "run"), "runoff");
    EXPECT_EQ(enabledTable(), before);
}

TEST_F(Toolbars, ChoosingAMapToolReleasesEveryOtherTool) {
    const std::vector<std::tuple<std::string, int>> tools = {
        {"zoomin", 51}, {"zoomout", 52}, {"zoomselect", 50}, {"pan", 53}, {"identify", 55}};
    auto onlyDown = [this, &tools](const std::string& key) {
        for (const auto& [other, pointer] : tools) {
            const bool want = other == key;
            if (window.toolbarValue(2, other) != (want ? 1 : 0) ||
                window.toolbarButton(2, other)->isChecked() != want)
                return ::testing::AssertionFailure() << other << " is " << (want ? "up" : "down");
        }
        return ::testing::AssertionSuccess();
    };
    for (const auto& [first, p1] : tools)
        for (const auto& [second, pointer] : tools) {
            window.toolbarButton(2, first)->trigger();
            window.toolbarButton(2, second)->trigger();
            EXPECT_TRUE(onlyDown(second)) << first << " then " << second;
            EXPECT_EQ(window.mapPointer(), pointer) << first << " then " << second;
        }
    // The arrow releases every tool.
    window.toolbarButton(2, "pointer")->trigger();
    EXPECT_TRUE(onlyDown(""));
    EXPECT_EQ(window.mapPointer(), 1);

    // The menu's zoom items choose a tool in the same way.
    window.toolbarButton(2, "pan")->trigger();
    window.menuItem("Zoomout")->trigger();
    EXPECT_TRUE(onlyDown("zoomout"));
    EXPECT_EQ(window.mapPointer(), 52);
    window.toolbarButton(2, "identify")->trigger();
    window.menuItem("zoomin")->trigger();
    EXPECT_TRUE(onlyDown("zoomin"));
    EXPECT_EQ(window.mapPointer(), 51);
}

TEST_F(Toolbars, FullExtentFromTheToolbarOrTheMenu) {
    auto ws = gis::createWorkspace(home.path(), "inputs");
    int32_t geom = gis::geom_point;
    auto fc = gis::createWorkspaceFeatureClass(ws, "sites", gis::ftype_simple, geom, messages);
    for (double x : {0.0, 1000.0}) {
        pg::Feature f = fc->createFeature();
        f.setShape(pg::Geometry::point(x, x));
        fc->store(f);
    }
    window.map().addLayer(pg::Layer::featureLayer(fc));
    window.resize(900, 700);
    window.show();
    auto covers = [this] {
        const pg::Envelope v = window.MapControl2->visibleBounds();
        return v.minX <= 0 && v.minY <= 0 && v.maxX >= 1000 && v.maxY >= 1000;
    };
    for (const char* how : {"toolbar", "menu"}) {
        window.MapControl2->setVisibleBounds({400, 400, 410, 410});
        ASSERT_FALSE(covers());
        if (std::string(how) == "toolbar")
            window.toolbarButton(2, "fullextent")->trigger();
        else
            window.menuItem("Fullext")->trigger();
        EXPECT_TRUE(covers()) << how;
        EXPECT_EQ(window.toolbarValue(2, "fullextent"), 0);
    }
}

TEST_F(Toolbars, PointEntryAnsweredNoChangesNothing) {
    const auto before = enabledTable();
    messages.answers = {false};
    window.toolbarButton(1, "addpoint")->trigger();
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Do you want to create a new point feature class in current project?"}));
    EXPECT_EQ(window.toolbarValue(1, "addpoint"), 0);
    EXPECT_FALSE(window.toolbarButton(1, "addpoint")->isChecked());
    EXPECT_EQ(enabledTable(), before);
}

TEST_F(Toolbars, PointEntryStartsWithANewClassAndTakesAwayTheProjectCommands) {
    form.projfile = home.path();
    form.ptworkspace = gis::createWorkspace(home.path(), "Bay");
    window.toolbarButton(1, "addpoint")->trigger();
    ASSERT_TRUE(form.sfeatureclass1);
    EXPECT_EQ(form.sfeatureclass1->name(), "Pointdata1");
    EXPECT_EQ(form.geodatabasename, gis::geodatabaseFileName("Bay"));
    EXPECT_EQ(form.crt, 0);
    EXPECT_EQ(window.toolbarValue(1, "addpoint"), 1);
    EXPECT_EQ(window.mapPointer(), 2);
    EXPECT_TRUE(window.canceladdpt->isVisibleTo(&window));
    EXPECT_TRUE(window.canceladdpt->isEnabled());
    auto t = enabledTable();
    for (const char* off : {"T1.addpoint", "T1.new", "T1.save", "T1.run", "T2.identify", "Savepr", "Chgset"})
        EXPECT_FALSE(t[off]) << off;
    for (const char* on : {"T2.zoomin", "T2.zoomout", "T2.zoomselect", "T2.fullextent", "T2.pan", "Exit"})
        EXPECT_TRUE(t[on]) << on;
    // A second click while entry is on asks nothing.
    messages.entries.clear();
    window.Toolbar1_ButtonClick("addpoint");
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(Toolbars, PointEntryThatCannotStartGivesEveryCommandBack) {
    const auto before = enabledTable();
    form.ptworkspace.reset();  // no geodatabase to hold the class
    window.toolbarButton(1, "addpoint")->trigger();
    EXPECT_FALSE(form.sfeatureclass1);
    EXPECT_EQ(enabledTable(), before);
    EXPECT_EQ(window.toolbarValue(1, "addpoint"), 0);
    EXPECT_EQ(window.mapPointer(), 1);
    EXPECT_FALSE(window.canceladdpt->isVisibleTo(&window));
    // The geodatabase layer's own message, and no second one.
    ASSERT_EQ(messages.entries.size(), 2u);
    EXPECT_EQ(messages.entries[1].title, "createAccessWorkspace error");
}

}  // namespace
