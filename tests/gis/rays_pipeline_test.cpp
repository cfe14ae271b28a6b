// The per-site ray pipelines of both models on real GDAL data: a lake
// with an island that cuts the east ray, a diamond island whose corner the
// north ray grazes, a NoData patch south of the site, land all around.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <filesystem>
#include <map>

#include "gis/cliprays.h"
#include "gis/createrays.h"
#include "gis/lineprofile.h"
#include "gis/ray_site.h"
#include "gis/selorphans.h"
#include "gis/site_run.h"
#include "rays_test_data.h"
#include "platform/log.h"
#include "test_support.h"

namespace quor::gis {
namespace {

using namespace testdata;
using Proj = Project<test::RecordingMessages, test::RecordingProgress>;

bool inRect(double x, double y, double x0, double y0, double x1, double y1) {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1;
}
bool inDiamond(double x, double y) { return std::abs(x - 9000) + std::abs(y - 13000) < 1000; }

double lakeValue(double x, double y) {
    if (!inRect(x, y, 0, 0, 20000, 20000)) return 3;  // land around
    if (inRect(x, y, 12000, 9000, 13000, 11000) || inDiamond(x, y)) return 5;  // islands
    if (inRect(x, y, 9800, 4000, 10200, 4500)) return std::nan("");
    return -10;
}

struct Piece {
    std::int64_t oid;
    int dir;
    pg::Path path;
    double length() const { return pg::pathLength(path); }
};

std::vector<Piece> readPieces(const pg::FeatureClass& fc) {
    std::vector<Piece> out;
    auto cur = fc.search();
    while (auto f = cur.next())
        out.push_back({f->oid(), static_cast<int>(pg::toInt(f->value("Dir"))), f->shape().part(0)});
    return out;
}

class Lake : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(tmp.path() + "/shore");
        writeShoreline(tmp.path() + "/shore", "lake",
                       {{Ring{{0, 0}, {20000, 0}, {20000, 20000}, {0, 20000}},
                         Ring{{12000, 9000}, {13000, 9000}, {13000, 11000}, {12000, 11000}},
                         Ring{{10000, 13000}, {9000, 12000}, {8000, 13000}, {9000, 14000}}}});
        writeBathymetry(tmp.path() + "/bathy.tif", -1000, -1000, 100, 220, 220, lakeValue);
        std::filesystem::create_directories(tmp.path() + "/proj");
        p = std::make_unique<Proj>(tmp.path() + "/proj", tmp.path() + "/shore", "lake.shp");
        raster = pg::Raster::open(tmp.path() + "/bathy.tif");
        p->state.bathy_raster = raster;
    }

    std::vector<std::string> workClassesLeft() const {
        std::vector<std::string> out;
        for (const auto& n : p->mf.ptworkspace->featureClassNames())
            for (const auto& w : kRayWorkClasses)
                if (n == w) out.push_back(n);
        return out;
    }

    // The RWE clipping path of one site, as the driver calls it.
    std::shared_ptr<pg::FeatureClass> rweClipSite(const pg::Point& site, int n) {
        auto rays = wave_createrays_cls(p->ctx).WaveCreaterays(site, p->mf.ptworkspace, "bay1", 1, n);
        EXPECT_EQ(p->state.err_rays, 0);
        if (!rays) return nullptr;
        inter = wave_cliprays_cls(p->ctx).cliprays("bay1", rays);
        EXPECT_EQ(p->state.err_clip, 0);
        if (!inter) return nullptr;
        auto orp = createRayWorkClass(p->ctx, p->mf.ptworkspace, "orp_rays");
        return wave_selorphan_cls(p->ctx).selorphans(site, inter, p->mf.ptworkspace, orp);
    }

    test::TempDir tmp;
    std::unique_ptr<Proj> p;
    std::shared_ptr<pg::Raster> raster;
    std::shared_ptr<pg::FeatureClass> inter;
};

