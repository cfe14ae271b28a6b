// The per-site loop of wave growth: which directions take part, periods,
// energies, maxima and means, failures, progress and debug files.
#include "stages_fixture.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "wave/checked_math.h"

using namespace quor;
using namespace quor::wave;
using namespace quor::wave::testing;

namespace {

// Replaces the shallow-water stages with outcomes chosen per direction.
class ScriptedWave : public wave_first_cls {
public:
    struct Outcome {
        double H = 1;
        double siteDepth = 5;
        double k = 0.2;
        bool failStage = false;
        bool throwMath = false;
    };
    using wave_first_cls::wave_first_cls;
    std::map<int, Outcome> outcomes;
    std::vector<int> stageCalls;
    std::vector<double> deepLengths;

protected:
    double runShallowStages(int16_t, int16_t d, const RayItem&, double L0, float) override {
        stageCalls.push_back(d);
        deepLengths.push_back(L0);
        auto& st = ctx_.stage.state;
        const Outcome o = outcomes[d];
        if (o.throwMath) throw MathError(kOverflow);
        st.err_second = o.failStage ? 1 : 0;
        if (o.failStage) return 0;
        st.wvhtarray(d) = o.H;
        st.depth_second(0) = o.siteDepth;
        return o.k;
    }
};

struct WaveRig : StageRig {
    std::map<int, double> depthOf;  // mean ray depth per direction (50 when not given)
    std::vector<int> depthCalls;
    bool depthFails = false;
    WaveSiteContext site() {
        return WaveSiteContext{ctx(), settings, progress, [this](const RayItem& r, int16_t d, float) {
                                   depthCalls.push_back(d);
                                   st.err_ptraster = depthFails ? 1 : 0;
                                   if (!depthFails) st.deptharray(d) = depthOf.count(d) ? depthOf[d] : 50.0;
                               }};
    }
    std::vector<RayItem> fan(std::vector<int> dirs) {
        std::vector<RayItem> rays;
        for (int d : dirs) rays.push_back({d, eastRay(5000), nullptr});
        return rays;
    }
    std::vector<RayItem> fan(int n) {
        std::vector<int> dirs;
        for (int d = 0; d < n; ++d) dirs.push_back(d);
        return fan(dirs);
    }
};

}  // namespace

TEST(StagesWaveht, WindlessDirectionsTakeNoPart) {
    WaveRig rig;
    for (int d = 0; d < 16; ++d) rig.st.fetcharray(d) = 5000;
    rig.st.windarray(3) = 8;
    rig.st.windarray(7) = 12;
    rig.st.wvhtarray(0) = 9;  // untouched by a windless direction
    rig.st.wvpdarray(0) = 5;
    rig.st.energyarray(0) = 5;
    ScriptedWave w(rig.site());
    w.outcomes[3] = {0.5, 5, 0.2};
    w.outcomes[7] = {0.8, 5, 0.2};
    w.waveht(16, rig.fan(16), 0);
    EXPECT_EQ(rig.st.err_waveht, 0);
    EXPECT_EQ(w.stageCalls, (std::vector<int>{3, 7}));
    EXPECT_EQ(rig.depthCalls, (std::vector<int>{3, 7}));
    EXPECT_EQ(rig.st.wvhtarray(0), 9);
    EXPECT_EQ(rig.st.wvpdarray(0), 0);
    EXPECT_EQ(rig.st.energyarray(0), 0);
    EXPECT_EQ(rig.st.max_wvht, 0.8);
    EXPECT_EQ(rig.st.max_wvdir, 7);
    EXPECT_DOUBLE_EQ(rig.st.avg_wvht, (0.5 + 0.8) / 2);
    EXPECT_DOUBLE_EQ(rig.st.avg_wvpd, (rig.st.wvpdarray(3) + rig.st.wvpdarray(7)) / 2);
    // Progress from 50 to 100 over all 16 rays; one yield per direction with wind.
    EXPECT_EQ(rig.progress.bar1History.front(), 53);
    EXPECT_EQ(rig.progress.value1, 100);
    EXPECT_EQ(rig.progress.yields, 2);

    // A background run does not yield.
    WaveRig bg;
    bg.settings.refreshmap = 1;
    bg.st.windarray(1) = 8;
    bg.st.fetcharray(1) = 5000;
    ScriptedWave w2(bg.site());
    w2.waveht(16, bg.fan(16), 0);
    EXPECT_EQ(bg.progress.yields, 0);
}

