// Per-site cost of the numeric core: the wave-number iteration that every
// shallow-water step calls, and the bottom-velocity methods run once per site.
#include <benchmark/benchmark.h>

#include "model/model_state.h"
#include "wave/bottom_velocity.h"
#include "wave/hyperbolic.h"

using namespace quor;

static void BM_NewtonK(benchmark::State& st) {
    double h = 0.5;
    for (auto _ : st) {
        benchmark::DoNotOptimize(wave::newton_k(h, 0.06288, 0.001));
        h = h < 30 ? h + 0.37 : 0.5;
    }
}
BENCHMARK(BM_NewtonK);

static model::ModelState sea() {
    model::ModelState s;
    s.sea_temp = 20;
    s.sea_salinity = 34.84f;
    s.sed_density = 2650;
    s.sed_diameter = 0.0002f;
    s.Eps = 0.001;
    return s;
}

static void BM_BottomVelocityLinear(benchmark::State& st) {
    auto s = sea();
    wave::bottom_velocity_cls bv(s);
    for (auto _ : st) {
        bv.bottom_velocity(0.5, 4, 3);
        benchmark::DoNotOptimize(s.lwt_shearstress);
    }
}
BENCHMARK(BM_BottomVelocityLinear);

static void BM_BottomVelocitySpectral(benchmark::State& st) {
    auto s = sea();
    wave::bottom_velocity_cls bv(s);
    for (auto _ : st) {
        bv.bottom_velocity_spectra(0.5, 4, 3);
        benchmark::DoNotOptimize(s.esa_shearstress);
    }
}
BENCHMARK(BM_BottomVelocitySpectral);
