// New, Open, Save, Save As, Remove and Delete, through the commands' own
// functions with a fake window.
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "gis/geodatabase.h"
#include "project/ptdatasel.h"
#include "project_fixture.h"

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;

namespace {

// How many of this process's descriptors are open on path or on a file
// whose name begins with it (a geodatabase's logs).
int openDescriptorsOn(const std::string& path) {
    const std::string target = fs::weakly_canonical(path).string();
    int n = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::string link = fs::read_symlink(e.path(), ec).string();
        if (!ec && link.rfind(target, 0) == 0) ++n;
    }
    return n;
}

}  // namespace

TEST(NewProject, TakesTheSmallestFreeNumberOfItsMode) {
    Workbench wb;
    for (const char* n : {"Quor_proj_RWE1.tesk_RWE", "Quor_proj_RWE3.tesk_RWE", "Quor_proj_REI2.tesk_REI"})
        platform::writeTextLines(wb.projects + "/" + n, {"x"});
    EXPECT_EQ(nextProjectName(wb.projects, "Quor_proj", model::RWE_MODE), "Quor_proj_RWE2");
    EXPECT_EQ(nextProjectName(wb.projects, "Quor_proj", model::REI_MODE), "Quor_proj_REI1");
    // A geodatabase alone does not take the number.
    pg::Workspace::createGeoPackage(wb.projects + "/Quor_proj_RWE2.gpkg");
    EXPECT_EQ(nextProjectName(wb.projects, "Quor_proj", model::RWE_MODE), "Quor_proj_RWE2");
}

TEST(NewProject, CreatesFileGeodatabaseTreeAndLayers) {
    Workbench wb;
    const auto file = wb.newProject();
    EXPECT_EQ(wb.form.projname, "Quor_proj_RWE1");
    EXPECT_EQ(wb.form.projfile, wb.projects);
    ASSERT_TRUE(fs::exists(file));
    EXPECT_TRUE(fs::exists(wb.projects + "/Quor_proj_RWE1.gpkg"));
    ASSERT_TRUE(wb.form.ptworkspace);
    EXPECT_EQ(wb.form.geodatabasename, "Quor_proj_RWE1.gpkg");
    EXPECT_EQ(wb.form.windpath, wb.data + "/north.Wind_RWE");
    EXPECT_EQ(wb.state.wind_pathcopy, wb.form.windpath);
    EXPECT_EQ(wb.state.batch_mode, 0);
    EXPECT_EQ(wb.form.bathyunits, "Meter");
    EXPECT_EQ(wb.form.option_arccov, 1);
    const auto lines = platform::readTextLines(file);
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0], "Quor RWE Project File");
    EXPECT_EQ(lines[4], wb.data + "/bathy.tif");
    EXPECT_EQ(lines[7], wb.data + "/shore");
    EXPECT_EQ(lines[8], "coast.shp");
    EXPECT_EQ(lines[14], "Quor_proj_RWE1.gpkg");
    // Bathymetry lowest, shoreline above it.
    EXPECT_EQ(wb.layerNames(), "coast.shp,bathy.tif");
    EXPECT_TRUE(wb.window.controlsEnabled);
    EXPECT_EQ(wb.window.tree.size(), 4u);
    EXPECT_TRUE(wb.messages.entries.empty()) << wb.messageTexts().front();

    // A second New Project asks to save the first, then takes number 2.
    wb.messages.answers = {false};
    wb.newProject();
    EXPECT_EQ(wb.messageTexts().front(), kAskSaveCurrent);
    EXPECT_EQ(wb.form.projname, "Quor_proj_RWE2");
}

// Only the mode's own fast algorithm does without a shoreline: with REI's
// ticked, an RWE project gets the shoreline chosen and shows it; with
// RWE's, it has none and its sites right above the bathymetry are listed
// to run.
TEST(NewProject, OnlyTheModesOwnFastAlgorithmDoesWithoutTheShoreline) {
    Workbench wb;
    wb.holder.indexcheck = 1;
    wb.answerNewProject();
    auto user = wb.window.newProjectUser;
    wb.window.newProjectUser = [&](NewProjectForm& f) {
        EXPECT_TRUE(f.shorelineEnabled);
        user(f);
    };
    wb.commands->NewPr_Click();
    EXPECT_EQ(platform::readTextLines(projectFilePath(wb.form.projfile, wb.form.projname, wb.state.model_mode))[8],
              "coast.shp");
    EXPECT_EQ(wb.layerNames(), "coast.shp,bathy.tif");
    EXPECT_TRUE(wb.messages.entries.empty()) << wb.messageTexts().front();
    EXPECT_TRUE(wb.commands->loadproject());

    Workbench rweFast;
    rweFast.state.wv_indexcheck = 1;
    rweFast.newProject();
    EXPECT_EQ(rweFast.form.shorecov, "");
    EXPECT_EQ(rweFast.messageTexts(), std::vector<std::string>{kFastAlgorithmNoShoreline});
    rweFast.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {});
    rweFast.map.clearLayers();
    rweFast.window.clearTree();
    rweFast.commands->buildprojtree();
    EXPECT_EQ(rweFast.layerNames(), "Pointdata1,bathy.tif");
    RunDrivers drivers;
    ptdatasel chooser(rweFast.state, rweFast.form, rweFast.holder, rweFast.map, rweFast.messages, drivers);
    chooser.Form_Load();
    EXPECT_EQ(chooser.items(), std::vector<std::string>{"Pointdata1"});
}

