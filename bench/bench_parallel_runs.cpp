// Whole runs on one thread and on every core, paired: the 1,015 sites of
// Port Phillip Bay repeated ten times (10,150 sites), RWE (56 rays, the
// bay's wind file) and REI, each on the clipping and on the fast path, in
// the background (nothing drawn). Each repetition runs one thread, then
// every core, on fresh copies of the sites; the counters give the medians
// of the wall-clock times, the speed-up, and the peak memory of each
// (the process's resident peak, reset before every run, and its growth
// over what the process held before the run).
//
// The data set is the example that comes with the checkout
// (examples/portphillip).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "../tests/gis/rays_test_data.h"
#include "bay_data.h"
#include "bench_shoreline.h"
#include "platform/run_threads.h"
#include "rei/rei_run.h"
#include "wave/wave_main.h"
#include "wind/loadwind.h"

namespace {

using namespace quor;
namespace pg = platform::gis;
using Proj = gis::testdata::Project<bench::QuietMessages, platform::NullProgress>;

constexpr int kCopies = 10;

// The process's resident memory in MB: its peak since the last reset, or now.
double residentMb(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::string(key).size())) / 1024.0;
    return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Bay {
    std::string root;
    std::string data;
    std::unique_ptr<Proj> p;
    std::vector<pg::Point> points;
    pg::SpatialReference sr;
    int classes = 0;

    explicit Bay(std::string folder) : data(std::move(folder)) {
        root = (std::filesystem::temp_directory_path() / ("quor_bench_parallel_" + std::to_string(::getpid()))).string();
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root + "/proj/output_data");
        p = std::make_unique<Proj>(root + "/proj", data, "water_portphillip.shp");
        auto& s = p->state;
        auto& mf = p->mf;
        mf.bathycov = data + "/bathy_portphillip_m.tif";
        mf.bathyname = "bathy_portphillip_m.tif";
        mf.bathyunits = "Meter";
        mf.windpath = data + "/sample_56.Wind_RWE";
        mf.dist_bathy = 19;  // recommended for the 20 m cells
        mf.fetchlength = 1;
        s.Fetch_first = 1000;
        s.Depth_intg_first = 100;
        s.Depth_intg_second = 100;
        s.Eps = 1000;
        s.A_goda = 0.17;
        s.goda_slope = 1.909;
        s.orbvel_on = 1;
        s.velocity_method = 1;
        s.sea_temp = 20;
        s.sea_salinity = 34.84f;
        s.wind_path = data + "/sample.Wind_REI";
        p->fm.windcatno = 3;
        p->fm.wind_cat1 = 30;
        p->fm.wind_cat2 = 60;
        p->fm.Power1 = 0.053;
        p->fm.Power2 = 0.062;
        p->fm.Power5 = 0.082;
        p->fm.refreshmap = 1;
        p->fm.refreshmap1 = 1;
        auto sites = pg::Workspace::open(data)->openFeatureClass("sites_portphillip");
        sr = sites->spatialReference();
        auto cur = sites->search();
        while (auto f = cur.next()) points.push_back(f->shape().asPoint());
    }
    ~Bay() {
        p.reset();
        std::filesystem::remove_all(root);
    }

    std::shared_ptr<pg::FeatureClass> freshSites() {
        auto fc = p->mf.ptworkspace->createFeatureClass("Pointdata" + std::to_string(++classes), pg::GeometryType::Point,
                                                        {}, sr);
        pg::Workspace::Transaction tx(*p->mf.ptworkspace);
        auto ins = fc->insertCursor(true);
        for (int c = 0; c < kCopies; ++c)
            for (const auto& at : points) {
                pg::Feature f = ins.createFeatureBuffer();
                f.setShape(pg::Geometry::point(at.x, at.y));
                ins.insert(f);
            }
        ins.flush();
        tx.commit();
        return fc;
    }
};

std::unique_ptr<Bay> theBay;

Bay* bay() {
    if (!theBay)
        if (auto folder = bayFolder()) theBay = std::make_unique<Bay>(*folder);
    return theBay.get();
}

enum class Mode { Rwe, Rei };

// Processor time of the calling thread (the window's thread of the run).
double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Measured {
    double seconds = 0;
    double windowThreadSeconds = 0;  // what the run's own thread spent of it
    double peakMb = 0;    // the process's resident peak during the run
    double grownMb = 0;   // that peak over what it held before the run
    bool completed = false;
};

