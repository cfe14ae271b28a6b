// An RWE run that draws nothing takes the attached pieces straight from
// the shoreline; its results must be those of the drawn run, field for
// field, on Port Phillip.
#include <gtest/gtest.h>

#include "platform/gis/gis.h"
#include "test_support.h"
#include "wave/rwe_results.h"
#include "wave/wave_main.h"

namespace quor::wave {
namespace {

namespace pg = platform::gis;

struct BayRun {
    model::ModelState state;
    model::SettingsHolder fm;
    model::MainFormState mf;
    model::WindSummary wind;
    pg::Map map;
    test::RecordingMessages messages;
    test::RecordingProgress progress;
    gis::RayContext rays{state, fm, mf, wind, map, messages, progress};
    std::shared_ptr<pg::FeatureClass> points;

    BayRun(const std::string& data, const std::string& folder, bool drawn) {
        mf.projname = "bay1";
        mf.ptworkspace = pg::Workspace::createGeoPackage(folder + "/bay1.gpkg");
        mf.shorecov = data;
        mf.shorename = "water_portphillip.shp";
        mf.bathycov = data + "/bathy_portphillip_m.tif";
        mf.bathyname = "bathy_portphillip_m.tif";
        mf.bathyunits = "Meter";
        mf.windpath = data + "/sample_56.Wind_RWE";
        mf.Fetch = 10000;
        mf.dist_bathy = 100;
        state.Fetch_first = 1000;
        state.Depth_intg_first = 100;
        state.Depth_intg_second = 100;
        state.Eps = 1000;
        state.A_goda = 0.17;
        state.goda_slope = 1.909;
        fm.refreshmap = drawn ? 0 : 1;
        // Every 25th site and every site that is not in open water.
        auto src = pg::Workspace::open(data + "/sites_portphillip.shp")->openFeatureClass("sites_portphillip");
        points = mf.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                    {{"SITE_ID", pg::FieldType::Integer}}, src->spatialReference());
        auto cur = src->search();
        while (auto f = cur.next()) {
            const std::int64_t id = pg::toInt(f->value("SITE_ID"));
            if (id % 25 != 1 && id < 1000 && id != 110 && id != 111 && id != 510 && id != 780 && id != 786 &&
                id != 852 && id != 865)
                continue;
            pg::Feature g = points->createFeature();
            g.setShape(f->shape());
            g.setValue("SITE_ID", pg::FieldValue{id});
            points->store(g);
        }
    }

    RunOutcome run(int16_t option) {
        state.wv_indexcheck = 0;
        WaveRunContext ctx{rays};
        ctx.shpdir = "/nonexistent-folder";  // no metadata file wanted
        ctx.shpname1 = "Pointdata1";
        return wave_main_cls(ctx).WaveMain(points, 1, option);
    }
};

TEST(AttachedFetch, BackgroundRunGivesTheDrawnRunsResults) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    test::TempDir a, b;
    BayRun direct(data, a.path(), false), drawn(data, b.path(), true);
    for (int16_t option : {0, 4}) {
        ASSERT_EQ(direct.run(option).end, RunEnd::Completed);
        ASSERT_EQ(drawn.run(option).end, RunEnd::Completed);
        EXPECT_EQ(direct.messages.texts(), drawn.messages.texts());
        auto d = direct.points->search();
        auto w = drawn.points->search();
        int sites = 0;
        while (auto fd = d.next()) {
            auto fw = w.next();
            ASSERT_TRUE(fw);
            for (const auto& name : kRweResultFields) {
                const auto vd = fd->value(name), vw = fw->value(name);
                const std::string where = std::to_string(option ? 56 : 16) + " rays, site " +
                                          std::to_string(pg::toInt(fd->value("SITE_ID"))) + " " + name;
                EXPECT_TRUE(vd == vw) << where;
            }
            ++sites;
        }
        EXPECT_GT(sites, 45);
    }
    // The drawn run cleared its map; the direct one never used it.
    EXPECT_EQ(drawn.map.layerCount(), 0);
    EXPECT_EQ(direct.map.layerCount(), 0);
}

}  // namespace
}  // namespace quor::wave
