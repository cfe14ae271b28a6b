// Whole directions through wave growth and both stages on GeoTIFF
// bathymetry read by the GIS layer, checked against the growth law and
// period formulas written out in the tests.
#include "stages_fixture.h"

#include <gdal_priv.h>

#include "gis/geodatabase.h"
#include "gis/raster_sampling.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"

using namespace quor;
using namespace quor::wave;
using namespace quor::wave::testing;
namespace pg = quor::platform::gis;

namespace {

// A north-up Float32 GeoTIFF of 10 m cells, 11 km by 200 m, origin 0,0 at
// the lower left; value(column) gives each column's pixel.
std::string writeTiff(const std::string& path, const std::function<float(int)>& value, double nodata = -9999) {
    GDALAllRegister();
    const int w = 1100, h = 20;
    GDALDriver* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDataset* ds = drv->Create(path.c_str(), w, h, 1, GDT_Float32, nullptr);
    double gt[6] = {0, 10, 0, 200, 0, -10};
    ds->SetGeoTransform(gt);
    GDALRasterBand* band = ds->GetRasterBand(1);
    band->SetNoDataValue(nodata);
    std::vector<float> row(w);
    for (int c = 0; c < w; ++c) row[c] = value(c);
    for (int r = 0; r < h; ++r)
        if (band->RasterIO(GF_Write, 0, r, w, 1, row.data(), w, 1, GDT_Float32, 0, 0) != CE_None)
            throw std::runtime_error("cannot write test raster");
    GDALClose(ds);
    return path;
}

struct RasterSite {
    model::ModelState& st;
    model::MainFormState mf;
    model::SettingsHolder settings;
    test::RecordingMessages messages;
    test::RecordingProgress progress;
    DebugFileReporter debug{messages};
    std::unique_ptr<RasterDepthSampler> sampler;

    RasterSite(model::ModelState& state, const std::string& tiff, float unitfactor) : st(state) {
        st.Fetch_first = 1000;
        st.Depth_intg_first = 100;
        st.Depth_intg_second = 100;
        st.Eps = 0.001;
        st.A_goda = 0.17;
        st.goda_slope = 1.909;
        st.bathy_positive = 0;
        st.bathy_raster = pg::Raster::open(tiff);
        st.cell_step = st.bathy_raster->cellSizeX() * 0.99;
        mf.unitfactor = unitfactor;
        sampler = std::make_unique<RasterDepthSampler>(st.bathy_raster);
    }
    WaveSiteContext ctx() {
        return WaveSiteContext{StageContext{st, *sampler, mf.unitfactor, messages, debug}, settings, progress,
                               rasterAverageDepth(st, mf, sampler.get())};
    }
};

// The site sits mid-raster at its western end; ray d runs east for `length`.
RayItem eastFrom(int dir, double length) { return {dir, {{5, 100}, {5 + length, 100}}, nullptr}; }

}  // namespace

TEST(StagesEndToEnd, UniformDeepWaterGivesTheOpenSeaWave) {
    test::TempDir tmp;
    model::ModelState st;
    RasterSite site(st, writeTiff(tmp.file("deep.tif"), [](int) { return -200.0f; }), 1);
    const double U = 10, F = 10000;
    st.windarray(0) = U;
    st.fetcharray(0) = F;
    st.windarray(1) = 0;  // a calm direction beside it
    wave_first_cls w(site.ctx());
    const double maxH = w.waveht(16, std::vector<RayItem>{eastFrom(0, F), eastFrom(1, F)}, 0);

    ASSERT_EQ(st.err_waveht, 0);
    EXPECT_DOUBLE_EQ(st.deptharray(0), 200);
    const double T0 = deepPeriod(F, U);
    EXPECT_NEAR(st.wvpdarray(0), T0, 1e-12);  // h / L0 >= 2: the deep-water period
    // 100 m from the coarse start, 89 coarse positions of 100 m, 100 fine of 9.9 m.
    const double H = st.wvhtarray(0);
    EXPECT_NEAR(H, smbHeight(100 + 89 * 100 + 100 * 9.9, U), 1e-4);
    EXPECT_NEAR(st.energyarray(0), 199.875 * 9.81 * H * H * T0 * T0, 1e-9 * st.energyarray(0));
    EXPECT_EQ(maxH, H);
    EXPECT_EQ(st.max_wvht, H);
    EXPECT_EQ(st.max_wvdir, 0);
    EXPECT_EQ(st.avg_wvht, H);
    EXPECT_EQ(st.energyarray(1), 0);
}

