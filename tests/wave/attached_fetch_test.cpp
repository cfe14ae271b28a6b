// An RWE run that draws nothing takes the attached pieces straight from
// the shoreline; its results must be those of the drawn run, field for
// field, on Port Phillip.
#include <gtest/gtest.h>

#include "portphillip_run.h"
#include "wave/rwe_results.h"

namespace quor::wave {
namespace {

// Every 25th site and every site that is not in open water.
bool everyTwentyFifthAndTheSpecialOnes(std::int64_t id) {
    return id % 25 == 1 || id >= 1000 || id == 110 || id == 111 || id == 510 || id == 780 || id == 786 ||
           id == 852 || id == 865;
}

TEST(AttachedFetch, BackgroundRunGivesTheDrawnRunsResults) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    test::TempDir a, b;
    PortPhillipRun direct(data, a.path(), "bathy_portphillip_m.tif", "Meter", everyTwentyFifthAndTheSpecialOnes);
    PortPhillipRun drawn(data, b.path(), "bathy_portphillip_m.tif", "Meter", everyTwentyFifthAndTheSpecialOnes);
    direct.fm.refreshmap = 1;
    drawn.fm.refreshmap = 0;
    for (int16_t option : {0, 4}) {
        ASSERT_EQ(direct.run(0, option).end, RunEnd::Completed);
        ASSERT_EQ(drawn.run(0, option).end, RunEnd::Completed);
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
