#pragma once
// A small synthetic RWE project for whole runs: a 20 x 20 km lake with a
// rectangular island and a diamond island, 100 m bathymetry (-10 m water,
// +3 m land) with a NoData patch, a 16-sector wind file, and a point
// class "Pointdata1" in the project geodatabase whose sites the tests place.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../gis/rays_test_data.h"
#include "platform/gis/gis.h"
#include "platform/numbers.h"
#include "platform/textfile.h"
#include "test_support.h"
#include "wave/wave_main.h"

namespace quor::wave::testing {

namespace pg = platform::gis;
using gis::testdata::kX0;
using gis::testdata::kY0;
using gis::testdata::Ring;

// Lines of a wind file with equal speeds and percentages per sector.
inline std::vector<std::string> windFileLines(const std::vector<double>& speeds, const std::vector<double>& percents) {
    std::vector<std::string> l = {"Winddata File Quor Project", "", "Created on: 3/14/2024 2:05:07 PM",
                                  "test station", "1/1/2010", "12/31/2010 11:00:00 PM", "0m/s",
                                  std::to_string(speeds.size()), ""};
    for (double v : speeds) l.push_back(platform::formatNumber(v));
    for (double v : percents) l.push_back(platform::formatNumber(v));
    return l;
}

inline bool inRect(double x, double y, double x0, double y0, double x1, double y1) {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1;
}

// The lake's default bathymetry (relative coordinates), in metres.
inline double lakeDepth(double x, double y) {
    if (!inRect(x, y, 0, 0, 20000, 20000)) return 3;
    if (inRect(x, y, 12000, 9000, 13000, 11000)) return 5;
    if (std::abs(x - 9000) + std::abs(y - 13000) < 1000) return 5;
    if (inRect(x, y, 4000, 2000, 4500, 2500)) return std::nan("");  // NoData patch
    return -10;
}

// Records like RecordingProgress and runs a hook at every yield (where a
// user's Cancel click would arrive).
class HookProgress final : public platform::Progress {
public:
    void show() override { rec.show(); }
    void hide() override { rec.hide(); }
    void setMaximum(int bar, int maximum) override { rec.setMaximum(bar, maximum); }
    void setValue(int bar, int value) override { rec.setValue(bar, value); }
    int value(int bar) const override { return rec.value(bar); }
    void setLabel(int label, const std::string& text) override { rec.setLabel(label, text); }
    std::string label(int label) const override { return rec.label(label); }
    void yield() override {
        rec.yield();
        if (onYield) onYield(rec.yields);
    }
    test::RecordingProgress rec;
    std::function<void(int yields)> onYield;
};

class RunProject {
public:
    using Proj = gis::testdata::Project<test::RecordingMessages, HookProgress>;

    explicit RunProject(const std::function<double(double, double)>& depth = lakeDepth, double unit = 1,
                        const std::string& units = "Meter") {
        std::filesystem::create_directories(tmp.path() + "/shore");
        gis::testdata::writeShoreline(tmp.path() + "/shore", "lake",
                                      {{Ring{{0, 0}, {20000, 0}, {20000, 20000}, {0, 20000}},
                                        Ring{{12000, 9000}, {13000, 9000}, {13000, 11000}, {12000, 11000}},
                                        Ring{{10000, 13000}, {9000, 12000}, {8000, 13000}, {9000, 14000}}}});
        gis::testdata::writeBathymetry(tmp.path() + "/bathy.tif", -1000, -1000, 100, 220, 220,
                                       [&](double x, double y) { return depth(x, y) * unit; });
        std::filesystem::create_directories(tmp.path() + "/proj");
        p = std::make_unique<Proj>(tmp.path() + "/proj", tmp.path() + "/shore", "lake.shp");
        auto& s = p->state;
        s.Fetch_first = 1000;
        s.Depth_intg_first = 100;
        s.Depth_intg_second = 100;
        s.Eps = 1000;
        s.A_goda = 0.17;
        s.goda_slope = 1.909;
        s.sea_temp = 20;
        s.sea_salinity = 34.84f;
        s.velocity_method = 1;
        p->fm.refreshmap = 1;  // no map drawing in tests
        p->mf.bathycov = tmp.path() + "/bathy.tif";
        p->mf.bathyname = "bathy.tif";
        p->mf.bathyunits = units;
        setWind(std::vector<double>(16, 10), std::vector<double>(16, 6.25));
        ctx = std::make_unique<WaveRunContext>(WaveRunContext{p->ctx});
        ctx->shpdir = tmp.path() + "/proj";
        ctx->shpname1 = "Pointdata1";
        ctx->pointData = tmp.path() + "/proj/bay1.gpkg (layer Pointdata1)";
        ctx->clock = [] { return std::string("12/7/2026 10:00 AM"); };
    }

    void setWind(const std::vector<double>& speeds, const std::vector<double>& percents) {
        p->mf.windpath = tmp.path() + "/wind.Wind_RWE";
        platform::writeTextLines(p->mf.windpath, windFileLines(speeds, percents));
    }

    // The point class with sites at these relative positions (a NaN x gives a site without a shape).
    std::shared_ptr<pg::FeatureClass> sites(const std::vector<pg::Point>& rel) {
        auto ws = p->mf.ptworkspace;
        if (ws->hasFeatureClass("Pointdata1")) ws->deleteFeatureClass("Pointdata1");
        return fill(*ws, "Pointdata1", rel);
    }

    // The same sites in the shapefile sites/sites.shp, written and closed
    // as a user's shapefile is, then opened as the run's dataset.
    std::shared_ptr<pg::FeatureClass> shapefileSites(const std::vector<pg::Point>& rel) {
        std::filesystem::create_directories(tmp.path() + "/sites");
        ctx->shpdir = tmp.path() + "/sites";
        ctx->shpname1 = "sites.shp";
        ctx->pointData = tmp.path() + "/sites/sites.shp";
        fill(*pg::Workspace::open(ctx->shpdir), "sites", rel);
        points.reset();
        points = pg::Workspace::open(ctx->shpdir)->openFeatureClass("sites");
        return points;
    }

    RunOutcome run(int16_t option = 0) {
        wave_main_cls driver(*ctx);
        return driver.WaveMain(points, 1, option);
    }

    double value(std::int64_t oid, const std::string& field) const {
        return pg::toDouble(points->feature(oid).value(field));
    }
    std::string text(std::int64_t oid, const std::string& field) const {
        return pg::toText(points->feature(oid).value(field));
    }

    test::TempDir tmp;
    std::unique_ptr<Proj> p;
    std::unique_ptr<WaveRunContext> ctx;
    std::shared_ptr<pg::FeatureClass> points;

private:
    std::shared_ptr<pg::FeatureClass> fill(pg::Workspace& ws, const std::string& name,
                                           const std::vector<pg::Point>& rel) {
        points = ws.createFeatureClass(name, pg::GeometryType::Point,
                                       {{"X", pg::FieldType::Double}, {"Y", pg::FieldType::Double}},
                                       pg::SpatialReference::fromEpsg(32755));
        for (const auto& r : rel) {
            pg::Feature f = points->createFeature();
            if (!std::isnan(r.x)) f.setShape(pg::Geometry::point(kX0 + r.x, kY0 + r.y));
            points->store(f);
        }
        return points;
    }
};

}  // namespace quor::wave::testing