Measured runOnce(Bay& b, Mode mode, bool fast, int threads) {
    setenv(platform::kThreadsVariable, std::to_string(threads).c_str(), 1);
    auto points = b.freshSites();
    b.p->state.wv_indexcheck = mode == Mode::Rwe && fast ? 1 : 0;
    b.p->fm.indexcheck = mode == Mode::Rei && fast ? 1 : 0;
    const double before = residentMb("VmRSS:");
    resetPeak();
    Measured m;
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = threadSeconds();
    if (mode == Mode::Rwe) {
        wave::WaveRunContext ctx{b.p->ctx};
        ctx.shpdir = b.root + "/proj";
        ctx.shpname1 = points->name();
        m.completed = wave::wave_main_cls(ctx).WaveMain(points, 1, 4).end == wave::RunEnd::Completed;
    } else {
        rei::ReiRunContext ctx{b.p->state, b.p->fm, b.p->mf, b.p->wind, b.p->map, b.p->messages, b.p->progress};
        ctx.reloadWind = [&](platform::Messages& msgs) {
            return wind::reloadProjectWind(b.p->state, b.p->wind, b.p->fm, msgs);
        };
        m.completed = rei::runmodel(ctx, points, 1).end == rei::ReiRunEnd::Completed;
    }
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    m.windowThreadSeconds = threadSeconds() - cpu0;
    m.peakMb = residentMb("VmHWM:");
    m.grownMb = m.peakMb - before;
    const std::string name = points->name();
    points.reset();
    b.p->mf.ptworkspace->deleteFeatureClass(name);
    return m;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void pairedRuns(benchmark::State& st, Mode mode, bool fast) {
    Bay* b = bay();
    if (!b) {
        st.SkipWithError(kBayMissing);
        return;
    }
    const int cores = platform::usableCores();
    std::vector<double> t1, tn, peak1, peakn, grown1, grownn, busyn;
    for (auto _ : st) {
        const Measured one = runOnce(*b, mode, fast, 1);
        const Measured all = runOnce(*b, mode, fast, cores);
        if (!one.completed || !all.completed) {
            st.SkipWithError(("a run did not complete: " + b->p->messages.last).c_str());
            break;
        }
        t1.push_back(one.seconds);
        tn.push_back(all.seconds);
        peak1.push_back(one.peakMb);
        peakn.push_back(all.peakMb);
        grown1.push_back(one.grownMb);
        grownn.push_back(all.grownMb);
        busyn.push_back(all.windowThreadSeconds / all.seconds);
    }
    unsetenv(platform::kThreadsVariable);
    st.counters["sites"] = static_cast<double>(b->points.size() * kCopies);
    st.counters["cores"] = cores;
    st.counters["s_1thread"] = median(t1);
    st.counters["s_allcores"] = median(tn);
    st.counters["speedup"] = median(tn) > 0 ? median(t1) / median(tn) : 0;
    st.counters["peakMB_1thread"] = median(peak1);
    st.counters["peakMB_allcores"] = median(peakn);
    st.counters["peak_ratio"] = median(peak1) > 0 ? median(peakn) / median(peak1) : 0;
    st.counters["grownMB_1thread"] = median(grown1);
    st.counters["grownMB_allcores"] = median(grownn);
    // The share of the run the committing thread was busy: near 1, it is
    // what limits the speed-up.
    st.counters["window_busy_allcores"] = median(busyn);
}

void BM_RweClip(benchmark::State& st) { pairedRuns(st, Mode::Rwe, false); }
void BM_RweFast(benchmark::State& st) { pairedRuns(st, Mode::Rwe, true); }
void BM_ReiClip(benchmark::State& st) { pairedRuns(st, Mode::Rei, false); }
void BM_ReiFast(benchmark::State& st) { pairedRuns(st, Mode::Rei, true); }

// Five pairs each: the counters are their medians.
#define QUOR_PAIRED_RUNS(name) BENCHMARK(name)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(5)
QUOR_PAIRED_RUNS(BM_RweClip);
QUOR_PAIRED_RUNS(BM_RweFast);
QUOR_PAIRED_RUNS(BM_ReiClip);
QUOR_PAIRED_RUNS(BM_ReiFast);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!bayFolder())
        std::fprintf(stderr, "%s\n", kBayMissing);
    benchmark::RunSpecifiedBenchmarks();
    theBay.reset();
    return 0;
}