TEST_F(Lake, ReiSiteKeepsOnlyTheAttachedPieceAndProfilesIt) {
    const pg::Point site = p->site(10000, 10000);
    {
        RaySite scope(p->ctx);
        createrays_cls(p->ctx).createrays(site, p->mf.ptworkspace, "bay1", 1, raster);
        EXPECT_TRUE(p->messages.entries.empty()) << p->messages.entries.front().text;

        // The east ray crosses the island: two pieces, nearest first.
        auto ws = p->mf.ptworkspace;
        const auto pieces = readPieces(*ws->openFeatureClass("Inter_rays"));
        std::vector<Piece> east;
        for (const auto& pc : pieces)
            if (pc.dir == 0) east.push_back(pc);
        ASSERT_EQ(east.size(), 2u);
        EXPECT_NEAR(east[0].length(), 2000, 1e-6);
        EXPECT_NEAR(east[1].length(), 7000, 1e-6);
        EXPECT_NEAR(east[1].path[0].x, kX0 + 13000, 1e-6);

        const auto kept = readPieces(*ws->openFeatureClass("orp_rays"));
        ASSERT_EQ(kept.size(), 32u);  // one attached piece per ray
        for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i].oid, static_cast<std::int64_t>(i + 1));

        EXPECT_NEAR(p->state.ray_fetch(0), 2000, 1e-6);
        EXPECT_NEAR(p->state.ray_fetch(8), 10000, 1e-6);   // north, clear to the shore
        EXPECT_NEAR(p->state.ray_fetch(16), 10000, 1e-6);  // west, ends on the shore
        // North: 101 sample points of depth 10, power 0.053 on every ray.
        double want = 0;
        for (int k = 0; k <= 100; ++k) {
            const double r = 100.0 * k;
            want += (1 - r / 10000) * (10 * 10000) / std::pow(1 + r, 0.053);
        }
        EXPECT_NEAR(p->state.ray_bathy(8), want, 1e-6 * want);
        EXPECT_FLOAT_EQ(p->state.ray_power(8), 0.053f);

        // Only the kept pieces are on the map while the index is computed.
        ASSERT_EQ(p->map.layerCount(), 1);
        EXPECT_EQ(p->map.layer(0)->name(), "orp_rays");
    }
    const std::vector<int> wantProgress = {5, 70, 75, 80, 85};
    EXPECT_EQ(p->progress.bar1History, wantProgress);
    EXPECT_EQ(p->map.layerCount(), 0);
    EXPECT_TRUE(workClassesLeft().empty());
}

TEST_F(Lake, RweClipPiecesAreMergedTwoPointOutwardAndOrdered) {
    const pg::Point site = p->site(10000, 10000);
    RaySite scope(p->ctx);
    auto orp = rweClipSite(site, 16);
    ASSERT_TRUE(orp);

    const auto pieces = readPieces(*inter);
    int lastDir = -1;
    double lastStart = -1;
    int north = 0;
    for (const auto& pc : pieces) {
        ASSERT_EQ(pc.path.size(), 2u) << "Dir " << pc.dir;
        const double d0 = std::hypot(pc.path[0].x - site.x, pc.path[0].y - site.y);
        const double d1 = std::hypot(pc.path[1].x - site.x, pc.path[1].y - site.y);
        EXPECT_LT(d0, d1) << "Dir " << pc.dir << " points inward";
        // By source ray, then by distance from the site.
        EXPECT_TRUE(pc.dir > lastDir || (pc.dir == lastDir && d0 > lastStart)) << pc.dir;
        lastDir = pc.dir;
        lastStart = d0;
        if (pc.dir == 0) ++north;
    }
    // The north ray grazes the diamond's corner and stays one piece.
    EXPECT_EQ(north, 1);

    std::map<int, double> kept;
    for (const auto& pc : readPieces(*orp)) kept[pc.dir] = pc.length();
    ASSERT_EQ(kept.size(), 16u);
    EXPECT_NEAR(kept[0], 10000, 1e-6);
    EXPECT_NEAR(kept[4], 2000, 1e-6);
    EXPECT_NEAR(kept[8], 10000, 1e-6);
    EXPECT_NEAR(kept[12], 10000, 1e-6);

    // The pieces have replaced the fan on the map; the kept pieces are on top.
    ASSERT_EQ(p->map.layerCount(), 2);
    EXPECT_EQ(p->map.layer(0)->name(), "orp_rays");
    EXPECT_EQ(p->map.layer(1)->name(), "Inter_rays");
    EXPECT_EQ(p->map.layer(1)->selection().size(), 16u);
    const std::vector<int> wantProgress = {5, 40, 42};
    EXPECT_EQ(p->progress.bar1History, wantProgress);
}

