// One site's wave growth: 56 directions with wind, 10 km effective fetch,
// a 10 m bathymetry (the coarse stage over 9 km at 100 m, the fine stage
// over the last 1 km at the cell step). Target: under 5 ms median.
#include <benchmark/benchmark.h>
#include <gdal_priv.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <stdexcept>
#include <vector>

#include "gis/ray_geometry.h"
#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/raster.h"
#include "wave/debug_files.h"
#include "wave/depth_sampler.h"
#include "wave/wave_first.h"
#include "stage_parameters.h"

namespace {

using namespace quor;
namespace pg = quor::platform::gis;

class SilentMessages final : public platform::Messages {
public:
    void message(const std::string&, platform::MessageIcon, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return true; }
};

// A 20.2 km square of 10 m cells around the site at (10100, 10100): a basin
// 40 m deep in the middle of the fetch, shoaling to 3 m at the site.
std::string makeBathymetry(const std::filesystem::path& dir) {
    GDALAllRegister();
    const int n = 2020;
    const std::string path = (dir / "bathy10m.tif").string();
    GDALDriver* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
    char** opts = nullptr;
    opts = CSLSetNameValue(opts, "TILED", "YES");
    GDALDataset* ds = drv->Create(path.c_str(), n, n, 1, GDT_Float32, opts);
    CSLDestroy(opts);
    double gt[6] = {0, 10, 0, n * 10.0, 0, -10};
    ds->SetGeoTransform(gt);
    GDALRasterBand* band = ds->GetRasterBand(1);
    band->SetNoDataValue(-9999);
    std::vector<float> row(n);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double x = c * 10 + 5 - 10100, y = (n - r) * 10 - 5 - 10100;
            const double dist = std::hypot(x, y);
            const double depth = 3 + 37 * std::sin(std::min(dist, 10000.0) / 10000 * 3.1416 * 0.8);
            row[c] = static_cast<float>(std::round(-depth * 100) / 100);
        }
        if (band->RasterIO(GF_Write, 0, r, n, 1, row.data(), n, 1, GDT_Float32, 0, 0) != CE_None)
            throw std::runtime_error("cannot write the benchmark raster");
    }
    GDALClose(ds);
    return path;
}

void BM_WaveStagesOneSite(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("quor_bench_stages_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string tiff = makeBathymetry(dir);

    model::ModelState st;
    model::MainFormState mf;
    model::SettingsHolder settings;
    settings.refreshmap = 1;
    SilentMessages messages;
    platform::NullProgress progress;
    wave::DebugFileReporter debug(messages);
    test::setStartupStageParameters(st);
    st.bathy_raster = pg::Raster::open(tiff);
    st.cell_step = st.bathy_raster->cellSizeX() * 0.99;
    mf.unitfactor = 1;
    wave::RasterDepthSampler sampler(st.bathy_raster);

    const int n = 56;
    std::vector<wave::RayItem> rays;
    for (int d = 0; d < n; ++d) {
        const pg::Point site{10100, 10100};
        rays.push_back({d, {site, gis::rweRayEnd(site, 10000, d, n)}, nullptr});
        st.windarray(d) = 6 + (d % 7);
        st.fetcharray(d) = 10000;
    }
    const wave::WaveSiteContext ctx{wave::StageContext{st, sampler, mf.unitfactor, messages, debug}, settings,
                                    progress, wave::rasterAverageDepth(st, mf, &sampler)};
    for (auto _ : state) {
        wave::wave_first_cls w(ctx);
        benchmark::DoNotOptimize(w.waveht(n, rays, 0));
        if (st.err_waveht != 0) state.SkipWithError("the site failed");
    }
    st.bathy_raster.reset();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WaveStagesOneSite)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
