// The run start: which datasets are offered, how the chosen one is opened
// and handed to the driver of the mode, and the dialog offscreen.
#include "run_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTimer>

#include "model/wind_values.h"
#include "project/ptdatasel.h"
#include "project/ui/ptdatasel_dialog.h"
#include "wave/rwe_results.h"
#include "wave/rwe_run_start.h"

namespace quor::wave::testing {
namespace {

using project::ptdatasel;
using project::RunDrivers;

std::shared_ptr<pg::Layer> pointLayer(RunProject& rp, const std::string& name) {
    return pg::Layer::featureLayer(rp.points, name);
}

TEST(RunStart, ListsPointLayersAboveTheBottomLayersThenTheShapefiles) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    auto& map = rp.p->map;
    auto bathy = pg::Layer::rasterLayer(pg::Raster::open(rp.p->mf.bathycov), "bathy");
    map.addLayer(bathy);                             // bottom: bathymetry
    map.addLayer(pointLayer(rp, "Pointdata7"));      // where the shoreline would be
    map.addLayer(pointLayer(rp, "pointDATA_ext2"));  // any case
    map.addLayer(pointLayer(rp, "Pointdat"));        // shorter than nine letters
    map.addLayer(pointLayer(rp, "Pointdata1"));
    rp.p->mf.shpcol = {"/data/a.shp", "C:\\x/y\\sites.shp"};
    RunDrivers drivers;
    ptdatasel dlg(rp.p->state, rp.p->mf, rp.p->fm, map, rp.p->messages, drivers);
    rp.p->mf.fetchlength = 1;
    dlg.Form_Load();
    EXPECT_EQ(dlg.items(), (std::vector<std::string>{"Pointdata1", "pointDATA_ext2", "/data/a.shp",
                                                     "C:\\x/y\\sites.shp"}));
    EXPECT_EQ(rp.p->mf.fetchlength, 0);
    EXPECT_EQ(dlg.title(), "Select Point Dataset");
    EXPECT_TRUE(dlg.checkVisible());
    // The fast algorithm passes over the bathymetry only.
    rp.p->state.wv_indexcheck = 1;
    rp.p->state.batch_mode = 1;
    dlg.Form_Load();
    EXPECT_EQ(dlg.items().size(), 5u);
    EXPECT_EQ(dlg.items()[2], "Pointdata7");
    EXPECT_EQ(dlg.title(), "Select Point Dataset (Batch Mode)");
    EXPECT_FALSE(dlg.checkVisible());

