#include <gtest/gtest.h>

#include "model/effective_fetch.h"

using namespace quor::model;

TEST(EffectiveFetch, WeightSumsOfEveryFan) {
    EXPECT_NEAR(effectiveFetchWeightSum(16), 4.261969, 5e-6);
    EXPECT_NEAR(effectiveFetchWeightSum(32), 7.886477, 5e-6);
    EXPECT_NEAR(effectiveFetchWeightSum(40), 9.691744, 5e-6);
    EXPECT_NEAR(effectiveFetchWeightSum(48), 11.495465, 5e-6);
    EXPECT_NEAR(effectiveFetchWeightSum(56), 13.298302, 5e-6);
    EXPECT_EQ(effectiveFetchHalfWidth(56), 7);
    EXPECT_NEAR(effectiveFetchWeights(56).back(), 0.70711, 5e-6);
}

TEST(EffectiveFetch, EqualFetchesStayAndMissingDirectionPullsNeighbours) {
    for (int n : {16, 32, 40, 48, 56}) {
        auto f = effectiveFetch(std::vector<double>(n, 7321));
        for (double v : f) EXPECT_EQ(v, 7321) << n;
    }
    std::vector<double> l(16, 1000);
    l[3] = 0;
    auto f = effectiveFetch(l);
    const std::vector<double> expected{1000, 834, 783, 0, 783, 834, 1000, 1000,
                                       1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
    EXPECT_EQ(f, expected);
}

TEST(EffectiveFetch, WindowWrapsAndCapsAtOwnLength) {
    std::vector<double> l(16, 1000);
    l[0] = 5000;  // longer than its neighbours: pulled down, not capped
    l[15] = 100;  // shorter than its neighbours: capped at its own length
    auto f = effectiveFetch(l);
    EXPECT_LT(f[0], 5000);
    EXPECT_GT(f[0], 1000);
    EXPECT_EQ(f[15], 100);
    EXPECT_EQ(f[1], 1000);  // capped at its own 1000

    // A missing direction 0 pulls directions 14, 15 across the wrap as it pulls 1, 2.
    std::vector<double> w(16, 1000);
    w[0] = 0;
    auto g = effectiveFetch(w);
    EXPECT_EQ(g[1], 783);
    EXPECT_EQ(g[15], 783);
    EXPECT_EQ(g[2], 834);
    EXPECT_EQ(g[14], 834);
    std::vector<double> zero(16, 0);
    for (double v : effectiveFetch(zero)) EXPECT_EQ(v, 0);
    EXPECT_THROW(effectiveFetch(std::vector<double>(12, 1)), std::invalid_argument);
}

TEST(EffectiveFetch, DirectionTableWrapsBothEndsAndFillsOnlyTheFan) {
    BoundedArray<double, 70> table;
    for (int d = 0; d < 16; ++d) table(d + kDirectionOffset) = 100 * (d + 1);
    wrapDirectionTable(table, 16);
    // Two directions (16 / 8) repeated on either side, nothing further.
    EXPECT_EQ(table(6), 1600);
    EXPECT_EQ(table(5), 1500);
    EXPECT_EQ(table(4), 0);
    EXPECT_EQ(table(23), 100);
    EXPECT_EQ(table(24), 200);
    EXPECT_EQ(table(25), 0);

    BoundedArray<double, 60> fetcharray;
    fetcharray(40) = 99;  // a stale value of an earlier, larger fan
    fillEffectiveFetch(fetcharray, table, 16);
    std::vector<double> direct;
    for (int d = 0; d < 16; ++d) direct.push_back(table(d + kDirectionOffset));
    const auto want = effectiveFetch(direct);
    for (int d = 0; d < 16; ++d) EXPECT_EQ(fetcharray(d), want[d]) << d;
    EXPECT_EQ(fetcharray(16), 0);
    EXPECT_EQ(fetcharray(40), 0);
    EXPECT_THROW(fillEffectiveFetch(fetcharray, table, 12), std::invalid_argument);
}
