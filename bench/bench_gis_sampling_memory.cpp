// Sampling a 20,000 x 20,000 Float32 raster (10 m cells) along 1,000
// random 10 km rays at the cell step; reports the process's peak memory.
#include <benchmark/benchmark.h>

#include <gdal_priv.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <vector>

#include "platform/gis/geometry.h"
#include "platform/gis/raster.h"

namespace pg = quor::platform::gis;

namespace {

constexpr int kSize = 20000;

// The raster is written in a child process so that the writing does not
// count towards this process's peak.
std::string makeRaster(const std::filesystem::path& dir) {
    const std::string path = (dir / "r20000.tif").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        GDALAllRegister();
        const char* opts[] = {"TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", "BIGTIFF=YES", nullptr};
        GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            path.c_str(), kSize, kSize, 1, GDT_Float32, const_cast<char**>(opts));
        if (!ds) ::_exit(1);
        double gt[6] = {200000, 10, 0, 6000000, 0, -10};
        ds->SetGeoTransform(gt);
        ds->GetRasterBand(1)->SetNoDataValue(-9999);
        std::vector<float> rows(static_cast<std::size_t>(kSize) * 256);
        for (int y0 = 0; y0 < kSize; y0 += 256) {
            const int h = std::min(256, kSize - y0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < kSize; ++x)
                    rows[static_cast<std::size_t>(y) * kSize + x] = -0.001f * static_cast<float>((x + 3 * (y0 + y)) % 30000);
            if (ds->GetRasterBand(1)->RasterIO(GF_Write, 0, y0, kSize, h, rows.data(), kSize, h, GDT_Float32, 0, 0) != CE_None)
                ::_exit(1);
        }
        GDALClose(ds);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return path;
}

void BM_SampleRaysOnLargeRaster(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("quor-bench-sampling-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = makeRaster(dir);
    auto raster = pg::Raster::open(path);
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> ux(200000, 400000), uy(5800000, 6000000), ua(0, 6.283185307179586);
    std::int64_t samples = 0;
    double sum = 0;
    for (auto _ : state) {
        for (int r = 0; r < 1000; ++r) {
            const pg::Point s{ux(rng), uy(rng)};
            const double a = ua(rng);
            const pg::Path v = pg::densify({s, {s.x + 10000 * std::sin(a), s.y + 10000 * std::cos(a)}}, 10.0);
            for (const auto& p : v) {
                const pg::PixelValue px = raster->identify(p);
                if (px.hasValue()) sum += px.value;
                ++samples;
            }
        }
    }
    benchmark::DoNotOptimize(sum);
    struct rusage ru {};
    ::getrusage(RUSAGE_SELF, &ru);
    state.counters["samples"] = static_cast<double>(samples);
    state.counters["peak_MB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
    raster.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_SampleRaysOnLargeRaster)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
