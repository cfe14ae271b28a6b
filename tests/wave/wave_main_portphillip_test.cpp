// Whole RWE runs on the Port Phillip data set: both algorithms, 16 and 56
// rays, metre and centimetre bathymetry. Skipped when the data set is absent.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "platform/gis/gis.h"
#include "test_support.h"
#include "portphillip_run.h"
#include "wave/rwe_results.h"

namespace quor::wave {
namespace {

// Every 40th site and the special ones: on land, near the shore, outside
// the raster, on NoData in water.
bool everyFortiethAndTheSpecialOnes(std::int64_t id) {
    static const std::set<std::int64_t> special = {110, 111, 510, 780, 786, 865, 917};
    return id % 40 == 1 || special.count(id) > 0;
}

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
    PortPhillipRun m(data, a.path(), "bathy_portphillip_m.tif", "Meter", everyFortiethAndTheSpecialOnes);
    PortPhillipRun cm(data, b.path(), "bathy_portphillip_cm.tif", "Centimeter", everyFortiethAndTheSpecialOnes);
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
