#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "../wave/run_fixture.h"
#include "app/map_tools.h"
#include "app/map_view.h"
#include "app/point_entry.h"
#include "gis/geodatabase.h"
#include "platform/gis/feature_class.h"
#include "platform/file_lock.h"
#include "platform/gis/workspace.h"
#include "project/project_file.h"
#include "project/project_locks.h"
#include "rei/rei_run.h"
#include "wind/loadwind.h"
#include "wind/rei_wind_file.h"
#include "qgis_support.h"
#include "test_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

struct FakeHost final : app::PointEntryHost {
    std::vector<bool> controls;
    bool addPointEnabled = true, cancel = false, build = false;
    int saves = 0, nodeClears = 0;
    std::vector<std::string> coords, nodes;
    void setcontrols(bool on) override { controls.push_back(on); }
    void setAddPointEnabled(bool on) override { addPointEnabled = on; }
    void showCancel(bool on) override { cancel = on; }
    void showBuild(bool on) override { build = on; }
    void showcoords(int32_t x, int32_t y) override { coords.push_back(std::to_string(x) + " " + std::to_string(y)); }
    void Savepr_Click() override { ++saves; }
    void removePointDatasetNodes() override { ++nodeClears; }
    void addPointDatasetNode(int position, const std::string& key, const std::string& text, int) override {
        nodes.push_back(key + ":" + text);
    }
};

struct PointEntryTest : test::QgisTest {
    test::TempDir dir;
    test::RecordingMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    app::MapView view;
    test::FakeButtons buttons;
    FakeHost host;
    app::PointEntry entry{state, form, holder, messages, view, buttons, host};
    app::MapMouseHandler handler{view, buttons, nullptr};

    void SetUp() override {
        form.projfile = dir.path();
        form.projname = "bay";
        form.ptworkspace = gis::createWorkspace(form.projfile, form.projname);
        handler.setPointEntry(&entry);
        view.afterDraw = [this] { handler.afterdraw(); };
        view.resize(300, 300);
        view.show();
    }
    void click(int button, double x, double y) { handler.mousedown({button, 0, 1, 1, x, y}); }
};

}  // namespace

TEST_F(PointEntryTest, CancelBeforeAnyPointDeletesTheEmptyClassAndEndsIdle) {
    entry.start();
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Do you want to create a new point feature class in current project?"}));
    ASSERT_TRUE(form.sfeatureclass1);
    EXPECT_EQ(form.sfeatureclass1->name(), "Pointdata1");
    EXPECT_EQ(form.geodatabasename, "bay.gpkg");
    EXPECT_TRUE(entry.active());
    EXPECT_FALSE(host.addPointEnabled);
    EXPECT_EQ(host.controls, (std::vector<bool>{false}));
    EXPECT_EQ(view.mousePointer(), app::kPointerCross);
    EXPECT_TRUE(host.cancel);
    EXPECT_FALSE(host.build) << "Build is never shown before the first point";

    entry.canceladdpt_Click();
    EXPECT_FALSE(form.ptworkspace->hasFeatureClass("Pointdata1"));
    EXPECT_FALSE(entry.active());
    EXPECT_EQ(host.controls, (std::vector<bool>{false, true}));
    EXPECT_FALSE(host.cancel);
    EXPECT_FALSE(host.build);
    EXPECT_EQ(view.mousePointer(), app::kPointerArrow);
}