    EXPECT_EQ(project::splitAtLastSeparator("C:\\x/y\\sites.shp"),
              (std::pair<std::string, std::string>{"C:\\x/y", "sites.shp"}));
}

TEST(RunStart, OkOpensTheDatasetAndCallsTheDriverOfTheMode) {
    RunProject rp;
    rp.sites({{10000, 10000}, {3000, 16000}});
    RunDrivers drivers;
    ptdatasel dlg(rp.p->state, rp.p->mf, rp.p->fm, rp.p->map, rp.p->messages, drivers);
    dlg.Form_Load();
    bool unloaded = false;
    auto unload = [&] { unloaded = true; };

    // Nothing chosen, or a name that is neither: the dialog stays open.
    EXPECT_FALSE(dlg.Command1_Click("", false, unload));
    EXPECT_EQ(rp.p->messages.texts().back(), "Please select a valid point file");
    EXPECT_FALSE(dlg.Command1_Click("sites", false, unload));
    EXPECT_FALSE(dlg.Command1_Click("Pointdata9", false, unload));
    EXPECT_FALSE(unloaded);

    // A slot not filled yet says so.
    rp.p->messages.entries.clear();
    EXPECT_TRUE(dlg.Command1_Click("Pointdata1", true, unload));
    EXPECT_TRUE(unloaded);
    EXPECT_EQ(rp.p->messages.texts().back(), "The RWE model run is not available in this build.");
    EXPECT_EQ(dlg.result.shpdir, rp.tmp.path() + "/proj");
    EXPECT_EQ(dlg.result.shpname1, "bay1.gpkg.Pointdata1");
    EXPECT_EQ(dlg.result.pointData, rp.tmp.path() + "/proj/bay1.gpkg (layer Pointdata1)");
    EXPECT_EQ(rp.p->mf.fetchlength, 1);

    // The RWE slot runs the model over the dataset, with the metadata file beside the geodatabase.
    installWaveMain(drivers, rp.p->ctx);
    rp.p->messages.entries.clear();
    rp.p->fm.optionindex = 0;
    ASSERT_TRUE(dlg.Command1_Click("Pointdata1", false, unload));
    EXPECT_TRUE(rp.p->messages.entries.empty()) << rp.p->messages.texts().front();
    EXPECT_GT(rp.value(1, "RWE"), 0);
    EXPECT_GT(rp.value(2, "RWE"), 0);
    EXPECT_NE(test::fileBytes(rp.tmp.path() + "/proj/bay1.gpkg.Pointdata1.Metadata_RWE")
                  .find("\r\nPoint data:    " + dlg.result.pointData + "\r\n"),
              std::string::npos);

    // REI mode and batch mode go to their own slots, a shapefile with counterstart 0.
    std::string called;
    int16_t counter = -1;
    drivers.runmodel = [&](const std::shared_ptr<pg::FeatureClass>& fc, int16_t c, const project::PointDatasetChoice&) {
        called = "REI " + fc->name();
        counter = c;
    };
    drivers.batch_processing = [&](const std::shared_ptr<pg::FeatureClass>& fc, int16_t c,
                                   const project::PointDatasetChoice&) {
        called = "batch " + fc->name();
        counter = c;
    };
    rp.p->state.model_mode = model::REI_MODE;
    dlg.Command1_Click("Pointdata1", false, unload);
    EXPECT_EQ(called, "REI Pointdata1");
    EXPECT_EQ(counter, 1);
    rp.p->state.model_mode = model::RWE_MODE;
    rp.p->state.batch_mode = 1;
    dlg.Form_Load();
    // A point shapefile by its path.
    auto shpWs = pg::Workspace::open(rp.tmp.path() + "/shore");
    auto shp = shpWs->createFeatureClass("sites", pg::GeometryType::Point, {}, pg::SpatialReference::fromEpsg(32755));
    EXPECT_TRUE(dlg.Command1_Click(rp.tmp.path() + "/shore/sites.shp", true, unload));
    EXPECT_EQ(called, "batch sites");
    EXPECT_EQ(counter, 0);
    EXPECT_EQ(dlg.result.shpname1, "sites.shp");
    EXPECT_EQ(dlg.result.pointData, rp.tmp.path() + "/shore/sites.shp");
    EXPECT_EQ(rp.p->mf.fetchlength, 0);  // no ray lengths in batch mode
    // A polygon shapefile is no point dataset.
    EXPECT_FALSE(dlg.Command1_Click(rp.tmp.path() + "/shore/lake.shp", false, unload));
}

TEST(RunStart, AFetchOrInterrogationDistanceOutsideTheSettingsRangeIsRefused) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    RunDrivers drivers;
    struct Shell : model::RunShell {
        int ended = 0;
        void runEnded() override { ++ended; }
    } shell;
    installWaveMain(drivers, rp.p->ctx, &shell);
    ptdatasel dlg(rp.p->state, rp.p->mf, rp.p->fm, rp.p->map, rp.p->messages, drivers);
    dlg.Form_Load();
    auto refused = [&](const std::string& message) {
        rp.p->messages.entries.clear();
        ASSERT_TRUE(dlg.Command1_Click("Pointdata1", false, {}));
        // Only the refusal: no run began, nothing was written.
        ASSERT_EQ(rp.p->messages.texts(), std::vector<std::string>{message});
    };
    rp.p->mf.Fetch = 1e308;
    refused("Please select fetch between range of 100 mts and 100000 mts");
    EXPECT_EQ(shell.ended, 1);  // the run button is idle again
    rp.p->mf.Fetch = 10000;
    rp.p->state.Depth_intg_first = 0.001;
    refused("Please select fetch segment interrogation distance between range of 1 mts and 100000 mts");
}

// A project made for batch runs has no wind file; once the batch set-up is
// cancelled, the next run is a single run and must say what is missing.
TEST(RunStart, AProjectWithoutAWindFileIsToldWhereToMakeOne) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    rp.p->mf.windpath.clear();
    rp.p->state.wind_path.clear();
    RunDrivers drivers;
    struct Shell : model::RunShell {
        int ended = 0;
        void runEnded() override { ++ended; }
    } shell;
    installWaveMain(drivers, rp.p->ctx, &shell);
    ptdatasel dlg(rp.p->state, rp.p->mf, rp.p->fm, rp.p->map, rp.p->messages, drivers);
    dlg.Form_Load();
    ASSERT_TRUE(dlg.Command1_Click("Pointdata1", false, {}));
    EXPECT_EQ(rp.p->messages.texts(), std::vector<std::string>{model::kNoProjectWind});
    EXPECT_EQ(shell.ended, 1);  // the run button is idle again
}

TEST(RunStartDialog, OffscreenListCheckBoxAndCancel) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    rp.p->mf.shpcol = {rp.tmp.path() + "/none.shp"};
    RunDrivers drivers;
    ptdatasel core(rp.p->state, rp.p->mf, rp.p->fm, rp.p->map, rp.p->messages, drivers);
    bool idle = false;
    core.runIdle = [&] { idle = true; };
    project::ui::PtdataselDialog dlg(core);
    dlg.Form_Load();
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Select Point Dataset");
    EXPECT_EQ(dlg.Combo1->count(), 1);
    EXPECT_FALSE(dlg.Check1->isHidden());
    QTimer::singleShot(0, &dlg, [&] { dlg.Command2_Click(); });
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_TRUE(idle);
    EXPECT_EQ(rp.p->mf.fetchlength, 0);
}

}  // namespace
}  // namespace quor::wave::testing
