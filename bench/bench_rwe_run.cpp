// Whole RWE runs: 1,000 sites of 32 rays near a coast of 100,000 vertices
// (a water body of about 200 x 200 km), 10 km rays, a 10 m bathymetry
// raster, results written into a GeoPackage point class. Five runs on the
// clipping path, then five on the fast path, all in one process (each
// replacing the previous run's values, as a user's re-run does); the
// counters split the time between the ray steps, the waves and the
// writing, and give the peak memory of the process so far, which must
// not climb from run to run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "../tests/gis/rays_test_data.h"
#include "platform/feedback.h"
#include "platform/gis/gis.h"
#include "platform/numbers.h"
#include "platform/textfile.h"
#include "wave/wave_main.h"

namespace pg = quor::platform::gis;
using namespace quor;

namespace {

class YesMessages final : public platform::Messages {
public:
    void message(const std::string& text, platform::MessageIcon, const std::string&) override { last = text; ++count; }
    bool question(const std::string&, const std::string&) override { return true; }
    std::string last;
    int count = 0;
};

constexpr double kCx = 400000, kCy = 5800000;

double coastRadius(double a) {
    return 80000 + 6000 * std::sin(9 * a) + 2500 * std::sin(57 * a) + 400 * std::sin(911 * a);
}

pg::Geometry coast() {
    const int n = 99000;
    pg::Path ring;
    for (int i = 0; i <= n; ++i) {
        const double a = (i % n) * 2 * M_PI / n;
        ring.push_back({kCx + coastRadius(a) * std::cos(a), kCy + coastRadius(a) * std::sin(a)});
    }
    std::vector<pg::Path> rings{ring};
    for (int k = 0; k < 3; ++k) {
        pg::Path island;
        for (int i = 0; i <= 300; ++i) {
            const double a = -(i % 300) * 2 * M_PI / 300;
            island.push_back({kCx + 60000 + 3000.0 * (k - 1) * 4 + 1500 * std::cos(a), kCy + 9000 + 900 * std::sin(a)});
        }
        rings.push_back(island);
    }
    return pg::Geometry::polygons({rings});
}

// The sites lie in a 40 x 40 km box by the eastern shore; the raster
// covers it with 10 km to spare on every side.
constexpr double kBoxX0 = kCx + 40000, kBoxY0 = kCy - 20000, kBox = 40000, kMargin = 10000;

struct Fixture {
    std::filesystem::path dir;
    model::ModelState state;
    model::SettingsHolder fm;
    model::MainFormState mf;
    model::WindSummary wind;
    pg::Map map;
    YesMessages messages;
    platform::NullProgress progress;
    gis::RayContext rays{state, fm, mf, wind, map, messages, progress};
    std::unique_ptr<wave::WaveRunContext> ctx;
    std::shared_ptr<pg::FeatureClass> points;

    Fixture() {
        dir = std::filesystem::temp_directory_path() / ("quor-bench-rwe-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir / "shore");
        // Shoreline shapefile.
        {
            auto ws = pg::Workspace::open((dir / "shore").string());
            auto fc = ws->createFeatureClass("coast", pg::GeometryType::Polygon, {}, pg::SpatialReference::fromEpsg(32755));
            pg::Feature f = fc->createFeature();
            f.setShape(coast());
            fc->store(f);
        }
        // 10 m bathymetry, depths 2 to 18 m.
        const double x0 = kBoxX0 - kMargin, y0 = kBoxY0 - kMargin, size = kBox + 2 * kMargin;
        const int cells = static_cast<int>(size / 10);
        gis::testdata::writeBathymetry((dir / "bathy.tif").string(), x0 - gis::testdata::kX0,
                                       y0 - gis::testdata::kY0, 10, cells, cells, [](double x, double y) {
                                           return -(10 + 6 * std::sin(x / 2300) + 2 * std::cos(y / 3100));
                                       });
        // Wind: 56 sectors, 4 to 12 m/s.
        std::vector<std::string> w = {"Winddata File Quor Project", "", "Created on: x", "bench", "a", "b", "0m/s", "56", ""};
        for (int i = 0; i < 56; ++i) w.push_back(platform::formatNumber(8 + 4 * std::sin(i * 0.3)));
        for (int i = 0; i < 56; ++i) w.push_back(platform::formatNumber(100.0 / 56));
        platform::writeTextLines((dir / "w.Wind_RWE").string(), w);

        mf.projfile = dir.string();
        mf.projname = "bay1";
        mf.ptworkspace = pg::Workspace::createGeoPackage((dir / "bay1.gpkg").string());
        mf.shorecov = (dir / "shore").string();
        mf.shorename = "coast.shp";
        mf.bathycov = (dir / "bathy.tif").string();
        mf.bathyname = "bathy.tif";
        mf.bathyunits = "Meter";
        mf.windpath = (dir / "w.Wind_RWE").string();
        mf.Fetch = 10000;
        mf.dist_bathy = 100;
        mf.unitfactor = 1;
        state.Fetch_first = 1000;
        state.Depth_intg_first = 100;
        state.Depth_intg_second = 100;
        state.Eps = 1000;
        state.A_goda = 0.17;
        state.goda_slope = 1.909;
        fm.refreshmap = 1;
        fm.refreshmap1 = 0;

        // 1,000 sites in water.
        points = mf.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                    {{"X", pg::FieldType::Double}, {"Y", pg::FieldType::Double}},
                                                    pg::SpatialReference::fromEpsg(32755));
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> u(0, kBox);
        pg::Workspace::Transaction tx(*mf.ptworkspace);
        int made = 0;
        while (made < 1000) {
            const double x = kBoxX0 + u(rng), y = kBoxY0 + u(rng);
            const double a = std::atan2(y - kCy, x - kCx);
            if (std::hypot(x - kCx, y - kCy) > coastRadius(a) - 50) continue;
            pg::Feature f = points->createFeature();
            f.setShape(pg::Geometry::point(x, y));
            points->store(f);
            ++made;
        }
        tx.commit();
        ctx = std::make_unique<wave::WaveRunContext>(wave::WaveRunContext{rays});
        ctx->shpdir = dir.string();
        ctx->shpname1 = "Pointdata1";
    }
    ~Fixture() {
        points.reset();
        mf.ptworkspace.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Fixture& fixture() {
    static Fixture fx;
    return fx;
}

double peakMegabytes() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
    return 0;
}

void runOnce(benchmark::State& st, int16_t fast) {
    Fixture& fx = fixture();
    fx.state.wv_indexcheck = fast;
    wave::RunOutcome out;
    for (auto _ : st) {
        wave::wave_main_cls driver(*fx.ctx);
        out = driver.WaveMain(fx.points, 1, 1);
    }
    st.counters["sites"] = out.sitesDone;
    st.counters["rays_s"] = out.raySeconds;
    st.counters["waves_s"] = out.waveSeconds;
    st.counters["write_s"] = out.writeSeconds;
    st.counters["write_errors"] = out.writeErrors;
    st.counters["completed"] = out.end == wave::RunEnd::Completed;
    st.counters["peak_MB"] = peakMegabytes();
    if (fx.messages.count) st.SetLabel(fx.messages.last);
}

void BM_RweRunClip(benchmark::State& st) { runOnce(st, 0); }
void BM_RweRunFast(benchmark::State& st) { runOnce(st, 1); }
BENCHMARK(BM_RweRunClip)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_RweRunFast)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(5);

}  // namespace
