// quor-run against the window: the same inputs and settings, run once
// through the Run button and once from the command line, leave the same
// table and the same metadata file.
#include <gtest/gtest.h>

#include <cpl_string.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "gis/shorebathy.h"
#include "model/settings_loader.h"
#include "platform/gis/gis.h"
#include "project/interrogation_distance.h"
#include "quor_run_support.h"
#include "test_support.h"
#include "wave/rwe_results.h"
#include "wired_window.h"

using namespace quor;

namespace {

namespace fs = std::filesystem;
namespace pg = platform::gis;

constexpr std::int64_t kSites = 100;

// The lines of a metadata file but the one that dates it and the one that
// names the dataset.
std::vector<std::string> undatedLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Created on:", 0) != 0 && line.rfind("Point data:", 0) != 0) lines.push_back(line);
    return lines;
}

// The line of a metadata file that names the dataset, without its line end.
std::string pointDataLine(const std::string& path) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Point data:", 0) == 0) return line.substr(0, line.find('\r'));
    return {};
}

// A field of the user's at every site of the shapefile or GeoPackage layer.
void addUserField(const std::string& sites, const std::string& field) {
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(sites.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
    ASSERT_TRUE(ds);
    OGRLayer* layer = ds->GetLayer(0);
    OGRFieldDefn defn(field.c_str(), OFTReal);
    ASSERT_EQ(layer->CreateField(&defn), OGRERR_NONE);
    layer->ResetReading();
    while (OGRFeatureUniquePtr f{layer->GetNextFeature()}) {
        f->SetField(field.c_str(), 7.25);
        ASSERT_EQ(layer->SetFeature(f.get()), OGRERR_NONE);
    }
}

// The sites' table as it is on disk.
std::string tableOf(const std::string& sites) {
    return test::fileBytes(fs::path(sites).replace_extension(".dbf").string());
}

// The example's shoreline, bathymetry and first kSites sites as
// water.shp, bathy.tif and sites.shp in `folder`, in `reference` (as GDAL
// takes it: "EPSG:4326", WKT): reprojected, or with `relabelled` the same
// coordinates under its name.
void bayIn(const std::string& folder, const std::string& data, const std::string& reference, bool relabelled) {
    fs::create_directories(folder);
    const std::string option = relabelled ? "-a_srs" : "-t_srs";
    for (const auto& [from, to] :
         {std::pair{"water_portphillip.shp", "water.shp"}, {"sites_portphillip.shp", "sites.shp"}}) {
        std::unique_ptr<GDALDataset> src(GDALDataset::Open((data + "/" + from).c_str(), GDAL_OF_VECTOR));
        ASSERT_TRUE(src);
        CPLStringList args;
        for (const std::string& a : {option, reference}) args.AddString(a.c_str());
        if (std::string(to) == "sites.shp") args.AddString("-limit").AddString(std::to_string(kSites).c_str());
        GDALVectorTranslateOptions* opts = GDALVectorTranslateOptionsNew(args.List(), nullptr);
        GDALDatasetH h = GDALDataset::ToHandle(src.get());
        GDALDatasetH out = GDALVectorTranslate((folder + "/" + to).c_str(), nullptr, 1, &h, opts, nullptr);
        GDALVectorTranslateOptionsFree(opts);
        ASSERT_TRUE(out) << to;
        GDALClose(out);
    }
    std::unique_ptr<GDALDataset> src(GDALDataset::Open((data + "/bathy_portphillip_m.tif").c_str(), GDAL_OF_RASTER));
    ASSERT_TRUE(src);
    CPLStringList args;
    for (const std::string& a : {option, reference}) args.AddString(a.c_str());
    GDALDatasetH h = GDALDataset::ToHandle(src.get());
    GDALDatasetH out = nullptr;
    if (relabelled) {
        GDALTranslateOptions* opts = GDALTranslateOptionsNew(args.List(), nullptr);
        out = GDALTranslate((folder + "/bathy.tif").c_str(), h, opts, nullptr);
        GDALTranslateOptionsFree(opts);
    } else {
        GDALWarpAppOptions* opts = GDALWarpAppOptionsNew(args.List(), nullptr);
        out = GDALWarp((folder + "/bathy.tif").c_str(), nullptr, 1, &h, opts, nullptr);
        GDALWarpAppOptionsFree(opts);
    }
    ASSERT_TRUE(out);
    GDALClose(out);
}

struct Case {
    bool rei = false;
    bool fast = false;
    bool geoPackage = false;
    std::string name() const {
        return std::string(rei ? "rei" : "rwe") + (fast ? " fast" : " clip") + (geoPackage ? " GeoPackage layer" : " shapefile");
    }
};

// The project as New Project leaves it, with the sites to run: those the
// window runs in `window`, an identical copy for quor-run in `cli`.
struct Bay {
    test::WiredWindow w;
    std::string data = test::portPhillipFolder();
    std::string window, cli;  // the sites: a shapefile, or a GeoPackage holding "Pointdata1"

    explicit Bay(const Case& c) {
        // The settings as an earlier session left them (a first start uses
        // some defaults other than those it stores) and the dialogs stored
        // the algorithm.
        {
            auto earlier = std::make_unique<model::ApplicationState>();
            model::loadSettingsParameters(w.store, earlier->state, earlier->form);
        }
        w.store.write("Quor3", "Settings", c.rei ? "indexcheck" : "wv_indexcheck", c.fast ? "1" : "0");
        w.load();
        auto& form = w.form;
        w.state.model_mode = c.rei ? model::REI_MODE : model::RWE_MODE;
        form.projfile = w.home.file("project");
        form.projname = "bay";
        fs::create_directories(form.projfile);
        form.shorecov = data;
        form.shorename = "water_portphillip.shp";
        form.bathycov = data + "/bathy_portphillip_m.tif";
        form.bathyname = "bathy_portphillip_m.tif";
        form.bathyunits = "Meter";
        w.state.bathy_positive = 0;
        w.state.wind_path = form.windpath = data + (c.rei ? "/sample.Wind_REI" : "/sample_56.Wind_RWE");
        const auto raster = pg::Raster::open(form.bathycov);
        const auto [minimum, maximum] = raster->minMax();
        if (const auto flag = project::depthSignFlag(minimum, maximum)) form.depthno = *flag;

        const std::string gpkg = form.projfile + "/bay.gpkg";
        if (c.geoPackage) {
            test::copyBaySitesToGeoPackage(gpkg, "Pointdata1", kSites);
            fs::create_directories(w.home.file("cli"));
            fs::copy_file(gpkg, w.home.file("cli/bay.gpkg"));
            window = gpkg;
            cli = w.home.file("cli/bay.gpkg");
            form.ptworkspace = pg::Workspace::openGeoPackage(gpkg);
        } else {
            form.ptworkspace = pg::Workspace::createGeoPackage(gpkg);
            fs::create_directories(w.home.file("window"));
            fs::create_directories(w.home.file("cli"));
            window = test::copyBaySites(w.home.file("window"), "sites", kSites);
            cli = test::copyBaySites(w.home.file("cli"), "sites", kSites);
            // Added as Add Point Coverage adds a shapefile.
            form.shpcol.push_back(window);
        }
        form.geodatabasename = "bay.gpkg";

        // The layers the chooser lists the project's point datasets from.
        pg::Map& map = w.window.map();
        map.addLayer(pg::Layer::rasterLayer(raster, form.bathyname));
        if (w.holder.indexcheck == 0) map.addLayer(pg::Layer::featureLayer(gis::openShoreline(form), form.shorename));
        if (c.geoPackage) map.addLayer(pg::Layer::featureLayer(form.ptworkspace->openFeatureClass("Pointdata1"), "Pointdata1"));
    }

    // The shoreline, the bathymetry and the sites of both runs from
    // `folder` (as bayIn() leaves it); the command of quor-run with them.
    std::vector<std::string> takeInputs(const Case& c, const std::string& folder) {
        for (const std::string& sites : {window, cli})
            for (const char* part : {".shp", ".shx", ".dbf", ".prj"})
                fs::copy_file(folder + "/sites" + part, fs::path(sites).replace_extension(part),
                              fs::copy_options::overwrite_existing);
        w.form.shorecov = folder;
        w.form.shorename = "water.shp";
        w.form.bathycov = folder + "/bathy.tif";
        std::vector<std::string> args = command(c);
        *(std::find(args.begin(), args.end(), "--shoreline") + 1) = folder + "/water.shp";
        *(std::find(args.begin(), args.end(), "--bathymetry") + 1) = folder + "/bathy.tif";
        return args;
    }

    std::vector<std::string> command(const Case& c) const {
        std::vector<std::string> args = {c.rei ? "rei" : "rwe",
                                         "--settings", w.store.filePath("Quor3"),
                                         "--shoreline", data + "/water_portphillip.shp",
                                         "--bathymetry", data + "/bathy_portphillip_m.tif",
                                         "--wind", w.state.wind_path,
                                         "--sites", cli};
        if (c.geoPackage) args.insert(args.end(), {"--layer", "Pointdata1"});
        return args;
    }
};

}  // namespace

