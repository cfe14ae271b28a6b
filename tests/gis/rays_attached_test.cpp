// The pieces attached to a site taken straight from the shoreline (runs
// that draw nothing) against the drawn path's clipped, selected and copied
// work classes: the same pieces in the same order, so the same lengths and
// profiles, on coasts made to hit the awkward cases and on Port Phillip.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "gis/attached_pieces.h"
#include "gis/cliprays.h"
#include "gis/createrays.h"
#include "gis/ray_site.h"
#include "gis/selorphans.h"
#include "rays_test_data.h"
#include "test_support.h"

namespace quor::gis {
namespace {

using namespace testdata;
using Proj = Project<test::RecordingMessages, test::RecordingProgress>;

struct Kept {
    std::int64_t dir;
    XY start, end;
    double length;
    friend bool operator==(const Kept&, const Kept&) = default;
};

std::ostream& operator<<(std::ostream& os, const Kept& k) {
    return os << "dir " << k.dir << " (" << k.start.x << " " << k.start.y << ")-(" << k.end.x << " " << k.end.y
              << ") " << k.length;
}

class Attached : public ::testing::Test {
protected:
    void open(const std::string& shoreFolder, const std::string& shoreName, const std::string& rasterPath) {
        std::filesystem::create_directories(tmp.path() + "/proj");
        p = std::make_unique<Proj>(tmp.path() + "/proj", shoreFolder, shoreName);
        raster = pg::Raster::open(rasterPath);
        p->state.bathy_raster = raster;
        p->ctx.workspace = pg::Workspace::createMemory("work");
    }

    // Both RWE paths for one site and fan: what "orp_rays" holds after the
    // drawn steps, and what the direct path keeps from the same fan.
    std::pair<std::vector<Kept>, std::vector<Kept>> rwePieces(const pg::Point& site, int n) {
        RaySite scope(p->ctx);
        const auto ws = p->ctx.workClasses();
        auto rays = wave_createrays_cls(p->ctx).WaveCreaterays(site, ws, "bay1", 1, n);
        EXPECT_TRUE(rays);
        std::vector<Kept> drawn, direct;
        for (const auto& a : attachedPieces(p->ctx.shore().polygons(), fanRays(*rays), site))
            direct.push_back({a.dir, a.start, a.end, a.length()});
        auto pieces = wave_cliprays_cls(p->ctx).cliprays("bay1", rays);
        EXPECT_TRUE(pieces);
        auto orp = wave_selorphan_cls(p->ctx).selorphans(site, pieces, ws, createRayWorkClass(p->ctx, ws, "orp_rays"));
        auto cur = orp->search();
        while (auto f = cur.next()) {
            const pg::Path& line = f->shape().part(0);
            drawn.push_back({pg::toInt(f->value("Dir")), line.front(), line.back(), f->shape().length()});
        }
        return {drawn, direct};
    }

    // The REI site's ray arrays after the drawn and after the direct path.
    void expectSameReiProfile(const pg::Point& site, const std::string& what) {
        std::vector<double> fetch[2], bathy[2];
        std::vector<std::string> told[2];
        for (int direct : {0, 1}) {
            resetArrays();
            p->messages.entries.clear();
            {
                RaySite scope(p->ctx);
                if (direct)
                    profileAttachedRays(p->ctx, site, p->ctx.workClasses(), raster);
                else
                    createrays_cls(p->ctx).createrays(site, p->ctx.workClasses(), "bay1", 1, raster);
            }
            for (int k = 0; k < 32; ++k) {
                fetch[direct].push_back(p->state.ray_fetch(k));
                bathy[direct].push_back(p->state.ray_bathy(k));
            }
            told[direct] = p->messages.texts();
        }
        EXPECT_EQ(fetch[0], fetch[1]) << what;
        EXPECT_EQ(bathy[0], bathy[1]) << what;
        EXPECT_EQ(told[0], told[1]) << what;
    }

    void resetArrays() {
        for (int k = 0; k < 32; ++k) p->state.ray_fetch(k) = p->state.ray_bathy(k) = 0;
    }

