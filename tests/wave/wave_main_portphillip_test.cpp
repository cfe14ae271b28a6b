// Whole RWE runs on the Port Phillip data set: both algorithms, 16 and 56
// rays, metre and centimetre bathymetry. Skipped when the data set is absent.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "platform/gis/gis.h"
#include "test_support.h"
#include "wave/rwe_results.h"
#include "wave/wave_main.h"

namespace quor::wave {
namespace {

namespace pg = platform::gis;

struct PortPhillipRun {
    model::ModelState state;
    model::SettingsHolder fm;
    model::MainFormState mf;
    model::WindSummary wind;
    pg::Map map;
    test::RecordingMessages messages;
    test::RecordingProgress progress;
    gis::RayContext rays{state, fm, mf, wind, map, messages, progress};
    std::shared_ptr<pg::FeatureClass> points;
    std::set<std::int64_t> chosen;

    PortPhillipRun(const std::string& data, const std::string& folder, const std::string& raster,
                   const std::string& units) {
        mf.projname = "bay1";
        mf.ptworkspace = pg::Workspace::createGeoPackage(folder + "/bay1.gpkg");
        mf.shorecov = data;
        mf.shorename = "water_portphillip.shp";
        mf.bathycov = data + "/" + raster;
        mf.bathyname = raster;
        mf.bathyunits = units;
        mf.windpath = data + "/sample_56.Wind_RWE";
        mf.Fetch = 10000;
        mf.dist_bathy = 100;
        state.Fetch_first = 1000;
        state.Depth_intg_first = 100;
        state.Depth_intg_second = 100;
        state.Eps = 1000;
        state.A_goda = 0.17;
        state.goda_slope = 1.909;
        state.orbvel_on = 1;
        state.velocity_method = 1;
        state.sea_temp = 20;
        state.sea_salinity = 34.84f;
        fm.refreshmap = 1;
        // Every 40th site and the special ones: on land, near the shore,
        // outside the raster, on NoData in water.
        auto src = pg::Workspace::open(data + "/sites_portphillip.shp")->openFeatureClass("sites_portphillip");
        points = mf.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                    {{"SITE_ID", pg::FieldType::Integer}}, src->spatialReference());
        const std::set<std::int64_t> special = {110, 111, 510, 780, 786, 865, 917};
        auto cur = src->search();
        while (auto f = cur.next()) {
            const std::int64_t id = pg::toInt(f->value("SITE_ID"));
            if (id % 40 != 1 && !special.count(id)) continue;
            pg::Feature g = points->createFeature();
            g.setShape(f->shape());
            g.setValue("SITE_ID", pg::FieldValue{id});
            points->store(g);
            chosen.insert(id);
        }
    }

    RunOutcome run(int16_t fast, int16_t option) {
        state.wv_indexcheck = fast;
        WaveRunContext ctx{rays};
        ctx.shpdir = "/nonexistent-folder";  // the metadata file is not wanted here
        ctx.shpname1 = "Pointdata1";
        return wave_main_cls(ctx).WaveMain(points, 1, option);
    }
};

void expectEverySiteFilled(const PortPhillipRun& r, const char* what) {
    auto cur = r.points->search();
    int open = 0;
    while (auto f = cur.next()) {
        for (const auto& name : kRweResultFields) {
            if (name == "Sed_Motion") continue;
            const auto v = f->value(name);
            ASSERT_FALSE(pg::isNull(v)) << what << " site " << pg::toInt(f->value("SITE_ID")) << " " << name;
            EXPECT_TRUE(std::isfinite(pg::toDouble(v))) << what << " " << name;
        }
        if (pg::toDouble(f->value("RWE")) > 0) ++open;
    }
    // Nearly all sites lie in open water and get an exposure.
    EXPECT_GT(open, static_cast<int>(r.chosen.size()) - 8) << what;
}

TEST(WaveMainPortPhillip, BothAlgorithmsFillEverySiteAndUnitsGiveTheSameWaves) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    test::TempDir a, b;
    PortPhillipRun m(data, a.path(), "bathy_portphillip_m.tif", "Meter");
    PortPhillipRun cm(data, b.path(), "bathy_portphillip_cm.tif", "Centimeter");
    for (int16_t fast : {0, 1}) {
        for (int16_t option : {0, 4}) {
            cm.messages.entries.clear();
            m.messages.entries.clear();
            const RunOutcome om = m.run(fast, option);
            const RunOutcome oc = cm.run(fast, option);
            const std::string what = std::string(fast ? "fast " : "clip ") + (option ? "56" : "16");
            ASSERT_EQ(om.end, RunEnd::Completed) << what;
            ASSERT_EQ(oc.end, RunEnd::Completed) << what;
            EXPECT_EQ(om.writeErrors, 0);
            expectEverySiteFilled(m, what.c_str());
            auto cm_ = cm.points->search();
            auto m_ = m.points->search();
            while (auto fm = m_.next()) {
                auto fc = cm_.next();
                ASSERT_TRUE(fc);
                for (const char* f : {"RWE", "MaxWvH", "AvgWvH", "MaxWvDr", "AvgWvPr", "MaxWvPr", "HorVel"})
                    EXPECT_EQ(pg::toDouble(fm->value(f)), pg::toDouble(fc->value(f)))
                        << what << " site " << pg::toInt(fm->value("SITE_ID")) << " " << f;
            }
        }
    }
    // Site 110 is on land (NoData), 865 outside the raster and the water.
    auto site = [&](std::int64_t id) {
        auto cur = m.points->search();
        while (auto f = cur.next())
            if (pg::toInt(f->value("SITE_ID")) == id) return *f;
        throw std::runtime_error("no site");
    };
    EXPECT_EQ(pg::toDouble(site(110).value("RWE")), -9999);
    EXPECT_EQ(pg::toDouble(site(110).value("Depth")), -9999);
    EXPECT_EQ(m.mf.ptworkspace->featureClassNames(), std::vector<std::string>{"Pointdata1"});
}

}  // namespace
}  // namespace quor::wave