TEST_F(PointEntryTest, ClicksAddPointsRightClickOnlyShowsCoordinatesAndRedrawKeepsMarkers) {
    auto bathy = gis::createWorkspaceFeatureClass(form.ptworkspace, "bathy", gis::ftype_simple, gis::geom_point, messages);
    view.map().addLayer(pg::Layer::featureLayer(bathy));
    view.setVisibleBounds({0, 0, 300, 300});
    entry.start();
    click(1, 100.25, 200.75);
    click(1, 150, 250);
    click(2, 120.5, 221.5);
    EXPECT_EQ(form.crt, 2);
    EXPECT_EQ(form.sfeatureclass1->featureCount(), 2);
    EXPECT_EQ(host.coords, (std::vector<std::string>{"120 222"}));
    EXPECT_TRUE(host.build);
    EXPECT_EQ(view.screenMarkers().size(), 2u);

    // A zoom tool takes the next press; the redraw after the draw releases
    // it and puts every kept marker back.
    buttons.setPressed(2, "zoomin", true);
    buttons.setPressed(2, "identify", true);
    click(1, 120, 220);
    EXPECT_EQ(form.crt, 2);
    ASSERT_TRUE(test::drawAndWait(view));
    EXPECT_FALSE(buttons.pressed(2, "zoomin"));
    EXPECT_TRUE(buttons.pressed(2, "identify"));
    EXPECT_EQ(view.screenMarkers(), (std::vector<pg::Point>{{100.25, 200.75}, {150, 250}}));
    click(1, 1, 2);
    EXPECT_EQ(form.crt, 3);
}

TEST_F(PointEntryTest, BuildSavesAndShowsTheNewClassAsANodeAndALayer) {
    auto keep = gis::createWorkspaceFeatureClass(form.ptworkspace, "shore", gis::ftype_simple, gis::geom_polygon, messages);
    pg::Map& map = view.map();
    map.addLayer(pg::Layer::featureLayer(keep, "bathy"));
    map.addLayer(pg::Layer::featureLayer(keep, "shore"));
    map.addLayer(pg::Layer::featureLayer(keep, "old points"));
    ASSERT_TRUE(form.ptworkspace->featureClassNames().size() == 1);
    form.ptworkspace->deleteFeatureClass("shore");  // a class gone under its layers must not stop Build

    entry.start();
    click(1, 5, 6);
    entry.refresher_Click();
    EXPECT_EQ(host.saves, 1);
    EXPECT_EQ(host.nodeClears, 1);
    EXPECT_EQ(host.nodes, (std::vector<std::string>{"node55:Pointdata1"}));
    std::vector<std::string> names;
    for (const auto& l : map.layers()) names.push_back(l->name());
    EXPECT_EQ(names, (std::vector<std::string>{"Pointdata1", "shore", "bathy"}));
    EXPECT_FALSE(entry.active());
    EXPECT_FALSE(host.build);
    EXPECT_FALSE(host.cancel);
    EXPECT_TRUE(host.addPointEnabled);
    EXPECT_EQ(host.controls.back(), true);

    // With the mode's fast algorithm only the lowest layer stays.
    state.wv_indexcheck = 1;
    entry.start();
    entry.refresher_Click();
    names.clear();
    for (const auto& l : map.layers()) names.push_back(l->name());
    EXPECT_EQ(names, (std::vector<std::string>{"Pointdata2", "Pointdata1", "bathy"}));
}

TEST_F(PointEntryTest, NoAndAFailedStartLeaveTheWindowUsable) {
    messages.answers = {false};
    entry.start();
    EXPECT_FALSE(entry.active());
    EXPECT_TRUE(host.controls.empty());
    EXPECT_FALSE(form.sfeatureclass1);
    EXPECT_EQ(view.mousePointer(), app::kPointerArrow);

    // No project geodatabase: one message, commands back, no Cancel.
    form.ptworkspace.reset();
    messages.entries.clear();
    entry.start();
    EXPECT_FALSE(entry.active());
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Do you want to create a new point feature class in current project?", "91"}));
    EXPECT_EQ(host.controls, (std::vector<bool>{false, true}));
    EXPECT_TRUE(host.addPointEnabled);
    EXPECT_FALSE(host.cancel);
    EXPECT_EQ(view.mousePointer(), app::kPointerArrow);
    // A left press afterwards adds nothing anywhere.
    click(1, 1, 1);
    EXPECT_EQ(form.crt, 0);
}