TEST(NewProject, RefusalsCancelAndBatchWithoutWind) {
    Workbench wb;
    // OK without a wind file keeps the dialog open with its message; Cancel then creates nothing.
    wb.window.datasets.pick(wb.data + "/bathy.tif");
    wb.window.datasets.pick(wb.data + "/shore/coast.shp");
    wb.window.newProjectUser = [](NewProjectForm& f) {
        f.newpro_ok_Click();
        EXPECT_FALSE(f.closed);
        f.Command1_Click();
        f.newpro_ok_Click();
        EXPECT_FALSE(f.closed);
        f.Command2_Click();
        f.newpro_ok_Click();
        EXPECT_FALSE(f.closed);
        f.Combo1 = "";
        f.Check2 = true;
        f.newpro_ok_Click();
        EXPECT_FALSE(f.closed);
        f.newpro_cancel_Click();
    };
    wb.commands->NewPr_Click();
    EXPECT_EQ(wb.messageTexts(), (std::vector<std::string>{kNoBathymetrySelected, kNoShorelineSelected,
                                                           kNoWindSelected, kNoUnitsSelected}));
    EXPECT_TRUE(fs::is_empty(wb.projects));
    EXPECT_FALSE(wb.state.dlg_cancel);
    EXPECT_TRUE(wb.window.tree.empty());
    // The choices made before Cancel stay.
    EXPECT_EQ(wb.form.bathyname, "bathy.tif");

    // RWE batch project without wind: empty wind lines, and it opens again.
    wb.messages.entries.clear();
    const auto file = wb.newProject(true, false);
    EXPECT_EQ(wb.state.batch_mode, 1);
    auto lines = platform::readTextLines(file);
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(lines[11], "");
    EXPECT_TRUE(wb.commands->loadproject());
}

// The bathymetry's whole reading for its depths' signs took a minute on
// the largest rasters with nothing shown.
TEST(NewProject, AnReiProjectShowsTheReadingOfItsBathymetry) {
    Workbench wb;
    wb.state.model_mode = model::REI_MODE;
    wb.messages.answers = {true};
    wb.newProject();
    EXPECT_EQ(wb.form.depthno, 1);
    EXPECT_EQ(wb.progress.shown, 1);
    EXPECT_FALSE(wb.progress.visible);
    EXPECT_EQ(wb.progress.label1, "Reading the bathymetry " + wb.form.bathyname);
    ASSERT_FALSE(wb.progress.bar1History.empty());
    EXPECT_EQ(wb.progress.bar1History.back(), 100);
}

TEST(NewProject, ReiRunsTheWindReaderAndAFailedReadCreatesNothing) {
    Workbench wb;
    wb.state.model_mode = model::REI_MODE;
    wb.windLoadSucceeds = false;
    wb.newProject();
    EXPECT_EQ(wb.windLoads, std::vector<std::string>{wb.data + "/north.Wind_REI"});
    EXPECT_TRUE(fs::is_empty(wb.projects));
    EXPECT_FALSE(wb.state.dlg_cancel);

    // With a readable file the project is made and the interrogation distance proposed (30 m cells -> 29).
    wb.windLoadSucceeds = true;
    wb.messages.answers = {true};
    wb.newProject();
    EXPECT_EQ(wb.form.projname, "Quor_proj_REI1");
    EXPECT_EQ(wb.window.fileRequests.back().filter, "REI Wind files (*.Wind_REI;*.txt)|*.Wind_REI;*.txt");
    EXPECT_EQ(wb.window.fileRequests.back().startFolder, wb.state.app_folder + "/Sample Data");
    EXPECT_EQ(wb.form.dist_bathy, 29);
    EXPECT_EQ(wb.form.depthno, 1);
    EXPECT_EQ(wb.settings.read("Quor3", "Settings", "Bathy_dist"), "29");
    EXPECT_EQ(wb.window.panels[2], "F= 10000 B I= 29");
}

