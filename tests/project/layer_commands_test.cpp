// Display of the project's layers, the interrogation distance, and the
// commands that change input layers.
#include "model/setting_checks.h"
#include "project/interrogation_distance.h"
#include "project_fixture.h"

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;

TEST(InterrogationDistance, SmallerCellLessOneHalfToEvenWithinTheAcceptedRange) {
    struct Case {
        double cellX, cellY;
        int16_t distance;
        double fromCells;
    };
    for (const Case& c : {Case{30, 25, 24, 24}, Case{10.5, 10.5, 10, 10}, Case{11.5, 11.5, 10, 10},
                          Case{1.2, 1.2, 10, 0}, Case{1, 1, 10, 0}, Case{40000, 40000, 200, 39999}}) {
        const auto p = proposeInterrogationDistance(c.cellX, c.cellY);
        ASSERT_TRUE(p) << c.cellX;
        EXPECT_EQ(p->distance, c.distance) << c.cellX;
        EXPECT_EQ(p->fromCells, c.fromCells) << c.cellX;
    }
    EXPECT_EQ(proposeInterrogationDistance(std::nan(""), 5), std::nullopt);

    EXPECT_EQ(depthSignFlag(-3, 5), 0);
    EXPECT_EQ(depthSignFlag(-3, 0), 1);
    EXPECT_EQ(depthSignFlag(0, 5), 1);
    EXPECT_EQ(depthSignFlag(0, 0), std::nullopt);
}

TEST(InterrogationDistance, ProposedOnlyWhenItDiffersAndStoredOnOk) {
    Workbench wb;
    wb.form.bathycov = wb.data + "/rect.tif";
    wb.form.bathyname = "rect.tif";
    wb.form.dist_bathy = 24;
    wb.commands->bathydist();
    EXPECT_TRUE(wb.messages.entries.empty());
    EXPECT_EQ(wb.form.depthno, 0);  // the raster holds both signs

    wb.form.dist_bathy = 100;
    wb.messages.answers = {false};
    wb.commands->bathydist();
    ASSERT_EQ(wb.messages.entries.size(), 1u);
    EXPECT_EQ(wb.messageTexts()[0],
              "Recomended bathymetry interrogation distance based on bathymetry grid is 24 mts. Do you want to use it?");
    EXPECT_EQ(wb.form.dist_bathy, 100);
    EXPECT_FALSE(wb.settings.contains("Quor3", "Settings", "Bathy_dist"));

    wb.commands->bathydist();
    EXPECT_EQ(wb.form.dist_bathy, 24);
    EXPECT_EQ(wb.settings.read("Quor3", "Settings", "Bathy_dist"), "24");

    // rasterdata: the folder before the last separator and the dataset name.
    wb.form.bathycov = "rect.tif";
    EXPECT_EQ(wb.commands->rasterdata(), nullptr);
    wb.form.bathycov = wb.data + "/whatever";
    EXPECT_NE(wb.commands->rasterdata(), nullptr);
}

// Coarse and fine grids: the distance the user takes is one the REI run
// and start-up accept, and the question says how it was found.
TEST(InterrogationDistance, TheProposalForCoarseAndFineGridsIsOneTheRunAccepts) {
    Workbench wb;
    struct Case {
        double cell;
        int16_t taken;
        const char* asked;
    };
    const Case cases[] = {
        {250, 200,
         "Recomended bathymetry interrogation distance based on bathymetry grid is 200 mts (the nearest to 249 mts, "
         "one below the cell size, within the 10 to 200 mts the REI run accepts). Do you want to use it?"},
        {5, 10,
         "Recomended bathymetry interrogation distance based on bathymetry grid is 10 mts (the nearest to 4 mts, one "
         "below the cell size, within the 10 to 200 mts the REI run accepts). Do you want to use it?"},
        {1, 10,
         "Recomended bathymetry interrogation distance based on bathymetry grid is 10 mts (the nearest to 0 mts, one "
         "below the cell size, within the 10 to 200 mts the REI run accepts). Do you want to use it?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        Workbench::writeRectangularCells(wb.data + "/grid.tif", c.cell, c.cell);
        wb.form.bathycov = wb.data + "/grid.tif";
        wb.form.bathyname = "grid.tif";
        wb.form.dist_bathy = 100;
        wb.messages.entries.clear();
        wb.messages.answers = {true};
        wb.commands->bathydist();
        EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{c.asked});
        EXPECT_EQ(wb.form.dist_bathy, c.taken);
        EXPECT_EQ(wb.settings.read("Quor3", "Settings", "Bathy_dist"), std::to_string(c.taken));
        EXPECT_EQ(model::bathyDistanceProblem(wb.form.dist_bathy), std::nullopt);
    }
}