TEST(StagesEndToEnd, CentimetreRasterGivesTheSameWavesAsMetres) {
    // A shoaling beach: 2 m at the site to 13 m 11 km out, in metres and in centimetres.
    test::TempDir tmp;
    const std::string m = writeTiff(tmp.file("m.tif"), [](int c) { return static_cast<float>(-(200 + c) / 100.0); });
    const std::string cm = writeTiff(tmp.file("cm.tif"), [](int c) { return -(200.0f + c); });
    model::ModelState a, b;
    RasterSite sa(a, m, 1), sb(b, cm, 100);
    for (auto* st : {&a, &b})
        for (int d = 0; d < 4; ++d) {
            st->windarray(d) = 8 + 4 * d;
            st->fetcharray(d) = 2500 * (d + 1);
        }
    std::vector<RayItem> rays;
    for (int d = 0; d < 4; ++d) rays.push_back(eastFrom(d, 2500 * (d + 1)));
    wave_first_cls wa(sa.ctx()), wb(sb.ctx());
    wa.waveht(16, rays, -0.3f);
    wb.waveht(16, rays, -0.3f);
    ASSERT_EQ(a.err_waveht, 0);
    ASSERT_EQ(b.err_waveht, 0);
    for (int d = 0; d < 4; ++d) {
        EXPECT_EQ(a.deptharray(d), b.deptharray(d)) << d;
        EXPECT_EQ(a.wvhtarray(d), b.wvhtarray(d)) << d;
        EXPECT_EQ(a.wvpdarray(d), b.wvpdarray(d)) << d;
        EXPECT_EQ(a.energyarray(d), b.energyarray(d)) << d;
        EXPECT_GT(a.wvhtarray(d), 0) << d;
    }
    // Shallow water: the site depth (2 m plus 0.3 m of water level) bounds the wave.
    EXPECT_LE(a.max_wvht, 0.7 * 2.3 + 1e-9);
    EXPECT_NEAR(a.deptharray(0), 2.3 + 1.25, 0.01);  // mean over 0..2500 m of the ramp
}

TEST(StagesEndToEnd, RaysFromTheSiteClassInObjectIdOrder) {
    test::TempDir tmp;
    model::ModelState st;
    RasterSite site(st, writeTiff(tmp.file("deep.tif"), [](int) { return -50.0f; }), 1);
    auto ws = pg::Workspace::createGeoPackage(tmp.file("site.gpkg"));
    auto fc = ws->createFeatureClass("EffF_rays", pg::GeometryType::Polyline, gis::standardFields(3));
    for (int d : {2, 0, 1}) {  // object ids 1, 2, 3
        pg::Feature f = fc->createFeature();
        f.setShape(pg::Geometry::line({5, 100}, {5005, 100}));
        f.setValue("Dir", std::int64_t{d});
        fc->store(f);
        st.windarray(d) = 12;
        st.fetcharray(d) = 5000;
    }
    wave_first_cls w(site.ctx());
    w.waveht(16, *fc, 0);
    ASSERT_EQ(st.err_waveht, 0);
    EXPECT_GT(st.wvhtarray(0), 0);
    EXPECT_EQ(st.wvhtarray(0), st.wvhtarray(1));
    EXPECT_EQ(st.wvhtarray(0), st.wvhtarray(2));
    EXPECT_EQ(st.max_wvdir, 2);  // equal heights: the first feature wins
    EXPECT_DOUBLE_EQ(st.deptharray(1), 50);
}

// The bathymetry read in bulk, and one profile array serving direction
// after direction, give the waves that reading pixel by pixel into a fresh
// stage for each direction gives, bit for bit. Land bars and NoData cross
// the rays differently, so a profile place left over from a longer ray
// would show.
TEST(StagesEndToEnd, BulkReadsAndReusedProfilesGiveTheWavesOfSingleReads) {
    test::TempDir tmp;
    const std::string tiff = tmp.file("bars.tif");
    {
        GDALAllRegister();
        const int w = 1100, h = 20;
        GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(tiff.c_str(), w, h, 1, GDT_Float32,
                                                                                  nullptr);
        double gt[6] = {0, 10, 0, 200, 0, -10};
        ds->SetGeoTransform(gt);
        ds->GetRasterBand(1)->SetNoDataValue(-9999);
        std::vector<float> px(static_cast<std::size_t>(w) * h);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c)
                px[static_cast<std::size_t>(r) * w + c] = (c * 3 + r) % 97 == 0         ? -9999.0f
                                                          : (c / 37 + r / 3) % 11 == 0 ? 0.7f
                                                                                        : -(2.0f + c / 47.0f);
        ASSERT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, h, px.data(), w, h, GDT_Float32, 0, 0), CE_None);
        GDALClose(ds);
    }
    const std::vector<std::pair<double, double>> ends = {{9000, 20}, {1800, 180}, {6000, 60}, {1200, 140}, {9500, 100}};
    std::vector<RayItem> rays;
    for (int d = 0; d < static_cast<int>(ends.size()); ++d)
        rays.push_back({d, {{5, 100}, {5 + ends[d].first, ends[d].second}}, nullptr});
    auto setUp = [&](model::ModelState& st) {
        for (int d = 0; d < static_cast<int>(ends.size()); ++d) {
            st.windarray(d) = 9 + d;
            st.fetcharray(d) = ends[d].first;
        }
    };

    model::ModelState bulk;
    RasterSite site(bulk, tiff, 1);
    site.st.cell_step = 10;  // the fine stage at the cell size
    setUp(bulk);
    wave_first_cls(site.ctx()).waveht(16, rays, 0.2f);
    ASSERT_EQ(bulk.err_waveht, 0);

    for (const RayItem& ray : rays) {
        model::ModelState one;
        RasterSite ref(one, tiff, 1);
        one.cell_step = 10;
        setUp(one);
        const auto raster = one.bathy_raster;
        FunctionDepthSampler pointwise([raster](const MapPoint& p) { return raster->identify(p); });
        gis::wave_ptraster_cls avg(one, ref.mf);
        AverageDepthFn pointAverage = [&](const RayItem& r, int16_t d, float tide) {
            double sum = 0;
            long n = 0;
            for (const auto& v : pg::densify({r.segment.from, r.segment.to}, 100.0))
                if (auto h = avg.sampleDepth(v, tide)) sum += *h, ++n;
            one.deptharray(d) = sum / static_cast<double>(n);
        };
        WaveSiteContext ctx{StageContext{one, pointwise, 1, ref.messages, ref.debug}, ref.settings, ref.progress,
                            pointAverage};
        wave_first_cls(ctx).waveht(16, std::vector<RayItem>{ray}, 0.2f);
        ASSERT_EQ(one.err_waveht, 0);
        const int d = ray.dir;
        EXPECT_EQ(bulk.deptharray(d), one.deptharray(d)) << d;
        EXPECT_EQ(bulk.wvht_first(d), one.wvht_first(d)) << d;
        EXPECT_EQ(bulk.wvhtarray(d), one.wvhtarray(d)) << d;
        EXPECT_EQ(bulk.wvpdarray(d), one.wvpdarray(d)) << d;
        EXPECT_EQ(bulk.energyarray(d), one.energyarray(d)) << d;
        EXPECT_GT(one.wvhtarray(d), 0) << d;
    }
}

