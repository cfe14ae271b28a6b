#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogr_api.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <fstream>
#include <iomanip>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "platform/gis/gis.h"
#include "test_support.h"

using namespace quor::platform::gis;
using quor::test::TempDir;

namespace {

// A 1 km square lake with a 200 m square island in the middle.
Geometry lakeWithIsland() {
    return Geometry::polygons({{{{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}},
                                {{400, 400}, {400, 600}, {600, 600}, {600, 400}, {400, 400}}}});
}

double totalLength(const std::vector<Path>& parts) {
    double s = 0;
    for (const auto& p : parts) s += pathLength(p);
    return s;
}

}  // namespace

TEST(Clip, KeepsThePartsInsideTheWaterAndSplitsAtIslands) {
    const ClipPolygons lake = ClipPolygons::fromGeometries({lakeWithIsland()});
    EXPECT_EQ(lake.edgeCount(), 8u);

    auto pieces = lake.clip(Path{{100, 500}, {1100, 500}});
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], (Path{{100, 500}, {400, 500}}));
    EXPECT_EQ(pieces[1], (Path{{600, 500}, {1000, 500}}));

    // Wholly inside, wholly outside, starting outside.
    EXPECT_EQ(lake.clip(Path{{10, 10}, {20, 30}}), (std::vector<Path>{{{10, 10}, {20, 30}}}));
    EXPECT_TRUE(lake.clip(Path{{450, 450}, {550, 550}}).empty());
    EXPECT_TRUE(lake.clip(Path{{-10, -10}, {-20, 3000}}).empty());
    auto in = lake.clip(Path{{-100, 100}, {100, 100}});
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0], (Path{{0, 100}, {100, 100}}));

    // Running along the shore counts as inside; touching a corner only gives nothing.
    auto along = lake.clip(Path{{-100, 0}, {500, 0}});
    ASSERT_EQ(along.size(), 1u);
    EXPECT_EQ(along[0], (Path{{0, 0}, {500, 0}}));
    EXPECT_TRUE(lake.clip(Path{{-100, 100}, {100, -100}}).empty());

    // Through the island's corners exactly (the diagonal).
    auto diag = lake.clip(Path{{0, 0}, {1000, 1000}});
    ASSERT_EQ(diag.size(), 2u);
    EXPECT_NEAR(totalLength(diag), std::sqrt(2.0) * 800, 1e-9);

    // A multi-vertex path keeps its inner vertices in one piece.
    auto bent = lake.clip(Path{{100, 100}, {100, 300}, {300, 300}});
    ASSERT_EQ(bent.size(), 1u);
    EXPECT_EQ(bent[0].size(), 3u);

    EXPECT_TRUE(lake.covers({0, 500}));
    EXPECT_FALSE(lake.covers({500, 500}));
    EXPECT_TRUE(lake.covers({400, 500}));  // the island's shore
}

TEST(Clip, AgreesWithGeosOnRandomRaysOverAWigglyCoast) {
    // A star-shaped bay with 720 vertices and two islands.
    std::vector<Path> rings(3);
    for (int i = 0; i <= 720; ++i) {
        const double a = (i % 720) * M_PI / 360, r = 5000 + 900 * std::sin(7 * a) + 300 * std::cos(23 * a);
        rings[0].push_back({r * std::cos(a), r * std::sin(a)});
    }
    for (int k = 1; k <= 2; ++k)
        for (int i = 0; i <= 60; ++i) {
            const double a = -(i % 60) * M_PI / 30;
            rings[k].push_back({(k == 1 ? 1500 : -1800) + 400 * std::cos(a), (k == 1 ? 700 : -900) + 250 * std::sin(a)});
        }
    const Geometry bay = Geometry::polygons({rings});
    const ClipPolygons clip = ClipPolygons::fromGeometries({bay});

    OGRPolygon poly;
    for (const auto& r : rings) {
        auto* ring = new OGRLinearRing();
        for (const auto& p : r) ring->addPoint(p.x, p.y);
        poly.addRingDirectly(ring);
    }
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-4000, 4000), ang(0, 2 * M_PI);
    for (int i = 0; i < 300; ++i) {
        const Point s{u(rng), u(rng)};
        const double a = ang(rng);
        const Point e{s.x + 10000 * std::sin(a), s.y + 10000 * std::cos(a)};
        OGRLineString ls;
        ls.addPoint(s.x, s.y);
        ls.addPoint(e.x, e.y);
        std::unique_ptr<OGRGeometry> inter(poly.Intersection(&ls));
        double expected = 0;
        if (inter) {
            if (auto* c = dynamic_cast<OGRCurve*>(inter.get())) expected = c->get_Length();
            else if (auto* m = dynamic_cast<OGRMultiCurve*>(inter.get())) expected = m->get_Length();
            else if (auto* gc = dynamic_cast<OGRGeometryCollection*>(inter.get())) {
                for (auto* g : *gc)
                    if (auto* c2 = dynamic_cast<OGRCurve*>(g)) expected += c2->get_Length();
            }
        }
        EXPECT_NEAR(totalLength(clip.clip(Path{s, e})), expected, 1e-6) << "ray " << i;
    }
}

