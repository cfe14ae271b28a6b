// The RWE fast measurement on a raster made so that the 16 rays of a site
// are wet for known lengths: the worked vector, the diagnostic files byte
// for byte, and how dry sites and failures are told apart.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gis/createrays.h"
#include "gis/ray_site.h"
#include "gis/wave_raydist.h"
#include "rays_test_data.h"
#include "test_support.h"

namespace quor::gis {
namespace {

using namespace testdata;
using Proj = Project<test::RecordingMessages, test::RecordingProgress>;

// Wet length of direction d of a 16-ray fan from (0, 0).
double wetLength(int d) { return d <= 10 ? 1000.0 * (d + 1) : 500.0 + 100.0 * (d - 11); }

// Positive depths: 5 in water out to 50 m short of the direction's wet
// length, -1 (dry) beyond; a dry patch and a NoData patch 3 km out,
// midway between two rays.
constexpr double kDryX = -1666.8, kDryY = -2494.4;     // bearing 213.75
constexpr double kNoDataX = 585.3, kNoDataY = -2942.3;  // bearing 168.75
double fanValue(double x, double y) {
    if (std::abs(x - kDryX) < 150 && std::abs(y - kDryY) < 150) return -1;
    if (std::abs(x - kNoDataX) < 150 && std::abs(y - kNoDataY) < 150) return std::nan("");
    const double r = std::hypot(x, y);
    double bearing = std::atan2(x, y) * 180 / M_PI;
    if (bearing < 0) bearing += 360;
    const int d = static_cast<int>(std::lround(bearing / 22.5)) % 16;
    return r <= wetLength(d) - 50 ? 5 : -1;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class FastFan : public ::testing::Test {
protected:
    void SetUp() override {
        writeBathymetry(tmp.path() + "/fan.tif", -11000, -11000, 20, 1100, 1100, fanValue);
        std::filesystem::create_directories(tmp.path() + "/proj");
        p = std::make_unique<Proj>(tmp.path() + "/proj", tmp.path(), "none.shp");
        p->state.bathy_raster = pg::Raster::open(tmp.path() + "/fan.tif");
        p->state.bathy_positive = 1;
        p->state.wv_indexcheck = 1;
        p->state.cell_step = 50;  // step 100
    }

    // Casts and measures one site as the driver does; the class, or nothing.
    std::shared_ptr<pg::FeatureClass> measure(wave_raydist_cls& dist, const pg::Point& site, int n = 16) {
        rays = wave_createrays_cls(p->ctx).WaveCreaterays(site, p->mf.ptworkspace, "bay1", 1, n);
        EXPECT_TRUE(rays);
        return dist.wave_raydist(n, site, 0.0f, rays);
    }

    test::TempDir tmp;
    std::unique_ptr<Proj> p;
    std::shared_ptr<pg::FeatureClass> rays;
};

TEST_F(FastFan, WorkedVectorFilesAndEffectiveFetchRays) {
    p->state.debug_mode = 1;
    RaySite scope(p->ctx);
    wave_raydist_cls dist(p->ctx);
    const pg::Point site = p->site(0, 0);
    auto eff = measure(dist, site);
    ASSERT_TRUE(eff);
    EXPECT_EQ(p->state.err_nowater, 0);
    EXPECT_EQ(p->state.err_fetch, 0);
    EXPECT_TRUE(p->messages.entries.empty());

    const double want[16] = {1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000,
                             8834, 7875, 6215, 500,  600,  700,  800,  900};
    for (int d = 0; d < 16; ++d) EXPECT_DOUBLE_EQ(p->state.fetcharray(d), want[d]) << d;
    for (int d = 16; d <= 60; ++d) EXPECT_EQ(p->state.fetcharray(d), 0);

    // Wrap-around copies beside the 16 wet lengths (the ray wet to its end
    // was capped at the maximum fetch).
    const auto& L = dist.lengtharray();
    EXPECT_EQ(L(17), 10000);
    EXPECT_EQ(L(5), 800);
    EXPECT_EQ(L(6), 900);
    EXPECT_EQ(L(23), 1000);
    EXPECT_EQ(L(24), 2000);
    EXPECT_EQ(L(4), 0);

    // One feature per direction from the site, as long as its fetch.
    ASSERT_EQ(eff->name(), "EffF_rays");
    ASSERT_EQ(eff->featureCount(), 16);
    for (int d = 0; d < 16; ++d) {
        const pg::Feature f = eff->feature(d + 1);
        EXPECT_EQ(pg::toInt(f.value("Dir")), d);
        const pg::Path seg = f.shape().firstSegment();
        EXPECT_EQ(seg[0], site);
        EXPECT_NEAR(pg::pathLength(seg), want[d], 1e-6);
    }
    EXPECT_EQ(p->progress.bar1History.back(), 45);
    EXPECT_EQ(p->progress.bar1History[1], 8);  // 5 + 40/16 = 7.5, to even

    std::string lengths = "Quor Depth File\r\n\r\n";
    for (int i = 0; i <= 60; ++i) {
        const double v = i >= 7 && i <= 22 ? std::min(wetLength(i - 7), 10000.0) : 0;
        lengths += " " + std::to_string(i) + "   " + std::to_string(static_cast<int>(v)) + "\r\n";
    }
    EXPECT_EQ(readAll(p->mf.dir_path + "/output_data/lengtharray_fast.txt"), lengths);

    std::string fetches = "Quor Depth File\r\n\r\n";
    for (int d = 0; d < 16; ++d)
        fetches += " " + std::to_string(d) + "   " + std::to_string(static_cast<int>(want[d])) + "\r\n";
    EXPECT_EQ(readAll(p->state.app_folder + "/Project/output_data/fetcharray_fast.txt"), fetches);
}

TEST_F(FastFan, DrySitesFailuresAndDiagnosticsAreToldApart) {
    const pg::Point dry = p->site(kDryX, kDryY), noData = p->site(kNoDataX, kNoDataY), wet = p->site(0, 0);
    p->state.fetcharray(0) = 4321;
    {
        RaySite scope(p->ctx);
        wave_raydist_cls dist(p->ctx);
        EXPECT_FALSE(measure(dist, dry));
        EXPECT_EQ(p->state.err_nowater, 1);
        EXPECT_EQ(p->state.err_fetch, 0);
        EXPECT_EQ(p->state.fetcharray(0), 4321);
        EXPECT_FALSE(p->mf.ptworkspace->hasFeatureClass("EffF_rays"));
        EXPECT_FALSE(std::filesystem::exists(p->mf.dir_path + "/output_data/lengtharray_fast.txt"));
    }
    {
        RaySite scope(p->ctx);
        wave_raydist_cls dist(p->ctx);
        EXPECT_FALSE(measure(dist, noData));
        EXPECT_EQ(p->state.err_nowater, 1);
    }
    // Nothing to walk on: a measurement failure, not a dry site.
    {
        RaySite scope(p->ctx);
        auto raster = p->state.bathy_raster;
        p->state.bathy_raster = nullptr;
        wave_raydist_cls dist(p->ctx);
        EXPECT_FALSE(measure(dist, wet));
        EXPECT_EQ(p->state.err_nowater, 0);
        EXPECT_EQ(p->state.err_fetch, 1);
        p->state.bathy_raster = raster;
    }
    // A cell step of 0 is refused with a clear message.
    {
        RaySite scope(p->ctx);
        p->state.cell_step = 0;
        p->messages.entries.clear();
        wave_raydist_cls dist(p->ctx);
        EXPECT_FALSE(measure(dist, wet));
        EXPECT_EQ(p->state.err_fetch, 1);
        ASSERT_EQ(p->messages.entries.size(), 1u);
        EXPECT_NE(p->messages.entries[0].text.find("greater than 0"), std::string::npos);
        p->state.cell_step = 50;
    }
    // No fan handed over.
    {
        wave_raydist_cls dist(p->ctx);
        EXPECT_FALSE(dist.wave_raydist(16, wet, 0, nullptr));
        EXPECT_EQ(p->state.err_fetch, 1);
    }
    // The diagnostics cannot be written (their folder is a file): the
    // site's result stands.
    {
        RaySite scope(p->ctx);
        std::ofstream(p->mf.dir_path + "/output_data") << "not a folder";
        p->state.debug_mode = 1;
        p->state.app_folder = p->mf.dir_path + "/output_data";
        wave_raydist_cls dist(p->ctx);
        auto eff = measure(dist, wet);
        ASSERT_TRUE(eff);
        EXPECT_EQ(p->state.err_fetch, 0);
        EXPECT_EQ(eff->featureCount(), 16);
        EXPECT_EQ(p->state.fetcharray(8), 8834);
    }
    // Without project or data folder the diagnostics are skipped, never
    // written under the file system's root.
    {
        RaySite scope(p->ctx);
        const bool hadRootFolders =
            std::filesystem::exists("/output_data") || std::filesystem::exists("/Project/output_data");
        p->mf.dir_path.clear();
        p->state.app_folder.clear();
        wave_raydist_cls dist(p->ctx);
        ASSERT_TRUE(measure(dist, wet));
        EXPECT_EQ(p->state.err_fetch, 0);
        if (!hadRootFolders) {
            EXPECT_FALSE(std::filesystem::exists("/output_data"));
            EXPECT_FALSE(std::filesystem::exists("/Project/output_data"));
        }
    }
}

TEST_F(FastFan, WaterLevelAndDepthSignDecideTheShore) {
    // Negative bathymetry: the same lengths with the sign flipped.
    writeBathymetry(tmp.path() + "/neg.tif", -11000, -11000, 20, 1100, 1100,
                    [](double x, double y) { return -fanValue(x, y); });
    p->state.bathy_raster = pg::Raster::open(tmp.path() + "/neg.tif");
    p->state.bathy_positive = 0;
    {
        RaySite scope(p->ctx);
        wave_raydist_cls dist(p->ctx);
        ASSERT_TRUE(measure(dist, p->site(0, 0)));
        EXPECT_EQ(p->state.fetcharray(9), 7875);
    }
    // A water level 6 above datum drowns the land of value 1 and the
    // rays run to the edge of the raster (which adds nothing beyond it).
    {
        RaySite scope(p->ctx);
        wave_raydist_cls dist(p->ctx);
        rays = wave_createrays_cls(p->ctx).WaveCreaterays(p->site(0, 0), p->mf.ptworkspace, "bay1", 1, 16);
        ASSERT_TRUE(dist.wave_raydist(16, p->site(0, 0), -6.0f, rays));
        for (int d = 0; d < 16; ++d) EXPECT_EQ(p->state.fetcharray(d), 10000) << d;
    }
    // Sampling step: 2 x the cell step, at most 100.
    {
        RaySite scope(p->ctx);
        // Step 60: the 10 km ray is cut into 167 pieces of 59.88 m, so 16
        // points lie within the 950 m of water and each counts 60.
        p->state.cell_step = 30;
        wave_raydist_cls dist(p->ctx);
        ASSERT_TRUE(measure(dist, p->site(0, 0)));
        EXPECT_NEAR(dist.lengtharray()(7), 16 * 60.0, 1e-9);
    }
}

}  // namespace
}  // namespace quor::gis
