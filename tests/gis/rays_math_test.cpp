// Ray fan geometry, piece merging, the REI depth sums and the raster walk,
// on hand-made samplers so that every stop rule is pinned exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "gis/ray_geometry.h"
#include "gis/ray_profile_math.h"
#include "gis/ray_walk.h"

namespace quor::gis {
namespace {

std::vector<XY> alongX(double from, double to, double step) {
    std::vector<XY> v;
    for (double x = from; x <= to + 1e-9; x += step) v.push_back({x, 0});
    return v;
}

// Samples by x: the first key not below x decides (a stepwise profile).
RasterSampler stepSampler(std::map<double, PixelSample> profile) {
    return [profile](double x, double) {
        auto it = profile.lower_bound(x - 1e-9);
        return it == profile.end() ? PixelSample::outside() : it->second;
    };
}

TEST(RayFan, EndPointsOfBothConventions) {
    const XY o{0, 0};
    // REI: anticlockwise from east, pi taken as 3.14159.
    XY e = reiRayEnd(o, 10000, 0);
    EXPECT_DOUBLE_EQ(e.x, 10000);
    EXPECT_DOUBLE_EQ(e.y, 0);
    e = reiRayEnd(o, 10000, 8);
    EXPECT_NEAR(e.x, 0.0133, 5e-5);
    EXPECT_NEAR(e.y, 10000.0, 1e-6);
    e = reiRayEnd(o, 10000, 16);
    EXPECT_NEAR(e.x, -10000.0, 1e-6);
    EXPECT_NEAR(e.y, 0.0265, 5e-5);
    e = reiRayEnd(o, 10000, 24);
    EXPECT_NEAR(e.x, -0.0398, 5e-5);
    EXPECT_NEAR(e.y, -10000.0, 1e-6);

    // RWE: clockwise from north.
    e = rweRayEnd(o, 10000, 0, 16);
    EXPECT_DOUBLE_EQ(e.x, 0);
    EXPECT_DOUBLE_EQ(e.y, 10000);
    e = rweRayEnd(o, 10000, 4, 16);
    EXPECT_NEAR(e.x, 10000.0, 1e-6);
    EXPECT_NEAR(e.y, 0.0133, 5e-5);
    e = rweRayEnd(o, 10000, 8, 16);
    EXPECT_NEAR(e.x, 0.0265, 5e-5);
    EXPECT_NEAR(e.y, -10000.0, 1e-6);
    for (auto [d, n] : {std::pair{8, 32}, std::pair{14, 56}}) {
        e = rweRayEnd(o, 10000, d, n);
        EXPECT_NEAR(e.x, 10000.0, 1e-6) << n;
        EXPECT_NEAR(e.y, 0.0133, 5e-5) << n;
    }
    // The same number means different directions in the two modes.
    const XY reiNorth = reiRayEnd(o, 1, 8), rweNorth = rweRayEnd(o, 1, 0, 32);
    EXPECT_NEAR(reiNorth.y, rweNorth.y, 1e-9);
    EXPECT_GT(rweRayEnd(o, 1, 8, 32).x, 0.99);
    // Coordinates are not rounded and the site offset is added as is.
    e = rweRayEnd({300000.5, 5800000.25}, 10000, 0, 40);
    EXPECT_DOUBLE_EQ(e.x, 300000.5);
    EXPECT_DOUBLE_EQ(e.y, 5810000.25);
}

TEST(RayFan, SiteSquareCorners) {
    const auto sq = siteSquare({1000, 2000});
    const XY want[5] = {{1002, 2002}, {998, 2002}, {998, 1998}, {1002, 1998}, {1002, 2002}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(sq[i].x, want[i].x) << i;
        EXPECT_DOUBLE_EQ(sq[i].y, want[i].y) << i;
    }
}

TEST(RayPieces, MergesTouchingPartsOutwardAndKeepsGapsApart) {
    const XY site{500000, 5800000};
    // Split where the ray grazes a vertex, the second part reversed and
    // listed first; then a separate piece beyond an island.
    std::vector<std::vector<XY>> parts = {
        {{500000, 5803000.5}, {500000, 5801200}},
        {{500000, 5806000}, {500000, 5809000}},
        {{500000, 5800000}, {500000, 5801200}},
        {{500000, 5807000}, {500000, 5807000}},  // a touch point, no length
    };
    const auto pieces = mergeRayParts(parts, site);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_DOUBLE_EQ(pieces[0].start.y, 5800000);
    EXPECT_DOUBLE_EQ(pieces[0].end.y, 5803000.5);
    EXPECT_DOUBLE_EQ(pieces[0].startDistance, 0);
    EXPECT_DOUBLE_EQ(pieces[1].start.y, 5806000);
    EXPECT_DOUBLE_EQ(pieces[1].end.y, 5809000);
    EXPECT_DOUBLE_EQ(pieces[1].startDistance, 6000);

    // Overlapping or contained parts collapse into one.
    parts = {{{0, 0}, {10, 0}}, {{3, 0}, {7, 0}}, {{9, 0}, {12, 0}}};
    const auto one = mergeRayParts(parts, {0, 0});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_DOUBLE_EQ(one[0].end.x, 12);

    // A land strip of a millimetre still parts the ray, also at large coordinates.
    parts = {{{500000, 5800000}, {500000, 5804000}}, {{500000, 5804000.001}, {500000, 5810000}}};
    EXPECT_EQ(mergeRayParts(parts, site).size(), 2u);

    EXPECT_TRUE(mergeRayParts({}, site).empty());
}

TEST(ReiProfile, ClippedPieceSumMatchesWorkedValue) {
    model::ModelState st;
    st.ray_power(3) = 0.053f;
    st.ray_bathy(3) = 123;  // reset before summing
    rayprofile(st, alongX(0, 1000, 100), 3, {0, 0}, 1000, [](double, double) { return PixelSample::of(-10); },
               10000, 1);
    EXPECT_NEAR(st.ray_bathy(3), 78447.8446, 5e-5);

    // Off-raster and NoData vertices add nothing; a vertex at the site
    // counts in full, one at the maximum fetch not at all.
    st.ray_power(0) = 0;
    rayprofile(st, {{0, 0}, {50, 0}, {100, 0}, {200, 0}}, 0, {0, 0}, 200,
               stepSampler({{0, PixelSample::of(-250)}, {50, PixelSample::noData()}, {100, PixelSample::of(250)}}),
               200, 100);
    // site: 2.5 * 200 = 500; x=100: (1 - 0.5) * 500 = 250; x=200 outside.
    EXPECT_DOUBLE_EQ(st.ray_bathy(0), 750);

    // Every vertex NoData: the term is 0.
    rayprofile(st, alongX(0, 300, 100), 1, {0, 0}, 300, [](double, double) { return PixelSample::noData(); },
               10000, 1);
    EXPECT_EQ(st.ray_bathy(1), 0);
}

TEST(ReiProfile, FastWalkStopsAtZeroNoDataOrRasterEdge) {
    model::ModelState st;
    const auto ray = alongX(0, 1000, 100);
    auto run = [&](std::map<double, PixelSample> profile) {
        st.ray_fetch(5) = 1000;
        rayprofile2(st, ray, 5, {0, 0}, stepSampler(std::move(profile)), 1000, 1);
        return std::pair{st.ray_fetch(5), st.ray_bathy(5)};
    };
    // Runs through: reach is the last vertex; positive and negative values
    // do not stop the ray.
    auto [f, b] = run({{550, PixelSample::of(-2)}, {1000, PixelSample::of(3)}});
    EXPECT_DOUBLE_EQ(f, 1000);
    double want = 0;
    for (int r = 0; r <= 1000; r += 100) want += (1 - r / 1000.0) * ((r <= 500 ? 2 : 3) * 1000.0);
    EXPECT_NEAR(b, want, 1e-9);

    // Zero at 300: reach 300, the zero vertex itself adds nothing.
    std::tie(f, b) = run({{250, PixelSample::of(-4)}, {300, PixelSample::of(0)}, {1000, PixelSample::of(-4)}});
    EXPECT_DOUBLE_EQ(f, 300);
    EXPECT_NEAR(b, 4 * 300.0 * (1 + 0.9 + 0.8), 1e-9);

    // NoData at 400: reach is the vertex before it.
    std::tie(f, b) = run({{300, PixelSample::of(-1)}, {400, PixelSample::noData()}, {1000, PixelSample::of(-1)}});
    EXPECT_DOUBLE_EQ(f, 300);
    EXPECT_NEAR(b, 300.0 * (1 + 0.9 + 0.8 + 0.7), 1e-9);

    // Leaves the raster after 600.
    std::tie(f, b) = run({{600, PixelSample::of(-1)}});
    EXPECT_DOUBLE_EQ(f, 600);

    // Site on 0 or without data: nothing at all.
    std::tie(f, b) = run({{1000, PixelSample::of(0)}});
    EXPECT_EQ(f, 0);
    EXPECT_EQ(b, 0);
    std::tie(f, b) = run({{1000, PixelSample::noData()}});
    EXPECT_EQ(f, 0);
    EXPECT_EQ(b, 0);
}

TEST(ReiProfile, WindPowersTurnClockwiseItemsOntoAnticlockwiseRays) {
    model::ModelState st;
    model::WindSummary wind;
    EXPECT_THROW(windray_powers(st, wind), std::runtime_error);
    wind.windpowercoll.resize(32);
    for (int i = 0; i < 32; ++i) wind.windpowercoll[i] = 0.01f * (i + 1);  // item i+1
    windray_powers(st, wind);
    EXPECT_FLOAT_EQ(st.ray_power(0), 0.01f);   // east: item 1
    EXPECT_FLOAT_EQ(st.ray_power(1), 0.32f);   // item 32
    EXPECT_FLOAT_EQ(st.ray_power(4), 0.29f);   // north-east: item 29
    EXPECT_FLOAT_EQ(st.ray_power(8), 0.25f);   // north: item 25
    EXPECT_FLOAT_EQ(st.ray_power(16), 0.17f);  // west
    EXPECT_FLOAT_EQ(st.ray_power(24), 0.09f);  // south: item 9
    EXPECT_FLOAT_EQ(st.ray_power(28), 0.05f);
}

// Long rays are read in runs of growing length: wherever the water ends,
// before, on or after a run's edge, the walk and the REI reach stop there.
TEST(FastWalk, LongRaysStopAtTheShoreWhereverTheReadRunsEnd) {
    const auto ray = alongX(0, 99900, 100);  // 1,000 vertices
    for (int shore : {1, 15, 16, 17, 47, 48, 49, 112, 240, 241, 496, 751, 752, 999}) {
        const double x = 100.0 * shore;
        int reads = 0;
        RasterSampler sample = [&reads, x](double px, double) {
            ++reads;
            return px < x - 1e-9 ? PixelSample::of(-4) : PixelSample::of(0);
        };
        const auto wet = walkRay(ray, 100, sample, false, 0);
        ASSERT_TRUE(wet);
        EXPECT_DOUBLE_EQ(*wet, x) << shore;
        EXPECT_LE(reads, 2 * shore + 32) << shore;  // little is read past the shore

        model::ModelState st;
        st.ray_power(0) = 1;
        rayprofile2(st, ray, 0, {0, 0}, sample, 1e6, 1);
        EXPECT_DOUBLE_EQ(st.ray_fetch(0), x) << shore;  // the stopping vertex's distance
    }
}

TEST(FastWalk, StopRulesAndStep) {
    const auto ray = alongX(0, 1000, 100);  // 11 vertices
    const float s = 100;
    // Positive bathymetry, water level 0: wet to the end gives more than the ray.
    auto wet = walkRay(ray, s, [](double, double) { return PixelSample::of(5); }, true, 0);
    ASSERT_TRUE(wet);
    EXPECT_DOUBLE_EQ(*wet, 1100);
    // First vertex beyond the site dry: the site's own step only.
    wet = walkRay(ray, s, stepSampler({{0, PixelSample::of(-5)}, {2000, PixelSample::of(1)}}), false, 0);
    ASSERT_TRUE(wet);
    EXPECT_DOUBLE_EQ(*wet, 100);
    // Off the raster adds nothing but does not end the walk; NoData ends it.
    wet = walkRay(ray, s,
                  stepSampler({{0, PixelSample::of(-5)}, {300, PixelSample::outside()}, {500, PixelSample::of(-5)},
                               {600, PixelSample::noData()}, {2000, PixelSample::of(-5)}}),
                  false, 0);
    ASSERT_TRUE(wet);
    EXPECT_DOUBLE_EQ(*wet, 300);  // vertices 0, 400, 500
    // Site outside the raster counts as wet.
    wet = walkRay(ray, s, stepSampler({{0, PixelSample::outside()}, {2000, PixelSample::of(-1)}}), false, 0);
    ASSERT_TRUE(wet);
    EXPECT_DOUBLE_EQ(*wet, 1000);
    // Dry or NoData site: no water.
    EXPECT_FALSE(walkRay(ray, s, [](double, double) { return PixelSample::noData(); }, false, 0));
    EXPECT_FALSE(walkRay(ray, s, [](double, double) { return PixelSample::of(2); }, false, 0));
    // The water level moves the shore: -0.4 below a level raised by 0.5.
    EXPECT_TRUE(isWater(-0.4, false, 0.5f) == false);
    EXPECT_TRUE(isWater(-0.6, false, 0.5f));
    EXPECT_TRUE(isWater(0.6, true, 0.5f));
    EXPECT_FALSE(isWater(0.5, true, 0.5f));

    EXPECT_DOUBLE_EQ(fastRayStep(30), 60);
    EXPECT_DOUBLE_EQ(fastRayStep(60), 100);
    EXPECT_THROW(fastRayStep(0), std::invalid_argument);
    EXPECT_THROW(fastRayStep(-1), std::invalid_argument);
    EXPECT_THROW(fastRayStep(std::nan("")), std::invalid_argument);
}

}  // namespace
}  // namespace quor::gis
