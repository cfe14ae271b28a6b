// The march of the two shallow-water stages: starting heights, growth,
// breaking, the deep-water steepness cap, skipped positions and the
// hand-over between the stages.
#include "stages_fixture.h"

#include "platform/numbers.h"
#include "wave/checked_math.h"

using namespace quor;
using namespace quor::wave;
using namespace quor::wave::testing;

namespace {

// Feeds the fine stage a profile given by the test.
class FixedThird : public wave_third_cls {
public:
    FixedThird(const StageContext& c, std::vector<double> profile) : wave_third_cls(c), profile_(std::move(profile)) {}
    bool useFixture = false;
    int16_t ptraster_third(const RaySegment& f, float d, int16_t dir, float) override {
        if (useFixture) return ptraster_third_test(f, d, dir);
        for (size_t k = 0; k < profile_.size(); ++k) ctx_.state.depth_second(static_cast<int>(k)) = profile_[k];
        return static_cast<int16_t>(profile_.size() - 1);
    }

private:
    std::vector<double> profile_;
};

// Records whether the coarse stage read a profile and what it handed over.
class FixtureSecond : public wave_second_cls {
public:
    using wave_second_cls::wave_second_cls;
    int profileCalls = 0;
    double handedHeight = -1;
    int16_t ptraster_second(const RaySegment& f, float d, int16_t dir, float) override {
        ++profileCalls;
        return ptraster_second_test(f, d, dir);
    }

protected:
    double runThirdStage(int16_t, int16_t dir, const RaySegment&, double, double h, float) override {
        handedHeight = h;
        ctx_.state.wvhtarray(dir) = h;
        return 0.5;
    }
};

}  // namespace

TEST(StagesMarch, FetchNotBeyondFetchFirstSkipsTheCoarseStage) {
    StageRig rig;
    rig.st.windarray(0) = 10;
    rig.st.fetcharray(0) = 1000;  // equal: no coarse stage
    rig.st.wvht_first(0) = 0;
    FixtureSecond s(rig.ctx());
    s.wave_second(16, 0, eastRay(1000), 15, 0, 0);
    EXPECT_EQ(s.profileCalls, 0);
    EXPECT_EQ(s.handedHeight, 0);

    // The fine stage then starts from its own one-cell-step height.
    StageRig fine;
    fine.field = [](double) { return DepthSample::of(-100); };
    fine.st.windarray(0) = 10;
    fine.st.fetcharray(0) = 1000;
    wave_second_cls real(fine.ctx());
    const double L0 = deepLength(deepPeriod(1000, 10));
    real.wave_second(16, 0, eastRay(1000), L0, 0, 0);
    EXPECT_EQ(fine.st.err_second, 0);
    // 101 vertices, one-step start, then 100 deep positions of 9.9 m each.
    EXPECT_NEAR(fine.st.wvhtarray(0), smbHeight(9.9 * 101, 10), 1e-4);
}

TEST(StagesMarch, ProfileWithoutWaterKeepsTheOneStepHeight) {
    StageRig rig;
    rig.field = [](double) { return DepthSample::of(5); };  // all land
    rig.st.windarray(0) = 10;
    rig.st.fetcharray(0) = 5000;
    wave_second_cls s(rig.ctx());
    s.wave_second(16, 0, eastRay(5000), 15, 0, 0);
    EXPECT_EQ(rig.st.err_second, 0);
    EXPECT_NEAR(rig.st.wvht_first(0), smbHeight(100, 10), 1e-12);
    // No water in the last 1000 m either: the fine stage keeps its start.
    EXPECT_NEAR(rig.st.wvhtarray(0), platform::roundHalfEven(rig.st.wvht_first(0), 5), 1e-12);
}