TEST(NewProject, AFolderThatCannotTakeTheFileIsReportedAndLeavesNothing) {
    Workbench wb;
    wb.form.dir_path = wb.projects + "/missing";
    wb.newProject();
    ASSERT_EQ(wb.messages.entries.size(), 1u);
    EXPECT_EQ(wb.messages.entries[0].text.rfind("Error creating the project file: ", 0), 0u);
    EXPECT_FALSE(fs::exists(wb.projects + "/missing"));
    EXPECT_TRUE(wb.window.tree.empty());

    // A geodatabase that existed before is reused, and kept when the file cannot be written.
    wb.form.dir_path = wb.projects;
    auto old = pg::Workspace::createGeoPackage(wb.projects + "/Quor_proj_RWE1.gpkg");
    old->createFeatureClass("Pointdata1", pg::GeometryType::Point, {});
    old.reset();
    wb.form.proj_name = "Quor_proj";
    wb.newProject();
    EXPECT_EQ(wb.layerNames(), "Pointdata1,coast.shp,bathy.tif");
}

TEST(OpenProject, ExactExtensionCancelAndCorruptedFile) {
    Workbench wb;
    const auto file = wb.newProject();
    const auto name = wb.form.projname;

    // Cancel: the window is cleared, the members stay.
    wb.messages.answers = {false};
    wb.commands->OpenPr_Click();
    EXPECT_TRUE(wb.window.tree.empty());
    EXPECT_EQ(wb.map.layerCount(), 0);
    EXPECT_EQ(wb.form.projname, name);

    // Only the mode's whole extension is accepted.
    platform::writeTextLines(wb.projects + "/oddRWE", {"x"});
    wb.window.files = {wb.projects + "/oddRWE"};
    wb.commands->OpenPr_Click();
    EXPECT_EQ(wb.messageTexts().back(), kNotRweProject);
    EXPECT_EQ(wb.messages.entries.back().icon, platform::MessageIcon::Critical);

    // A corrupted file: its message, and the layer members emptied.
    platform::writeTextLines(wb.projects + "/bad.tesk_RWE", {"Quor RWE Project File"});
    wb.window.files = {wb.projects + "/bad.tesk_RWE"};
    wb.commands->OpenPr_Click();
    EXPECT_EQ(wb.messageTexts().back(), kCorruptedProject);
    EXPECT_EQ(wb.form.bathycov, "");
    EXPECT_EQ(wb.state.wind_path, "");
    EXPECT_TRUE(wb.window.tree.empty());

    wb.window.files = {file};
    wb.commands->OpenPr_Click();
    EXPECT_EQ(wb.form.projname, name);
    EXPECT_EQ(wb.form.bathyname, "bathy.tif");
    EXPECT_EQ(wb.layerNames(), "coast.shp,bathy.tif");
    EXPECT_EQ(wb.window.tree.size(), 4u);
}

