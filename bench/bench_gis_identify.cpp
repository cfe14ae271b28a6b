// Identify at random points of a 5,000 x 5,000 Float32 raster once its
// blocks are in GDAL's cache.
#include <benchmark/benchmark.h>

#include <gdal_priv.h>

#include <filesystem>
#include <random>
#include <vector>

#include "platform/gis/raster.h"

namespace pg = quor::platform::gis;

namespace {

struct Fixture {
    std::filesystem::path dir;
    std::shared_ptr<pg::Raster> raster;
    std::vector<pg::Point> points;

    Fixture() {
        dir = std::filesystem::temp_directory_path() / ("quor-bench-identify-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        const std::string path = (dir / "r5000.tif").string();
        GDALAllRegister();
        const char* opts[] = {"TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", nullptr};
        const int n = 5000;
        GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), n, n, 1, GDT_Float32,
                                                                                 const_cast<char**>(opts));
        double gt[6] = {300000, 10, 0, 5800000, 0, -10};
        ds->SetGeoTransform(gt);
        ds->GetRasterBand(1)->SetNoDataValue(-9999);
        std::vector<float> row(n);
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) row[x] = (x + y) % 97 == 0 ? -9999.f : -0.1f * static_cast<float>((x * 7 + y) % 300);
            if (ds->GetRasterBand(1)->RasterIO(GF_Write, 0, y, n, 1, row.data(), n, 1, GDT_Float32, 0, 0) != CE_None) break;
        }
        GDALClose(ds);
        raster = pg::Raster::open(path);
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> ux(300000, 350000), uy(5750000, 5800000);
        points.resize(1 << 20);
        for (auto& p : points) p = {ux(rng), uy(rng)};
        // Bring every block into the cache.
        for (int y = 0; y < n; y += 128)
            for (int x = 0; x < n; x += 128) raster->identify(300000 + 10 * x + 5, 5800000 - 10 * y - 5);
    }
    ~Fixture() {
        raster.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Fixture& fixture() {
    static Fixture fx;
    return fx;
}

void BM_IdentifyRandomCached(benchmark::State& state) {
    Fixture& fx = fixture();
    std::size_t i = 0;
    double sum = 0;
    for (auto _ : state) {
        const pg::PixelValue v = fx.raster->identify(fx.points[i++ & (fx.points.size() - 1)]);
        sum += v.value;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_IdentifyRandomCached);

// Stepping along a ray: neighbouring vertices share their block.
void BM_IdentifyAlongRay(benchmark::State& state) {
    Fixture& fx = fixture();
    std::size_t k = 0;
    double sum = 0;
    for (auto _ : state) {
        const double t = static_cast<double>(k++ % 1000);
        sum += fx.raster->identify(310000 + 10 * t, 5790000 - 7 * t).value;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_IdentifyAlongRay);

}  // namespace
