// A whole REI run of 1,000 sites, results written, against a shoreline of
// 100,000 vertices, with the interrogation distance 100 m: once on the
// clipping path, once on the fast path.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "../tests/gis/rays_test_data.h"
#include "bench_shoreline.h"
#include "rei/rei_run.h"
#include "wind/loadwind.h"
#include "wind/rei_wind_file.h"

namespace {

using namespace quor;
using namespace quor::gis::testdata;

using bench::QuietMessages;

using Proj = Project<QuietMessages, platform::NullProgress>;


struct RunFixture {
    std::string root;
    std::unique_ptr<Proj> p;
    int runs = 0;

    RunFixture() {
        root = (std::filesystem::temp_directory_path() / ("quor_bench_rei_" + std::to_string(::getpid()))).string();
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root + "/shore");
        std::filesystem::create_directories(root + "/proj");
        writeShoreline(root + "/shore", "coast", bench::bigShoreline(11));
        writeBathymetry(root + "/bathy.tif", 86000, 86000, 10, 2800, 2800,
                        [](double x, double y) { return -(8 + 6 * std::sin(x / 700) * std::cos(y / 900)); });
        p = std::make_unique<Proj>(root + "/proj", root + "/shore", "coast.shp");
        p->mf.bathycov = root + "/bathy.tif";
        p->fm.windcatno = 3;
        p->fm.wind_cat1 = 30;
        p->fm.wind_cat2 = 60;
        p->fm.Power1 = 0.053;
        p->fm.Power2 = 0.062;
        p->fm.Power5 = 0.082;
        wind::ReiWindClimate c;
        for (int k = 0; k < 8; ++k) {
            c.speed[k] = 5 + k;
            c.percent[k] = 12.5;
        }
        p->state.wind_path = root + "/wind.txt";
        wind::writeReiWindHandEntry(p->state.wind_path, c);
    }
    ~RunFixture() { std::filesystem::remove_all(root); }

    // 1,000 sites on a 40 x 25 grid of 100 m around the middle of the bay.
    std::shared_ptr<platform::gis::FeatureClass> sites(const std::string& name) {
        namespace pg = platform::gis;
        auto fc = p->mf.ptworkspace->createFeatureClass(name, pg::GeometryType::Point, {},
                                                         pg::SpatialReference::fromEpsg(32755));
        auto ins = fc->insertCursor(true);
        for (int i = 0; i < 1000; ++i) {
            pg::Feature f = ins.createFeatureBuffer();
            f.setShape(pg::Geometry::point(p->site(98000 + 100 * (i % 40), 98800 + 100 * (i / 40))));
            ins.insert(f);
        }
        ins.flush();
        return fc;
    }
};

RunFixture& fixture() {
    static RunFixture f;
    return f;
}

void runOnce(benchmark::State& st, int fast) {
    auto& f = fixture();
    f.p->fm.indexcheck = static_cast<std::int16_t>(fast);
    f.p->fm.refreshmap = 0;
    for (auto _ : st) {
        st.PauseTiming();
        // Each run gets a dataset of its own, dropped afterwards, so that
        // repetitions in one process start alike.
        const std::string name = "Pointdata" + std::to_string(fast) + "_" + std::to_string(f.runs++);
        auto fc = f.sites(name);
        rei::ReiRunContext ctx{f.p->state, f.p->fm, f.p->mf, f.p->wind, f.p->map, f.p->messages, f.p->progress};
        ctx.reloadWind = [&](platform::Messages& m) {
            return wind::reloadProjectWind(f.p->state, f.p->wind, f.p->fm, m);
        };
        st.ResumeTiming();
        const auto out = rei::runmodel(ctx, fc, 1);
        if (out.end != rei::ReiRunEnd::Completed) st.SkipWithError(("run did not complete: " + f.p->messages.last).c_str());
        st.counters["written"] = static_cast<double>(out.written);
        st.counters["failed"] = static_cast<double>(out.failed);
        st.PauseTiming();
        fc.reset();
        f.p->mf.ptworkspace->deleteFeatureClass(name);
        st.ResumeTiming();
    }
}

void BM_ReiRun1000ClipPath(benchmark::State& st) { runOnce(st, 0); }
void BM_ReiRun1000FastPath(benchmark::State& st) { runOnce(st, 1); }

BENCHMARK(BM_ReiRun1000ClipPath)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ReiRun1000FastPath)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