TEST(QuorRunAgainstTheWindow, EachModelPathAndRouteLeavesTheTableTheRunButtonLeaves) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    std::vector<std::string> fields = {"SITE_ID", "Index"};
    fields.insert(fields.end(), wave::kRweResultFields.begin(), wave::kRweResultFields.end());
    for (const bool rei : {false, true})
        for (const bool fast : {false, true})
            for (const bool geoPackage : {false, true}) {
                const Case c{rei, fast, geoPackage};
                SCOPED_TRACE(c.name());
                Bay bay(c);
                test::runFromTheRunButton(bay.w.window, c.geoPackage ? "Pointdata1" : bay.window);
                const test::Ran ran = test::runProgram(QUOR_RUN_PROGRAM, bay.command(c), bay.w.home.file("cli-home"));
                ASSERT_EQ(ran.exit, 0) << ran.err << ::testing::PrintToString(bay.w.messages.texts());

                if (geoPackage) {
                    EXPECT_EQ(test::layerRows(bay.cli, "Pointdata1", fields),
                              test::layerRows(bay.window, "Pointdata1", fields));
                } else {
                    for (const char* part : {".dbf", ".shp", ".shx"}) {
                        const std::string table = test::fileBytes(fs::path(bay.window).replace_extension(part).string());
                        EXPECT_FALSE(table.empty()) << part;
                        EXPECT_TRUE(table == test::fileBytes(fs::path(bay.cli).replace_extension(part).string()))
                            << part << " differs";
                    }
                }
                if (!rei) {
                    // Each beside its dataset, named after it, and naming it.
                    const auto metadata = [&](const std::string& sites) {
                        return sites + (geoPackage ? ".Pointdata1" : "") + ".Metadata_RWE";
                    };
                    const auto lines = undatedLines(metadata(bay.window));
                    EXPECT_GT(lines.size(), 10u);
                    EXPECT_EQ(undatedLines(metadata(bay.cli)), lines);
                    for (const std::string& sites : {bay.window, bay.cli})
                        EXPECT_EQ(pointDataLine(metadata(sites)),
                                  "Point data:    " + sites + (geoPackage ? " (layer Pointdata1)" : ""));
                }
            }
}