TEST_F(PointEntryTest, PastFiveHundredPointsAClickIsStoredAndMarkedButNotKeptForRedraws) {
    entry.start();
    form.crt = 499;
    click(1, 10, 10);  // the 500th: kept
    click(1, 20, 20);  // the 501st: stored and marked once
    EXPECT_EQ(form.crt, 501);
    EXPECT_EQ(form.sfeatureclass1->featureCount(), 2);
    EXPECT_EQ(entry.keptPoint(500), (pg::Point{10, 10}));
    EXPECT_EQ(view.screenMarkers().size(), 2u);
    entry.redrawPoints();
    const auto markers = view.screenMarkers();
    EXPECT_EQ(std::count(markers.begin(), markers.end(), pg::Point{20, 20}), 1) << "only the first marking";
    EXPECT_EQ(markers.size(), 2u + 500u);
}

namespace {

// A lake project (shoreline, bathymetry, wind) with point entry on its map.
struct ClickedPointsRun : test::QgisTest {
    wave::testing::RunProject rp;
    app::MapView view;
    test::FakeButtons buttons;
    FakeHost host;
    app::PointEntry entry{rp.p->state, rp.p->mf, rp.p->fm, rp.p->messages, view, buttons, host};
    app::MapMouseHandler handler{view, buttons, nullptr};

    void SetUp() override {
        handler.setPointEntry(&entry);
        view.resize(300, 300);
    }
    void click(double x, double y) { handler.mousedown({1, 0, 1, 1, wave::testing::kX0 + x, wave::testing::kY0 + y}); }
};

}  // namespace

TEST_F(ClickedPointsRun, BothModelsRunThePointsClickedOnTheMap) {
    entry.start();
    click(10000, 10000);
    click(5000, 15000);
    entry.refresher_Click();
    const auto points = rp.p->mf.sfeatureclass1;
    ASSERT_TRUE(points);
    ASSERT_EQ(points->featureCount(), 2);
    EXPECT_TRUE(points->spatialReference().isSame(pg::SpatialReference::fromEpsg(32755)));

    rp.points = points;
    rp.ctx->shpname1 = points->name();
    rp.p->messages.entries.clear();
    ASSERT_EQ(rp.run(0).end, wave::RunEnd::Completed)
        << (rp.p->messages.entries.empty() ? "" : rp.p->messages.entries[0].text);
    EXPECT_GT(rp.value(1, "RWE"), 0);
    EXPECT_GT(rp.value(2, "RWE"), 0);

    auto& p = *rp.p;
    p.fm.windcatno = 3;
    p.fm.wind_cat1 = 30;
    p.fm.wind_cat2 = 60;
    p.fm.Power1 = 0.053;
    p.fm.Power2 = 0.062;
    p.fm.Power5 = 0.082;
    wind::ReiWindClimate climate;
    for (int k = 0; k < 8; ++k) {
        climate.speed[k] = 4 + k;
        climate.percent[k] = 12.5;
    }
    p.state.wind_path = rp.tmp.file("wind.txt");
    wind::writeReiWindHandEntry(p.state.wind_path, climate);
    rei::ReiRunContext rei{p.state, p.fm, p.mf, p.wind, p.map, p.messages, p.progress};
    rei.reloadWind = [&p](platform::Messages& m) { return wind::reloadProjectWind(p.state, p.wind, p.fm, m); };
    const auto out = rei::runmodel(rei, points, 1);
    ASSERT_EQ(out.end, rei::ReiRunEnd::Completed) << (p.messages.entries.empty() ? "" : p.messages.entries.back().text);
    EXPECT_EQ(out.written, 2);
    EXPECT_GT(pg::toDouble(points->feature(1).value("Index")), 0);
}

// Every click writes into the project's geodatabase: point entry does not
// begin while another Quor runs the project.
TEST_F(PointEntryTest, DoesNotBeginWhileAnotherProgramRunsTheProject) {
    const std::string lock = project::projectLockPath(form.projfile, form.projname);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        const platform::FileLock run(lock, platform::FileLock::Mode::Exclusive, project::kRunSlot);
        if (run.held() && ::write(ready[1], "H", 1) == 1)
            for (;;) ::pause();
        ::_exit(1);
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    entry.start();
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(messages.texts().back(), project::kProjectRunElsewhere);
    EXPECT_FALSE(entry.active());
    EXPECT_FALSE(form.sfeatureclass1);
    EXPECT_TRUE(form.ptworkspace->featureClassNames().empty());
}