TEST(SaveProject, RewritesTheFileOnlyWithATreeAndAWritableFolder) {
    Workbench wb;
    const auto file = wb.newProject();
    wb.form.bathyunits = "Feet";
    wb.commands->Savepr_Click();
    EXPECT_EQ(platform::readTextLines(file)[12], "Feet");

    wb.form.bathyunits = "Centimeter";
    fs::permissions(wb.projects, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    wb.commands->Savepr_Click();
    fs::permissions(wb.projects, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(wb.messageTexts().back(), kReadOnlyFolder);
    EXPECT_EQ(platform::readTextLines(file)[12], "Feet");

    wb.window.tree.clear();
    wb.commands->Savepr_Click();
    EXPECT_EQ(platform::readTextLines(file)[12], "Feet");
}

TEST(SaveProjectAs, CopiesTheGeodatabaseAndSwitchesToTheCopy) {
    Workbench wb;
    const auto oldFile = wb.newProject();
    {
        auto pts = wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                           {{"X", pg::FieldType::Double, "X"}});
        pg::Feature f = pts->createFeature();
        f.setShape(pg::Geometry::point({1, 2}));
        pts->store(f);
    }
    fs::create_directories(wb.tmp.file("copies"));
    wb.window.files = {wb.tmp.file("copies/bay")};  // the extension is added
    wb.commands->Savepra_Click();
    EXPECT_TRUE(wb.messages.entries.empty()) << wb.messageTexts().front();
    EXPECT_EQ(wb.form.projfile, wb.tmp.file("copies"));
    EXPECT_EQ(wb.form.projname, "bay");
    EXPECT_EQ(wb.form.geodatabasename, "bay.gpkg");
    EXPECT_EQ(wb.window.tree[0].text, "bay");
    const auto lines = platform::readTextLines(wb.tmp.file("copies/bay.tesk_RWE"));
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0], "Quor Project File");
    EXPECT_EQ(lines[14], "bay.gpkg");
    ASSERT_TRUE(wb.form.ptworkspace);
    EXPECT_TRUE(fs::equivalent(wb.form.ptworkspace->path(), wb.tmp.file("copies/bay.gpkg")));
    EXPECT_EQ(wb.form.ptworkspace->openFeatureClass("Pointdata1")->featureCount(), 1);
    EXPECT_TRUE(fs::exists(oldFile));

    // A name left empty is refused; nothing is written.
    for (const std::string empty : {"copies/.tesk_RWE", "copies/", "copies/  .tesk_RWE"}) {
        wb.window.files = {wb.tmp.file(empty)};
        wb.commands->Savepra_Click();
        EXPECT_EQ(wb.messageTexts().back(), kEmptyProjectName) << empty;
        wb.messages.entries.clear();
    }
    EXPECT_FALSE(fs::exists(wb.tmp.file("copies/.tesk_RWE")));
    EXPECT_FALSE(fs::exists(wb.tmp.file("copies/.gpkg")));
    EXPECT_EQ(wb.form.projname, "bay");

    // Saving as the same file rewrites it without copying onto itself.
    wb.window.files = {wb.tmp.file("copies/bay.tesk_RWE")};
    wb.commands->Savepra_Click();
    EXPECT_TRUE(wb.messages.entries.empty()) << wb.messageTexts().front();
    EXPECT_EQ(wb.form.ptworkspace->openFeatureClass("Pointdata1")->featureCount(), 1);

    // Into a folder that cannot be written: the message, and the open project stays.
    wb.window.files = {wb.tmp.file("nowhere/x.tesk_RWE")};
    wb.commands->Savepra_Click();
    EXPECT_EQ(wb.messageTexts().back().rfind(kErrorSaving, 0), 0u);
    EXPECT_EQ(wb.form.projname, "bay");
    EXPECT_FALSE(fs::exists(wb.tmp.file("nowhere")));

    // The geodatabase copies, then the project file cannot be put in place:
    // no geodatabase is left without its file, and the open project stays.
    fs::create_directories(wb.tmp.file("copies/blocked.tesk_RWE/inside"));
    wb.window.files = {wb.tmp.file("copies/blocked.tesk_RWE")};
    wb.commands->Savepra_Click();
    EXPECT_EQ(wb.messageTexts().back().rfind(kErrorSaving, 0), 0u);
    EXPECT_FALSE(fs::exists(wb.tmp.file("copies/blocked.gpkg")));
    EXPECT_FALSE(fs::exists(wb.tmp.file("copies/blocked.gpkg.copying")));
    EXPECT_EQ(wb.form.projname, "bay");
    EXPECT_EQ(wb.form.projfile, wb.tmp.file("copies"));
}

TEST(RemoveProject, ClearsTheProjectAndNothingOnDisk) {
    Workbench wb;
    const auto file = wb.newProject();
    wb.window.onTop = true;
    wb.form.shpcol = {"a.shp"};
    wb.messages.answers = {false};
    wb.commands->RemPr_Click();
    EXPECT_EQ(wb.window.tree.size(), 4u);

    wb.commands->RemPr_Click();
    EXPECT_TRUE(wb.window.tree.empty());
    EXPECT_EQ(wb.map.layerCount(), 0);
    EXPECT_FALSE(wb.window.onTop);
    EXPECT_TRUE(wb.form.shpcol.empty());
    EXPECT_EQ(wb.form.bathyname, "");
    EXPECT_EQ(wb.state.wind_path, "");
    EXPECT_EQ(wb.form.geodatabasename, "");
    EXPECT_EQ(wb.form.bathyunits, "");
    EXPECT_NE(wb.form.bathycov, "");  // kept, as are the folder and name
    EXPECT_TRUE(fs::exists(file));
}

TEST(RemoveProject, TheNextNewProjectNeedsItsBathymetryChosenAgainAndTakesItTyped) {
    Workbench wb;
    wb.newProject();
    wb.messages.answers = {true};
    wb.commands->RemPr_Click();
    wb.messages.entries.clear();
    std::string shown;
    wb.window.newProjectUser = [&](NewProjectForm& f) {
        // The removed project's raster path is still kept, its name is not.
        f.newpro_ok_Click();
        EXPECT_FALSE(f.closed);
        f.Text1_Typed(wb.data + "/bathy.tif");
        shown = f.Text1;
        f.newpro_cancel_Click();
    };
    wb.commands->NewPr_Click();
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{kNoBathymetrySelected});
    EXPECT_EQ(shown, "bathy.tif");
    EXPECT_EQ(wb.form.bathyname, "bathy.tif");
}

