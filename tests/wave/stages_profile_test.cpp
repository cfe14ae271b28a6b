// The two depth profiles the shallow-water stages read: the coarse
// windowed one beyond Fetch_first and the fine one over the last
// Fetch_first metres.
#include "stages_fixture.h"

using namespace quor;
using namespace quor::wave;
using namespace quor::wave::testing;

namespace {
// Vertex index of a position on a 100 m densified 10 km ray.
int vertexAt(double x) { return static_cast<int>(std::lround(x / 100)); }
}  // namespace

TEST(StagesCoarseProfile, WindowMeansFromFetchFirstOutwardsNeverTheFarEnd) {
    StageRig rig;
    rig.field = [](double x) { return DepthSample::of(-(x / 100)); };  // depth = vertex index
    wave_second_cls s(rig.ctx());
    const int N = s.ptraster_second(eastRay(10000), 100, 3, 0);
    EXPECT_EQ(N, 100);
    EXPECT_EQ(rig.st.err_ptsecond, 0);
    const auto& d = s.depthFirst();
    // The window has ceil(100 / 9.9) = 11 vertices, 100 m apart.
    for (int a = 0; a < 10; ++a) EXPECT_EQ(d(a), 0) << a;
    EXPECT_DOUBLE_EQ(d(10), 15);
    EXPECT_DOUBLE_EQ(d(89), 94);
    EXPECT_DOUBLE_EQ(d(90), 94.5);  // vertices 90..99: the far end (100) is never sampled
    EXPECT_DOUBLE_EQ(d(99), 99);
    EXPECT_EQ(d(100), 0);
    // Each vertex is read once although the windows overlap.
    EXPECT_LE(rig.identifies, 101);
}

TEST(StagesCoarseProfile, NoDataIsSkippedLandEndsTheWindow) {
    StageRig rig;
    rig.field = [](double x) {
        const int v = vertexAt(x);
        if (v == 30) return DepthSample::noData();
        if (v == 31) return DepthSample::outside();
        if (v == 60) return DepthSample::of(3);  // land in negative bathymetry
        return DepthSample::of(-v);
    };
    wave_second_cls s(rig.ctx());
    s.ptraster_second(eastRay(10000), 100, 0, 0);
    const auto& d = s.depthFirst();
    // 25..35 without 30 and 31: the gaps neither count nor stop the window.
    EXPECT_DOUBLE_EQ(d(25), (25 + 26 + 27 + 28 + 29 + 32 + 33 + 34 + 35) / 9.0);
    EXPECT_DOUBLE_EQ(d(55), (55 + 56 + 57 + 58 + 59) / 5.0);  // stops at the land vertex 60
    EXPECT_EQ(d(60), 0);                                    // window starting on land
    EXPECT_DOUBLE_EQ(d(61), (61 + 62 + 63 + 64 + 65 + 66 + 67 + 68 + 69 + 70 + 71) / 11.0);
    EXPECT_EQ(rig.st.err_ptsecond, 0);
    EXPECT_TRUE(rig.messages.entries.empty());
}

TEST(StagesCoarseProfile, MagnitudeEqualToWaterLevelCountsAsLandInNegativeBathymetry) {
    StageRig rig;
    rig.field = [](double x) { return DepthSample::of(vertexAt(x) == 40 ? -0.5 : -10); };
    wave_second_cls s(rig.ctx());
    s.ptraster_second(eastRay(10000), 100, 0, 0.5f);
    EXPECT_DOUBLE_EQ(s.depthFirst()(35), 9.5);  // 35..39 only
    EXPECT_EQ(s.depthFirst()(40), 0);

    // Positive bathymetry: 0.5 becomes 0.01, below the water level: land too.
    StageRig pos;
    pos.st.bathy_positive = 1;
    pos.field = [](double x) { return DepthSample::of(vertexAt(x) == 40 ? 0.5 : 10); };
    wave_second_cls p(pos.ctx());
    p.ptraster_second(eastRay(10000), 100, 0, 0.5f);
    EXPECT_DOUBLE_EQ(p.depthFirst()(35), 9.5);
    EXPECT_EQ(p.depthFirst()(40), 0);
}

TEST(StagesCoarseProfile, ProfileBeyondItsBoundsFailsWithTheErrorMessage) {
    StageRig rig;
    rig.st.cell_step = 1;
    wave_second_cls s(rig.ctx());
    s.ptraster_second(eastRay(12000), 1, 4, 0);  // 12,001 vertices, array ends at 11,000
    EXPECT_EQ(rig.st.err_ptsecond, 1);
    ASSERT_EQ(rig.messages.entries.size(), 1u);
    EXPECT_EQ(rig.messages.entries[0].text, "Subscript out of range");
    EXPECT_EQ(rig.messages.entries[0].icon, platform::MessageIcon::Critical);
}

TEST(StagesFineProfile, OneSamplePerCellStepOverTheLastFetchFirstMetres) {
    StageRig rig;
    rig.field = [](double x) { return DepthSample::of(-(x / 10)); };
    wave_third_cls t(rig.ctx());
    // 10 km at 9.9 m: 1011 pieces; cut to round(1000 / 9.9) = 101 vertices.
    const int N = t.ptraster_third(eastRay(10000), 9.9f, 0, 0);
    EXPECT_EQ(N, 100);
    EXPECT_EQ(rig.identifies, 101);
    for (int a = 0; a <= 100; a += 25) EXPECT_NEAR(rig.st.depth_second(a), a * (10000.0 / 1011) / 10, 1e-9) << a;
    EXPECT_EQ(rig.st.depth_second(101), 0);

    // A ray shorter than Fetch_first is sampled whole, both ends included.
    StageRig shortRay;
    shortRay.field = [](double) { return DepthSample::of(-4); };
    wave_third_cls u(shortRay.ctx());
    EXPECT_EQ(u.ptraster_third(eastRay(500), 9.9f, 0, 0), 51);  // 51 pieces
    EXPECT_DOUBLE_EQ(shortRay.st.depth_second(51), 4);
}