TEST(StagesEndToEnd, RealBayInMetresAndCentimetres) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    // Sites with their effective fetches of a 56-ray fan and the sample wind.
    auto csv = [](const std::string& path) {
        std::vector<std::vector<std::string>> rows;
        std::istringstream in(slurp(path));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::vector<std::string> cells;
            std::istringstream ls(line);
            for (std::string c; std::getline(ls, c, ',');) cells.push_back(c);
            rows.push_back(cells);
        }
        return rows;
    };
    const auto sites = csv(dir + "/sites_portphillip.csv");
    const auto fetch = csv(dir + "/fetch_portphillip_rwe56.csv");
    const auto wind = crlfLines(slurp(dir + "/sample_56.Wind_RWE"));
    ASSERT_GE(wind.size(), 65u);

    model::ModelState a, b;
    RasterSite sa(a, dir + "/bathy_portphillip_m.tif", 1), sb(b, dir + "/bathy_portphillip_cm.tif", 100);
    int computed = 0;
    for (size_t r = 1; r < fetch.size() && computed < 25; ++r) {
        if (fetch[r][2] != "1") continue;
        const double x = std::stod(sites[r][2]), y = std::stod(sites[r][3]);
        if (sites[r][10] == "NODATA" || sites[r][10] == "OUTSIDE") continue;
        const double siteDepth = std::fabs(std::stod(sites[r][10]));
        std::vector<RayItem> rays;
        for (int d = 0; d < 56; ++d) {
            const double ef = std::stod(fetch[r][3 + 56 + d]);
            const double ang = d * (360.0 / 56) * 3.14159 / 180;
            rays.push_back({d, {{x, y}, {x + std::max(ef, 1.0) * std::sin(ang), y + std::max(ef, 1.0) * std::cos(ang)}}, nullptr});
            for (auto* st : {&a, &b}) {
                st->windarray(d) = std::stod(wind[9 + d]);
                st->fetcharray(d) = ef;
            }
        }
        wave_first_cls wa(sa.ctx()), wb(sb.ctx());
        wa.waveht(56, rays, 0);
        wb.waveht(56, rays, 0);
        ASSERT_EQ(a.err_waveht, b.err_waveht) << "site " << fetch[r][0];
        if (a.err_waveht != 0) continue;
        ++computed;
        EXPECT_EQ(a.max_wvht, b.max_wvht);
        EXPECT_EQ(a.avg_wvpd, b.avg_wvpd);
        for (int d = 0; d < 56; ++d) {
            EXPECT_EQ(a.energyarray(d), b.energyarray(d)) << d;
            const double U = a.windarray(d), ef = a.fetcharray(d);
            if (U == 0) continue;
            // A wave is never longer in period than the deep-water one of its
            // fetch, and never above the depth-limited height at the site.
            EXPECT_LE(a.wvpdarray(d), deepPeriod(ef, U) + 1e-9);
            EXPECT_GE(a.wvhtarray(d), 0);
            EXPECT_LE(a.wvhtarray(d), std::max(0.7 * siteDepth, smbHeight(ef, U)) + 1e-9);
        }
    }
    EXPECT_GT(computed, 10);
}
