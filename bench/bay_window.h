#pragma once
// The main window as the program wires it (offscreen, in a temporary
// home), with a project on the Port Phillip example open: its
// geodatabase, the bay's shoreline and bathymetry and both wind files.
// The runs it starts are those of its Run command.
#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bay_data.h"

#include "app/main_form.h"
#include "app/map_view.h"
#include "app/qgis_runtime.h"
#include "app/run_command.h"
#include "app/startup.h"
#include "gis/shorebathy.h"
#include "platform/gis/gis.h"
#include "platform/settings_store.h"

namespace quor::bench {

// Yes to every question (replacing earlier results); remembers what it was told.
class YesMessages final : public platform::Messages {
public:
    void message(const std::string& text, platform::MessageIcon, const std::string&) override { told.push_back(text); }
    bool question(const std::string&, const std::string&) override { return true; }
    std::vector<std::string> told;
};

struct BayWindow {
    std::string data;
    QTemporaryDir home;
    std::string root = home.path().toStdString();
    std::unique_ptr<platform::IniSettingsStore> store;
    YesMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    std::unique_ptr<app::MainForm> window;
    std::unique_ptr<app::RunCommand> run;

    // `beforeStart` may put settings into the store the window starts with.
    BayWindow(std::string folder, const std::string& project,
              const std::function<void(platform::SettingsStore&)>& beforeStart = {})
        : data(std::move(folder)) {
        namespace pg = platform::gis;
        store = std::make_unique<platform::IniSettingsStore>(root + "/config");
        if (beforeStart) beforeStart(*store);
        window = std::make_unique<app::MainForm>(state, form, holder, *store, &messages);
        state.welcome_done = true;
        app::StartupEnvironment env;
        env.documents = {platform::DocumentsFolder::Status::Found, root};
        env.fallbackFolder = root + "/fallback";
        window->Form_Load(env);
        run = std::make_unique<app::RunCommand>(*window, window->winddata());
        window->resize(1280, 900);
        window->show();

        // The project: its geodatabase, the bay's shoreline and bathymetry.
        std::filesystem::create_directories(root + "/Project/" + project);
        form.projfile = root + "/Project/" + project;
        form.projname = project;
        form.geodatabasename = project + ".gpkg";
        form.ptworkspace = pg::Workspace::createGeoPackage(form.projfile + "/" + project + ".gpkg");
        form.shorecov = data;
        form.shorename = "water_portphillip.shp";
        form.bathycov = data + "/bathy_portphillip_m.tif";
        form.bathyname = "bathy_portphillip_m.tif";
        form.bathyunits = "Meter";
        form.windpath = data + "/sample_56.Wind_RWE";
        form.unitfactor = 1;
        state.bathy_positive = 0;
        state.wind_path = data + "/sample.Wind_REI";
    }

    // The project's layers as the project display shows them: bathymetry,
    // shoreline (not with the REI fast algorithm), the point dataset.
    void showLayers(const std::shared_ptr<platform::gis::FeatureClass>& points) {
        namespace pg = platform::gis;
        pg::Map& map = window->map();
        map.clearLayers();
        map.addLayer(pg::Layer::rasterLayer(pg::Raster::open(form.bathycov), form.bathyname));
        if (holder.indexcheck == 0) map.addLayer(pg::Layer::featureLayer(gis::openShoreline(form), form.shorename));
        map.addLayer(pg::Layer::featureLayer(points, points->name()));
        map.setExtent(map.fullExtent());
        settle();
    }

    // Until the map view has drawn what it was last asked to.
    void settle() {
        window->MapControl2->syncNow();
        QApplication::processEvents();
        while (window->MapControl2->isDrawing()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        QApplication::processEvents();
    }
};

// A window benchmark's main: Qt offscreen in a test home, QGIS started,
// then every benchmark asked for; `release` lets go of what they shared
// before QGIS goes.
inline int runWindowBenchmarks(int argc, char** argv, const char* withoutTheBay, const std::function<void()>& release) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    app::startQgis();
    benchmark::Initialize(&argc, argv);
    if (!bayFolder()) std::fprintf(stderr, "%s %s\n", kBayMissing, withoutTheBay);
    benchmark::RunSpecifiedBenchmarks();
    release();
    return 0;
}

}  // namespace quor::bench