TEST(DisplayLayers, OrderFastAlgorithmAndCorruptedData) {
    Workbench wb;
    wb.newProject();
    wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {});
    wb.form.ptworkspace->createFeatureClass("Pointdata_ext1", pg::GeometryType::Point, {});
    wb.map.clearLayers();
    wb.map.setExtent({1, 1, 2, 2});
    wb.window.clearTree();
    wb.commands->buildprojtree();
    EXPECT_EQ(wb.layerNames(), "Pointdata_ext1,Pointdata1,coast.shp,bathy.tif");
    EXPECT_EQ(wb.map.extent().minX, wb.map.fullExtent().minX);
    EXPECT_EQ(wb.map.extent().maxY, wb.map.fullExtent().maxY);

    // The mode's fast algorithm: no shoreline layer, node 3 blank, the message every time.
    wb.state.wv_indexcheck = 1;
    for (int i = 0; i < 2; ++i) {
        wb.map.clearLayers();
        wb.window.clearTree();
        wb.commands->buildprojtree();
    }
    EXPECT_EQ(wb.layerNames(), "Pointdata_ext1,Pointdata1,bathy.tif");
    EXPECT_EQ(wb.window.tree[2].text, "");
    EXPECT_EQ(wb.messageTexts(), (std::vector<std::string>{kFastAlgorithmNoShoreline, kFastAlgorithmNoShoreline}));

    // A shoreline that cannot be opened is told and left out; the rest stays.
    wb.state.wv_indexcheck = 0;
    wb.messages.entries.clear();
    wb.form.shorename = "gone.shp";
    wb.map.clearLayers();
    wb.window.clearTree();
    wb.commands->buildprojtree();
    EXPECT_EQ(wb.layerNames(), "Pointdata_ext1,Pointdata1,bathy.tif");
    EXPECT_FALSE(wb.window.tree.empty());
    ASSERT_EQ(wb.messages.entries.size(), 1u);
    EXPECT_EQ(wb.messageTexts()[0].rfind(gis::kShorelineUnreadable, 0), 0u) << wb.messageTexts()[0];

    // A bathymetry that cannot be opened: the same.
    wb.messages.entries.clear();
    wb.form.shorename = "coast.shp";
    wb.form.bathyname = "gone.tif";
    wb.map.clearLayers();
    wb.window.clearTree();
    wb.commands->buildprojtree();
    ASSERT_EQ(wb.messages.entries.size(), 1u);
    EXPECT_EQ(wb.messageTexts()[0].rfind(gis::kBathymetryUnreadable, 0), 0u) << wb.messageTexts()[0];
    EXPECT_EQ(wb.layerNames(), "Pointdata_ext1,Pointdata1,coast.shp");
}

TEST(ReplaceLayers, BathymetryAndShorelineRebuildTreeAndMap) {
    Workbench wb;
    wb.newProject();
    wb.window.onTop = true;
    wb.messages.answers = {false};
    wb.commands->Addbathy_Click();
    EXPECT_TRUE(wb.window.onTop);
    EXPECT_EQ(wb.form.bathyname, "bathy.tif");

    // Yes, then a cancelled chooser: "Bathymetry on top" is unticked, nothing else changes.
    wb.commands->Addbathy_Click();
    EXPECT_FALSE(wb.window.onTop);
    EXPECT_EQ(wb.layerNames(), "coast.shp,bathy.tif");

    // RWE: no interrogation distance proposal.
    wb.window.datasets.pick(wb.data + "/rect.tif");
    wb.commands->Addbathy_Click();
    EXPECT_EQ(wb.form.bathyname, "rect.tif");
    EXPECT_EQ(wb.layerNames(), "coast.shp,rect.tif");
    EXPECT_EQ(wb.window.tree[1].text, "rect.tif");
    EXPECT_EQ(wb.messages.entries.size(), 3u);

    // REI: the proposal follows.
    wb.state.model_mode = model::REI_MODE;
    wb.window.datasets.pick(wb.data + "/bathy.tif");
    wb.messages.answers = {true, false};
    wb.commands->Addbathy_Click();
    EXPECT_EQ(wb.messageTexts().back().rfind("Recomended bathymetry interrogation distance", 0), 0u);

    wb.window.datasets.pick(wb.data + "/shore/coast.shp");
    wb.messages.answers = {true};
    wb.commands->Addshore_Click();
    EXPECT_EQ(wb.messageTexts().back(), "Project already has a shoreline, do you want to replace it?");
    EXPECT_EQ(wb.layerNames(), "coast.shp,bathy.tif");
}

