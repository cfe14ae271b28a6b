#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <cmath>

#include "gis/raster_sampling.h"
#include "platform/gis/gis.h"
#include "test_support.h"

using namespace quor;
using namespace quor::gis;
namespace pg = quor::platform::gis;
using quor::test::RecordingMessages;
using quor::test::TempDir;

namespace {

// A 100 x 10 Float32 raster of 10 m cells from (0, 0) to (1000, 100):
// columns 0-49 hold -12.5, columns 50-59 NoData, the rest +2.
std::shared_ptr<pg::Raster> bathymetry(const TempDir& dir, double scale = 1) {
    GDALAllRegister();
    const std::string path = dir.file("bathy.tif");
    GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), 100, 10, 1, GDT_Float32, nullptr);
    double gt[6] = {0, 10, 0, 100, 0, -10};
    ds->SetGeoTransform(gt);
    ds->GetRasterBand(1)->SetNoDataValue(-9999);
    std::vector<float> v(1000);
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 100; ++c)
            v[static_cast<std::size_t>(r) * 100 + c] =
                c < 50 ? static_cast<float>(-12.5 * scale) : c < 60 ? -9999.f : static_cast<float>(2 * scale);
    EXPECT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 100, 10, v.data(), 100, 10, GDT_Float32, 0, 0), CE_None);
    GDALClose(ds);
    return pg::Raster::open(path);
}

pg::Geometry ray(double x0, double x1, double y = 50) { return pg::Geometry::line({x0, y}, {x1, y}); }

struct Sampling {
    TempDir dir;
    model::ModelState st;
    model::MainFormState mf;
    explicit Sampling(double scale = 1, float unitfactor = 1) {
        st.bathy_raster = bathymetry(dir, scale);
        mf.unitfactor = unitfactor;
    }
};

}  // namespace

TEST(PtrasterAvg, MeanDepthOverTheDensifiedFirstSegment) {
    Sampling s;
    wave_ptraster_cls p(s.st, s.mf);
    // 5 to 405: 400 long, 4 pieces, 5 vertices, all on -12.5; tideheight -0.5 gives 13.
    p.ptraster_avg(ray(5, 405), 3, -0.5f);
    EXPECT_EQ(s.st.err_ptraster, 0);
    EXPECT_DOUBLE_EQ(s.st.deptharray(3), 13);

    // Positive pixels give the same depth as negative ones of that size.
    p.ptraster_avg(ray(605, 705), 4, 0);
    EXPECT_DOUBLE_EQ(s.st.deptharray(4), 2);

    // A ray shorter than 100: the two ends only.
    p.ptraster_avg(ray(495, 605), 5, 0);  // 110 long -> 2 pieces: 495 (-12.5), 550 (NoData), 605 (+2)
    EXPECT_DOUBLE_EQ(s.st.deptharray(5), (12.5 + 2) / 2);
    p.ptraster_avg(ray(485, 565), 6, 0);  // 80 long: 485 (12.5) and 565 (NoData)
    EXPECT_DOUBLE_EQ(s.st.deptharray(6), 12.5);

    // Outside-the-raster and NoData vertices leave both sum and count.
    p.ptraster_avg(ray(900, 1200), 7, 0);  // 900, 1000 (edge: outside), 1100, 1200
    EXPECT_DOUBLE_EQ(s.st.deptharray(7), 2);

    // Only the first segment of a multi-segment shape is sampled.
    p.ptraster_avg(pg::Geometry::polyline({{{5, 50}, {105, 50}, {905, 50}}}), 8, 0);
    EXPECT_DOUBLE_EQ(s.st.deptharray(8), 12.5);
}