// The New Project dialog's path boxes read "~" as the home folder.
TEST(NewProject, TakesTypedPathsUnderTheHomeFolder) {
    Workbench wb;
    test::HomeFolder home(wb.data);
    std::string wind;
    wb.window.newProjectUser = [&](NewProjectForm& f) {
        f.Text1_Typed("~/bathy.tif");
        f.Text2_Typed(" ~/shore/coast.shp");
        f.Text3_Typed("~/north.Wind_RWE");
        wind = f.Text3;
        f.newpro_cancel_Click();
    };
    wb.commands->NewPr_Click();
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{});
    EXPECT_EQ(wb.form.bathycov, wb.data + "/bathy.tif");
    EXPECT_EQ(wb.form.shorecov + "/" + wb.form.shorename, wb.data + "/shore/coast.shp");
    EXPECT_EQ(wind, wb.data + "/north.Wind_RWE");
}

TEST(RemoveProject, LetsGoOfTheGeodatabaseAndTheRunsRaster) {
    Workbench wb;
    wb.newProject();
    const std::string gdb = wb.projects + "/" + wb.form.geodatabasename;
    wb.form.sfeatureclass1 = gis::createAccessWorkspace(wb.form, wb.messages, wb.form.projfile, wb.form.projname);
    ASSERT_TRUE(wb.form.sfeatureclass1);
    wb.state.bathy_raster = pg::Raster::open(wb.data + "/bathy.tif");
    ASSERT_GT(openDescriptorsOn(gdb), 0);
    ASSERT_GT(openDescriptorsOn(wb.data + "/bathy.tif"), 0);
    wb.commands->RemPr_Click();
    EXPECT_EQ(openDescriptorsOn(gdb), 0);
    EXPECT_EQ(openDescriptorsOn(wb.data + "/bathy.tif"), 0);
    EXPECT_FALSE(wb.form.ptworkspace);
    EXPECT_FALSE(wb.form.sfeatureclass1);
}

TEST(NewAndOpenProject, LetGoOfTheProjectOpenBeforeThem) {
    for (const std::string command : {"New", "Open"}) {
        Workbench wb;
        wb.newProject();
        const std::string gdb = wb.projects + "/" + wb.form.geodatabasename;
        wb.form.sfeatureclass1 = gis::createAccessWorkspace(wb.form, wb.messages, wb.form.projfile, wb.form.projname);
        wb.state.bathy_raster = pg::Raster::open(wb.data + "/bathy.tif");
        wb.messages.answers = {false};  // not saved first
        wb.window.newProjectUser = nullptr;  // the dialogs are cancelled
        if (command == "New") wb.commands->NewPr_Click();
        else wb.commands->OpenPr_Click();
        EXPECT_EQ(openDescriptorsOn(gdb), 0) << command;
        EXPECT_EQ(openDescriptorsOn(wb.data + "/bathy.tif"), 0) << command;
    }
}

