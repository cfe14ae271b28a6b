// Runs whose sites are computed on four threads against the same runs on
// one: the results, every file, every message, the progress and the map
// the same; Cancel stopping at the same site.
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <random>
#include <set>

#include "platform/gis/gis.h"
#include "portphillip_run.h"
#include "run_fixture.h"
#include "test_support.h"

namespace quor::wave {
namespace {

// Every field of every site, as text.
std::string tableText(const pg::FeatureClass& fc) {
    std::string out;
    auto cur = fc.search();
    while (auto f = cur.next()) {
        out += std::to_string(f->oid());
        for (int i = 2; i < f->fields().count(); ++i) out += " " + pg::toText(f->value(i));
        out += "\n";
    }
    return out;
}

// What a run leaves behind and what it showed.
struct RunTrace {
    RunOutcome out;
    std::string table;
    std::map<std::string, std::string> files;  // the project's files but the geodatabase
    std::vector<std::string> said;
    std::vector<int> bar;
    int yields = 0;
    int mapChanges = 0;
};

void expectSame(const RunTrace& one, const RunTrace& four) {
    EXPECT_EQ(one.out.threads, 1);
    EXPECT_EQ(four.out.threads, 4);
    EXPECT_EQ(four.out.end, one.out.end);
    EXPECT_EQ(four.out.sitesDone, one.out.sitesDone);
    EXPECT_EQ(four.out.storedSites, one.out.storedSites);
    EXPECT_EQ(four.table, one.table);
    EXPECT_EQ(four.said, one.said);
    EXPECT_EQ(four.bar, one.bar);
    EXPECT_EQ(four.yields, one.yields);
    EXPECT_EQ(four.mapChanges, one.mapChanges);
    ASSERT_EQ(four.files.size(), one.files.size());
    for (const auto& [name, bytes] : one.files) EXPECT_TRUE(four.files.at(name) == bytes) << name;
}

// A few dozen sites of the bay, the special ones among them.
bool someBaySites(std::int64_t id) {
    static const std::set<std::int64_t> special = {110, 111, 510, 780, 786, 865, 917};
    return id % 40 == 3 || special.count(id) > 0;
}

// An RWE run over them with debug files on, as the window starts it.
RunTrace bayRun(const std::string& data, int threads, int16_t fast, bool drawn) {
    test::RunThreads use(threads);
    test::TempDir tmp;
    PortPhillipRun r(data, tmp.path(), "bathy_portphillip_m.tif", "Meter", someBaySites);
    std::filesystem::create_directories(tmp.path() + "/app/Project/output_data");
    r.state.app_folder = tmp.path() + "/app";
    r.mf.dir_path = tmp.path() + "/app/Project";
    r.state.debug_mode = 1;
    r.state.wv_indexcheck = fast;
    r.fm.refreshmap = drawn ? 0 : 1;
    RunTrace t;
    r.map.addListener([&t] { ++t.mapChanges; });
    WaveRunContext ctx{r.rays};
    ctx.shpdir = tmp.path();
    ctx.shpname1 = "Pointdata1";
    ctx.clock = [] { return std::string("12/7/2026 10:00 AM"); };
    t.out = wave_main_cls(ctx).WaveMain(r.points, 1, 4);
    t.table = tableText(*r.points);
    for (auto& [name, bytes] : test::folderBytes(tmp.path()))
        if (name.find(".gpkg") == std::string::npos) t.files[name] = bytes;
    t.said = r.messages.texts();
    t.bar = r.progress.bar1History;
    t.yields = r.progress.yields;
    return t;
}

TEST(ParallelRun, RweOnFourThreadsLeavesWhatOneThreadLeaves) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    for (const auto& [fast, drawn] : std::vector<std::pair<int16_t, bool>>{{0, true}, {0, false}, {1, true}}) {
        SCOPED_TRACE(std::string(fast ? "fast" : "clip") + (drawn ? ", drawn" : ", not drawn"));
        const RunTrace one = bayRun(data, 1, fast, drawn);
        ASSERT_EQ(one.out.end, RunEnd::Completed) << ::testing::PrintToString(one.said);
        ASSERT_GT(one.files.size(), 3u);  // the metadata and the debug files
        expectSame(one, bayRun(data, 4, fast, drawn));
    }
}

// Cancel clicked while a site picked at random is computed: the sites up
// to it keep their results, none after it has any, and the run says so
// as one thread does.
TEST(ParallelRun, CancelStoresExactlyTheSitesBeforeIt) {
    std::vector<pg::Point> grid;
    for (double x : {2000, 5000, 8000, 15000, 18000})
        for (double y : {2000, 6000, 15000, 17000, 19000}) grid.push_back({x, y});
    const int n = static_cast<int>(grid.size());
    const unsigned seed = std::random_device{}();
    std::mt19937 pick(seed);
    const int at = std::uniform_int_distribution<int>(1, n - 1)(pick);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", cancelled at site " + std::to_string(at));
    auto cancelledRun = [&](int threads) {
        test::RunThreads use(threads);
        testing::RunProject rp;
        rp.p->fm.refreshmap = 0;  // the run yields, so Cancel can arrive
        rp.sites(grid);
        const std::string computing = "Processing Point " + std::to_string(at) + " of " + std::to_string(n);
        rp.p->progress.onYield = [&](int) {
            if (rp.p->progress.rec.label1 == computing) rp.p->state.cancel_flag = true;
        };
        RunTrace t;
        t.out = rp.run(0);
        t.table = tableText(*rp.points);
        t.said = rp.p->messages.texts();
        for (std::int64_t oid = 1; oid <= n; ++oid)
            EXPECT_EQ(pg::isNull(rp.points->feature(oid).value("RWE")), oid > at) << "site " << oid;
        return t;
    };
    const RunTrace one = cancelledRun(1);
    const RunTrace four = cancelledRun(4);
    EXPECT_EQ(four.out.end, RunEnd::Cancelled);
    EXPECT_EQ(four.out.storedSites, at);
    EXPECT_EQ(four.out.threads, 4);
    EXPECT_EQ(four.table, one.table);
    EXPECT_EQ(four.said, one.said);
}

// The bar counts the sites stored, in order, of all of them, as the title
// does, however many threads compute them; a site holding a status code
// is stored as any other.
TEST(ParallelRun, TheBarCountsTheSitesStored) {
    const std::vector<pg::Point> sites = {{2000, 2000},  {5000, 6000},  {12500, 10000}, {8000, 15000},
                                          {15000, 17000}, {18000, 2000}, {10000, 10000}};
    std::vector<int> counted(sites.size() + 1);
    std::iota(counted.begin(), counted.end(), 0);
    for (int threads : {1, 4}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        test::RunThreads use(threads);
        testing::RunProject rp;
        rp.sites(sites);
        ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
        EXPECT_EQ(rp.p->progress.rec.max1, static_cast<int>(sites.size()));
        EXPECT_EQ(rp.p->progress.rec.bar1History, counted);
    }
}

}  // namespace
}  // namespace quor::wave