TEST(StagesMarch, LandAcrossTheCoarseProfileRestartsTheWave) {
    StageRig rig;
    // An island 2 km out (vertex 20 of the 100 m profile) in 200 m of water:
    // only the window starting on it has no water.
    rig.field = [](double x) { return DepthSample::of(std::lround(x / 100) == 20 ? 1.0 : -200.0); };
    rig.st.windarray(0) = 10;
    rig.st.fetcharray(0) = 10000;
    const double L0 = deepLength(deepPeriod(10000, 10));
    wave_second_cls s(rig.ctx());
    s.wave_second(16, 0, eastRay(10000), L0, 0, 0);
    EXPECT_EQ(rig.st.err_second, 0);
    EXPECT_EQ(s.depthFirst()(20), 0.01);  // restarted position
    EXPECT_EQ(s.depthFirst()(19), 200);
    // The wave breaks down to almost nothing on the island and regrows over
    // the ten deep positions 19..10 (100 m each), not over the whole 9 km.
    EXPECT_NEAR(rig.st.wvht_first(0), smbHeight(1000, 10), 1e-3);
}

TEST(StagesMarch, BreakingCapsAtGodaAndAtSeventyPercentOfTheDepth) {
    {  // 1 m of water under a 20 m/s wind: 0.7 h
        StageRig rig;
        rig.field = [](double) { return DepthSample::of(-1); };
        rig.st.windarray(0) = 20;
        rig.st.fetcharray(0) = 10000;
        wave_second_cls s(rig.ctx());
        s.wave_second(16, 0, eastRay(10000), deepLength(deepPeriod(10000, 20)), 0, 0);
        EXPECT_DOUBLE_EQ(rig.st.wvht_first(0), 0.7);
        EXPECT_DOUBLE_EQ(rig.st.wvhtarray(0), 0.7);
    }
    StageRig rig;
    rig.st.A_goda = 0.02;
    rig.field = [](double) { return DepthSample::of(-10); };
    const double U = 20, F = 10000;
    rig.st.windarray(0) = U;
    rig.st.fetcharray(0) = F;
    const double L0 = deepLength(deepPeriod(F, U));
    ASSERT_LT(10 / L0, 0.5);
    const double x = -1.5 * 3.1416 * 10 / L0 * (15 * std::pow(std::tan(1.909 * 3.1416 / 180), 1.333) + 1);
    const double goda = L0 * 0.02 * (1 - std::exp(x));
    ASSERT_LT(goda, 7);
    ASSERT_LT(goda, smbHeight(F, U));
    rig.st.debug_mode = 1;
    test::TempDir tmp;
    rig.st.app_folder = tmp.path();
    wave_second_cls s(rig.ctx());
    s.wave_second(16, 0, eastRay(F), L0, 0, 0);
    EXPECT_NEAR(rig.st.wvhtarray(0), goda, 1e-5);

    // The flag column marks only the positions where the height was cut.
    const auto rows = crlfLines(slurp(tmp.path() + "/Project/output_data/Wave_HT_first/waveHt_1km0.txt"));
    ASSERT_EQ(rows.size(), 3u + 89u);  // header, positions 98 .. 10
    EXPECT_EQ(rows[2], "    waveht  depth  breaking_flag  shoaling_coef    k1     k2     n1     n2");
    int broken = 0;
    for (size_t r = 3; r < rows.size(); ++r) {
        std::istringstream in(rows[r]);
        int pos, flag;
        double H, h;
        in >> pos >> H >> h >> flag;
        EXPECT_EQ(pos, 101 - static_cast<int>(r));
        if (flag == 1) {
            EXPECT_NEAR(H, platform::roundHalfEven(goda, 2), 1e-9);
        }
        broken += flag;
    }
    EXPECT_GT(broken, 0);
    EXPECT_LT(broken, 89);  // the first positions grow below the limit
}