TEST_F(Lake, BackgroundRunsNeedNoMapLayer) {
    // With no layer for the eye the steps still find their classes.
    p->fm.refreshmap = 1;
    RaySite scope(p->ctx);
    auto orp = rweClipSite(p->site(10000, 10000), 32);
    ASSERT_TRUE(orp);
    EXPECT_EQ(orp->featureCount(), 32);
    EXPECT_EQ(p->state.err_clip, 0);
    EXPECT_EQ(p->map.layerCount(), 1);  // only the copy's own layer of the kept pieces
    EXPECT_TRUE(std::find(p->progress.bar1History.begin(), p->progress.bar1History.end(), 5) ==
                p->progress.bar1History.end());

    deleteWorkClasses(p->mf.ptworkspace);
    createrays_cls(p->ctx).createrays(p->site(10000, 10000), p->mf.ptworkspace, "bay1", 2, raster);
    EXPECT_TRUE(p->messages.entries.empty());
    EXPECT_NEAR(p->state.ray_fetch(0), 2000, 1e-6);
}

TEST_F(Lake, ShorelineReferenceComesFromTheDatasetNotTheMapOrder) {
    // "Bathymetry on top": the raster is the layer second from the bottom's place.
    auto shoreWs = pg::Workspace::open(tmp.path() + "/shore/lake.shp");
    p->map.addLayer(pg::Layer::featureLayer(shoreWs->openFeatureClass("lake"), "lake"));
    p->map.addLayer(pg::Layer::rasterLayer(raster, "bathy"));
    p->map.moveLayer(0, 1);
    p->map.moveLayer(1, 0);
    RaySite scope(p->ctx);
    auto rays = wave_createrays_cls(p->ctx).WaveCreaterays(p->site(10000, 10000), p->mf.ptworkspace, "x", 1, 16);
    ASSERT_TRUE(rays);
    EXPECT_EQ(p->state.err_rays, 0);
    EXPECT_EQ(rays->spatialReference().epsgCode(), 32755);
    ASSERT_TRUE(wave_cliprays_cls(p->ctx).cliprays("x", rays));
    EXPECT_EQ(p->state.err_clip, 0);
}

TEST_F(Lake, LeftoversAndFailuresLeaveNothingBehind) {
    // A failed earlier site left its classes behind.
    for (const char* name : {"rays", "Inter_rays", "EffF_rays"})
        createRayWorkClass(p->ctx, p->mf.ptworkspace, name);
    auto project = pg::Layer::rasterLayer(raster, "bathy");
    p->map.addLayer(project);
    try {
        RaySite scope(p->ctx);
        auto rays =
            wave_createrays_cls(p->ctx).WaveCreaterays(p->site(10000, 10000), p->mf.ptworkspace, "bay1", 1, 16);
        ASSERT_TRUE(rays);
        EXPECT_EQ(p->state.err_rays, 0);
        EXPECT_EQ(rays->featureCount(), 16);
        ASSERT_TRUE(wave_cliprays_cls(p->ctx).cliprays("bay1", rays));
        EXPECT_EQ(p->map.layerCount(), 2);
        throw std::runtime_error("a later stage fails");
    } catch (const std::runtime_error&) {
    }
    // The site's layers went by identity; the project's layer stays.
    ASSERT_EQ(p->map.layerCount(), 1);
    EXPECT_EQ(p->map.layer(0), project);
    EXPECT_TRUE(workClassesLeft().empty());

    // A map view that fails to redraw while the site's layers come off
    // neither ends the program nor leaves layers behind.
    bool failDrawing = false;
    const int listener = p->map.addListener([&failDrawing] {
        if (failDrawing) throw std::runtime_error("cannot draw");
    });
    {
        RaySite scope(p->ctx);
        ASSERT_TRUE(rweClipSite(p->site(10000, 10000), 16));
        EXPECT_EQ(p->map.layerCount(), 3);
        failDrawing = true;
    }
    p->map.removeListener(listener);
    ASSERT_EQ(p->map.layerCount(), 1);
    EXPECT_EQ(p->map.layer(0), project);
    EXPECT_TRUE(workClassesLeft().empty());
}