// The map is built again from the project: the point list's shapefiles
// used to be left off it, so that the next run had no layer to colour.
TEST(ReplaceLayers, ThePointDatasetsStayOnTheMapInTheirOrderWithTheirRunsColours) {
    Workbench wb;
    wb.newProject();
    wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {});
    wb.map.clearLayers();
    wb.window.clearTree();
    wb.commands->buildprojtree();
    fs::create_directories(wb.data + "/pts");
    pg::Workspace::open(wb.data + "/pts")
        ->createFeatureClass("sites", pg::GeometryType::Point, {}, pg::SpatialReference::fromEpsg(32755));
    wb.window.datasets.pick(wb.data + "/pts/sites.shp");
    wb.commands->Addpointc_Click();
    // Entered points come on top of the listed shapefile.
    auto entered = wb.form.ptworkspace->createFeatureClass("Pointdata_ext1", pg::GeometryType::Point, {});
    wb.map.addLayer(pg::Layer::featureLayer(entered));
    const std::vector<double> siteClasses = {0, 1.5, 3}, classClasses = {2, 4};
    wb.map.layer(wb.map.findLayer("sites"))->setIndexClasses(siteClasses);
    wb.map.layer(wb.map.findLayer("Pointdata1"))->setIndexClasses(classClasses);
    ASSERT_EQ(wb.layerNames(), "Pointdata_ext1,sites,Pointdata1,coast.shp,bathy.tif");

    auto expectShownAsBefore = [&](const std::string& names) {
        EXPECT_EQ(wb.layerNames(), names);
        EXPECT_EQ(wb.map.layer(wb.map.findLayer("sites"))->indexClasses(), siteClasses);
        EXPECT_EQ(wb.map.layer(wb.map.findLayer("Pointdata1"))->indexClasses(), classClasses);
        EXPECT_EQ(wb.map.layer(wb.map.findLayer("Pointdata_ext1"))->indexClasses(), std::nullopt);
        EXPECT_EQ(wb.window.pointList, std::vector<std::string>{"sites"});
    };
    wb.window.datasets.pick(wb.data + "/shore/coast.shp");
    wb.commands->Addshore_Click();
    expectShownAsBefore("Pointdata_ext1,sites,Pointdata1,coast.shp,bathy.tif");
    wb.window.datasets.pick(wb.data + "/rect.tif");
    wb.commands->Addbathy_Click();
    expectShownAsBefore("Pointdata_ext1,sites,Pointdata1,coast.shp,rect.tif");
}