// Sites whose coordinates are in another spatial reference than the
// bathymetry's would be computed where they do not lie: the window's Run
// and quor-run refuse them alike, with the same words, before writing.
TEST(QuorRunAgainstTheWindow, SitesInAnotherSpatialReferenceAreRefusedAlikeBeforeAnythingIsWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string words =
        "(GDA94 / MGA zone 55) and the bathymetry raster (WGS 84 / UTM zone 55S) are in different spatial references.";
    for (const bool rei : {false, true}) {
        const Case c{rei, false, false};
        SCOPED_TRACE(c.name());
        Bay bay(c);
        for (const std::string& sites : {bay.window, bay.cli}) {
            std::ofstream(fs::path(sites).replace_extension(".prj")) << pg::SpatialReference::fromEpsg(28355).wkt();
        }
        const std::string table = test::fileBytes(fs::path(bay.window).replace_extension(".dbf").string());

        test::runFromTheRunButton(bay.w.window, bay.window);
        const auto told = bay.w.messages.texts();
        EXPECT_TRUE(std::any_of(told.begin(), told.end(),
                                [&](const std::string& t) { return t.find(words) != std::string::npos; }))
            << ::testing::PrintToString(told);
        EXPECT_EQ(test::fileBytes(fs::path(bay.window).replace_extension(".dbf").string()), table);

        const test::Ran ran = test::runProgram(QUOR_RUN_PROGRAM, bay.command(c), bay.w.home.file("cli-home"));
        EXPECT_EQ(ran.exit, 2);
        EXPECT_NE(ran.err.find(words), std::string::npos) << ran.err;
        EXPECT_EQ(test::fileBytes(fs::path(bay.cli).replace_extension(".dbf").string()), table);
    }
}

