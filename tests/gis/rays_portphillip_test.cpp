// The clipping path against a real coastline: the attached piece of every
// ray and the effective fetches of both models' fans, compared with
// reference lengths computed independently for the Port Phillip sites.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "gis/cliprays.h"
#include "gis/createrays.h"
#include "gis/ray_site.h"
#include "gis/selorphans.h"
#include "gis/wave_raydist.h"
#include "model/effective_fetch.h"
#include "platform/numbers.h"
#include "rays_test_data.h"
#include "test_support.h"

namespace quor::gis {
namespace {

using Proj = testdata::Project<test::RecordingMessages, test::RecordingProgress>;

std::vector<std::vector<std::string>> readCsv(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ',')) cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

struct Site {
    int id;
    std::string category;
    pg::Point at;
};

struct Reference {
    std::vector<double> L, EF;
};

// Site ids 1, 1 + step, ... of the wanted categories.
std::vector<Site> sites(const std::string& dir, int step) {
    std::vector<Site> out;
    for (const auto& r : readCsv(dir + "/sites_portphillip.csv")) {
        const int id = std::stoi(r[0]);
        if (r[1] == "water" && (id - 1) % step != 0) continue;
        out.push_back({id, r[1], {std::stod(r[2]), std::stod(r[3])}});
    }
    return out;
}

std::map<int, Reference> references(const std::string& path, int n) {
    std::map<int, Reference> out;
    for (const auto& r : readCsv(path)) {
        Reference ref;
        for (int d = 0; d < n; ++d) ref.L.push_back(std::stod(r.at(3 + d)));
        if (r.size() >= static_cast<size_t>(3 + 2 * n))  // the REI file has no effective fetches
            for (int d = 0; d < n; ++d) ref.EF.push_back(std::stod(r.at(3 + n + d)));
        out[std::stoi(r[0])] = ref;
    }
    return out;
}

// Length per Dir of the kept piece that begins at the site (0 when none).
std::vector<double> attachedLengths(const pg::FeatureClass& orp, const pg::Point& site, int n) {
    std::vector<double> out(n, 0.0);
    auto cur = orp.search();
    while (auto f = cur.next()) {
        const pg::Path seg = f->shape().firstSegment();
        if (std::hypot(seg[0].x - site.x, seg[0].y - site.y) > 1e-6) continue;
        out[pg::toInt(f->value("Dir"))] = pg::pathLength(seg);
    }
    return out;
}

class PortPhillip : public ::testing::Test {
protected:
    void open(const std::string& dir) {
        std::filesystem::create_directories(tmp.path() + "/proj");
        p = std::make_unique<Proj>(tmp.path() + "/proj", dir, "water_portphillip.shp");
        raster = pg::Raster::open(dir + "/bathy_portphillip_m.tif");
        p->state.bathy_raster = raster;
        // Every direction weighs its depths alike.
        p->wind.windpowercoll.assign(32, 0.0f);
    }
    test::TempDir tmp;
    std::unique_ptr<Proj> p;
    std::shared_ptr<pg::Raster> raster;
};

TEST_F(PortPhillip, RweAttachedPiecesAndEffectiveFetchMatchTheReference) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    open(dir);
    for (int n : {16, 56}) {
        const auto ref = references(dir + "/fetch_portphillip_rwe" + std::to_string(n) + ".csv", n);
        int compared = 0;
        for (const Site& s : sites(dir, 37)) {
            if (s.category == "outside") continue;
            RaySite scope(p->ctx);
            auto rays = wave_createrays_cls(p->ctx).WaveCreaterays(s.at, p->mf.ptworkspace, "bay1", s.id, n);
            ASSERT_TRUE(rays);
            auto pieces = wave_cliprays_cls(p->ctx).cliprays("bay1", rays);
            ASSERT_TRUE(pieces) << s.id;
            auto orp = createRayWorkClass(p->ctx, p->mf.ptworkspace, "orp_rays");
            orp = wave_selorphan_cls(p->ctx).selorphans(s.at, pieces, p->mf.ptworkspace, orp);
            const auto got = attachedLengths(*orp, s.at, n);
            const Reference& want = ref.at(s.id);
            std::vector<double> rounded(n);
            for (int d = 0; d < n; ++d) {
                EXPECT_NEAR(got[d], want.L[d], 1e-4) << "site " << s.id << " n " << n << " dir " << d;
                rounded[d] = platform::roundHalfEven(got[d], 0);
            }
            if (s.category == "water") {
                const auto ef = model::effectiveFetch(rounded);
                for (int d = 0; d < n; ++d) EXPECT_EQ(ef[d], want.EF[d]) << "site " << s.id << " dir " << d;
            }
            ++compared;
        }
        EXPECT_GT(compared, 30);
    }
    EXPECT_EQ(p->state.err_clip, 0);
    EXPECT_TRUE(p->messages.entries.empty());
}

