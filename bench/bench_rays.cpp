// One site of each ray pipeline, with every work-class write, against a
// shoreline of 100,000 vertices over about 200 x 200 km and a 10 m
// bathymetry raster. As in a run: the work classes live in memory, RWE
// fans have the ray count of the default settings, REI fans 32 rays. The
// clipping path is measured drawn (work classes clipped, selected and
// copied) and direct (what runs that draw nothing do).
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "../tests/gis/rays_test_data.h"
#include "bench_shoreline.h"
#include "gis/cliprays.h"
#include "gis/createrays.h"
#include "gis/ray_site.h"
#include "gis/selorphans.h"
#include "gis/wave_raydist.h"
#include "gis/attached_pieces.h"
#include "wave/attached_fetch.h"
#include "wave/eff_fetch.h"
#include "wave/wave_main.h"

namespace {

using namespace quor;
using namespace quor::gis;
using namespace quor::gis::testdata;

using bench::QuietMessages;

using Proj = Project<QuietMessages, platform::NullProgress>;


struct Fixture {
    std::string root;
    std::unique_ptr<Proj> p;
    std::shared_ptr<platform::gis::Raster> raster;

    Fixture() {
        root = (std::filesystem::temp_directory_path() / ("quor_bench_rays_" + std::to_string(::getpid()))).string();
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root + "/shore");
        std::filesystem::create_directories(root + "/proj");
        writeShoreline(root + "/shore", "coast", bench::bigShoreline(7, 1500));
        // 10 m cells over 24 km around the sites; depths between 2 and 14 m
        // that differ from cell to cell.
        writeBathymetry(root + "/bathy.tif", 88000, 88000, 10, 2400, 2400,
                        [](double x, double y) { return -(8 + 6 * std::sin(x / 700) * std::cos(y / 900)); });
        p = std::make_unique<Proj>(root + "/proj", root + "/shore", "coast.shp");
        raster = platform::gis::Raster::open(root + "/bathy.tif");
        p->state.bathy_raster = raster;
        p->state.cell_step = 10 - 10 / 100.0;
        p->ctx.shore();  // prepared once per run
        p->ctx.workspace = platform::gis::Workspace::createMemory("bench-work");
    }
    ~Fixture() {
        p.reset();
        raster.reset();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    platform::gis::Point site(int i) const {
        // Sites around the centre, a little apart.
        return {kX0 + 100000 + 37.0 * (i % 20), kY0 + 100000 + 41.0 * (i % 17)};
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// The RWE ray count of a run with the default settings (ray-count option 1).
const int kRweRays = quor::wave::rayCountOf(1);

void BM_RweClipSite(benchmark::State& state) {
    Fixture& f = fixture();
    f.p->state.wv_indexcheck = 0;
    f.p->fm.refreshmap = 0;
    int i = 0;
    for (auto _ : state) {
        RaySite scope(f.p->ctx);
        const auto site = f.site(i++);
        const auto ws = f.p->ctx.workClasses();
        auto rays = wave_createrays_cls(f.p->ctx).WaveCreaterays(site, ws, "bay1", i, kRweRays);
        auto pieces = wave_cliprays_cls(f.p->ctx).cliprays("bay1", rays);
        auto orp = createRayWorkClass(f.p->ctx, ws, "orp_rays");
        orp = wave_selorphan_cls(f.p->ctx).selorphans(site, pieces, ws, orp);
        auto eff = wave::wave_effFetch_cls(f.p->state, f.p->mf, f.p->map, f.p->messages)
                       .effFetch(orp, static_cast<int16_t>(kRweRays), site);
        benchmark::DoNotOptimize(eff);
    }
    if (f.p->state.err_rays || f.p->state.err_clip) state.SkipWithError("a site failed");
}
BENCHMARK(BM_RweClipSite)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RweClipSiteDirect(benchmark::State& state) {
    Fixture& f = fixture();
    f.p->state.wv_indexcheck = 0;
    f.p->fm.refreshmap = 1;
    int i = 0;
    for (auto _ : state) {
        RaySite scope(f.p->ctx);
        const auto site = f.site(i++);
        auto rays = wave_createrays_cls(f.p->ctx).WaveCreaterays(site, f.p->ctx.workClasses(), "bay1", i, kRweRays);
        const auto fetch = wave::attachedEffectiveFetch(f.p->ctx, rays, kRweRays, site);
        if (!fetch.eff) state.SkipWithError("a site failed");
        benchmark::DoNotOptimize(fetch.eff);
    }
    f.p->fm.refreshmap = 0;
}
BENCHMARK(BM_RweClipSiteDirect)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RweFastSite(benchmark::State& state) {
    Fixture& f = fixture();
    f.p->state.wv_indexcheck = 1;
    int i = 0;
    for (auto _ : state) {
        RaySite scope(f.p->ctx);
        const auto site = f.site(i++);
        auto rays = wave_createrays_cls(f.p->ctx).WaveCreaterays(site, f.p->ctx.workClasses(), "bay1", i, kRweRays);
        wave_raydist_cls dist(f.p->ctx);
        auto eff = dist.wave_raydist(kRweRays, site, 0.0f, rays);
        if (!eff) state.SkipWithError("the measurement failed");
        benchmark::DoNotOptimize(eff);
    }
    f.p->state.wv_indexcheck = 0;
}
BENCHMARK(BM_RweFastSite)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void reiClipSite(benchmark::State& state, bool direct) {
    Fixture& f = fixture();
    f.p->fm.indexcheck = 0;
    f.p->fm.refreshmap = direct ? 1 : 0;
    f.p->mf.dist_bathy = 100;
    int i = 0;
    for (auto _ : state) {
        RaySite scope(f.p->ctx);
        const auto site = f.site(i++);
        if (direct)
            profileAttachedRays(f.p->ctx, site, f.p->ctx.workClasses(), f.raster);
        else
            createrays_cls(f.p->ctx).createrays(site, f.p->ctx.workClasses(), "bay1", i, f.raster);
        benchmark::DoNotOptimize(f.p->state.ray_bathy(0));
    }
    f.p->fm.refreshmap = 0;
    if (!f.p->ctx.messages.question("", "") || f.p->state.ray_fetch(0) <= 0) state.SkipWithError("no profile");
}
void BM_ReiClipSite(benchmark::State& state) { reiClipSite(state, false); }
void BM_ReiClipSiteDirect(benchmark::State& state) { reiClipSite(state, true); }
BENCHMARK(BM_ReiClipSite)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReiClipSiteDirect)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