TEST(StagesMarch, DeepWaterSteepnessCapAndOneStepFineStart) {
    // The growth law saturates at H = 0.01 U^2 (4 m at 20 m/s), above the
    // steepness limit of a 15 m wave (2.25 m).
    StageRig rig;
    const double U = 20, L0 = 15;
    rig.st.windarray(0) = U;
    rig.st.fetcharray(0) = 5000;
    FixedThird t(rig.ctx(), {100, 100, 100});
    t.wave_third(16, 0, eastRay(1000), L0, 10, 0);  // starts from the coarse stage's 10 m
    EXPECT_EQ(rig.st.err_third, 0);
    EXPECT_DOUBLE_EQ(rig.st.wvhtarray(0), platform::roundHalfEven(0.3 * L0 / 2, 5));

    // Without a coarse height the fine stage starts from one cell step.
    StageRig r2;
    r2.st.windarray(0) = U;
    r2.st.fetcharray(0) = 500;  // shorter than Fetch_first
    FixedThird t2(r2.ctx(), {100, 100});
    t2.wave_third(16, 0, eastRay(500), deepLength(deepPeriod(500, U)), 0.5, 0);
    // one march position (deep): the start plus one cell step
    EXPECT_NEAR(r2.st.wvhtarray(0), smbHeight(2 * 9.9, U), 1e-5);

    // The same single position in shallow water adds no fetch (inc = 0 there).
    StageRig r3;
    r3.st.windarray(0) = 10;
    r3.st.fetcharray(0) = 500;
    FixedThird t3(r3.ctx(), {3, 3});
    t3.wave_third(16, 0, eastRay(500), deepLength(deepPeriod(10000, 10)), 0, 0);
    EXPECT_NEAR(r3.st.wvhtarray(0), smbHeight(9.9, 10), 1e-4);
}

TEST(StagesMarch, SkippedFirstPositionCarriesZeroWaveValues) {
    // Positions 3 (start), 2 (0.3 m: skipped), 1 and 0 at 5 m. The skipped
    // position carries the values of no computed position: zeros. Position 1
    // then starts from k1 = 0 with no shoaling reference (Ks = 0), and only
    // position 0 regrows.
    StageRig rig;
    const double U = 10;
    rig.st.windarray(0) = U;
    rig.st.fetcharray(0) = 5000;
    const double L0 = deepLength(deepPeriod(5000, U));
    const double k0 = 2 * 3.1416 / L0;
    ASSERT_LT(5 / L0, 0.5);
    FixedThird t(rig.ctx(), {5, 5, 0.3, 5});
    const double kmean = t.wave_third(16, 0, eastRay(1000), L0, 0.4, 0);
    EXPECT_EQ(rig.st.err_third, 0);
    const double k5 = newton_k(5, k0, 0.001);
    EXPECT_NEAR(kmean, (k5 + 0 + k5) / 3, 1e-12);  // k1 of positions 2, 1 and 0
    EXPECT_NEAR(rig.st.wvhtarray(0), platform::roundHalfEven(smbHeight(9.9, U), 5), 1e-5);
}

TEST(StagesMarch, FineFixtureMeanWaveNumberAndSinglePosition) {
    StageRig rig;
    rig.st.windarray(3) = 8;
    rig.st.fetcharray(3) = 800;
    const double L0 = deepLength(deepPeriod(800, 8));
    FixedThird t(rig.ctx(), {});
    t.useFixture = true;  // depth_second(k) = 2 - (10 - k) * 2 / 10, last index 10
    const double k = t.wave_third(16, 3, eastRay(800), L0, 0, 0);
    EXPECT_EQ(rig.st.err_third, 0);
    // Positions 9..0 (depth 2 at index 10 is the start); the site's 0 m
    // (below 0.5 m) leaves no wave for the direction.
    EXPECT_EQ(rig.st.depth_second(0), 0);
    EXPECT_EQ(rig.st.wvhtarray(3), 0);
    EXPECT_GT(k, 2 * 3.1416 / L0);  // shallow water shortens the waves

    // One march position: the result is that position's starting k1.
    StageRig one;
    one.st.windarray(0) = 8;
    one.st.fetcharray(0) = 800;
    FixedThird t1(one.ctx(), {4, 2});
    const double k1 = t1.wave_third(16, 0, eastRay(800), L0, 0, 0);
    EXPECT_NEAR(k1, newton_k(2, 2 * 3.1416 / L0, 0.001), 1e-12);

    // No water at all: start height, no march, result 0.
    StageRig none;
    none.st.windarray(0) = 8;
    none.st.fetcharray(0) = 800;
    FixedThird t0(none.ctx(), {0, 0, 0});
    EXPECT_EQ(t0.wave_third(16, 0, eastRay(800), L0, 0, 0), 0);
    EXPECT_NEAR(none.st.wvhtarray(0), platform::roundHalfEven(smbHeight(9.9, 8), 5), 1e-12);
}