TEST(Clip, ToolsWriteClassesWithTheInputAttributes) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("bay1.gpkg"));
    auto rays = ws->createFeatureClass("rays", GeometryType::Polyline, {{"Dir", FieldType::Integer, "Direction"}});
    const Point site{100, 500};
    const Point ends[] = {{1100, 500}, {100, 1500}, {-900, 500}, {450, 500}};
    for (int d = 0; d < 4; ++d) {
        Feature f = rays->createFeature();
        f.setShape(Geometry::line(site, ends[d]));
        f.setValue("Dir", std::int64_t{d});
        rays->store(f);
    }
    Feature outside = rays->createFeature();
    outside.setShape(Geometry::line({2000, 2000}, {3000, 2000}));
    outside.setValue("Dir", std::int64_t{9});
    rays->store(outside);

    const ClipPolygons lake = ClipPolygons::fromGeometries({lakeWithIsland()});
    // A left-over output of an earlier site is replaced, not appended to.
    ws->createFeatureClass("Inter_ray", GeometryType::Point, {});
    auto clipped = clipAnalysis(*rays, lake, *ws, "Inter_ray");
    EXPECT_EQ(clipped->geometryType(), GeometryType::Polyline);
    EXPECT_EQ(clipped->featureCount(), 4);  // the ray outside the lake is gone
    Feature east = clipped->feature(1);
    EXPECT_EQ(toInt(east.value("Dir")), 0);
    EXPECT_EQ(east.shape().partCount(), 2u);  // split by the island

    auto single = multipartToSinglepart(*clipped, *ws, "Inter_rays");
    ASSERT_EQ(single->featureCount(), 5);
    std::vector<std::int64_t> dirs;
    auto cur = single->search();
    while (auto f = cur.next()) {
        dirs.push_back(toInt(f->value("Dir")));
        EXPECT_EQ(f->shape().partCount(), 1u);
    }
    EXPECT_EQ(dirs, (std::vector<std::int64_t>{0, 0, 1, 2, 3}));
    EXPECT_NEAR(single->feature(2).shape().length(), 400, 1e-9);

    // The attached pieces: those meeting the 4-unit square around the site.
    const Geometry square =
        Geometry::polygon({{site.x + 2, site.y + 2}, {site.x - 2, site.y + 2}, {site.x - 2, site.y - 2}, {site.x + 2, site.y - 2}});
    EXPECT_EQ(single->selectIntersecting(square), (std::vector<std::int64_t>{1, 3, 4, 5}));

    // A polygon class is refused as tool input; a non-polygon class as clip features.
    EXPECT_THROW(ClipPolygons::fromFeatureClass(*rays), GisError);
}

TEST(Clip, AttachedPieceLengthsMatchTheRealBayReference) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    auto ws = Workspace::open(data + "/water_portphillip.shp");
    const ClipPolygons water = ClipPolygons::fromFeatureClass(*ws->openFeatureClass("water_portphillip"));
    auto sites = ws->openFeatureClass("sites_portphillip");

    std::ifstream in(data + "/fetch_portphillip_rwe32.csv");
    std::string line;
    std::getline(in, line);
    int checked = 0;
    while (std::getline(in, line) && checked < 120) {
        std::vector<std::string> cols;
        std::stringstream ss(line);
        for (std::string c; std::getline(ss, c, ',');) cols.push_back(c);
        const int id = std::stoi(cols[0]);
        if (cols[2] != "1" || id % 7 != 0) continue;  // every 7th water site
        // Find the site's point by its SITE_ID.
        std::optional<Point> site;
        auto cur = sites->search();
        while (auto f = cur.next())
            if (toInt(f->value("SITE_ID")) == id) site = f->shape().asPoint();
        ASSERT_TRUE(site) << id;
        for (int d = 0; d < 32; ++d) {
            const double a = d * (360.0 / 32) * 3.14159 / 180;
            const Point end{site->x + 10000 * std::sin(a), site->y + 10000 * std::cos(a)};
            double attached = 0;
            for (const auto& piece : water.clip(Path{*site, end}))
                if (piece.front() == *site) attached = pathLength(piece);
            EXPECT_NEAR(attached, std::stod(cols[3 + d]), 1e-4) << "site " << id << " ray " << d;
        }
        ++checked;
    }
    EXPECT_GT(checked, 50);
}

