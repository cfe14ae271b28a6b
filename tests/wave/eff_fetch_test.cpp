#include <gtest/gtest.h>

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
}  // namespace

TEST(EffectiveFetchStep, TableWrapsAroundBetweenFirstAndLastDirections) {
    for (int n : {16, 32, 40, 48, 56}) {
        const int m = n / 8;
        std::vector<KeptPiece> pieces;
        for (int d = 0; d < n; ++d) pieces.push_back({d, 100.0 * (d + 1)});
        model::ModelState s;
        s.fetcharray(60) = 5;  // left over from an earlier site
        wave_effFetch_cls ef(s);
        ef.directLengths(pieces, n);
        const auto& L = ef.lengths();
        for (int i = 0; i < m; ++i) {
            EXPECT_EQ(L(6 - i), 100.0 * (n - i)) << n;      // directions n-1, n-2, ... before direction 0
            EXPECT_EQ(L(n + 7 + i), 100.0 * (i + 1)) << n;  // directions 0, 1, ... after direction n-1
        }
        if (m < 7) {
            EXPECT_EQ(L(6 - m), 0);  // 56 rays fill the table to both ends
        }
        EXPECT_EQ(L(n + 7 + m), 0);
        ef.weightFetches(n);
        for (int d = n; d <= 60; ++d) EXPECT_EQ(s.fetcharray(d), 0) << n;
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
    ef.directLengths(fan(40, 913.5), 40);
    ef.weightFetches(40);
    EXPECT_EQ(s.fetcharray(39), 914);

    // Two pieces of direction 2: the one read last (higher object id) counts.
    auto pieces = fan(16, 500);
    pieces.push_back({2, 2000});
    ef.directLengths(pieces, 16);
    EXPECT_EQ(ef.lengths()(2 + 7), 2000);

    // No piece at all: every fetch is 0.
    ef.directLengths({}, 32);
    ef.weightFetches(32);
    for (int d = 0; d <= 60; ++d) EXPECT_EQ(s.fetcharray(d), 0);

    // A "Dir" beyond the table is an error, not a silent write.
    EXPECT_THROW(ef.directLengths({{64, 10}}, 56), model::SubscriptError);
    EXPECT_THROW(ef.directLengths({{-8, 10}}, 16), model::SubscriptError);
}