TEST(StagesWaveht, MaximaAndMeans) {
    WaveRig rig;
    for (int d : {2, 5, 9}) rig.st.fetcharray(d) = 5000;
    rig.st.windarray(5) = 10;
    rig.st.windarray(2) = 10;
    rig.st.windarray(9) = 15;
    ScriptedWave w(rig.site());
    w.outcomes[5] = {1.5, 3, 0.5};
    w.outcomes[2] = {1.5, 5, 0.2};
    w.outcomes[9] = {0, 5, 0.2};  // no wave at the site, but the longest period
    w.waveht(16, rig.fan(std::vector<int>{5, 2, 9}), 0);
    EXPECT_EQ(rig.st.max_wvdir, 5);  // the tie goes to the first ray in object-id order
    EXPECT_EQ(rig.st.max_wvht, 1.5);
    EXPECT_EQ(rig.st.max_wvpd, rig.st.wvpdarray(9));
    EXPECT_GT(rig.st.wvpdarray(9), rig.st.wvpdarray(5));
    EXPECT_DOUBLE_EQ(rig.st.avg_wvht, 1.5);
    EXPECT_DOUBLE_EQ(rig.st.avg_wvpd, rig.st.wvpdarray(5));  // 9 is left out of the means
    EXPECT_EQ(rig.st.energyarray(9), 0);
    const double T = rig.st.wvpdarray(5);
    EXPECT_NEAR(rig.st.energyarray(5), 199.875 * 9.81 * 1.5 * 1.5 * T * T * std::tanh(3 * 0.5), 1e-9);
}

TEST(StagesWaveht, NoWindAnywhereKeepsDirectionAndPeriodMaxima) {
    WaveRig rig;
    rig.st.max_wvdir = 123;
    rig.st.max_wvpd = 45;
    rig.st.max_wvht = 7;
    rig.st.avg_wvht = 7;
    rig.st.avg_wvpd = 7;
    ScriptedWave w(rig.site());
    EXPECT_EQ(w.waveht(16, rig.fan(16), 0), 0);
    EXPECT_EQ(rig.st.max_wvht, 0);
    EXPECT_EQ(rig.st.avg_wvht, 0);
    EXPECT_EQ(rig.st.avg_wvpd, 0);
    EXPECT_EQ(rig.st.max_wvdir, 123);
    EXPECT_EQ(rig.st.max_wvpd, 45);
}

TEST(StagesWaveht, PeriodRuleSwitchesAtTwoDeepWavelengths) {
    const double U = 10, F = 10000;
    auto run = [&](double h) {
        WaveRig rig;
        rig.st.windarray(0) = U;
        rig.st.fetcharray(0) = F;
        rig.depthOf[0] = h;
        ScriptedWave w(rig.site());
        w.waveht(16, rig.fan(std::vector<int>{0}), 0);
        EXPECT_EQ(rig.st.err_waveht, 0);
        return std::make_pair(rig.st.wvpdarray(0), w.deepLengths.at(0));
    };
    const double L0 = run(50).second;
    EXPECT_NEAR(L0, deepLength(deepPeriod(F, U)), 1e-9);

    EXPECT_NEAR(run(2 * L0).first, deepPeriod(F, U), 1e-12);
    const double h = std::nextafter(2 * L0, 0.0);
    const double A = 0.077 * std::pow(9.81 * F / (U * U), 0.25);
    const double B = 0.833 * std::pow(9.81 * h / (U * U), 0.375);
    const double limited = 1.2 * std::tanh(B) * std::tanh(A / std::tanh(B)) * U * 2 * 3.1416 / 9.81;
    EXPECT_NEAR(run(h).first, limited, 1e-12);
    EXPECT_GT(std::fabs(limited - deepPeriod(F, U)), 0.01);
    // Deep enough for 0.5 L0 is not deep enough here.
    EXPECT_LT(run(L0).first, deepPeriod(F, U) - 0.01);
}

TEST(StagesWaveht, FailuresEndTheSiteAndKeepEarlierDirections) {
    // Direction 0 succeeds, direction 1 fails as `spoil` arranges.
    auto run = [](const std::function<void(WaveRig&, ScriptedWave&)>& spoil) {
        auto rig = std::make_unique<WaveRig>();
        for (int d : {0, 1}) {
            rig->st.windarray(d) = 10;
            rig->st.fetcharray(d) = 5000;
        }
        rig->st.max_wvht = 42;
        auto w = std::make_unique<ScriptedWave>(rig->site());
        w->outcomes[0] = {0.7, 5, 0.2};
        spoil(*rig, *w);
        w->waveht(16, rig->fan(3), 0);
        EXPECT_EQ(rig->st.err_waveht, 1);
        EXPECT_GT(rig->st.energyarray(0), 0);  // done before the failure
        EXPECT_EQ(rig->st.max_wvht, 42);       // summary not computed
        return std::make_pair(std::move(rig), std::move(w));
    };
    // Wind over a zero fetch: L0 = 0 fails the site before any stage runs.
    auto [r1, w1] = run([](WaveRig& r, ScriptedWave&) { r.st.fetcharray(1) = 0; });
    EXPECT_EQ(w1->stageCalls, std::vector<int>{0});
    // No usable depth, and a depth at the water line (no period can be formed).
    auto [r2, w2] = run([](WaveRig& r, ScriptedWave&) { r.depthOf[1] = 0; });
    EXPECT_EQ(w2->stageCalls, std::vector<int>{0});
    // A failed stage keeps its flag; an error escaping a stage does not raise it.
    auto [r3, w3] = run([](WaveRig&, ScriptedWave& w) { w.outcomes[1].failStage = true; });
    EXPECT_EQ(r3->st.err_second, 1);
    auto [r4, w4] = run([](WaveRig&, ScriptedWave& w) { w.outcomes[1].throwMath = true; });
    EXPECT_EQ(r4->st.err_second, 0);

    WaveRig rig;
    rig.depthFails = true;
    rig.st.windarray(0) = 10;
    rig.st.fetcharray(0) = 5000;
    rig.st.err_waveht = 1;
    ScriptedWave w(rig.site());
    w.waveht(16, rig.fan(2), 0);
    EXPECT_EQ(rig.st.err_waveht, 1);
    EXPECT_TRUE(w.stageCalls.empty());
    // A "Dir" beyond the arrays fails; the flag of an earlier site is cleared.
    WaveRig calm;
    calm.st.err_waveht = 1;
    ScriptedWave wc(calm.site());
    wc.waveht(16, calm.fan(2), 0);
    EXPECT_EQ(calm.st.err_waveht, 0);
    wc.waveht(16, calm.fan(std::vector<int>{61}), 0);
    EXPECT_EQ(calm.st.err_waveht, 1);
}