TEST(RemoveProject, ANewProjectWritesIntoAFreshCopyOfTheSitesTheRemovedOneRan) {
    // The sites lie beside the shoreline; the fresh copy, which has a site
    // more, takes their place as new files or written over the old ones
    // (as cp does), or goes beside them.
    struct Case {
        std::string copy;
        bool removeFirst;
    };
    for (const Case& c : {Case{"sites", true}, Case{"sites", false}, Case{"sites_again", false}}) {
        const std::string what = c.copy + (c.removeFirst ? " as new files" : "");
        Workbench wb;
        const std::string shore = wb.data + "/shore", original = wb.tmp.file("original");
        fs::create_directories(original);
        pg::Workspace::open(original)->createFeatureClass("sites", pg::GeometryType::Point, {},
                                                          pg::SpatialReference::fromEpsg(32755));
        auto addSite = [&](double x) {
            auto fc = pg::Workspace::open(original)->openFeatureClass("sites");
            pg::Feature f = fc->createFeature();
            f.setShape(pg::Geometry::point({x, 100}));
            fc->store(f);
        };
        addSite(100);
        auto copyInto = [&](const std::string& name) {
            for (const char* ext : {".shp", ".shx", ".dbf", ".prj"})
                fs::copy_file(original + "/sites" + ext, shore + "/" + name + ext,
                              fs::copy_options::overwrite_existing);
        };
        copyInto("sites");
        wb.newProject();
        wb.window.datasets.pick(shore + "/sites.shp");
        wb.commands->Addpointc_Click();
        RunDrivers drivers;
        // The run stores a result in every site, as a run does.
        drivers.WaveMain = [](const std::shared_ptr<pg::FeatureClass>& fc, int16_t, const PointDatasetChoice&) {
            fc->addField({"RWE", pg::FieldType::Double, "RWE"});
            auto cursor = fc->search();
            while (auto f = cursor.next()) {
                f->setValue("RWE", 1.5);
                fc->store(*f);
            }
            fc->flush();
        };
        ptdatasel(wb.state, wb.form, wb.holder, wb.map, wb.messages, drivers).Command1_Click(shore + "/sites.shp", false, {});

        wb.commands->RemPr_Click();
        wb.state.model_mode = model::REI_MODE;
        wb.newProject();
        addSite(200);
        if (c.removeFirst)
            for (const char* ext : {".shp", ".shx", ".dbf", ".prj"}) fs::remove(shore + "/sites" + ext);
        copyInto(c.copy);
        wb.window.datasets.pick(shore + "/" + c.copy + ".shp");
        wb.commands->Addpointc_Click();
        ASSERT_EQ(wb.map.layer(0)->name(), c.copy);
        const auto fc = wb.map.layer(0)->featureClass();
        EXPECT_EQ(fc->findField("RWE"), -1) << what;
        EXPECT_EQ(fc->featureCount(), 2) << what;
        EXPECT_NO_THROW(fc->addField({"Index", pg::FieldType::Double, "Index"})) << what;
        // Into the file the user sees, which keeps its own columns and rows.
        std::unique_ptr<GDALDataset> onDisk(
            static_cast<GDALDataset*>(GDALOpenEx((shore + "/" + c.copy + ".shp").c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr)));
        ASSERT_TRUE(onDisk);
        OGRLayer* layer = onDisk->GetLayer(0);
        EXPECT_GE(layer->GetLayerDefn()->GetFieldIndex("Index"), 0) << what;
        EXPECT_LT(layer->GetLayerDefn()->GetFieldIndex("RWE"), 0) << what;
        EXPECT_EQ(layer->GetFeatureCount(), 2) << what;
    }
}

TEST(DeleteProject, ExactExtensionNeverTheOpenProjectAndBothFiles) {
    Workbench wb;
    const auto first = wb.newProject();
    wb.messages.answers = {false};
    const auto second = wb.newProject();
    wb.messages.entries.clear();

    wb.window.files = {second};
    wb.commands->del_Click();
    EXPECT_TRUE(fs::exists(second));
    EXPECT_EQ(wb.messages.entries.size(), 1u);

    platform::writeTextLines(wb.projects + "/x.tesk_RWEx", {"x"});
    wb.window.files = {wb.projects + "/x.tesk_RWEx"};
    wb.commands->del_Click();
    EXPECT_EQ(wb.messageTexts().back(), kNotRweProject);
    EXPECT_TRUE(fs::exists(wb.projects + "/x.tesk_RWEx"));

    wb.window.files = {first};
    wb.messages.answers = {false};
    wb.commands->del_Click();
    EXPECT_TRUE(fs::exists(first));

    // A geodatabase that will not go: the project file comes back.
    platform::writeTextLines(wb.projects + "/stuck.tesk_RWE", {"x"});
    fs::create_directories(wb.projects + "/stuck.gpkg/busy");
    wb.window.files = {wb.projects + "/stuck.tesk_RWE"};
    wb.commands->del_Click();
    EXPECT_EQ(wb.messageTexts().back().rfind("Error deleting project file", 0), 0u);
    EXPECT_TRUE(fs::exists(wb.projects + "/stuck.tesk_RWE"));

    wb.window.files = {first};
    wb.commands->del_Click();
    EXPECT_EQ(wb.messageTexts().back(), "Quor_proj_RWE1 project file is deleted successfully");
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(wb.projects + "/Quor_proj_RWE1.gpkg"));
    EXPECT_TRUE(fs::exists(wb.projects + "/Quor_proj_RWE2.gpkg"));
}