TEST_F(Lake, SitesOnLandKeepOnlyPiecesBeginningInsideTheSquare) {
    {
        RaySite scope(p->ctx);
        // 3 units west of the shore: every piece begins 3 units out.
        auto orp = rweClipSite(p->site(-3, 10000), 16);
        ASSERT_TRUE(orp);
        EXPECT_GT(inter->featureCount(), 0);
        EXPECT_EQ(orp->featureCount(), 0);
    }
    {
        RaySite scope(p->ctx);
        // 2 units out the east piece touches the square's edge, which
        // counts; its neighbours begin inside the square, off the site.
        auto orp = rweClipSite(p->site(-2, 10000), 16);
        ASSERT_TRUE(orp);
        const auto kept = readPieces(*orp);
        std::vector<int> dirs;
        for (const auto& k : kept) {
            dirs.push_back(k.dir);
            EXPECT_NEAR(k.path[0].x, kX0, 1e-6);
        }
        // With pi taken as 3.14159 the south-east ray meets the shore just
        // inside the square's corner (1.99996 south), the north-east one
        // just outside (2.000005 north).
        EXPECT_EQ(dirs, (std::vector<int>{3, 4, 5, 6}));
    }
}

TEST_F(Lake, ClippingFailuresAreReportedByMode) {
    p->mf.shorename = "missing.shp";
    {
        RaySite scope(p->ctx);
        createrays_cls(p->ctx).createrays(p->site(10000, 10000), p->mf.ptworkspace, "bay1", 1, raster);
        ASSERT_EQ(p->messages.entries.size(), 1u);
        EXPECT_EQ(p->messages.entries[0].text,
                  "Clipping error. Please check that points should lie inside the shoreline coverage extent.");
        EXPECT_EQ(p->messages.entries[0].icon, platform::MessageIcon::Critical);
        EXPECT_EQ(p->state.ray_fetch(0), 0);  // no profile
    }
    {
        RaySite scope(p->ctx);
        auto rays =
            wave_createrays_cls(p->ctx).WaveCreaterays(p->site(10000, 10000), p->mf.ptworkspace, "bay1", 1, 16);
        ASSERT_TRUE(rays);
        EXPECT_EQ(p->state.err_rays, 0);
        std::vector<std::string> log;
        const auto previous = platform::setLogSink([&](const std::string& l) { log.push_back(l); });
        EXPECT_FALSE(wave_cliprays_cls(p->ctx).cliprays("bay1", rays));
        platform::setLogSink(previous);
        EXPECT_EQ(p->state.err_clip, 1);
        EXPECT_EQ(p->messages.entries.size(), 1u);  // no message of its own
        // The cause is kept for the developer: the missing shoreline.
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find("missing"), std::string::npos) << log[0];
    }
    // A fan that cannot be cast.
    p->mf.shorename = "lake.shp";
    p->mf.Fetch = 0;
    wave_createrays_cls(p->ctx).WaveCreaterays(p->site(10000, 10000), p->mf.ptworkspace, "bay1", 1, 16);
    EXPECT_EQ(p->state.err_rays, 1);
    EXPECT_EQ(p->messages.entries.back().text, "The maximum fetch must be greater than 0 to cast rays.");
    p->mf.Fetch = 10000;
    p->mf.ptworkspace = nullptr;
    wave_createrays_cls(p->ctx).WaveCreaterays(p->site(10000, 10000), nullptr, "bay1", 1, 16);
    EXPECT_EQ(p->state.err_rays, 1);
    EXPECT_EQ(p->messages.entries.back().text, "Error in creating rays");
}

