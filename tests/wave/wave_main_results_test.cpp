// What an RWE run leaves in the point dataset when it does not simply run
// through: a re-run that is cancelled, sites that now fail, commits that
// fail on a full disk, values that are no numbers; and what it writes
// and reads only once (the metadata file, the raster's statistics).
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/model_state.h"
#include "run_fixture.h"
#include "wave/rwe_results.h"

namespace quor::wave::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kStatusFields = {"RWE",     "MaxWvH",   "AvgWvH",    "MaxWvDr",   "AvgWvPr",
                                                "MaxWvPr", "HorVel",   "ShearVel",  "ShearStrs", "CShearStrs"};

std::vector<std::string> texts(const RunProject& rp) { return rp.p->messages.texts(); }

bool anyContains(const std::vector<std::string>& texts, const std::string& part) {
    for (const auto& t : texts)
        if (t.find(part) != std::string::npos) return true;
    return false;
}

int sitesWithRwe(const RunProject& rp) {
    int n = 0;
    auto cur = rp.points->search();
    while (auto f = cur.next()) n += pg::isNull(f->value("RWE")) ? 0 : 1;
    return n;
}

TEST(WaveMainResults, RepeatedRunsReadTheRasterOnceUntilItsFileChanges) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    auto& s = rp.p->state;
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    const std::weak_ptr<pg::Raster> first = s.bathy_raster;
    EXPECT_EQ(rp.p->mf.depthno, 0);  // land and water
    rp.p->messages.answers = {true};
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    EXPECT_EQ(s.bathy_raster, first.lock());

    // The file replaced by a survey of water only: a fresh raster, its own
    // statistics, and the old one let go.
    gis::testdata::writeBathymetry(rp.p->mf.bathycov, -1000, -1000, 100, 220, 220,
                                   [](double, double) { return -10.0; });
    rp.p->messages.answers = {true};
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(rp.p->mf.depthno, 1);
}

}  // namespace
}  // namespace quor::wave::testing
