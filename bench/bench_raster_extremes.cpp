// The exact extremes of a 1.8 x 10^9-cell Float32 bathymetry (42,426 cells
// square, 256-cell tiles, a third of it NoData): read block by block with
// progress, as a project's opening reads them, against GDAL's own exact
// scan, which cannot report its progress. Each repetition opens the raster
// afresh; the 7.2 GB file is written once to the temporary folder, where it
// should stay in the page cache (run with --benchmark_repetitions=5 and read
// the medians).
#include <benchmark/benchmark.h>

#include <gdal_priv.h>

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/feedback.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/raster.h"

namespace pg = quor::platform::gis;

namespace {

constexpr int kSize = 42426;
constexpr int kTile = 256;

struct BigRaster {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quor-bench-extremes-" + std::to_string(::getpid()));
    std::string path = (dir / "bathy.tif").string();
    bool written = false;

    BigRaster() {
        pg::startGdal();
        std::filesystem::create_directories(dir);
        const char* opts[] = {"TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", "BIGTIFF=YES", nullptr};
        GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            path.c_str(), kSize, kSize, 1, GDT_Float32, const_cast<char**>(opts));
        if (!ds) return;
        double gt[6] = {200000, 10, 0, 6200000, 0, -10};
        ds->SetGeoTransform(gt);
        ds->GetRasterBand(1)->SetNoDataValue(-3.4e38);
        // Land (NoData) west of a third of the width, depths of up to 30 m east of it.
        std::vector<float> rows(static_cast<std::size_t>(kSize) * kTile);
        bool ok = true;
        for (int y0 = 0; ok && y0 < kSize; y0 += kTile) {
            const int h = std::min(kTile, kSize - y0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < kSize; ++x)
                    rows[static_cast<std::size_t>(y) * kSize + x] =
                        x < kSize / 3 ? -3.4e38f : -0.001f * static_cast<float>((x + 3 * (y0 + y)) % 30000);
            ok = ds->GetRasterBand(1)->RasterIO(GF_Write, 0, y0, kSize, h, rows.data(), kSize, h, GDT_Float32, 0, 0) ==
                 CE_None;
        }
        GDALClose(ds);
        written = ok;
    }
    ~BigRaster() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

const BigRaster& bigRaster() {
    static BigRaster raster;
    return raster;
}

void BM_ExtremesBlockByBlockWithProgress(benchmark::State& state) {
    const BigRaster& big = bigRaster();
    if (!big.written) return state.SkipWithError("the raster could not be written");
    std::pair<double, double> extremes;
    for (auto _ : state) {
        auto raster = pg::Raster::open(big.path);
        quor::platform::NullProgress progress;
        extremes = raster->minMax(&progress);
    }
    state.counters["min"] = extremes.first;
    state.counters["max"] = extremes.second;
}
BENCHMARK(BM_ExtremesBlockByBlockWithProgress)->Unit(benchmark::kSecond)->Iterations(1);

void BM_ExtremesByGdalsOwnScan(benchmark::State& state) {
    const BigRaster& big = bigRaster();
    if (!big.written) return state.SkipWithError("the raster could not be written");
    double extremes[2] = {0, 0};
    for (auto _ : state) {
        pg::DatasetHandle ds(static_cast<GDALDataset*>(GDALOpen(big.path.c_str(), GA_ReadOnly)));
        if (!ds || ds->GetRasterBand(1)->ComputeRasterMinMax(FALSE, extremes) != CE_None)
            return state.SkipWithError("GDAL's scan failed");
    }
    state.counters["min"] = extremes[0];
    state.counters["max"] = extremes[1];
}
BENCHMARK(BM_ExtremesByGdalsOwnScan)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