// Points of the real bay, on its vertices, on its edges, level with its
// vertices (a ray from them passes through one) and all over, are inside or
// outside the water as GEOS's own point location tells.
TEST(Clip, ThePointsOfTheRealBayAreToldInsideAsGeosTellsThem) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    auto water = Workspace::open(data + "/water_portphillip.shp")->openFeatureClass("water_portphillip");
    const ClipPolygons clip = ClipPolygons::fromFeatureClass(*water);
    // GDAL's own reading, tested through GEOS.
    DatasetHandle ds(static_cast<GDALDataset*>(
        GDALOpenEx((data + "/water_portphillip.shp").c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr)));
    ASSERT_TRUE(ds);
    std::vector<std::unique_ptr<OGRGeometry>> shapes;
    std::vector<OGRPreparedGeometryUniquePtr> geos;
    for (auto& f : *ds->GetLayer(0)) {
        shapes.emplace_back(f->StealGeometry());
        geos.emplace_back(OGRCreatePreparedGeometry(OGRGeometry::ToHandle(shapes.back().get())));
    }
    std::vector<Point> points;
    auto cur = water->search();
    while (auto f = cur.next()) {
        for (const auto& ring : f->shape().parts())
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const Point& v = ring[i];
                points.push_back(v);
                points.push_back({v.x - 0.5, v.y});
                points.push_back({v.x + 0.5, v.y});
                points.push_back({std::nextafter(v.x, -HUGE_VAL), v.y});
                if (i > 0) points.push_back({0.5 * (v.x + ring[i - 1].x), 0.5 * (v.y + ring[i - 1].y)});
            }
    }
    const Envelope e = clip.envelope();
    for (int i = 0; i <= 200; ++i)
        for (int j = 0; j <= 200; ++j) points.push_back({e.minX + e.width() * i / 200, e.minY + e.height() * j / 200});
    int inside = 0, outside = 0;
    for (const Point& p : points) {
        OGRPoint at(p.x, p.y);
        bool expected = false;
        for (const auto& g : geos) expected = expected || OGRPreparedGeometryIntersects(g.get(), OGRGeometry::ToHandle(&at));
        ASSERT_EQ(clip.covers(p), expected) << std::setprecision(17) << p.x << " " << p.y;
        (expected ? inside : outside)++;
    }
    EXPECT_GT(inside, 10000);
    EXPECT_GT(outside, 10000);
}

// One coast serves every thread of a run at once: what each clips is what
// one thread alone clips.
TEST(Clip, ThreadsClippingWithOneCoastGetWhatOneThreadGets) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const ClipPolygons clip =
        ClipPolygons::fromFeatureClass(*Workspace::open(data + "/water_portphillip.shp")->openFeatureClass("water_portphillip"));
    const Envelope e = clip.envelope();
    std::vector<Path> rays;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> x(e.minX, e.maxX), y(e.minY, e.maxY), angle(0, 2 * M_PI);
    for (int i = 0; i < 3000; ++i) {
        const Point s{x(rng), y(rng)};
        const double a = angle(rng);
        rays.push_back({s, {s.x + 20000 * std::sin(a), s.y + 20000 * std::cos(a)}});
    }
    auto clipAll = [&] {
        std::vector<std::vector<Path>> out;
        for (const auto& r : rays) out.push_back(clip.clip(r));
        return out;
    };
    const auto alone = clipAll();
    std::vector<std::vector<std::vector<Path>>> side(4);
    std::vector<std::thread> threads;
    for (auto& s : side) threads.emplace_back([&s, &clipAll] { s = clipAll(); });
    for (auto& t : threads) t.join();
    for (const auto& s : side) EXPECT_EQ(s, alone);
}
