#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/map_tools.h"
#include "app/map_view.h"
#include "qgis_support.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

struct FakeEntry final : app::MapPointEntry {
    std::vector<std::string> calls;
    void enterPoint(double x, double y) override { calls.push_back("enter " + std::to_string(x)); }
    void showCoordinates(double x, double y) override { calls.push_back("coords"); }
    void redrawPoints() override { calls.push_back("redraw"); }
};

void expectEnvelope(const pg::Envelope& e, double minX, double minY, double maxX, double maxY) {
    EXPECT_DOUBLE_EQ(e.minX, minX);
    EXPECT_DOUBLE_EQ(e.minY, minY);
    EXPECT_DOUBLE_EQ(e.maxX, maxX);
    EXPECT_DOUBLE_EQ(e.maxY, maxY);
}

}  // namespace

TEST(MapZoom, ZoomInHalvesAndCentresOnTheRoundedPoint) {
    // 1000 x 600 view, click at (250.5, 100.5): the centre snaps half to even.
    const pg::Envelope view{0, 0, 1000, 600};
    auto x = app::roundToWhole(250.5), y = app::roundToWhole(101.5);
    ASSERT_TRUE(x && y);
    EXPECT_EQ(*x, 250);
    EXPECT_EQ(*y, 102);
    expectEnvelope(app::zoomInAbout(view, *x, *y), 0, -48, 500, 252);
    // Geographic degrees snap to whole degrees.
    EXPECT_EQ(*app::roundToWhole(144.6), 145);
    EXPECT_EQ(*app::roundToWhole(-37.5), -38);
    EXPECT_FALSE(app::roundToWhole(1e12).has_value());
}

TEST(MapZoom, ZoomOutDoublesAndIsCappedAtTheFullExtent) {
    const pg::Envelope full{0, 0, 1000, 800};
    // Doubling stays inside: centred on the point.
    const pg::Envelope small{100, 100, 300, 250};
    auto e = app::zoomOutAbout(small, small, full, 200, 200);
    ASSERT_TRUE(e);
    expectEnvelope(*e, 0, 50, 400, 350);
    // Doubling would exceed the width: the full extent's width and height.
    const pg::Envelope wide{0, 0, 700, 300};
    e = app::zoomOutAbout(wide, wide, full, 500, 400);
    ASSERT_TRUE(e);
    expectEnvelope(*e, 0, 0, 1000, 800);
    // Only the height would exceed: capped the same way.
    const pg::Envelope tall{0, 0, 300, 500};
    e = app::zoomOutAbout(tall, tall, full, 500, 400);
    ASSERT_TRUE(e);
    expectEnvelope(*e, 0, 0, 1000, 800);
    // Already covering the full extent in both measures: nothing.
    const pg::Envelope all{-10, -10, 1100, 900};
    EXPECT_FALSE(app::zoomOutAbout(all, all, full, 0, 0));
    // Smaller in one measure only still zooms out.
    const pg::Envelope strip{0, 0, 1200, 400};
    EXPECT_TRUE(app::zoomOutAbout(strip, strip, full, 0, 0));
}

TEST(MapReadout, FiveDecimalsHalfToEvenShortestFormTwoBlanks) {
    EXPECT_EQ(app::coordinateText(303512.123456, 5781234.5), "303512.12346  5781234.5");
    EXPECT_EQ(app::coordinateText(144.000005, -37.000015), "144  -37.00002");
    EXPECT_EQ(app::coordinateText(1.000025, 0), "1.00002  0");
    EXPECT_EQ(app::coordinateText(1234567.0, -0.5), "1234567  -0.5");
}

struct MapDispatch : test::QgisTest {
    app::MapView view;
    test::FakeButtons buttons;
    FakeEntry entry;
    std::vector<std::string> panel;
    std::vector<std::pair<int, int>> identified;
    app::MapMouseHandler handler{view, buttons, [this](const std::string& t) { panel.push_back(t); }};