// A user's own field under a result's name holds the user's values: the
// Run button asks before it replaces them, naming the field, and No
// leaves the table as it was; quor-run without --replace refuses alike.
// A GeoPackage's count of its rows another tool left unwritten (NULL)
// stays so: No changes no byte of it.
TEST(QuorRunAgainstTheWindow, AUsersFieldUnderAResultsNameIsKeptUnlessTheUserConsents) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    for (const Case c : {Case{false, false, false}, Case{true, true, false}, Case{false, false, true}}) {
        const bool rei = c.rei;
        SCOPED_TRACE(c.name());
        Bay bay(c);
        const std::string field = rei ? "Index" : "Depth";
        for (const std::string& sites : {bay.window, bay.cli}) {
            addUserField(sites, field);
            if (!c.geoPackage) continue;
            std::unique_ptr<GDALDataset> ds(GDALDataset::Open(sites.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
            ds->ExecuteSQL("UPDATE gpkg_ogr_contents SET feature_count = NULL", nullptr, nullptr);
        }
        const auto dbf = [&c](const std::string& sites) { return c.geoPackage ? test::fileBytes(sites) : tableOf(sites); };
        const std::string windowTable = dbf(bay.window), cliTable = dbf(bay.cli);

        bay.w.messages.defaultAnswer = false;
        test::runFromTheRunButton(bay.w.window, c.geoPackage ? "Pointdata1" : bay.window);
        std::vector<std::string> questions;
        for (const auto& e : bay.w.messages.entries)
            if (e.isQuestion) questions.push_back(e.text);
        ASSERT_EQ(questions.size(), 1u) << ::testing::PrintToString(bay.w.messages.texts());
        EXPECT_NE(questions[0].find("already has the field " + field + " that this run writes"), std::string::npos)
            << questions[0];
        EXPECT_TRUE(dbf(bay.window) == windowTable) << "the window replaced the user's values";

        const test::Ran ran = test::runProgram(QUOR_RUN_PROGRAM, bay.command(c), bay.w.home.file("cli-home"));
        EXPECT_EQ(ran.exit, 2);
        EXPECT_NE(ran.err.find("field " + field + " that this run writes"), std::string::npos) << ran.err;
        EXPECT_TRUE(dbf(bay.cli) == cliTable) << "quor-run replaced the user's values";
    }
}

// A user's own "RWE" reads as an earlier run's: the run asks as a re-run
// does, and the question and quor-run's refusal name every field whose
// values would go, the user's "Depth" too. No leaves the table as it was.
TEST(QuorRunAgainstTheWindow, AReRunsQuestionAndRefusalNameEveryFieldTheyWouldReplace) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const Case c{false, false, false};
    Bay bay(c);
    for (const std::string& sites : {bay.window, bay.cli})
        for (const char* field : {"RWE", "Depth"}) addUserField(sites, field);
    const std::string windowTable = tableOf(bay.window), cliTable = tableOf(bay.cli);
    const std::string asked = std::string(wave::kReplaceRweQuestion) + " This replaces the fields RWE, Depth.";

    bay.w.messages.defaultAnswer = false;
    test::runFromTheRunButton(bay.w.window, bay.window);
    std::vector<std::string> questions;
    for (const auto& e : bay.w.messages.entries)
        if (e.isQuestion) questions.push_back(e.text);
    EXPECT_EQ(questions, std::vector<std::string>{asked});
    EXPECT_TRUE(tableOf(bay.window) == windowTable) << "the window replaced the user's values";

    const test::Ran ran = test::runProgram(QUOR_RUN_PROGRAM, bay.command(c), bay.w.home.file("cli-home"));
    EXPECT_EQ(ran.exit, 2);
    EXPECT_NE(ran.err.find(asked), std::string::npos) << ran.err;
    EXPECT_TRUE(tableOf(bay.cli) == cliTable) << "quor-run replaced the user's values";
}