namespace {

// The write-ahead log a run killed in the middle leaves beside gdb: written
// while the log is on and taken before the file closes.
std::string writeAheadLogOf(const std::string& gdb, const std::string& className) {
    auto ws = pg::Workspace::openGeoPackage(gdb);
    pg::Workspace::QuickCommits quick(*ws);
    auto fc = ws->createFeatureClass(className, pg::GeometryType::Point, {{"X", pg::FieldType::Double, "X"}});
    for (int i = 0; i < 20; ++i) {
        pg::Feature f = fc->createFeature();
        f.setShape(pg::Geometry::point({double(i), double(i)}));
        fc->store(f);
    }
    const std::string log = readBytes(gdb + "-wal");
    EXPECT_FALSE(log.empty());
    return log;
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> logsBeside(const std::string& gdb) {
    std::vector<std::string> out;
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (fs::exists(gdb + suffix)) out.push_back(gdb + suffix);
    return out;
}

}  // namespace

TEST(StaleGeodatabaseLog, NeverReachesAFileLaterPutAtItsPath) {
    Workbench wb;
    const auto first = wb.newProject();
    wb.messages.answers = {false};
    wb.newProject();
    const std::string gdb = wb.projects + "/Quor_proj_RWE1.gpkg";
    const std::string log = writeAheadLogOf(gdb, "Ghost");
    writeBytes(gdb + "-wal", log);  // as the killed run left it
    writeBytes(gdb + "-journal", "");

    // Delete takes the logs with the geodatabase.
    wb.window.files = {first};
    wb.commands->del_Click();
    EXPECT_EQ(wb.messageTexts().back(), "Quor_proj_RWE1 project file is deleted successfully");
    EXPECT_FALSE(fs::exists(gdb));
    EXPECT_EQ(logsBeside(gdb), std::vector<std::string>{});
    // A backup copied to that path later opens as it was.
    {
        auto backup = pg::Workspace::createGeoPackage(wb.tmp.file("backup.gpkg"));
        backup->createFeatureClass("Backup", pg::GeometryType::Point, {});
    }
    fs::copy_file(wb.tmp.file("backup.gpkg"), gdb);
    EXPECT_EQ(pg::Workspace::openGeoPackage(gdb)->featureClassNames(), std::vector<std::string>{"Backup"});

    // Save As and New Project onto a name whose log was left behind: the
    // new geodatabase holds only its own classes.
    fs::create_directories(wb.tmp.file("copies"));
    writeBytes(wb.tmp.file("copies/bay.gpkg-wal"), log);
    wb.window.files = {wb.tmp.file("copies/bay")};
    wb.commands->Savepra_Click();
    ASSERT_EQ(wb.form.projname, "bay") << wb.messageTexts().back();
    EXPECT_EQ(wb.form.ptworkspace->featureClassNames(), std::vector<std::string>{});

    fs::remove(gdb);  // the name is free again
    writeBytes(gdb + "-wal", log);
    writeBytes(gdb + "-journal", "");
    wb.messages.answers = {false};
    wb.newProject();
    ASSERT_EQ(wb.form.projname, "Quor_proj_RWE1");
    EXPECT_EQ(wb.form.ptworkspace->featureClassNames(), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(gdb + "-journal"));
}

TEST(OpenProject, AGeodatabaseMissingOrLockedIsReportedAsSuch) {
    Workbench wb;
    const auto file = wb.newProject();
    const std::string gdb = wb.projects + "/" + wb.form.geodatabasename;
    wb.commands->RemPr_Click();
    auto open = [&] {
        wb.messages.entries.clear();
        wb.window.files = {file};
        wb.commands->OpenPr_Click();
        return wb.messages.entries.empty() ? std::string() : wb.messageTexts().back();
    };

    // Another program holds the geodatabase locked.
    {
        GDALDatasetUniquePtr other(GDALDataset::Open(gdb.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        ASSERT_TRUE(other);
        // A statement's result set is the caller's to release.
        auto sql = [&](const char* statement) { other->ReleaseResultSet(other->ExecuteSQL(statement, nullptr, nullptr)); };
        sql("PRAGMA locking_mode = EXCLUSIVE");
        sql("CREATE TABLE held (x)");
        const std::string said = open();
        EXPECT_NE(said.find("locked"), std::string::npos) << said;
        EXPECT_TRUE(wb.window.tree.empty());
        sql("DROP TABLE held");
    }
    EXPECT_EQ(open(), "");
    EXPECT_EQ(wb.window.tree.size(), 4u);

    wb.commands->RemPr_Click();
    fs::remove(gdb);
    const std::string said = open();
    EXPECT_NE(said.find(gdb + " does not exist"), std::string::npos) << said;
    EXPECT_EQ(wb.form.bathycov, "");
    EXPECT_TRUE(wb.window.tree.empty());
}

// A pipe or a huge file chosen as the project file is no damaged project:
// the message says what it is.
TEST(OpenProject, APipeOrAHugeFileIsCalledWhatItIs) {
    Workbench wb;
    const std::string pipe = wb.projects + "/pipe.tesk_RWE", huge = wb.projects + "/huge.tesk_RWE";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::ofstream(huge).close();
    fs::resize_file(huge, 300u * 1024 * 1024);  // sparse: no disk is spent
    for (const auto& [path, cause] : std::vector<std::pair<std::string, std::string>>{
             {pipe, "it is not a regular file."}, {huge, "it is far too large."}}) {
        wb.messages.entries.clear();
        wb.window.files = {path};
        wb.commands->OpenPr_Click();
        ASSERT_EQ(wb.messages.entries.size(), 1u) << path;
        EXPECT_EQ(wb.messages.entries[0].text, "The project cannot be opened. Cannot read file " + path + ": " + cause);
        EXPECT_EQ(wb.messages.entries[0].icon, platform::MessageIcon::Critical);
        EXPECT_TRUE(wb.window.tree.empty());
    }
}

TEST(OpenProject, AGeodatabaseOnAReadOnlyDiskIsReportedAsSuch) {
    Workbench wb;
    wb.newProject();
    const std::string name = wb.form.projname;
    wb.commands->RemPr_Click();
    // The project folder seen through a read-only mount: writing fails
    // there for every user, an administrator included.
    const std::string ro = wb.tmp.file("readonly");
    fs::create_directories(ro);
    if (::mount(wb.projects.c_str(), ro.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "a read-only mount needs the right to mount: " << std::strerror(errno);
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{ro};
    ASSERT_EQ(::mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0) << std::strerror(errno);

    wb.window.files = {ro + "/" + name + ".tesk_RWE"};
    wb.commands->OpenPr_Click();
    const std::string said = wb.messageTexts().back();
    EXPECT_NE(said.find("read-only"), std::string::npos) << said;
    EXPECT_NE(said, kCorruptedProject);
    EXPECT_TRUE(wb.window.tree.empty());
    EXPECT_TRUE(folderIsReadOnly(ro)) << "so Save says the folder is read only";
    EXPECT_FALSE(folderIsReadOnly(wb.projects));
}

// An REI project made through New Project, then removed to be opened again.
std::string removedReiProject(Workbench& wb) {
    wb.state.model_mode = model::REI_MODE;
    wb.messages.defaultAnswer = false;  // keep the interrogation distance
    const auto file = wb.newProject();
    wb.messages.answers = {true};
    wb.commands->RemPr_Click();
    return file;
}

TEST(OpenProject, AnReiProjectWhoseWindFileIsMissingOpensWithoutWind) {
    Workbench wb;
    const auto file = removedReiProject(wb);
    const std::string wind = wb.data + "/north.Wind_REI";
    fs::rename(wind, wb.data + "/elsewhere.Wind_REI");
    wb.windLoads.clear();

    wb.messages.entries.clear();
    wb.window.files = {file};
    wb.commands->OpenPr_Click();
    ASSERT_FALSE(wb.messages.entries.empty());
    EXPECT_EQ(wb.messageTexts().front(), kMissingWindFile1 + wind + kMissingWindFile2);
    EXPECT_EQ(wb.window.tree.size(), 4u);
    EXPECT_EQ(wb.state.wind_path, "");
    EXPECT_TRUE(wb.windLoads.empty());

    // Change Wind Data then gives the project its wind.
    wb.messages.answers = {true};
    wb.window.files = {wb.data + "/elsewhere.Wind_REI"};
    wb.commands->Addwind_Click();
    EXPECT_EQ(wb.state.wind_path, wb.data + "/elsewhere.Wind_REI");
    EXPECT_EQ(wb.windLoads, std::vector<std::string>{wb.data + "/elsewhere.Wind_REI"});
    EXPECT_EQ(wb.window.tree[3].text, "elsewhere.Wind_REI");
}

TEST(OpenProject, ARasterMissingOrDamagedIsToldOnceWithItsCause) {
    Workbench wb;
    const auto file = removedReiProject(wb);
    const std::string raster = wb.data + "/bathy.tif";
    const std::string copy = wb.tmp.file("bathy-copy.tif");
    fs::copy_file(raster, copy);

    auto open = [&] {
        wb.messages.entries.clear();
        wb.window.files = {file};
        wb.commands->OpenPr_Click();
        return wb.messageTexts();
    };
    fs::remove(raster);
    auto said = open();
    ASSERT_EQ(said.size(), 1u) << ::testing::PrintToString(said);
    EXPECT_EQ(said[0].rfind(gis::kBathymetryUnreadable, 0), 0u) << said[0];
    EXPECT_NE(said[0].find(raster), std::string::npos) << said[0];
    EXPECT_EQ(wb.window.tree.size(), 4u);

    // Cut short: GDAL's reason, after the program's words.
    fs::copy_file(copy, raster);
    fs::resize_file(raster, fs::file_size(raster) / 2);
    wb.messages.answers = {true};
    wb.commands->RemPr_Click();
    said = open();
    ASSERT_EQ(said.size(), 1u) << ::testing::PrintToString(said);
    EXPECT_EQ(said[0].rfind(gis::kBathymetryUnreadable, 0), 0u) << said[0];
    EXPECT_NE(said[0].find(raster), std::string::npos) << said[0];
    EXPECT_EQ(wb.window.tree.size(), 4u);
}