TEST_F(Lake, ReiFastPathWalksTheWholeRays) {
    p->fm.indexcheck = 1;
    {
        RaySite scope(p->ctx);
        createrays_cls(p->ctx).createrays(p->site(10000, 10000), p->mf.ptworkspace, "bay1", 1, raster);
        EXPECT_TRUE(p->messages.entries.empty());
        EXPECT_FALSE(p->mf.ptworkspace->hasFeatureClass("orp_rays"));
        EXPECT_FALSE(p->mf.ptworkspace->hasFeatureClass("Inter_rays"));
    }
    // Island values are not 0: the east ray runs on. The south ray stops
    // before the NoData patch at 5500 m.
    EXPECT_NEAR(p->state.ray_fetch(0), 10000, 1e-6);
    EXPECT_NEAR(p->state.ray_fetch(24), 5500, 1e-6);
    ASSERT_GE(p->progress.bar1History.size(), 6u);
    const std::vector<int> first = {5, 8, 10, 12, 15};
    EXPECT_EQ(std::vector<int>(p->progress.bar1History.begin(), p->progress.bar1History.begin() + 5), first);
    EXPECT_EQ(p->progress.bar1History.back(), 85);
}

TEST_F(Lake, ProfileSkipsDryOrNoDataSitesAndReportsSitesOffTheRaster) {
    // A site on NoData, one on land (bathymetry negative in water) and one
    // off the raster.
    p->state.ray_power(3) = 7;
    RaySite scope(p->ctx);
    createrays_cls(p->ctx).createrays(p->site(10000, 4200), p->mf.ptworkspace, "bay1", 1, raster);
    EXPECT_FLOAT_EQ(p->state.ray_power(3), 7);  // nothing written, not even the powers
    EXPECT_TRUE(p->messages.entries.empty());

    p->wind.windpowercoll.clear();  // a site that profiled would fail on the powers
    createrays_cls(p->ctx).createrays(p->site(12500, 10000), p->mf.ptworkspace, "bay1", 2, raster);
    EXPECT_TRUE(p->messages.entries.empty());

    createrays_cls(p->ctx).createrays(p->site(30000, 10000), p->mf.ptworkspace, "bay1", 3, raster);
    ASSERT_FALSE(p->messages.entries.empty());
}