TEST(PtrasterAvg, NoUsableSampleIsAFailureAndKeepsTheOldDepth) {
    Sampling s;
    wave_ptraster_cls p(s.st, s.mf);
    s.st.deptharray(2) = 42;
    p.ptraster_avg(ray(505, 595), 2, 0);  // NoData all along
    EXPECT_EQ(s.st.err_ptraster, 1);
    EXPECT_EQ(s.st.deptharray(2), 42);
    EXPECT_FALSE(std::isnan(s.st.deptharray(2)));

    p.ptraster_avg(ray(2000, 3000), 2, 0);  // off the raster
    EXPECT_EQ(s.st.err_ptraster, 1);
    p.ptraster_avg(ray(5, 405), 2, 0);  // the flag is reset by the next good call
    EXPECT_EQ(s.st.err_ptraster, 0);
    p.ptraster_avg(ray(5, 405), 61, 0);  // beyond the direction array
    EXPECT_EQ(s.st.err_ptraster, 1);
    p.ptraster_avg(pg::Geometry::point(5, 50), 2, 0);  // no segment
    EXPECT_EQ(s.st.err_ptraster, 1);

    model::ModelState noRaster;
    model::MainFormState mf;
    wave_ptraster_cls q(noRaster, mf);
    q.ptraster_avg(ray(5, 405), 1, 0);
    EXPECT_EQ(noRaster.err_ptraster, 1);
}

TEST(PtrasterAvg, UnitFactorTurnsCentimetresIntoMetresBeforeTheWaterLevel) {
    Sampling metres(1, 1), centimetres(100, 100), unset(1, 0);
    wave_ptraster_cls(metres.st, metres.mf).ptraster_avg(ray(5, 405), 0, -0.5f);
    wave_ptraster_cls(centimetres.st, centimetres.mf).ptraster_avg(ray(5, 405), 0, -0.5f);
    wave_ptraster_cls(unset.st, unset.mf).ptraster_avg(ray(5, 405), 0, -0.5f);
    EXPECT_DOUBLE_EQ(metres.st.deptharray(0), 13);
    EXPECT_DOUBLE_EQ(centimetres.st.deptharray(0), 13);  // |-1250 / 100| + 0.5
    EXPECT_DOUBLE_EQ(unset.st.deptharray(0), 13);        // no factor set counts as metres
}

TEST(Ptraster, StatisticsBeyondTheFirstFetchAndTheFixedTestResult) {
    Sampling s;
    s.st.Fetch_first = 200;
    s.st.Depth_intg_first = 100;
    wave_ptraster_cls p(s.st, s.mf);
    RecordingMessages msgs;
    // 5 to 905: vertices every 100 at 5, 105, ..., 905; K = 2 -> from 205.
    // 205, 305, 405 read 12.5; 505 NoData; 605..905 read 2.
    auto r = p.ptraster(pg::Feature(), 1, 0, msgs);
    EXPECT_FALSE(r.has_value());  // an empty feature has no segment
    EXPECT_EQ(s.st.err_ptraster, 1);
    ASSERT_EQ(msgs.entries.size(), 1u);
    EXPECT_EQ(msgs.entries[0].icon, platform::MessageIcon::Critical);
    EXPECT_EQ(msgs.entries[0].text.substr(msgs.entries[0].text.size() - 2), "  ");

    pg::Feature f;
    f.setShape(ray(5, 905));
    auto stats = p.ptraster(f, 1, 0, msgs);
    ASSERT_TRUE(stats.has_value());
    EXPECT_DOUBLE_EQ((*stats)[0], (3 * 12.5 + 4 * 2) / 7);
    EXPECT_DOUBLE_EQ((*stats)[1], 2);
    EXPECT_DOUBLE_EQ((*stats)[2], 12.5);
    EXPECT_DOUBLE_EQ((*stats)[3], 400);  // the first 2 at 605, 400 beyond Fetch_first
    EXPECT_DOUBLE_EQ((*stats)[4], 0);    // the first 12.5 at 205 itself
    EXPECT_DOUBLE_EQ(s.st.deptharray(1), (5 * 12.5 + 4 * 2) / 9);

    // Shorter than Fetch_first: the first pass samples nothing.
    pg::Feature shortRay;
    shortRay.setShape(ray(5, 105));
    auto none = p.ptraster(shortRay, 2, 0, msgs);
    ASSERT_TRUE(none.has_value());
    EXPECT_EQ(*none, (std::array<double, 5>{0, 9999999, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(s.st.deptharray(2), 12.5);

    EXPECT_EQ(wave_ptraster_cls::ptraster_test(), (std::array<double, 5>{6, 0.01, 10, 5000, 6000}));
}
