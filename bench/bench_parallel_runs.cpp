// Whole runs on one thread and on every core, paired: the 1,015 sites of
// Port Phillip Bay repeated ten times (10,150 sites), RWE (56 rays, the
// bay's wind file) and REI, each on the clipping and on the fast path, in
// the background (nothing drawn), on both routes a user's sites take: a
// class of the project's geodatabase, and the sites' own shapefile with
// its fields (as the Run command takes it). Each repetition runs one
// thread, then every core, on fresh copies of the sites; the counters give
// the medians of the wall-clock times, the speed-up, and the peak memory
// of each (the process's resident peak, reset before every run, and its
// growth over what the process held before the run).
//
// The clipping runs are also timed on a long coast: the bay's shoreline
// with a vertex every 0.3 m or closer (about 1.6 million vertices, made
// here from the example with GDAL), over the 1,015 sites once, where what
// each thread would hold of the shoreline shows in the peak.
//
// The data set is the example that comes with the checkout
// (examples/portphillip).
#include <benchmark/benchmark.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "../tests/gis/rays_test_data.h"
#include "model/settings_loader.h"
#include "bay_data.h"
#include "bench_shoreline.h"
#include "platform/gis/gdal_handle.h"
#include "platform/run_threads.h"
#include "platform/settings_store.h"
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

enum class Mode { Rwe, Rei };
enum class Route { GeoPackage, Shapefile };
enum class Coast { Bay, Dense };

// A layer copied from `from` into a new shapefile `path`: its fields and,
// `copies` times over, its features, each geometry passed through `shape`.
template <class Shape>
void copyLayer(const std::string& from, const std::string& path, int copies, Shape&& shape) {
    pg::DatasetHandle src(static_cast<GDALDataset*>(GDALOpenEx(from.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr)));
    auto* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    if (!src || !driver) throw std::runtime_error("cannot read " + from);
    pg::DatasetHandle dst(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dst) throw std::runtime_error("cannot create " + path);
    OGRLayer* in = src->GetLayer(0);
    OGRLayer* out = dst->CreateLayer(std::filesystem::path(path).stem().string().c_str(), in->GetSpatialRef(),
                                     in->GetGeomType(), nullptr);
    if (!out) throw std::runtime_error("cannot create a layer in " + path);
    OGRFeatureDefn* defn = in->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i) out->CreateField(defn->GetFieldDefn(i));
    for (int c = 0; c < copies; ++c) {
        in->ResetReading();
        while (OGRFeature* f = in->GetNextFeature()) {
            OGRFeature copy(out->GetLayerDefn());
            copy.SetFrom(f);
            if (OGRGeometry* g = copy.GetGeometryRef()) shape(*g);
            OGRFeature::DestroyFeature(f);
            if (out->CreateFeature(&copy) != OGRERR_NONE) throw std::runtime_error("cannot write " + path);
        }
    }
}

struct Bay {
    std::string root;
    std::string data;
    std::unique_ptr<Proj> p;
    std::vector<pg::Point> points;
    pg::SpatialReference sr;
    int classes = 0;
    std::string denseFolder;  // the long coast, once made

    explicit Bay(std::string folder) : data(std::move(folder)) {
        root = (std::filesystem::temp_directory_path() / ("quor_bench_parallel_" + std::to_string(::getpid()))).string();
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root + "/proj/output_data");
        p = std::make_unique<Proj>(root + "/proj", data, "water_portphillip.shp");
        // The settings a first start leaves, as runs of the Run command take
        // them: an interrogation distance of 100 m among them (a distance
        // picked by hand, the cells' 19 m, gave REI five times the samples).
        auto& s = p->state;
        auto& mf = p->mf;
        platform::IniSettingsStore store(root + "/config");
        model::loadSettingsParameters(store, s, mf);
        model::loadSettingsHolder(store, s, mf, p->fm);
        model::loadSettingsSea(store, s);
        mf.bathycov = data + "/bathy_portphillip_m.tif";
        mf.bathyname = "bathy_portphillip_m.tif";
        mf.bathyunits = "Meter";
        mf.windpath = data + "/sample_56.Wind_RWE";
        s.wind_path = data + "/sample.Wind_REI";
        s.orbvel_on = 1;
        s.velocity_method = 1;
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

    // The run's shoreline.
    void useCoast(Coast coast) {
        if (coast == Coast::Dense && denseFolder.empty()) {
            const std::string folder = root + "/dense";
            std::filesystem::create_directories(folder);
            copyLayer(data + "/water_portphillip.shp", folder + "/water_dense.shp", 1,
                      [](OGRGeometry& g) { g.segmentize(0.3); });
            denseFolder = folder;
        }
        p->mf.shorecov = coast == Coast::Dense ? denseFolder : data;
        p->mf.shorename = coast == Coast::Dense ? "water_dense.shp" : "water_portphillip.shp";
    }

    // The sites `copies` times over: a class of the project's geodatabase
    // (the points alone), or a shapefile with the sites' own fields.
    std::shared_ptr<pg::FeatureClass> freshSites(Route route, int copies) {
        const std::string name = "Pointdata" + std::to_string(++classes);
        if (route == Route::Shapefile) {
            const std::string folder = root + "/" + name;
            std::filesystem::create_directories(folder);
            copyLayer(data + "/sites_portphillip.shp", folder + "/" + name + ".shp", copies, [](OGRGeometry&) {});
            return pg::Workspace::open(folder)->openFeatureClass(name);
        }
        auto fc = p->mf.ptworkspace->createFeatureClass(name, pg::GeometryType::Point, {}, sr);
        pg::Workspace::Transaction tx(*p->mf.ptworkspace);
        auto ins = fc->insertCursor(true);
        for (int c = 0; c < copies; ++c)
            for (const auto& at : points) {
                pg::Feature f = ins.createFeatureBuffer();
                f.setShape(pg::Geometry::point(at.x, at.y));
                ins.insert(f);
            }
        ins.flush();
        tx.commit();
        return fc;
    }