TEST(ReplaceWind, CancelAndFailedLoadKeepThePreviousWind) {
    Workbench wb;
    wb.state.model_mode = model::REI_MODE;
    wb.messages.answers = {true};
    wb.newProject();
    const std::string oldPath = wb.state.wind_path;
    writeReiWind(wb.data + "/south.Wind_REI");

    // Cancelled dialog: nothing changes.
    wb.commands->Addwind_Click();
    EXPECT_EQ(wb.messageTexts().back(), "Project already has a wind data, do you want to replace it?");
    EXPECT_EQ(wb.state.wind_path, oldPath);
    EXPECT_EQ(wb.form.windpath, oldPath);
    EXPECT_EQ(wb.state.wind_name, "north.Wind_REI");

    // A file the wind reader refuses: the old wind, holder included, comes back.
    wb.windLoadSucceeds = false;
    wb.window.files = {wb.data + "/south.Wind_REI"};
    wb.commands->Addwind_Click();
    EXPECT_EQ(wb.state.wind_path, oldPath);
    EXPECT_EQ(wb.form.windpath, oldPath);
    EXPECT_EQ(wb.state.wind_name, "north.Wind_REI");
    EXPECT_EQ(wb.wind.windspd_ee, 0);
    EXPECT_FALSE(wb.state.dlg_cancel);
    EXPECT_EQ(wb.window.tree[3].text, "north.Wind_REI");
    wb.windLoadSucceeds = true;
    wb.commands->Savepr_Click();
    EXPECT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.windLoads.back(), oldPath);

    // A readable file replaces it; a temporary wind is replaced without asking.
    wb.state.wind_name = "Temporary_wind";
    wb.window.tree[3].text = "Temporary_wind";
    const auto asked = wb.messages.entries.size();
    wb.window.files = {wb.data + "/south.Wind_REI"};
    wb.commands->Addwind_Click();
    EXPECT_EQ(wb.messages.entries.size(), asked);
    EXPECT_EQ(wb.form.windpath, wb.data + "/south.Wind_REI");
    EXPECT_EQ(wb.window.tree[3].text, "south.Wind_REI");

    // RWE: a file that is not an RWE wind file is refused when chosen.
    wb.state.model_mode = model::RWE_MODE;
    wb.window.files = {wb.data + "/south.Wind_REI"};
    wb.commands->Addwind_Click();
    EXPECT_EQ(wb.messageTexts().back(), "Please select an RWE wind file (*.Wind_RWE).");
    EXPECT_EQ(wb.form.windpath, wb.data + "/south.Wind_REI");
}

TEST(PointShapefiles, AddListRemoveAndTheNamingRule) {
    Workbench wb;
    wb.commands->Addpointc_Click();  // no project: nothing asked
    EXPECT_TRUE(wb.window.datasets.titles.empty());
    wb.newProject();
    fs::create_directories(wb.data + "/pts");
    {
        auto ws = pg::Workspace::open(wb.data + "/pts");
        ws->createFeatureClass("Pointdata7", pg::GeometryType::Point, {}, pg::SpatialReference::fromEpsg(32755));
        ws->createFeatureClass("sites", pg::GeometryType::Point, {}, pg::SpatialReference::fromEpsg(32755));
    }
    wb.window.datasets.pick(wb.data + "/pts/Pointdata7.shp");
    wb.commands->Addpointc_Click();
    wb.window.datasets.pick(wb.data + "/pts/sites.shp");
    wb.commands->Addpointc_Click();
    wb.window.datasets.pick(wb.data + "/pts/sites.shp");
    wb.commands->Addpointc_Click();
    EXPECT_EQ(wb.messageTexts().back(), "Selected shapefile already in the current project");
    // A shapefile of other shapes is refused, as the shoreline chooser refuses one without polygons.
    {
        auto ws = pg::Workspace::open(wb.data + "/pts");
        ws->createFeatureClass("zones", pg::GeometryType::Polygon, {}, pg::SpatialReference::fromEpsg(32755));
    }
    wb.window.datasets.pick(wb.data + "/pts/zones.shp");
    wb.commands->Addpointc_Click();
    EXPECT_EQ(wb.messageTexts().back(), kNotAPointDataset);
    EXPECT_EQ(wb.window.pointList, (std::vector<std::string>{"Pointdata7", "sites"}));
    EXPECT_EQ(wb.form.shpcol, (std::vector<std::string>{wb.data + "/pts/Pointdata7.shp", wb.data + "/pts/sites.shp"}));
    EXPECT_EQ(wb.layerNames(), "sites,shpPointdata7,coast.shp,bathy.tif");
    EXPECT_EQ(wb.window.mapToolsEnabled, 2);
    EXPECT_EQ(shapefileLayerName("pointdataNorth"), "shppointdataNorth");
    EXPECT_EQ(shapefileLayerName("Point"), "Point");

    // Nothing selected: the message, nothing removed.
    wb.messages.entries.clear();
    wb.commands->rem_shpdata();
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{"Error encountered while deleting the point file."});
    EXPECT_EQ(wb.form.shpcol.size(), 2u);
    // Every selected line goes; removing the Pointdata entry takes its "shp" layer with it.
    {
        auto ws = pg::Workspace::open(wb.data + "/pts");
        ws->createFeatureClass("north", pg::GeometryType::Point, {}, pg::SpatialReference::fromEpsg(32755));
    }
    wb.window.datasets.pick(wb.data + "/pts/north.shp");
    wb.commands->Addpointc_Click();
    ASSERT_EQ(wb.window.pointList.size(), 3u);
    wb.window.selectedEntries = {0, 2};
    wb.commands->rem_shpdata();
    EXPECT_EQ(wb.window.pointList, std::vector<std::string>{"sites"});
    EXPECT_EQ(wb.form.shpcol, std::vector<std::string>{wb.data + "/pts/sites.shp"});
    EXPECT_EQ(wb.layerNames(), "sites,coast.shp,bathy.tif");

    // A display shapefile without a spatial reference is shown after the warning.
    {
        auto ws = pg::Workspace::open(wb.data + "/pts");
        ws->createFeatureClass("plain", pg::GeometryType::Polyline, {});
    }
    wb.window.datasets.pick(wb.data + "/pts/plain.shp");
    wb.commands->addshape_Click();
    EXPECT_EQ(wb.messageTexts().back(), "Shapefile doesn't have spatial reference");
    EXPECT_EQ(wb.map.layer(0)->name(), "plain");
    EXPECT_EQ(wb.form.shpcol.size(), 1u);
}

