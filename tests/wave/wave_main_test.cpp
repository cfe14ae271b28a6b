// Whole RWE runs on a small synthetic lake: every status code from a real
// cause, flags that must not leak between sites, refusals at the start,
// cancel, and the clean-up that every end runs.
#include "run_fixture.h"

#include "model/model_state.h"
#include "wave/rwe_results.h"

namespace quor::wave::testing {
namespace {

TEST(WaveMainRun, OpenWaterSitesGetWavesAndTheProjectFileStaysClean) {
    RunProject rp;
    rp.sites({{10000, 10000}, {3000, 16000}});
    const RunOutcome out = rp.run(0);
    ASSERT_EQ(out.end, RunEnd::Completed) << (rp.p->messages.entries.empty() ? "" : rp.p->messages.entries[0].text);
    EXPECT_EQ(out.sitesDone, 2);
    for (std::int64_t oid : {1, 2}) {
        EXPECT_GT(rp.value(oid, "RWE"), 0) << oid;
        EXPECT_GT(rp.value(oid, "MaxWvH"), 0) << oid;
        EXPECT_DOUBLE_EQ(rp.value(oid, "Depth"), -10) << oid;
        EXPECT_EQ(rp.value(oid, "HorVel"), -999);
        EXPECT_EQ(rp.text(oid, "Sed_Motion"), "");
    }
    EXPECT_TRUE(rp.p->messages.entries.empty());
    for (const auto& n : rp.p->mf.ptworkspace->featureClassNames()) EXPECT_EQ(n, "Pointdata1");
}

}  // namespace
}  // namespace quor::wave::testing