    test::TempDir tmp;
    std::unique_ptr<Proj> p;
    std::shared_ptr<pg::Raster> raster;
};

// A 20 km lake with islands placed on the fans: a box that the east ray
// of (10000, 10000) meets and whose lower edge the REI east ray of
// (10000, 9000) runs along, a diamond whose west corner lies on the north
// ray of (5000, 5000), and a strip of land 1 m east of (15000, 15000),
// inside the site's square.
TEST_F(Attached, SameAsTheDrawnPathOnVerticesEdgesBoundariesAndIslands) {
    std::filesystem::create_directories(tmp.path() + "/shore");
    writeShoreline(tmp.path() + "/shore", "lake",
                   {{Ring{{0, 0}, {20000, 0}, {20000, 20000}, {0, 20000}},
                     Ring{{12000, 9000}, {13000, 9000}, {13000, 11000}, {12000, 11000}},
                     Ring{{5000, 8000}, {6000, 7000}, {7000, 8000}, {6000, 9000}},
                     Ring{{15001, 14000}, {15001.5, 14000}, {15001.5, 16000}, {15001, 16000}}}});
    writeBathymetry(tmp.path() + "/bathy.tif", -1000, -1000, 100, 220, 220,
                    [](double x, double y) { return x < 0 || y < 0 || x > 20000 || y > 20000 ? 3.0 : -12.0; });
    open(tmp.path() + "/shore", "lake.shp", tmp.path() + "/bathy.tif");
    p->mf.depthno = 1;

    const std::vector<std::pair<std::string, pg::Point>> sites = {
        {"open water", p->site(10000, 10000)},
        {"ray through a corner", p->site(5000, 5000)},
        {"site on the boundary, a ray along it", p->site(0, 5000)},
        {"ray along an island's edge", p->site(10000, 9000)},
        {"land strip inside the square", p->site(15000, 15000)},
        {"on an island 0.5 m from the water", p->site(12000.5, 10000)},
        {"corner of the lake", p->site(20000, 20000)},
        {"outside the water", p->site(-500, -500)},
    };
    int severalPieces = 0;
    for (const auto& [what, site] : sites) {
        for (int n : {16, 32, 56}) {
            const auto [drawn, direct] = rwePieces(site, n);
            EXPECT_EQ(direct, drawn) << what << ", " << n << " rays";
            for (std::size_t i = 1; i < drawn.size(); ++i) severalPieces += drawn[i].dir == drawn[i - 1].dir;
        }
        expectSameReiProfile(site, what);
    }
    // The strip and the island site keep more than one piece on a ray.
    EXPECT_GT(severalPieces, 0);
    EXPECT_EQ(p->state.err_clip, 0);
}

std::vector<std::pair<int, pg::Point>> bayDirectSites(const std::string& dir) {
    std::vector<std::pair<int, pg::Point>> out;
    std::ifstream in(dir + "/sites_portphillip.csv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string id, category, x, y;
        std::getline(ss, id, ',');
        std::getline(ss, category, ',');
        std::getline(ss, x, ',');
        std::getline(ss, y, ',');
        const int i = std::stoi(id);
        if (category == "water" && i % 5 != 1) continue;  // every special site, a fifth of the rest
        out.push_back({i, {std::stod(x), std::stod(y)}});
    }
    return out;
}

TEST_F(Attached, SameAsTheDrawnPathOnPortPhillip) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    open(dir, "water_portphillip.shp", dir + "/bathy_portphillip_m.tif");
    p->wind.windpowercoll.assign(32, 0.0f);
    p->mf.dist_bathy = 19;
    int compared = 0;
    for (const auto& [id, site] : bayDirectSites(dir)) {
        for (int n : {16, 56}) {
            const auto [drawn, direct] = rwePieces(site, n);
            ASSERT_EQ(direct, drawn) << "site " << id << ", " << n << " rays";
        }
        if (id % 4 == 1) expectSameReiProfile(site, "site " + std::to_string(id));
        ++compared;
    }
    EXPECT_GT(compared, 200);
}

}  // namespace
}  // namespace quor::gis