TEST_F(Lake, PiecesTouchingTheSquareAreKeptThoseBeyondItDropped) {
    RaySite scope(p->ctx);
    const pg::Point site = p->site(1000, 2000);
    auto pieces = createRayWorkClass(p->ctx, p->mf.ptworkspace, "Inter_rays");
    const std::vector<std::pair<pg::Point, int>> starts = {
        {{site.x + 2, site.y + 2}, 0},  // the corner
        {{site.x + 3, site.y}, 1},      // 3 units out
        {{site.x, site.y - 2}, 2},      // on the edge
        {{site.x, site.y}, 3},          // at the site
    };
    for (const auto& [start, dir] : starts) {
        pg::Feature f = pieces->createFeature();
        f.setShape(pg::Geometry::line(start, {start.x + 1000 * (dir == 2 ? 0 : 1), start.y - 1000 * (dir == 2)}));
        f.setValue("Dir", std::int64_t{dir});
        pieces->store(f);
    }
    auto orp = createRayWorkClass(p->ctx, p->mf.ptworkspace, "orp_rays");
    std::vector<std::vector<pg::Point>> drawn;
    p->ctx.drawSiteSquare = [&](const std::vector<pg::Point>& square) { drawn.push_back(square); };
    orp = wave_selorphan_cls(p->ctx).selorphans(site, pieces, p->mf.ptworkspace, orp);
    // The square is drawn over the map, closed, in the order it is built.
    ASSERT_EQ(drawn.size(), 1u);
    const std::vector<std::pair<double, double>> corners = {
        {1002, 2002}, {998, 2002}, {998, 1998}, {1002, 1998}, {1002, 2002}};
    ASSERT_EQ(drawn[0].size(), corners.size());
    for (std::size_t i = 0; i < corners.size(); ++i) {
        EXPECT_DOUBLE_EQ(drawn[0][i].x, p->site(corners[i].first, corners[i].second).x);
        EXPECT_DOUBLE_EQ(drawn[0][i].y, p->site(corners[i].first, corners[i].second).y);
    }
    std::vector<int> dirs;
    for (const auto& k : readPieces(*orp)) dirs.push_back(k.dir);
    EXPECT_EQ(dirs, (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(orp->feature(3).oid(), 3);  // object ids from 1 without gaps
}

TEST_F(Lake, ProfileRefusesBadSettingsAndStopsAtABadDirection) {
    const pg::Point site = p->site(10000, 10000);
    {
        RaySite scope(p->ctx);
        p->mf.dist_bathy = 0;  // would never finish a ray
        createrays_cls(p->ctx).createrays(site, p->mf.ptworkspace, "bay1", 1, raster);
        ASSERT_EQ(p->messages.entries.size(), 1u);
        EXPECT_EQ(p->messages.entries[0].text, "The bathymetry interrogation distance must be greater than 0.  ");
        EXPECT_EQ(p->state.ray_fetch(8), 0);
        p->mf.dist_bathy = 100;
    }
    // A "Dir" beyond the ray arrays ends the whole profile: the later
    // features are not profiled and the final progress value is not set.
    RaySite scope(p->ctx);
    auto cls = createRayWorkClass(p->ctx, p->mf.ptworkspace, "orp_rays");
    for (int dir : {0, 40, 1}) {
        pg::Feature f = cls->createFeature();
        f.setShape(pg::Geometry::line(site, {site.x + 500, site.y}));
        f.setValue("Dir", std::int64_t{dir});
        cls->store(f);
    }
    p->messages.entries.clear();
    p->progress.bar1History.clear();
    lineprofile_cls(p->ctx).lineprofile(cls, site, raster);
    ASSERT_EQ(p->messages.entries.size(), 1u);
    EXPECT_EQ(p->messages.entries[0].text, "Subscript out of range  ");
    EXPECT_EQ(p->messages.entries[0].icon, platform::MessageIcon::Critical);
    EXPECT_NEAR(p->state.ray_fetch(0), 500, 1e-9);
    EXPECT_GT(p->state.ray_bathy(0), 0);
    EXPECT_EQ(p->state.ray_fetch(1), 0);
    EXPECT_TRUE(p->progress.bar1History.empty());

    // A maximum fetch or a unit factor of 0 would divide by zero in the sums.
    for (auto [fetch, unit] : {std::pair{0.0, 1.0f}, std::pair{10000.0, 0.0f}}) {
        p->mf.Fetch = fetch;
        p->mf.unitfactor = unit;
        p->state.ray_bathy(0) = 0;
        lineprofile_cls(p->ctx).lineprofile(cls, site, raster);
        EXPECT_EQ(p->state.ray_bathy(0), 0) << fetch << " " << unit;
    }
    ASSERT_EQ(p->messages.entries.size(), 3u);
    EXPECT_EQ(p->messages.entries[1].text, "The maximum fetch must be greater than 0.  ");
    p->messages.entries.resize(1);
    p->mf.Fetch = 10000;
    p->mf.unitfactor = 1;

    // No wind climate: the powers cannot be copied, nothing is profiled.
    p->wind.windpowercoll.clear();
    p->state.ray_fetch(0) = 0;
    lineprofile_cls(p->ctx).lineprofile(cls, site, raster);
    ASSERT_EQ(p->messages.entries.size(), 2u);
    EXPECT_EQ(p->state.ray_fetch(0), 0);
}

// The shoreline's clip polygons are prepared once for a run: every worker,
// however many, clips with the run's own.
TEST_F(Lake, EveryWorkerClipsWithTheRunsOneShoreline) {
    const Shoreline& run = p->ctx.shore();
    for (int threads : {1, 4}) {
        const auto workers = SiteWorker::forRun(p->ctx, threads);
        for (const auto& w : workers) {
            const RayContext& rays = w->beginSite();
            ASSERT_TRUE(rays.shoreline);
            EXPECT_EQ(&rays.shoreline->polygons(), &run.polygons()) << threads << " threads";
        }
    }
}

// A site computed on a worker changes its own map; the window's map goes
// through the same changes, in their order, when the site is committed:
// a layer added by another step and taken back, and one taken off by the
// worker map's own element (which the next layer moves into).
TEST(DeferredSite, TheWindowsMapGoesThroughTheSitesLayerChangesInOrder) {
    pg::Map own, window;
    test::RecordingMessages messages;
    test::RecordingProgress progress;
    platform::DeferredFeedback record(messages, progress);
    std::vector<std::string> seen;
    window.addListener([&] {
        std::string names;
        for (const auto& l : window.layers()) names += l->name();
        seen.push_back(names);
    });
    {
        SiteLayers site(own, &record, &window);
        site.add(pg::Layer::featureLayer(nullptr, "A"));
        own.addLayer(pg::Layer::featureLayer(nullptr, "B"));  // as a copy step adds its class
        site.adopt(own.layer(0));
        site.remove(own.layer(0));
        EXPECT_TRUE(seen.empty()) << "nothing reaches the window before the commit";
    }
    EXPECT_EQ(own.layerCount(), 0);
    platform::DeferredFeedback::play(record.take());
    EXPECT_EQ(seen, (std::vector<std::string>{"A", "BA", "A", ""}));
}

// What the sites of a run log on the workers goes out at each site's
// commit, among its messages, in the order one thread gives.
TEST(DeferredSite, LogLinesOfTheSitesGoOutAtTheirCommitsInOrder) {
    auto ws = pg::Workspace::createMemory("sites");
    auto fc = ws->createFeatureClass("sites", pg::GeometryType::Point, {});
    for (int i = 0; i < 40; ++i) {
        pg::Feature f = fc->createFeature();
        f.setShape(pg::Geometry::point(i, 0));
        fc->store(f);
    }
    auto timeline = [&](int threads) {
        test::RunThreads use(threads);
        test::TempDir tmp;
        Proj p(tmp.path(), tmp.path(), "none.shp");
        std::vector<std::string> seen;
        p.messages.onMessage = [&](const std::string& text) { seen.push_back("message " + text); };
        const auto keep = platform::setLogSink([&](const std::string& line) { seen.push_back("log " + line); });
        SiteRun<int> sites(p.ctx, SiteArrays::Kept, [](SiteWorker& w, int, const SiteItem& site, int&) {
            platform::logCause("site " + std::to_string(site.number), "computed");
            w.rays().messages.message("site " + std::to_string(site.number));
        });
        auto cursor = fc->search();
        sites.run(cursor, [&](SiteItem& site, ComputedSite<int>& c) {
            seen.push_back("commit " + std::to_string(site.number));
            c.play(p.state);
            return true;
        });
        platform::setLogSink(keep);
        return seen;
    };
    const auto one = timeline(1);
    ASSERT_EQ(one.size(), 120u);
    EXPECT_EQ(one[1], "log site 1: computed");
    EXPECT_EQ(timeline(4), one);
}

}  // namespace
}  // namespace quor::gis