TEST(StagesFineProfile, LandAndNoDataGiveZeroAndSamplingGoesOn) {
    StageRig rig;
    rig.field = [](double x) {
        const long v = std::lround(x / 10);
        if (v == 3) return DepthSample::noData();
        if (v == 4) return DepthSample::of(2);     // land
        if (v == 5) return DepthSample::of(-0.5);  // |v| = water level: 0.01, land
        if (v == 6) return DepthSample::of(0.5);   // above the water line
        return DepthSample::of(-7);
    };
    rig.st.cell_step = 10;
    wave_third_cls t(rig.ctx());
    t.ptraster_third(eastRay(100), 10, 0, 0.5f);
    EXPECT_DOUBLE_EQ(rig.st.depth_second(2), 6.5);
    EXPECT_EQ(rig.st.depth_second(3), 0);
    EXPECT_EQ(rig.st.depth_second(4), 0);
    EXPECT_EQ(rig.st.depth_second(5), 0);
    EXPECT_DOUBLE_EQ(rig.st.depth_second(7), 6.5);  // sampling continues past land

    // The same v + level = 0 pixel with a negative water level.
    StageRig neg;
    neg.field = [](double x) { return DepthSample::of(std::lround(x / 10) == 6 ? 0.5 : -7); };
    neg.st.cell_step = 10;
    wave_third_cls t2(neg.ctx());
    t2.ptraster_third(eastRay(100), 10, 0, -0.5f);
    EXPECT_EQ(neg.st.depth_second(6), 0);
    wave_second_cls s2(neg.ctx());
    neg.st.Fetch_first = 0;
    neg.st.Depth_intg_second = 10;  // one-vertex windows
    s2.ptraster_second(eastRay(100), 10, 0, -0.5f);
    EXPECT_DOUBLE_EQ(s2.depthFirst()(6), 1);  // water, 0.5 + 0.5 deep
}

TEST(StagesProfileDepth, BothStagesReadOneVertexAlikeExceptExactlyAtTheLevel) {
    using stage::ProfileDepth;
    using stage::profileDepth;
    using K = ProfileDepth::Kind;
    // Negative bathymetry (depths below 0), tide 0.5 m, centimetres.
    const auto water = profileDepth(DepthSample::of(-350), 100, 0.5, 0, true);
    EXPECT_EQ(water.kind, K::Water);
    EXPECT_DOUBLE_EQ(water.depth, 3.0);
    EXPECT_EQ(profileDepth(DepthSample::of(100), 100, 0.5, 0, false).kind, K::Land);
    EXPECT_EQ(profileDepth(DepthSample::noData(), 100, 0.5, 0, false).kind, K::NoSample);
    EXPECT_EQ(profileDepth(DepthSample::outside(), 100, 0.5, 0, true).kind, K::NoSample);
    // Positive bathymetry: depth above 0 is water.
    EXPECT_EQ(profileDepth(DepthSample::of(4), 0, 0.5, 1, true).kind, K::Water);
    EXPECT_EQ(profileDepth(DepthSample::of(-4), 0, 0.5, 1, false).kind, K::Land);
    // A pixel at the tide's magnitude is lifted to 0.01 m: land either way.
    EXPECT_EQ(profileDepth(DepthSample::of(-0.5), 1, 0.5, 0, false).kind, K::Land);
    // With a falling tide a pixel can still sit exactly at the level: the
    // fine stage calls it land, the coarse stage water.
    EXPECT_EQ(profileDepth(DepthSample::of(0.5), 1, -0.5, 0, true).kind, K::Land);
    const auto coarse = profileDepth(DepthSample::of(0.5), 1, -0.5, 0, false);
    EXPECT_EQ(coarse.kind, K::Water);
    EXPECT_DOUBLE_EQ(coarse.depth, 1.0);
}

TEST(StagesReuse, OneFirstStageServesDirectionAfterDirectionLikeFreshOnes) {
    // A coast 6 km out on direction 0 only: the reused stage must not carry
    // its profile into direction 1.
    StageRig rig;
    rig.field = [](double x) { return x > 6000 && x < 6500 ? DepthSample::of(5) : DepthSample::of(-10); };
    for (int d = 0; d < 2; ++d) {
        rig.st.windarray(d) = 12;
        rig.st.fetcharray(d) = 10000;
    }
    FirstShallowStage reused(rig.ctx());
    reused.run(0, eastRay(10000), 60, 0, 0);
    const double coastal = rig.st.wvhtarray(0);
    StageRig clear;
    clear.field = [](double) { return DepthSample::of(-10); };
    clear.st.windarray(1) = 12;
    clear.st.fetcharray(1) = 10000;
    FirstShallowStage fresh(clear.ctx());
    fresh.run(1, eastRay(10000), 60, 0, 0);

    rig.field = [](double) { return DepthSample::of(-10); };
    reused.run(1, eastRay(10000), 60, 0, 0);
    EXPECT_EQ(rig.st.err_second, 0);
    EXPECT_EQ(rig.st.wvhtarray(1), clear.st.wvhtarray(1));
    EXPECT_NE(rig.st.wvhtarray(1), coastal);
}
