// Identify on 5,000 x 5,000 Float32 rasters once their blocks are in
// GDAL's cache: random points, and the rays of site fans over a continuous
// depth surface stored striped (one-row blocks, the GeoTIFF default) and
// tiled, read point by point and in bulk as the runs read them.
#include <benchmark/benchmark.h>

#include <gdal_priv.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <vector>

#include "platform/gis/raster.h"

namespace pg = quor::platform::gis;

namespace {

constexpr int kSize = 5000;
constexpr double kX0 = 300000, kY0 = 5800000, kCell = 10;

enum Layout { Tiled, Striped, Patterned };

std::shared_ptr<pg::Raster> makeRaster(const std::filesystem::path& dir, Layout layout) {
    const std::string path = (dir / ("r" + std::to_string(layout) + ".tif")).string();
    const char* tiled[] = {"TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", nullptr};
    const char* striped[] = {"BLOCKYSIZE=1", nullptr};
    GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.c_str(), kSize, kSize, 1, GDT_Float32, const_cast<char**>(layout == Striped ? striped : tiled));
    double gt[6] = {kX0, kCell, 0, kY0, 0, -kCell};
    ds->SetGeoTransform(gt);
    ds->GetRasterBand(1)->SetNoDataValue(-9999);
    std::vector<float> row(kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x)
            row[x] = layout == Patterned
                         ? ((x + y) % 97 == 0 ? -9999.f : -0.1f * static_cast<float>((x * 7 + y) % 300))
                         // A smooth sea floor: every pixel a different depth.
                         : static_cast<float>(-(30 + 20 * std::sin(x / 700.0) * std::cos(y / 900.0) + 0.002 * x));
        if (ds->GetRasterBand(1)->RasterIO(GF_Write, 0, y, kSize, 1, row.data(), kSize, 1, GDT_Float32, 0, 0) !=
            CE_None)
            break;
    }
    GDALClose(ds);
    auto raster = pg::Raster::open(path);
    // Bring every block into the cache.
    for (int y = 0; y < kSize; y += 64)
        for (int x = 0; x < kSize; x += 64) raster->identify(kX0 + kCell * x + 5, kY0 - kCell * y - 5);
    return raster;
}

struct Fixture {
    std::filesystem::path dir;
    std::shared_ptr<pg::Raster> rasters[3];
    std::vector<pg::Point> points;
    // Rays of 32-ray fans from random sites: 5 km at 20 m, as the fast walk steps.
    std::vector<std::vector<pg::Point>> rays;

    Fixture() {
        dir = std::filesystem::temp_directory_path() / ("quor-bench-identify-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        GDALAllRegister();
        for (Layout l : {Tiled, Striped, Patterned}) rasters[l] = makeRaster(dir, l);
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> ux(kX0, kX0 + kSize * kCell), uy(kY0 - kSize * kCell, kY0);
        points.resize(1 << 20);
        for (auto& p : points) p = {ux(rng), uy(rng)};
        std::uniform_real_distribution<double> sx(kX0 + 6000, kX0 + 44000), sy(kY0 - 44000, kY0 - 6000);
        for (int site = 0; site < 64; ++site) {
            const pg::Point s{sx(rng), sy(rng)};
            for (int k = 0; k < 32; ++k) {
                const double a = k * 2 * M_PI / 32;
                std::vector<pg::Point> ray;
                for (int i = 0; i <= 250; ++i) ray.push_back({s.x + 20 * i * std::cos(a), s.y + 20 * i * std::sin(a)});
                rays.push_back(std::move(ray));
            }
        }
    }
    ~Fixture() {
        for (auto& r : rasters) r.reset();
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
        const pg::PixelValue v = fx.rasters[Patterned]->identify(fx.points[i++ & (fx.points.size() - 1)]);
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
        sum += fx.rasters[Patterned]->identify(kX0 + 10000 + 10 * t, kY0 - 10000 - 7 * t).value;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_IdentifyAlongRay);

// The fans' rays over the smooth surface, one identify per vertex.
void BM_FanRaysOneByOne(benchmark::State& state) {
    Fixture& fx = fixture();
    const pg::Raster& r = *fx.rasters[state.range(0)];
    std::size_t k = 0, items = 0;
    double sum = 0;
    for (auto _ : state) {
        const auto& ray = fx.rays[k++ % fx.rays.size()];
        for (const auto& p : ray) sum += r.identify(p).value;
        items += ray.size();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(items));
    state.SetLabel(state.range(0) == Striped ? "striped" : "tiled");
}
BENCHMARK(BM_FanRaysOneByOne)->Arg(Striped)->Arg(Tiled);

// The same rays read in bulk, as the runs read them.
void BM_FanRaysInBulk(benchmark::State& state) {
    Fixture& fx = fixture();
    const pg::Raster& r = *fx.rasters[state.range(0)];
    std::vector<pg::PixelValue> out;
    std::size_t k = 0, items = 0;
    double sum = 0;
    for (auto _ : state) {
        const auto& ray = fx.rays[k++ % fx.rays.size()];
        out.resize(ray.size());
        r.identifyMany(ray.data(), ray.size(), out.data());
        sum += out.back().value;
        items += ray.size();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(items));
    state.SetLabel(state.range(0) == Striped ? "striped" : "tiled");
}
BENCHMARK(BM_FanRaysInBulk)->Arg(Striped)->Arg(Tiled);

}  // namespace