TEST(PointClasses, CountRemoveAndTheAddPointsClass) {
    Workbench wb;
    wb.newProject();
    auto fc = wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {});
    wb.map.clearLayers();
    wb.window.clearTree();
    wb.commands->buildprojtree();
    wb.commands->feat_no("Pointdata1");
    EXPECT_EQ(wb.messageTexts().back(), "Pointdata1 has 0 features.");
    wb.messages.entries.clear();
    wb.commands->feat_no("Pointdata9");
    wb.commands->rem_ptdata("Pointdata9");
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{"Sure you want to remove Pointdata9 ?"});
    EXPECT_EQ(wb.window.tree.size(), 5u);

    wb.commands->rem_ptdata("Pointdata1");
    EXPECT_FALSE(wb.form.ptworkspace->hasFeatureClass("Pointdata1"));
    EXPECT_EQ(wb.window.tree.size(), 4u);
    EXPECT_EQ(wb.layerNames(), "coast.shp,bathy.tif");

    wb.form.sfeatureclass1 = wb.form.ptworkspace->createFeatureClass("Pointdata2", pg::GeometryType::Point, {});
    wb.commands->deletefeatureclass();
    EXPECT_FALSE(wb.form.ptworkspace->hasFeatureClass("Pointdata2"));
}

TEST(ChosenPaths, ALineBreakIsRefusedWhenChosen) {
    Workbench wb;
    wb.newProject();
    const auto before = wb.state.wind_path;
    const std::string odd = wb.data + "/two\nlines.Wind_RWE";
    wb.window.files = {odd};
    EXPECT_EQ(selwindfile(wb.state, wb.messages, wb.window), std::nullopt);
    EXPECT_EQ(wb.messageTexts().back(), kLineBreakInPath);
    EXPECT_EQ(wb.state.wind_path, before);

    // A bathymetry in a folder whose name holds a line break is not taken.
    fs::create_directories(wb.data + "/bad\rname");
    fs::copy_file(wb.data + "/rect.tif", wb.data + "/bad\rname/rect.tif");
    wb.window.datasets.pick(wb.data + "/bad\rname/rect.tif");
    wb.commands->Addbathy_Click();
    EXPECT_EQ(wb.messageTexts().back(), kLineBreakInPath);
    EXPECT_EQ(wb.form.bathycov, wb.data + "/bathy.tif");
    EXPECT_EQ(wb.layerNames(), "coast.shp,bathy.tif");

    // Opening a project file whose name holds one.
    wb.window.files = {wb.projects + "/a\nb.tesk_RWE"};
    wb.commands->OpenPr_Click();
    EXPECT_EQ(wb.messageTexts().back(), kLineBreakInPath);
}
