// Whole runs over the 1,015 sites of Port Phillip Bay, started the way the
// Run command starts them: the main window (offscreen) with its map view
// showing the project's layers, and the drivers its Run command holds.
// RWE (56 rays, the bay's wind file) and REI, each on the clipping and on
// the fast path, each in background mode (nothing drawn while the run
// goes on) and in foreground mode (the default: the map shows every
// site's work). Wall-clock time, including the map's last draw. The
// "Shapefile" cases run on a copy of the sites' own shapefile rather than
// on a class of the project's geodatabase.
//
// The data set is the checkout's example (examples/portphillip); without it
// every case is skipped with a message.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/main_form.h"
#include "app/map_view.h"
#include "app/qgis_runtime.h"
#include "app/run_command.h"
#include "app/startup.h"
#include "gis/shorebathy.h"
#include "bay_data.h"
#include "bay_window.h"
#include "platform/gis/gis.h"
#include "platform/settings_store.h"

namespace pg = quor::platform::gis;
using namespace quor;

namespace {

enum class Mode { Rwe, Rei };

struct Bay : bench::BayWindow {
    int classes = 0;

    explicit Bay(std::string folder) : BayWindow(std::move(folder), "bay1") {
        form.Fetch = 10000;
        form.dist_bathy = 19;  // recommended for the 20 m cells
        holder.optionindex = 4;  // 56 rays, as many as the wind file's sectors
        messages.told.clear();
    }

    // A fresh copy of the sites, so that every run starts alike.
    std::shared_ptr<pg::FeatureClass> freshSites() {
        auto sites = pg::Workspace::open(data)->openFeatureClass("sites_portphillip");
        auto fc = form.ptworkspace->createFeatureClass(
            "Pointdata" + std::to_string(++classes), pg::GeometryType::Point,
            {{"X", pg::FieldType::Double}, {"Y", pg::FieldType::Double}}, sites->spatialReference());
        pg::Workspace::Transaction tx(*form.ptworkspace);
        auto ins = fc->insertCursor(true);
        auto cur = sites->search();
        while (auto f = cur.next()) {
            pg::Feature p = ins.createFeatureBuffer();
            const pg::Point at = f->shape().asPoint();
            p.setShape(pg::Geometry::point(at.x, at.y));
            p.setValue(2, at.x);
            p.setValue(3, at.y);
            ins.insert(p);
        }
        ins.flush();
        tx.commit();
        return fc;
    }

    // A fresh copy of the sites' shapefile, as the user keeps it.
    std::shared_ptr<pg::FeatureClass> freshShapefile() {
        const std::string folder = home.path().toStdString() + "/sites" + std::to_string(++classes);
        std::filesystem::create_directories(folder);
        for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"})
            std::filesystem::copy_file(data + "/sites_portphillip" + ext, folder + "/sites_portphillip" + ext);
        return pg::Workspace::open(folder)->openFeatureClass("sites_portphillip");
    }
};

// Made on first use; gone before the application object is.
std::unique_ptr<Bay> theBay;

Bay* bay() {
    if (!theBay)
        if (auto folder = bayFolder()) theBay = std::make_unique<Bay>(*folder);
    return theBay.get();
}

void wholeRun(benchmark::State& st, Mode mode, bool fast, bool foreground, bool shapefile = false) {
    Bay* b = bay();
    if (!b) {
        st.SkipWithError(kBayMissing);
        return;
    }
    b->state.model_mode = mode == Mode::Rei ? model::REI_MODE : model::RWE_MODE;
    b->holder.indexcheck = mode == Mode::Rei && fast ? 1 : 0;
    b->state.wv_indexcheck = mode == Mode::Rwe && fast ? 1 : 0;
    b->holder.refreshmap = foreground ? 0 : 1;
    b->holder.refreshmap1 = mode == Mode::Rwe && !foreground ? 1 : 0;
    int draws = 0;
    QObject::connect(b->window->MapControl2, &QgsMapCanvas::mapCanvasRefreshed, [&draws] { ++draws; });

    for (auto _ : st) {
        st.PauseTiming();
        auto points = shapefile ? b->freshShapefile() : b->freshSites();
        b->showLayers(points);
        b->messages.told.clear();
        draws = 0;
        const project::PointDatasetChoice choice{points->name(), b->form.projfile, points->name()};
        st.ResumeTiming();

        if (mode == Mode::Rei)
            b->run->drivers.runmodel(points, 1, choice);
        else
            b->run->drivers.WaveMain(points, 1, choice);
        b->settle();

        st.PauseTiming();
        st.counters["sites"] = static_cast<double>(points->featureCount());
        st.counters["map_draws"] = draws;
        // What the run told the user at its end ("Processing Done", sites
        // that could not be processed).
        std::string told;
        for (const auto& t : b->messages.told) told += (told.empty() ? "" : " | ") + t;
        st.SetLabel(told);
        b->window->map().clearLayers();
        b->settle();
        st.ResumeTiming();
    }
    QObject::disconnect(b->window->MapControl2, &QgsMapCanvas::mapCanvasRefreshed, nullptr, nullptr);
}

void BM_RweClipBackground(benchmark::State& st) { wholeRun(st, Mode::Rwe, false, false); }
void BM_RweClipForeground(benchmark::State& st) { wholeRun(st, Mode::Rwe, false, true); }
void BM_RweFastBackground(benchmark::State& st) { wholeRun(st, Mode::Rwe, true, false); }
void BM_RweFastForeground(benchmark::State& st) { wholeRun(st, Mode::Rwe, true, true); }
void BM_ReiClipBackground(benchmark::State& st) { wholeRun(st, Mode::Rei, false, false); }
void BM_ReiClipForeground(benchmark::State& st) { wholeRun(st, Mode::Rei, false, true); }
void BM_ReiFastBackground(benchmark::State& st) { wholeRun(st, Mode::Rei, true, false); }
void BM_ReiFastForeground(benchmark::State& st) { wholeRun(st, Mode::Rei, true, true); }

#define QUOR_WHOLE_RUN(name) BENCHMARK(name)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)
QUOR_WHOLE_RUN(BM_RweClipBackground);
QUOR_WHOLE_RUN(BM_RweClipForeground);
QUOR_WHOLE_RUN(BM_RweFastBackground);
QUOR_WHOLE_RUN(BM_RweFastForeground);
QUOR_WHOLE_RUN(BM_ReiClipBackground);
QUOR_WHOLE_RUN(BM_ReiClipForeground);
QUOR_WHOLE_RUN(BM_ReiFastBackground);
QUOR_WHOLE_RUN(BM_ReiFastForeground);

void BM_RweClipBackgroundShapefile(benchmark::State& st) { wholeRun(st, Mode::Rwe, false, false, true); }
void BM_ReiClipBackgroundShapefile(benchmark::State& st) { wholeRun(st, Mode::Rei, false, false, true); }
QUOR_WHOLE_RUN(BM_RweClipBackgroundShapefile);
QUOR_WHOLE_RUN(BM_ReiClipBackgroundShapefile);

}  // namespace

int main(int argc, char** argv) {
    return quor::bench::runWindowBenchmarks(argc, argv, "Every whole run is skipped.", [] { theBay.reset(); });
}