    void SetUp() override {
        handler.setPointEntry(&entry);
        handler.setIdentify([this](int x, int y) { identified.emplace_back(x, y); });
        view.resize(400, 400);
        view.setVisibleBounds({0, 0, 1000, 1000});
    }
    static app::MapMouse press(int button, double mx, double my) { return {button, 0, 10, 20, mx, my}; }
};

TEST_F(MapDispatch, OnlyTheFirstPressedToolActsInTheFixedOrder) {
    // Zoom in and identify both down: zoom in wins, identify is not called.
    buttons.setPressed(2, "identify", true);
    buttons.setPressed(2, "zoomin", true);
    const pg::Envelope before = view.visibleBounds();
    handler.mousedown(press(1, 500.4, 499.6));
    const pg::Envelope after = view.visibleBounds();
    EXPECT_NEAR(after.width(), before.width() / 2, 1e-6);
    EXPECT_NEAR((after.minX + after.maxX) / 2, 500, 1e-6);
    EXPECT_TRUE(identified.empty());

    // Pan comes before point entry: a pan starts, no point is entered.
    buttons.setPressed(2, "zoomin", false);
    buttons.setPressed(2, "pan", true);
    buttons.setPressed(1, "addpoint", true);
    handler.mousedown(press(1, 1, 1));
    EXPECT_TRUE(view.isTracking());
    EXPECT_TRUE(entry.calls.empty());

    // Point entry before identify.
    buttons.setPressed(2, "pan", false);
    app::MapView fresh;  // a view not tracking a drag
    app::MapMouseHandler h2{fresh, buttons, nullptr};
    h2.setPointEntry(&entry);
    h2.setIdentify([this](int x, int y) { identified.emplace_back(x, y); });
    h2.mousedown(press(1, 7, 8));
    EXPECT_EQ(entry.calls, (std::vector<std::string>{"enter 7.000000"}));
    EXPECT_TRUE(identified.empty());

    // Identify alone gets the pixel position.
    buttons.setPressed(1, "addpoint", false);
    h2.mousedown(press(1, 7, 8));
    EXPECT_EQ(identified, (std::vector<std::pair<int, int>>{{10, 20}}));
}

TEST_F(MapDispatch, RightPressDoesNothingWithoutPointEntryAndPointerOrNoToolChangesNothing) {
    for (const char* key : {"zoomin", "zoomout", "zoomselect", "pan", "identify"}) buttons.setPressed(2, key, true);
    const pg::Envelope before = view.visibleBounds();
    handler.mousedown(press(2, 100, 100));
    EXPECT_EQ(view.visibleBounds(), before);
    EXPECT_FALSE(view.isTracking());
    EXPECT_TRUE(identified.empty());
    EXPECT_TRUE(entry.calls.empty());

    // With point entry a right press shows the coordinates, nothing else.
    buttons.setPressed(1, "addpoint", true);
    handler.mousedown(press(2, 100, 100));
    EXPECT_EQ(entry.calls, (std::vector<std::string>{"coords"}));

    // Only "pointer" or "fullextent" down: nothing.
    test::FakeButtons none;
    none.setPressed(2, "pointer", true);
    none.setPressed(2, "fullextent", true);
    app::MapMouseHandler h2{view, none, nullptr};
    h2.setIdentify([this](int x, int y) { identified.emplace_back(x, y); });
    h2.mousedown(press(1, 100, 100));
    EXPECT_EQ(view.visibleBounds(), before);
    EXPECT_TRUE(identified.empty());
}

TEST_F(MapDispatch, MoveWritesTheReadoutAndAfterDrawRedrawsOnlyDuringPointEntry) {
    handler.mousemove(press(0, 303512.123456, 5781234.5));
    EXPECT_EQ(panel, (std::vector<std::string>{"303512.12346  5781234.5"}));
    handler.afterdraw();
    EXPECT_TRUE(entry.calls.empty());
    buttons.setPressed(1, "addpoint", true);
    handler.afterdraw();
    EXPECT_EQ(entry.calls, (std::vector<std::string>{"redraw"}));
}