    void dropSites(std::shared_ptr<pg::FeatureClass> points, Route route) {
        const std::string name = points->name();
        points.reset();
        if (route == Route::Shapefile)
            std::filesystem::remove_all(root + "/" + name);
        else
            p->mf.ptworkspace->deleteFeatureClass(name);
    }
};

std::unique_ptr<Bay> theBay;

Bay* bay() {
    if (!theBay)
        if (auto folder = bayFolder()) theBay = std::make_unique<Bay>(*folder);
    return theBay.get();
}

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

struct Case {
    Mode mode;
    bool fast;
    Route route;
    Coast coast = Coast::Bay;
    int copies = kCopies;
};

Measured runOnce(Bay& b, const Case& c, int threads) {
    setenv(platform::kThreadsVariable, std::to_string(threads).c_str(), 1);
    b.useCoast(c.coast);
    auto points = b.freshSites(c.route, c.copies);
    b.p->state.wv_indexcheck = c.mode == Mode::Rwe && c.fast ? 1 : 0;
    b.p->fm.indexcheck = c.mode == Mode::Rei && c.fast ? 1 : 0;
    const double before = residentMb("VmRSS:");
    resetPeak();
    Measured m;
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = threadSeconds();
    if (c.mode == Mode::Rwe) {
        wave::WaveRunContext ctx{b.p->ctx};
        ctx.shpdir = c.route == Route::Shapefile ? b.root + "/" + points->name() : b.root + "/proj";
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
    b.dropSites(std::move(points), c.route);
    return m;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void pairedRuns(benchmark::State& st, Case c) {
    Bay* b = bay();
    if (!b) {
        st.SkipWithError(kBayMissing);
        return;
    }
    const int cores = platform::usableCores();
    std::vector<double> t1, tn, peak1, peakn, grown1, grownn, busyn, speedup;
    for (auto _ : st) {
        const Measured one = runOnce(*b, c, 1);
        const Measured all = runOnce(*b, c, cores);
        if (!one.completed || !all.completed) {
            st.SkipWithError(("a run did not complete: " + b->p->messages.last).c_str());
            break;
        }
        t1.push_back(one.seconds);
        tn.push_back(all.seconds);
        speedup.push_back(one.seconds / all.seconds);
        peak1.push_back(one.peakMb);
        peakn.push_back(all.peakMb);
        grown1.push_back(one.grownMb);
        grownn.push_back(all.grownMb);
        busyn.push_back(all.windowThreadSeconds / all.seconds);
    }
    unsetenv(platform::kThreadsVariable);
    st.counters["sites"] = static_cast<double>(b->points.size() * static_cast<std::size_t>(c.copies));
    st.counters["cores"] = cores;
    st.counters["s_1thread"] = median(t1);
    st.counters["s_allcores"] = median(tn);
    // The median of the pairs' own ratios: each pair ran under the same load.
    st.counters["speedup"] = median(speedup);
    st.counters["peakMB_1thread"] = median(peak1);
    st.counters["peakMB_allcores"] = median(peakn);
    st.counters["peak_ratio"] = median(peak1) > 0 ? median(peakn) / median(peak1) : 0;
    st.counters["grownMB_1thread"] = median(grown1);
    st.counters["grownMB_allcores"] = median(grownn);
    // The share of the run the committing thread was busy: near 1, it is
    // what limits the speed-up.
    st.counters["window_busy_allcores"] = median(busyn);
}

// Five pairs each: the counters are their medians.
#define QUOR_PAIRED_RUNS(name, ...)                                                                              \
    BENCHMARK_CAPTURE(pairedRuns, name, Case{__VA_ARGS__})->Unit(benchmark::kSecond)->UseRealTime()->Iterations(5)
QUOR_PAIRED_RUNS(RweClipGeoPackage, Mode::Rwe, false, Route::GeoPackage);
QUOR_PAIRED_RUNS(RweClipShapefile, Mode::Rwe, false, Route::Shapefile);
QUOR_PAIRED_RUNS(RweFastGeoPackage, Mode::Rwe, true, Route::GeoPackage);
QUOR_PAIRED_RUNS(RweFastShapefile, Mode::Rwe, true, Route::Shapefile);
QUOR_PAIRED_RUNS(ReiClipGeoPackage, Mode::Rei, false, Route::GeoPackage);
QUOR_PAIRED_RUNS(ReiClipShapefile, Mode::Rei, false, Route::Shapefile);
QUOR_PAIRED_RUNS(ReiFastGeoPackage, Mode::Rei, true, Route::GeoPackage);
QUOR_PAIRED_RUNS(ReiFastShapefile, Mode::Rei, true, Route::Shapefile);
QUOR_PAIRED_RUNS(RweClipLongCoast, Mode::Rwe, false, Route::Shapefile, Coast::Dense, 1);
QUOR_PAIRED_RUNS(ReiClipLongCoast, Mode::Rei, false, Route::Shapefile, Coast::Dense, 1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!bayFolder())
        std::fprintf(stderr, "%s\n", kBayMissing);
    benchmark::RunSpecifiedBenchmarks();
    theBay.reset();
    return 0;
}
