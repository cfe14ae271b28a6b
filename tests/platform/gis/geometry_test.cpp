#include <gtest/gtest.h>

#include <cmath>

#include "platform/gis/geometry.h"
#include "platform/gis/gis_error.h"

using namespace quor::platform::gis;

namespace {
double maxPiece(const Path& p) {
    double m = 0;
    for (std::size_t i = 1; i < p.size(); ++i) m = std::max(m, std::hypot(p[i].x - p[i - 1].x, p[i].y - p[i - 1].y));
    return m;
}
}  // namespace

TEST(Densify, SplitsEachSegmentIntoEqualPiecesKeepingBothEnds) {
    // 250 long at 100: three pieces of 83.33, not 100 + 100 + 50.
    Path p = densify({{0, 0}, {250, 0}}, 100);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p.front(), (Point{0, 0}));
    EXPECT_EQ(p.back(), (Point{250, 0}));
    EXPECT_NEAR(p[1].x, 250.0 / 3, 1e-9);
    EXPECT_NEAR(p[2].x, 500.0 / 3, 1e-9);

    // An exact multiple gives exactly L / d pieces.
    EXPECT_EQ(densify({{0, 0}, {300, 0}}, 100).size(), 4u);
    // A segment shorter than the length stays one piece: the two ends.
    EXPECT_EQ(densify({{5, 5}, {50, 5}}, 100), (Path{{5, 5}, {50, 5}}));
    // Each segment of a path is split on its own; shared vertices appear once.
    Path q = densify({{0, 0}, {0, 150}, {200, 150}}, 100);
    EXPECT_EQ(q, (Path{{0, 0}, {0, 75}, {0, 150}, {100, 150}, {200, 150}}));
    EXPECT_LE(maxPiece(q), 100.0);
}

TEST(Densify, RayAtProjectedCoordinatesWhoseLengthIsAHairAboveTheMultiple) {
    // A bearing-cast 10 km ray in UTM-like coordinates: its computed length
    // comes out a few ulps above 10,000, which must still give 100 pieces.
    const double x0 = 291090.789, y0 = 5743925.067;
    const double a = 5 * (360.0 / 32) * 3.14159 / 180;
    const Point end{x0 + 10000 * std::sin(a), y0 + 10000 * std::cos(a)};
    const double len = std::hypot(end.x - x0, end.y - y0);
    ASSERT_NEAR(len, 10000, 1e-6);
    Path found;
    // Find, among nearby bearings, one whose computed length exceeds 10,000.
    for (int k = 0; k < 400 && found.empty(); ++k) {
        const double b = a + k * 1e-4;
        const Point e{x0 + 10000 * std::sin(b), y0 + 10000 * std::cos(b)};
        if (std::hypot(e.x - x0, e.y - y0) > 10000.0) found = {{x0, y0}, e};
    }
    ASSERT_FALSE(found.empty());
    const Path d = densify(found, 100);
    EXPECT_EQ(d.size(), 101u);  // 100 pieces
    EXPECT_EQ(d.front(), found.front());
    EXPECT_EQ(d.back(), found.back());
    // A genuinely longer ray does get the extra piece.
    EXPECT_EQ(densify({{0, 0}, {10000.001, 0}}, 100).size(), 102u);
}

TEST(Densify, RejectsANonPositiveLength) {
    EXPECT_THROW(densify({{0, 0}, {1, 0}}, 0), GisError);
    EXPECT_THROW(densify({{0, 0}, {1, 0}}, -5), GisError);
    EXPECT_TRUE(densify({}, 10).empty());
}

TEST(Geometry, SegmentsLengthsAndEnvelopes) {
    Geometry two = Geometry::polyline({{{0, 0}, {3, 4}, {3, 10}}, {{100, 100}, {101, 100}}});
    EXPECT_EQ(two.type(), GeometryType::Polyline);
    EXPECT_EQ(two.firstSegment(), (Path{{0, 0}, {3, 4}}));
    EXPECT_DOUBLE_EQ(two.length(), 5 + 6 + 1);
    EXPECT_EQ(two.envelope(), (Envelope{0, 0, 101, 100}));
    EXPECT_THROW(Geometry::point(1, 2).firstSegment(), GisError);
    EXPECT_THROW(two.asPoint(), GisError);
    EXPECT_EQ(Geometry::point(1, 2).asPoint(), (Point{1, 2}));

    // A ring is closed when it is not.
    Geometry sq = Geometry::polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    ASSERT_EQ(sq.part(0).size(), 5u);
    EXPECT_EQ(sq.part(0).back(), (Point{0, 0}));
    EXPECT_DOUBLE_EQ(sq.length(), 40);

    Envelope e;
    EXPECT_TRUE(e.isEmpty());
    EXPECT_FALSE(e.intersects(sq.envelope()));
    e.expand(Point{10, 10});  // touching the corner counts
    EXPECT_TRUE(e.intersects(sq.envelope()));
}