TEST(StagesWaveht, DebugFilesHoldAllSixtyOneRowsAndNeverChangeResults) {
    auto run = [](const std::string& folder, int debugMode) {
        WaveRig rig;
        rig.st.debug_mode = static_cast<int16_t>(debugMode);
        rig.st.app_folder = folder;
        rig.field = [](double) { return DepthSample::of(-30); };
        for (int d = 0; d < 16; ++d) {
            rig.st.windarray(d) = 5 + d;
            rig.st.fetcharray(d) = 3000 + 100 * d;
        }
        rig.depthOf[0] = 30;
        wave_first_cls w(rig.site());
        std::vector<RayItem> rays;
        for (int d = 0; d < 16; ++d) rays.push_back({d, eastRay(3000 + 100 * d), nullptr});
        w.waveht(16, rays, 0);
        EXPECT_EQ(rig.st.err_waveht, 0);
        EXPECT_TRUE(rig.messages.entries.empty());
        return std::vector<double>(rig.st.energyarray.begin(), rig.st.energyarray.end());
    };
    test::TempDir tmp;
    const auto plain = run(tmp.path() + "/none", 0);
    const auto withFiles = run(tmp.path(), 1);
    EXPECT_EQ(plain, withFiles);

    const std::string out = tmp.path() + "/Project/output_data/";
    const struct {
        const char* file;
        const char* title;
    } files[] = {{"WvHt.txt", "Quor Depth File"},
                 {"Wvpd.txt", "Quor Depth File"},
                 {"fetcharray.txt", "Quor Fetch File"},
                 {"windarray.txt", "Quor Wind File"}};
    for (const auto& f : files) {
        const auto rows = crlfLines(slurp(out + f.file));
        ASSERT_EQ(rows.size(), 63u) << f.file;
        EXPECT_EQ(rows[0], f.title);
        EXPECT_EQ(rows[1], "");
        EXPECT_EQ(rows[2].substr(0, 5), " 0   ");
        EXPECT_EQ(rows[62], " 60   0");
    }
    EXPECT_EQ(crlfLines(slurp(out + "windarray.txt"))[17], " 15   20");
    EXPECT_EQ(crlfLines(slurp(out + "fetcharray.txt"))[3], " 1   3100");
    // Per-direction files of both stages, and the wind file of the coarse stage.
    EXPECT_TRUE(std::filesystem::exists(out + "Wave_HT_first/waveHt_1km15.txt"));
    EXPECT_TRUE(std::filesystem::exists(out + "Wave_depth_first/depth_first15.txt"));
    EXPECT_TRUE(std::filesystem::exists(out + "Wave_HT_second/waveHt_second15.txt"));
    const auto depth = crlfLines(slurp(out + "Wave_depth_second/depth_second15.txt"));
    ASSERT_EQ(depth.size(), 2u + 101u);  // rows 100 .. 0
    EXPECT_EQ(depth[2], " 100   30");
    EXPECT_EQ(depth.back(), " 0   30");
    const auto wind = crlfLines(slurp(out + "wind.txt"));
    ASSERT_EQ(wind.size(), 63u);
    EXPECT_EQ(wind[0], "Quor Depth File");
    EXPECT_EQ(wind[2], "0   5");

    // A read-only data folder: no files, the same results.
    test::TempDir ro;
    ASSERT_EQ(::chmod(ro.path().c_str(), 0555), 0);
    const auto readOnly = run(ro.path(), 1);
    ::chmod(ro.path().c_str(), 0755);
    EXPECT_EQ(readOnly, plain);
    EXPECT_FALSE(std::filesystem::exists(ro.path() + "/Project"));
}
