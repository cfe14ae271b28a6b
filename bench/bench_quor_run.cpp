// quor-run against the window's run on a large coast: the 1,015 sites of
// Port Phillip Bay ten times over (10,150 sites), RWE and REI on the
// clipping path, each run once started the way the Run command starts it
// (the main window offscreen, its map showing the project's layers, the
// drivers its Run command holds) and once as the program quor-run, from
// its start to its end. Wall-clock time; the counter "ratio" is quor-run's
// time over the window's, which should stay at or below 1.05.
//
// The data set is the checkout's example (examples/portphillip); without it
// every case is skipped with a message.
#include <benchmark/benchmark.h>

#include <cpl_string.h>
#include <gdal_priv.h>
#include <gdal_utils.h>

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/qgis_runtime.h"
#include "bay_data.h"
#include "bay_window.h"
#include "model/settings_loader.h"
#include "project/interrogation_distance.h"

namespace fs = std::filesystem;
namespace pg = quor::platform::gis;
using namespace quor;

namespace {

constexpr int kTimes = 10;

// The window with the bay's project open, and the bay's sites ten times
// over in a shapefile of their own.
struct LargeCoast : bench::BayWindow {
    std::string sites = root + "/coast/sites.shp";  // the 10,150 sites, kept as they are
    int copies = 0;

    explicit LargeCoast(std::string folder)
        : BayWindow(std::move(folder), "coast", [](platform::SettingsStore& store) {
              // The settings as an earlier session left them, which quor-run reads too.
              auto earlier = std::make_unique<model::ApplicationState>();
              model::loadSettingsParameters(store, earlier->state, earlier->form);
          }) {
        fs::create_directories(root + "/coast");
        // The bay's sites, one copy after the other, with GDAL's ogr2ogr.
        std::unique_ptr<GDALDataset> src(
            GDALDataset::Open((data + "/sites_portphillip.shp").c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        for (int t = 0; t < kTimes; ++t) {
            CPLStringList args;
            for (const char* a : {"-f", "ESRI Shapefile", "-nln", "sites"}) args.AddString(a);
            if (t > 0) args.AddString("-append");
            GDALVectorTranslateOptions* opts = GDALVectorTranslateOptionsNew(args.List(), nullptr);
            GDALDatasetH h = GDALDataset::ToHandle(src.get());
            GDALClose(GDALVectorTranslate(sites.c_str(), nullptr, 1, &h, opts, nullptr));
            GDALVectorTranslateOptionsFree(opts);
        }
        const auto [minimum, maximum] = pg::Raster::open(form.bathycov)->minMax();
        if (const auto flag = project::depthSignFlag(minimum, maximum)) form.depthno = *flag;
    }

    // A fresh copy of the coast's sites, as the user keeps them.
    std::string freshSites() {
        const std::string folder = root + "/run" + std::to_string(++copies);
        fs::create_directories(folder);
        for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"})
            if (fs::exists(root + "/coast/sites" + ext)) fs::copy_file(root + "/coast/sites" + ext, folder + "/sites" + ext);
        return folder + "/sites.shp";
    }

    double windowRun(bool rei) {
        const std::string path = freshSites();
        auto points = pg::Workspace::open(path)->openFeatureClass("sites");
        showLayers(points);
        const project::PointDatasetChoice choice{path, fs::path(path).parent_path().string(), "sites.shp"};
        const auto t0 = std::chrono::steady_clock::now();
        if (rei)
            run->drivers.runmodel(points, 0, choice);
        else
            run->drivers.WaveMain(points, 0, choice);
        settle();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        window->map().clearLayers();
        settle();
        return seconds;
    }

    double commandLineRun(bool rei) {
        const std::string path = freshSites();
        QStringList args = {rei ? "rei" : "rwe",
                            "--settings", QString::fromStdString(store->filePath("Quor3")),
                            "--shoreline", QString::fromStdString(data + "/water_portphillip.shp"),
                            "--bathymetry", QString::fromStdString(form.bathycov),
                            "--wind", QString::fromStdString(rei ? state.wind_path : form.windpath),
                            "--sites", QString::fromStdString(path), "--quiet"};
        QProcess p;
        const auto t0 = std::chrono::steady_clock::now();
        p.start(QStringLiteral(QUOR_RUN_PROGRAM), args);
        p.waitForFinished(-1);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (p.exitCode() != 0) std::fprintf(stderr, "quor-run: %s\n", p.readAllStandardError().constData());
        return seconds;
    }
};

std::unique_ptr<LargeCoast> theCoast;

LargeCoast* coast() {
    if (!theCoast)
        if (auto folder = bayFolder()) theCoast = std::make_unique<LargeCoast>(*folder);
    return theCoast.get();
}

void windowAgainstCommandLine(benchmark::State& st, bool rei) {
    LargeCoast* c = coast();
    if (!c) {
        st.SkipWithError(kBayMissing);
        return;
    }
    c->state.model_mode = rei ? model::REI_MODE : model::RWE_MODE;
    double window = 0, commandLine = 0;
    for (auto _ : st) {
        // One after the other, so that both meet the machine alike.
        const double w = c->windowRun(rei), q = c->commandLineRun(rei);
        window += w;
        commandLine += q;
        st.SetIterationTime(w + q);
    }
    st.counters["sites"] = 1015 * kTimes;
    st.counters["window_s"] = benchmark::Counter(window, benchmark::Counter::kAvgIterations);
    st.counters["quor_run_s"] = benchmark::Counter(commandLine, benchmark::Counter::kAvgIterations);
    st.counters["ratio"] = commandLine / window;
}

void BM_RweClipWindowAndQuorRun(benchmark::State& st) { windowAgainstCommandLine(st, false); }
void BM_ReiClipWindowAndQuorRun(benchmark::State& st) { windowAgainstCommandLine(st, true); }

BENCHMARK(BM_RweClipWindowAndQuorRun)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ReiClipWindowAndQuorRun)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    return quor::bench::runWindowBenchmarks(argc, argv, "Every run is skipped.", [] { theCoast.reset(); });
}