TEST_F(PortPhillip, ReiRayFetchesMatchTheReference) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    open(dir);
    const auto ref = references(dir + "/fetch_portphillip_rei32.csv", 32);
    int compared = 0;
    for (const Site& s : sites(dir, 53)) {
        if (s.category != "water") continue;
        for (int k = 0; k < 32; ++k) p->state.ray_fetch(k) = 0;
        RaySite scope(p->ctx);
        createrays_cls(p->ctx).createrays(s.at, p->mf.ptworkspace, "bay1", s.id, raster);
        const Reference& want = ref.at(s.id);
        // Water sites on NoData pixels are not profiled at all.
        const bool profiled = raster->identify(s.at).hasValue();
        for (int k = 0; k < 32; ++k)
            EXPECT_NEAR(p->state.ray_fetch(k), profiled ? want.L[k] : 0.0, 1e-4) << "site " << s.id << " ray " << k;
        ++compared;
    }
    EXPECT_GT(compared, 15);
    EXPECT_TRUE(p->messages.entries.empty());
}

TEST_F(PortPhillip, FastMeasurementFollowsTheCoastOnTheRaster) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    open(dir);
    p->state.wv_indexcheck = 1;
    p->state.bathy_positive = 0;
    p->state.cell_step = raster->cellSizeX() - raster->cellSizeX() / 100;
    const int n = 56;
    const auto ref = references(dir + "/fetch_portphillip_rwe56.csv", n);
    std::vector<double> diffs;
    for (const Site& s : sites(dir, 41)) {
        RaySite scope(p->ctx);
        auto rays = wave_createrays_cls(p->ctx).WaveCreaterays(s.at, p->mf.ptworkspace, "bay1", s.id, n);
        ASSERT_TRUE(rays);
        wave_raydist_cls dist(p->ctx);
        auto eff = dist.wave_raydist(n, s.at, 0.0f, rays);
        EXPECT_EQ(p->state.err_fetch, 0) << s.id;
        const auto pixel = raster->identify(s.at);
        if (pixel.isNoData()) {
            // Land, and the two water sites on NoData pixels: no water.
            EXPECT_FALSE(eff) << s.id;
            EXPECT_EQ(p->state.err_nowater, 1) << s.id;
            continue;
        }
        ASSERT_TRUE(eff) << s.id;
        if (s.category != "water") continue;
        // The raster's coast is the polygon's to within its 20 m cells.
        for (int d = 0; d < n; ++d) diffs.push_back(std::abs(dist.lengtharray()(d + 7) - ref.at(s.id).L[d]));
    }
    ASSERT_GT(diffs.size(), 500u);
    std::sort(diffs.begin(), diffs.end());
    const double median = diffs[diffs.size() / 2], p90 = diffs[diffs.size() * 9 / 10];
    EXPECT_LT(median, 20) << "p90 " << p90;
    EXPECT_LT(p90, 60) << "median " << median;
}

}  // namespace
}  // namespace quor::gis