TEST(StagesMarch, FailuresRaiseTheStageFlags) {
    // Fine profile beyond its 2001 positions: message with "depth3", both
    // stage flags raised, the arithmetic never runs on a partial profile.
    StageRig rig;
    rig.st.cell_step = 0.4;
    rig.st.windarray(0) = 10;
    rig.st.fetcharray(0) = 1000;
    wave_second_cls s(rig.ctx());
    s.wave_second(16, 0, eastRay(1000), 15, 0, 0);
    EXPECT_EQ(rig.st.err_ptthird, 1);
    EXPECT_EQ(rig.st.err_third, 1);
    EXPECT_EQ(rig.st.err_second, 1);
    ASSERT_EQ(rig.messages.entries.size(), 1u);
    EXPECT_EQ(rig.messages.entries[0].text, "Subscript out of rangedepth3");

    // Arithmetic failure inside the fine march: flag without a message.
    StageRig a;
    a.st.windarray(0) = 10;
    a.st.fetcharray(0) = 500;
    FixedThird t(a.ctx(), {5, 5});
    t.wave_third(16, 0, eastRay(500), 0, 0, 0);  // L0 = 0
    EXPECT_EQ(a.st.err_third, 1);
    EXPECT_TRUE(a.messages.entries.empty());

    // Arithmetic failure in the coarse march reaches the caller, err_second stays 0.
    StageRig c;
    c.field = [](double) { return DepthSample::of(-5); };
    c.st.windarray(0) = 0;  // wind 0 inside the stage: division by zero
    c.st.fetcharray(0) = 5000;
    wave_second_cls s2(c.ctx());
    EXPECT_THROW(s2.wave_second(16, 0, eastRay(5000), 15, 0, 0), MathError);
    EXPECT_EQ(c.st.err_second, 0);
}

TEST(StagesMarch, EquivalentFetchIsCappedAtTheSaturatedHeight) {
    const double U = 10;
    const double capped = stage::equivalentFetch(0.01 * U * U, U);
    EXPECT_EQ(stage::equivalentFetch(0.05 * U * U, U), capped);
    EXPECT_EQ(stage::equivalentFetch(3 * U * U, U), capped);
    // Below the cap it inverts the growth law.
    EXPECT_NEAR(stage::equivalentFetch(smbHeight(2500, U), U), 2500, 0.01);
}

// The slope's factor is worked out once per slope, not at every position:
// whatever slope came before, the height is the formula written out, bit
// for bit, and a slope the formula cannot take still fails where it is used.
TEST(StagesMarch, GodaHeightIsTheWrittenFormulaWhateverSlopeCameBefore) {
    const double L0 = 60, A = 0.17;
    for (double slope : {1.909, 5.0, 1.909, -3.0, 2.5, -3.0, 1.909}) {
        for (double h : {0.5, 2.0, 7.5}) {
            const double t = std::tan(slope * model::kFormulaPi / 180);
            if (t < 0) {
                EXPECT_THROW(stage::godaBreakingHeight(h, L0, A, slope), MathError) << slope;
                continue;
            }
            const double x = -1.5 * model::kFormulaPi * h / L0 * (15 * std::pow(t, 1.333) + 1);
            const double written = std::min(L0 * A * (1 - std::exp(x)), 0.7 * h);
            EXPECT_EQ(stage::godaBreakingHeight(h, L0, A, slope), written) << slope << " " << h;
        }
    }
}
