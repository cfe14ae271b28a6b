#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/model_state.h"
#include "wave/eff_fetch.h"

using namespace quor;
using namespace quor::wave;

namespace {
std::vector<KeptPiece> fan(int n, double length) {
    std::vector<KeptPiece> p;
    for (int d = 0; d < n; ++d) p.push_back({d, length});
    return p;
}
std::vector<double> fetches(const model::ModelState& s, int n) {
    std::vector<double> f;
    for (int d = 0; d < n; ++d) f.push_back(s.fetcharray(d));
    return f;
}
}  // namespace

TEST(EffectiveFetchStep, EqualFetchesStayForEveryFanAndTheRestIsZero) {
    for (int n : {16, 32, 40, 48, 56}) {
        model::ModelState s;
        s.fetcharray(60) = 5;  // left over from an earlier site
        wave_effFetch_cls ef(s);
        ef.directLengths(fan(n, 4321.4), n);
        ef.weightFetches(n);
        for (int d = 0; d < n; ++d) EXPECT_EQ(s.fetcharray(d), 4321) << n << " " << d;
        for (int d = n; d <= 60; ++d) EXPECT_EQ(s.fetcharray(d), 0) << n << " " << d;
    }
}

TEST(EffectiveFetchStep, MissingDirectionPullsItsNeighbours) {
    model::ModelState s;
    wave_effFetch_cls ef(s);
    auto pieces = fan(16, 1000);
    pieces.erase(pieces.begin() + 3);
    ef.directLengths(pieces, 16);
    ef.weightFetches(16);
    const std::vector<double> expected{1000, 834, 783, 0, 783, 834, 1000, 1000,
                                       1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
    EXPECT_EQ(fetches(s, 16), expected);
}

TEST(EffectiveFetchStep, TableWrapsAroundBetweenFirstAndLastDirections) {
    for (int n : {16, 32, 40, 48, 56}) {
        const int m = n / 8;
        std::vector<KeptPiece> pieces;
        for (int d = 0; d < n; ++d) pieces.push_back({d, 100.0 * (d + 1)});
        model::ModelState s;
        wave_effFetch_cls ef(s);
        ef.directLengths(pieces, n);
        const auto& L = ef.lengths();
        for (int i = 0; i < m; ++i) {
            EXPECT_EQ(L(6 - i), 100.0 * (n - i)) << n;  // directions n-1, n-2, ... before direction 0
            EXPECT_EQ(L(n + 7 + i), 100.0 * (i + 1)) << n;  // directions 0, 1, ... after direction n-1
        }
        if (m < 7) {
            EXPECT_EQ(L(6 - m), 0);  // 56 rays fill the table to both ends
        }
        EXPECT_EQ(L(n + 7 + m), 0);
    }
    // Direction 0 missing: directions n-1 and n-2 lose weight across the wrap.
    model::ModelState s;
    wave_effFetch_cls ef(s);
    auto pieces = fan(16, 1000);
    pieces.erase(pieces.begin());
    ef.directLengths(pieces, 16);
    ef.weightFetches(16);
    EXPECT_EQ(s.fetcharray(0), 0);
    EXPECT_EQ(s.fetcharray(15), 783);
    EXPECT_EQ(s.fetcharray(14), 834);
    EXPECT_EQ(s.fetcharray(1), 783);
}

TEST(EffectiveFetchStep, LengthsRoundHalfToEvenAndLaterPiecesWin) {
    model::ModelState s;
    wave_effFetch_cls ef(s);
    ef.directLengths(fan(16, 912.5), 16);
    ef.weightFetches(16);
    EXPECT_EQ(s.fetcharray(5), 912);
    ef.directLengths(fan(16, 913.5), 16);
    ef.weightFetches(16);
    EXPECT_EQ(s.fetcharray(5), 914);

    // Two pieces of direction 2: the one read last (higher object id) counts.
    auto pieces = fan(16, 500);
    pieces.push_back({2, 2000});
    ef.directLengths(pieces, 16);
    EXPECT_EQ(ef.lengths()(2 + 7), 2000);
    ef.weightFetches(16);
    // Longer than its neighbours: pulled down towards them, not capped.
    EXPECT_GT(s.fetcharray(2), 500);
    EXPECT_LT(s.fetcharray(2), 2000);
    EXPECT_EQ(s.fetcharray(1), 500);  // capped at its own length

    // No piece at all: every fetch is 0.
    ef.directLengths({}, 32);
    ef.weightFetches(32);
    for (int d = 0; d <= 60; ++d) EXPECT_EQ(s.fetcharray(d), 0);

    // A "Dir" beyond the table is an error, not a silent write.
    EXPECT_THROW(ef.directLengths({{64, 10}}, 56), model::SubscriptError);
    EXPECT_THROW(ef.directLengths({{-8, 10}}, 16), model::SubscriptError);
}

TEST(EffectiveFetchStep, DrawnEndPointsFollowTheRayConvention) {
    const FetchPoint site{1000, 2000};
    auto north = wave_effFetch_cls::endPoint(site, 500, 0, 16);
    EXPECT_DOUBLE_EQ(north.x, 1000);
    EXPECT_DOUBLE_EQ(north.y, 2500);
    auto east = wave_effFetch_cls::endPoint(site, 500, 4, 16);  // 90 degrees, pi as 3.14159
    EXPECT_NEAR(east.x, 1000 + 500 * std::sin(3.14159 / 2), 1e-9);
    EXPECT_NEAR(east.y, 2000 + 500 * std::cos(3.14159 / 2), 1e-9);
    EXPECT_GT(east.y, 2000);  // the short pi leaves the line a hair north of east
    auto sw = wave_effFetch_cls::endPoint(site, 100, 35, 56);  // 225 degrees
    EXPECT_NEAR(sw.x, 1000 - 70.7107, 1e-3);
    EXPECT_NEAR(sw.y, 2000 - 70.7107, 1e-3);
    auto zero = wave_effFetch_cls::endPoint(site, 0, 7, 16);
    EXPECT_EQ(zero.x, 1000);
    EXPECT_EQ(zero.y, 2000);
}