namespace {

// Both models refuse the bay reprojected to `reference` (bayIn() in
// <temporary folder>/bay) in the window and in quor-run alike, in one
// message holding each of `words`, before anything is written.
void refusedAlikeByBothModels(const std::string& data, const std::string& reference,
                              const std::vector<std::string>& words) {
    test::TempDir dir;
    const std::string folder = dir.file("bay");
    ASSERT_NO_FATAL_FAILURE(bayIn(folder, data, reference, false));
    const auto saysAll = [&](const std::string& text) {
        return std::all_of(words.begin(), words.end(),
                           [&](const std::string& w) { return text.find(w) != std::string::npos; });
    };
    for (const bool rei : {false, true}) {
        const Case c{rei, false, false};
        SCOPED_TRACE(c.name());
        Bay bay(c);
        const std::vector<std::string> command = bay.takeInputs(c, folder);
        const std::string windowTable = tableOf(bay.window), cliTable = tableOf(bay.cli);

        test::runFromTheRunButton(bay.w.window, bay.window);
        const auto told = bay.w.messages.texts();
        EXPECT_TRUE(std::any_of(told.begin(), told.end(), saysAll)) << ::testing::PrintToString(told);
        EXPECT_TRUE(tableOf(bay.window) == windowTable) << "the window wrote into the table";

        const test::Ran ran = test::runProgram(QUOR_RUN_PROGRAM, command, bay.w.home.file("cli-home"));
        EXPECT_EQ(ran.exit, 2);
        EXPECT_TRUE(saysAll(ran.err)) << ran.err;
        EXPECT_TRUE(tableOf(bay.cli) == cliTable) << "quor-run wrote into the table";
    }
}

}  // namespace

// Shoreline, bathymetry and sites in degrees, as a user who never
// projected them has them: a run would take degrees for metres. Both
// models refuse them in the window and in quor-run alike, naming the
// dataset and its unit, before anything is written.
TEST(QuorRunAgainstTheWindow, InputsInDegreesAreRefusedAlikeByBothModelsBeforeAnythingIsWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    refusedAlikeByBothModels(data, "EPSG:4326",
                             {"The bathymetry raster ",
                              "/bay/bathy.tif is in geographic coordinates (WGS 84): its unit is the degree; fetches "
                              "and depths need a projected spatial reference in metres."});
}

// Web Mercator is in metres, but at the bay's latitude its metres are 1.27
// of the ground's: every fetch and step would come out that much long.
// Both models refuse it alike, naming the stretch and a projection that
// keeps distances true there.
TEST(QuorRunAgainstTheWindow, AProjectionThatStretchesDistancesIsRefusedAlikeByBothModelsBeforeAnythingIsWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    refusedAlikeByBothModels(data, "EPSG:3857",
                             {"The bathymetry raster ",
                              "/bay/bathy.tif is in a projection that stretches distances where it lies (WGS 84 / "
                              "Pseudo-Mercator): its scale there runs from 1.26",
                              "such as the UTM zone of its centre, WGS 84 / UTM zone 55S (EPSG:32755)."});
}

// A survey's local grid in metres is flat by definition: both models run
// the bay in one, in the window and in quor-run, to the values of its run
// in UTM, whose coordinates it keeps.
TEST(QuorRunAgainstTheWindow, TheBayInALocalGridInMetresRunsToTheValuesOfItsRunInUtm) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    std::vector<std::string> fields = {"SITE_ID", "Index"};
    fields.insert(fields.end(), wave::kRweResultFields.begin(), wave::kRweResultFields.end());
    test::TempDir dir;
    const std::string grid = dir.file("grid");
    ASSERT_NO_FATAL_FAILURE(bayIn(grid, data,
                                  "LOCAL_CS[\"Bay grid\",LOCAL_DATUM[\"Bay survey\",0],UNIT[\"metre\",1],"
                                  "AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH]]",
                                  true));
    for (const bool rei : {false, true}) {
        const Case c{rei, false, false};
        SCOPED_TRACE(c.name());
        Bay bay(c);
        fs::create_directories(bay.w.home.file("utm"));
        const std::string utm = test::copyBaySites(bay.w.home.file("utm"), "sites", kSites);
        std::vector<std::string> inUtm = bay.command(c);
        *(std::find(inUtm.begin(), inUtm.end(), "--sites") + 1) = utm;
        const test::Ran reference = test::runProgram(QUOR_RUN_PROGRAM, inUtm, bay.w.home.file("utm-home"));
        ASSERT_EQ(reference.exit, 0) << reference.err;

        const std::vector<std::string> command = bay.takeInputs(c, grid);
        test::runFromTheRunButton(bay.w.window, bay.window);
        const test::Ran ran = test::runProgram(QUOR_RUN_PROGRAM, command, bay.w.home.file("cli-home"));
        ASSERT_EQ(ran.exit, 0) << ran.err << ::testing::PrintToString(bay.w.messages.texts());
        const auto expected = test::layerRows(utm, "sites", fields);
        EXPECT_EQ(test::layerRows(bay.window, "sites", fields), expected);
        EXPECT_EQ(test::layerRows(bay.cli, "sites", fields), expected);
    }
}
