// Whole RWE runs on a small synthetic lake: every status code from a real
// cause, flags that must not leak between sites, refusals at the start,
// cancel, and the clean-up that every end runs.
#include "run_fixture.h"

#include <fstream>
#include <sstream>

#include "gis/ray_geometry.h"
#include "gis/shorebathy.h"
#include "model/model_state.h"
#include "platform/memory.h"
#include "project/ptdatasel.h"
#include "sync_gap.h"
#include "wave/rwe_results.h"

namespace quor::wave::testing {
namespace {

std::string firstMessage(const RunProject& rp) {
    return rp.p->messages.entries.empty() ? std::string() : rp.p->messages.entries.front().text;
}

std::vector<std::string> classNames(const RunProject& rp) { return rp.p->mf.ptworkspace->featureClassNames(); }

TEST(WaveMainRun, EveryStatusCodeFromItsCauseAndNoFlagLeaksIntoTheNextSite) {
    RunProject rp;
    rp.p->state.orbvel_on = 1;
    rp.p->state.sediment_on = 1;
    rp.p->state.sed_density = 2650;
    rp.p->state.sed_diameter = 0.0002f;
    const pg::Point good{10000, 10000};
    const double nan = std::nan("");
    // Each failing site is followed by an open-water site that must come out whole.
    rp.sites({{4250, 2250}, good,      // on the NoData patch
              {nan, 0}, good,          // a site without a shape
              {12500, 10000}, good,    // on the island: no ray piece reaches the site
              {0, 10000}, good});      // on the shore: rays onto land have no fetch
    const RunOutcome out = rp.run(0);
    ASSERT_EQ(out.end, RunEnd::Completed) << firstMessage(rp);
    EXPECT_EQ(out.sitesDone, 8);
    const std::vector<double> codes = {-9999, -8888, -7777, -9991};
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const std::int64_t bad = static_cast<std::int64_t>(2 * k + 1), next = bad + 1;
        for (const char* f : {"RWE", "MaxWvH", "AvgWvH", "MaxWvDr", "AvgWvPr", "MaxWvPr", "HorVel", "ShearVel",
                              "ShearStrs", "CShearStrs"})
            EXPECT_EQ(rp.value(bad, f), codes[k]) << "site " << bad << " " << f;
        EXPECT_EQ(rp.text(bad, "Sed_Motion"), "") << bad;
        EXPECT_GT(rp.value(next, "RWE"), 0) << "site " << next << " after " << codes[k];
        EXPECT_GT(rp.value(next, "HorVel"), 0) << next;
        EXPECT_EQ(rp.text(next, "Sed_Motion"), rp.text(2, "Sed_Motion")) << next;
        EXPECT_NE(rp.text(next, "Sed_Motion"), "") << next;
    }
    // The NoData site reports -9999 as its depth, not the earlier site's.
    EXPECT_EQ(rp.value(1, "Depth"), -9999);
    EXPECT_EQ(rp.value(5, "Depth"), 5);   // the island's raster value as stored
    EXPECT_EQ(rp.value(3, "Depth"), -9999);
    // Nothing of the sites is left in the project file; every flag is down.
    EXPECT_EQ(classNames(rp), std::vector<std::string>{"Pointdata1"});
    const auto& s = rp.p->state;
    for (int16_t f : {s.err_wind, s.err_clip, s.err_rays, s.err_fetch, s.err_second, s.err_ptsecond, s.err_third,
                      s.err_ptthird, s.err_waveht, s.err_ptraster})
        EXPECT_EQ(f, 0);
    EXPECT_FALSE(s.run_lock.active());
    EXPECT_EQ(rp.p->map.layerCount(), 0);
}

TEST(WaveMainRun, ShallowStageFailuresAreTold) {
    // A 0.45 m survey around the site: the last kilometre holds more steps
    // than the second stage's profile, while the first stage works at 100 m.
    RunProject rp;
    rp.sites({{15000, 10000}});
    const std::string fine = rp.tmp.path() + "/fine.tif";
    gis::testdata::writeBathymetry(fine, 14910, 9950, 0.45, 400, 2500, [](double, double) { return -10.0; });
    rp.p->mf.bathycov = fine;
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << firstMessage(rp);
    EXPECT_EQ(rp.value(1, "RWE"), -9993);
    EXPECT_EQ(rp.value(1, "AvgWvH"), -9993);
    EXPECT_EQ(rp.value(1, "Depth"), -10);

    // The first stage's interrogation distance set below the survey's
    // resolution: its profile cannot be stepped.
    rp.p->state.Depth_intg_second = 0.25;
    rp.p->messages.answers = {true};
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << firstMessage(rp);
    EXPECT_EQ(rp.value(1, "RWE"), -9992);
    EXPECT_EQ(rp.value(1, "MaxWvPr"), -9992);
}

TEST(WaveMainRun, FieldsInOrderAndAnEarlierAnswerOfNoTouchesNothing) {
    RunProject rp;
    auto pts = rp.sites({{10000, 10000}});
    pts->addField(pg::FieldDef("Ray5", pg::FieldType::Double, {}, 30));  // some ray fields exist already
    rp.p->mf.fetchlength = 1;
    ASSERT_EQ(rp.run(1).end, RunEnd::Completed) << firstMessage(rp);
    const auto fields = pts->fields();
    const auto defs = rweResultFieldDefs();
    ASSERT_EQ(fields->count(), 4 + 12 + 32);
    for (std::size_t k = 0; k < defs.size(); ++k) {
        EXPECT_EQ(fields->field(5 + static_cast<int>(k)).name, defs[k].name);
        EXPECT_EQ(fields->field(5 + static_cast<int>(k)).type, defs[k].type);
    }
    EXPECT_EQ(fields->field(16).type, pg::FieldType::String);
    for (int i = 1; i <= 32; ++i) EXPECT_GE(pts->findField("Ray" + std::to_string(i)), 0) << i;
    const double rwe = rp.value(1, "RWE");
    EXPECT_GT(rwe, 0);
    EXPECT_TRUE(std::filesystem::exists(rp.tmp.path() + "/proj/Pointdata1.Metadata_RWE"));

    // A second run asks; No keeps the values and writes no metadata.
    std::filesystem::remove(rp.tmp.path() + "/proj/Pointdata1.Metadata_RWE");
    rp.p->messages.entries.clear();
    rp.p->messages.answers = {false};
    rp.setWind(std::vector<double>(16, 20), std::vector<double>(16, 6.25));
    EXPECT_EQ(rp.run(1).end, RunEnd::Declined);
    ASSERT_EQ(rp.p->messages.entries.size(), 1u);
    EXPECT_EQ(rp.p->messages.entries[0].text,
              std::string(kReplaceRweQuestion) + " This replaces the fields RWE, MaxWvH, AvgWvH, MaxWvDr, AvgWvPr, "
                                                 "MaxWvPr, Depth, HorVel, ShearVel, ShearStrs, CShearStrs, Sed_Motion.");
    EXPECT_EQ(rp.value(1, "RWE"), rwe);
    EXPECT_FALSE(std::filesystem::exists(rp.tmp.path() + "/proj/Pointdata1.Metadata_RWE"));
}

TEST(WaveMainRun, CancelLeavesFinishedSitesCompleteAndTheGeodatabaseClean) {
    RunProject rp;
    rp.p->fm.refreshmap = 0;  // the run yields per site, so Cancel can arrive
    rp.sites({{10000, 10000}, {3000, 16000}, {15000, 5000}, {6000, 6000}});
    // Cancel is clicked while the second site is computed; the run sees it
    // before the third.
    rp.p->progress.onYield = [&](int) {
        if (rp.p->progress.rec.label1 == "Processing Point 2 of 4") rp.p->state.cancel_flag = true;
    };
    rp.p->messages.answers = {true};
    const RunOutcome out = rp.run(0);
    EXPECT_EQ(out.end, RunEnd::Cancelled);
    EXPECT_EQ(out.sitesDone, 2);
    EXPECT_TRUE(rp.p->state.stop_flag);
    EXPECT_FALSE(rp.p->state.cancel_flag);
    ASSERT_FALSE(rp.p->messages.entries.empty());
    EXPECT_EQ(rp.p->messages.entries[0].text, kCancelQuestion);
    // Every value of a finished site, and no sediment motion: none is told.
    for (std::int64_t oid : {1, 2})
        for (const auto& f : kRweResultFields)
            EXPECT_EQ(pg::isNull(rp.points->feature(oid).value(f)), f == "Sed_Motion") << oid << " " << f;
    for (std::int64_t oid : {3, 4}) EXPECT_TRUE(pg::isNull(rp.points->feature(oid).value("RWE"))) << oid;
    EXPECT_EQ(classNames(rp), std::vector<std::string>{"Pointdata1"});
    EXPECT_EQ(rp.p->map.layerCount(), 0);
    EXPECT_FALSE(rp.p->progress.rec.visible);
    EXPECT_FALSE(rp.p->state.run_lock.active());
}

TEST(WaveMainRun, InputsThatCannotGiveCorrectResultsAreRefusedWithTheReason) {
    auto refused = [](RunProject& rp, const std::string& expected) {
        rp.p->messages.entries.clear();
        const RunOutcome out = rp.run(0);
        EXPECT_EQ(out.end, RunEnd::Refused) << expected;
        ASSERT_EQ(rp.p->messages.entries.size(), 1u) << expected;
        EXPECT_NE(rp.p->messages.entries[0].text.find(expected), std::string::npos)
            << rp.p->messages.entries[0].text;
        EXPECT_EQ(rp.points->findField("RWE"), -1) << expected;
    };
    {
        RunProject rp;
        rp.sites({{10000, 10000}});
        rp.p->mf.Fetch = 0;
        refused(rp, "maximum fetch");
        rp.p->mf.Fetch = 10000;
        rp.p->mf.dist_bathy = -5;
        refused(rp, "interrogation distance");
        rp.p->mf.dist_bathy = 100;
        // A point class in geographic coordinates.
        rp.p->mf.ptworkspace->deleteFeatureClass("Pointdata1");
        rp.points = rp.p->mf.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {},
                                                             pg::SpatialReference::fromEpsg(4326));
        refused(rp, "geographic");
    }
    {
        // A line layer as shoreline, then an empty shoreline.
        RunProject rp;
        rp.sites({{10000, 10000}});
        auto ws = pg::Workspace::open(rp.tmp.path() + "/shore");
        auto lines = ws->createFeatureClass("coastline", pg::GeometryType::Polyline, {},
                                            pg::SpatialReference::fromEpsg(32755));
        pg::Feature f = lines->createFeature();
        f.setShape(pg::Geometry::line({kX0, kY0}, {kX0 + 100, kY0 + 100}));
        lines->store(f);
        rp.p->mf.shorename = "coastline.shp";
        rp.p->ctx.shoreline.reset();
        refused(rp, "coastline.shp cannot be used");
        ws->createFeatureClass("nothing", pg::GeometryType::Polygon, {}, pg::SpatialReference::fromEpsg(32755));
        rp.p->mf.shorename = "nothing.shp";
        refused(rp, "nothing.shp cannot be used");
        // A project made with the faster algorithm, run clipping: it has
        // no shoreline to name.
        rp.p->mf.shorecov.clear();
        rp.p->mf.shorename.clear();
        rp.p->ctx.shoreline.reset();
        refused(rp, gis::kProjectWithoutShoreline);
        EXPECT_EQ(rp.p->messages.entries.at(0).text, gis::kProjectWithoutShoreline);
    }
    {
        // A raster without one valid pixel.
        RunProject rp([](double, double) { return std::nan(""); });
        rp.sites({{10000, 10000}});
        refused(rp, "no valid depth");
    }
}

TEST(WaveMainRun, FastPathDrySitesAndUnreadableBathymetry) {
    RunProject rp;
    rp.p->state.wv_indexcheck = 1;
    rp.sites({{12500, 10000}, {10000, 10000}});  // on the island (dry on the raster), then open water
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << firstMessage(rp);
    for (const char* f : {"RWE", "MaxWvH", "AvgWvH", "AvgWvPr", "MaxWvPr"}) EXPECT_EQ(rp.value(1, f), 0) << f;
    EXPECT_EQ(rp.value(1, "MaxWvDr"), -999);
    EXPECT_GT(rp.value(2, "RWE"), 0);
    EXPECT_EQ(rp.p->state.err_nowater, 0);
    // With linear wave theory too, a dry site after a wet one keeps none of its bottom values.
    rp.p->state.orbvel_on = 1;
    rp.p->state.velocity_method = 0;
    rp.sites({{10000, 10000}, {12500, 10000}});
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << firstMessage(rp);
    EXPECT_GT(rp.value(1, "HorVel"), 0);
    for (const char* f : {"HorVel", "ShearVel", "ShearStrs"}) EXPECT_EQ(rp.value(2, f), 0) << f;

    // A raster whose southern tiles are cut off: the site's own tile reads,
    // the rays running south cannot be measured.
    const std::string big = rp.tmp.path() + "/big.tif";
    gis::testdata::writeBathymetry(big, -1000, -1000, 10, 2200, 2200, [](double x, double y) {
        return lakeDepth(x, y) == 3 ? 3.0 : -10.0;
    });
    std::filesystem::resize_file(big, std::filesystem::file_size(big) / 2);
    rp.p->mf.bathycov = big;
    rp.sites({{10000, 19500}});
    rp.p->messages.answers = {true};
    const RunOutcome out = rp.run(0);
    // Either the start refuses the damaged raster or the site says its measurement failed.
    if (out.end == RunEnd::Completed)
        EXPECT_EQ(rp.value(1, "RWE"), -5555);
    else
        EXPECT_EQ(out.end, RunEnd::Refused);
}

// A raster in one strip of 300 MiB (8750 by 9000 Float32 cells, as
// gdal_translate writes one with a block as tall as the raster; 1 MB on
// disk here): the run reads it and its sites get their results.
TEST(WaveMainRun, ARasterInOneLargeStripRunsItsSites) {
    const int cols = 8750, rows = 9000;
    if (static_cast<double>(cols) * rows * 4 > pg::kBlockMemoryShare * platform::usableMemoryBytes())
        GTEST_SKIP() << "this machine has too little memory for a strip of 300 MiB";
    RunProject rp;
    const std::string strip = rp.tmp.path() + "/strip.tif";
    {
        const char* options[] = {"COMPRESS=DEFLATE", "BLOCKYSIZE=9000", nullptr};
        std::unique_ptr<GDALDataset> ds(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            strip.c_str(), cols, rows, 1, GDT_Float32, const_cast<char**>(options)));
        ASSERT_TRUE(ds);
        const double cell = 2.6;  // the lake and its shore
        double gt[6] = {gis::testdata::kX0 - 1000, cell, 0, gis::testdata::kY0 - 1000 + rows * cell, 0, -cell};
        ds->SetGeoTransform(gt);
        ds->SetSpatialRef(pg::SpatialReference::fromEpsg(32755).ogr());
        ASSERT_EQ(ds->GetRasterBand(1)->Fill(-10), CE_None);
    }
    ASSERT_LT(std::filesystem::file_size(strip), 4u * 1024 * 1024);
    rp.p->mf.bathycov = strip;
    rp.p->mf.bathyname = "strip.tif";
    rp.sites({{10000, 10000}, {3000, 16000}, {16000, 4000}});
    const RunOutcome out = rp.run(0);
    ASSERT_EQ(out.end, RunEnd::Completed) << firstMessage(rp);
    for (std::int64_t site = 1; site <= 3; ++site) {
        EXPECT_EQ(rp.value(site, "Depth"), -10) << site;
        EXPECT_GT(rp.value(site, "RWE"), 0) << site;
    }
}

// A damaged attribute table (the sites' .dbf cut short): the run is
// refused and says so with its icon and the dataset's name, not in GDAL's
// words alone.
TEST(WaveMainRun, ADatasetThatCannotBeReadIsToldAsTheRunsFailure) {
    RunProject rp;
    rp.shapefileSites({{10000, 10000}, {3000, 16000}, {16000, 4000}});
    rp.points.reset();
    const std::string dbf = rp.ctx->shpdir + "/sites.dbf";
    std::filesystem::resize_file(dbf, std::filesystem::file_size(dbf) - 20);
    rp.points = pg::Workspace::open(rp.ctx->shpdir)->openFeatureClass("sites");
    RunOutcome out;
    ASSERT_NO_THROW(out = rp.run(0));
    EXPECT_EQ(out.end, RunEnd::Refused);
    ASSERT_EQ(rp.p->messages.entries.size(), 1u);
    const std::string said = rp.p->messages.entries[0].text;
    EXPECT_EQ(said.rfind(std::string(kCouldNotRun) + "\nThe point dataset sites: ", 0), 0u) << said;
    EXPECT_NE(said.find(dbf + " is damaged"), std::string::npos) << said;
    EXPECT_EQ(rp.p->messages.entries[0].icon, platform::MessageIcon::Critical);
}

// The user's own fields under results' names (in any letter case) and no
// "RWE": the run asks once, naming them; No leaves every file as it was.
TEST(WaveMainRun, AUsersFieldsUnderResultNamesAreReplacedOnlyWhenTheUserSaysSo) {
    RunProject rp;
    rp.shapefileSites({{10000, 10000}, {3000, 16000}});
    for (const char* name : {"depth", "MaxWvH"}) rp.points->addField(pg::FieldDef(name, pg::FieldType::Double, {}, 30));
    for (std::int64_t oid : {0, 1}) {
        pg::Feature f = rp.points->feature(oid);
        f.setValue("depth", pg::FieldValue{1.5});
        f.setValue("MaxWvH", pg::FieldValue{2.5});
        rp.points->store(f);
    }
    rp.points->flush();
    const auto before = test::folderBytes(rp.ctx->shpdir);

    rp.p->messages.answers = {false};
    EXPECT_EQ(rp.run(0).end, RunEnd::Declined);
    EXPECT_EQ(rp.p->messages.texts(),
              std::vector<std::string>{"The point dataset sites already has the fields MaxWvH, depth that this run "
                                       "writes; replace their values?"});
    EXPECT_EQ(test::folderBytes(rp.ctx->shpdir), before);

    rp.p->messages.entries.clear();
    rp.p->messages.answers = {true};
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << firstMessage(rp);
    EXPECT_EQ(rp.p->messages.entries.size(), 1u);  // asked once
    EXPECT_EQ(rp.value(0, "Depth"), -10);
}

// A field another program adds to a project's sites while the project is
// open is asked about like the rest, and Yes replaces its values.
TEST(WaveMainRun, AFieldAnotherProgramAddedWhileTheProjectIsOpenIsAskedAbout) {
    RunProject rp;
    rp.sites({{10000, 10000}, {3000, 16000}});
    ASSERT_LT(rp.points->findField("Depth"), 0);  // read as the window reads it
    {
        GDALDatasetUniquePtr other(
            GDALDataset::Open(rp.p->mf.ptworkspace->path().c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        ASSERT_TRUE(other);
        other->ExecuteSQL("ALTER TABLE Pointdata1 ADD COLUMN Depth REAL", nullptr, nullptr);
        other->ExecuteSQL("UPDATE Pointdata1 SET Depth = 7.25", nullptr, nullptr);
    }
    rp.points = project::openGeodatabasePoints(rp.p->mf.ptworkspace, "Pointdata1").fc;  // as the Run button opens it
    rp.p->messages.answers = {true};
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << firstMessage(rp);
    ASSERT_EQ(rp.p->messages.entries.size(), 1u);
    EXPECT_TRUE(rp.p->messages.entries[0].isQuestion);
    EXPECT_NE(firstMessage(rp).find("Depth"), std::string::npos) << firstMessage(rp);
    EXPECT_EQ(rp.value(1, "Depth"), -10);
}

// Another program writes the sites' table (in place as cp does, or a new
// file moved over it) while the run makes the table with its fields, or
// moves its own over the new table just after: that program's table
// stays, and the run fails, saying so.
TEST(WaveMainRun, AnotherProgramsWriteWhileTheTableIsRewrittenIsKeptAndTheRunFails) {
    for (const auto& [moved, after] : {std::pair{false, 0}, std::pair{true, 0}, std::pair{true, 1}}) {
        SCOPED_TRACE(std::string(moved ? "moved over" : "written in place") + (after ? " after the rename" : ""));
        RunProject rp;
        rp.shapefileSites({{10000, 10000}, {3000, 16000}});
        rp.points.reset();
        const std::string dbf = rp.ctx->shpdir + "/sites.dbf";
        std::string theirs = test::fileBytes(dbf);
        // Their edit: the first site's X becomes 42.
        const std::size_t first = static_cast<unsigned char>(theirs[8]) + 256u * static_cast<unsigned char>(theirs[9]) + 1;
        const std::size_t width = static_cast<unsigned char>(theirs[32 + 16]);
        theirs.replace(first, width, std::string(width - 2, ' ') + "42");
        rp.points = pg::Workspace::open(rp.ctx->shpdir)->openFeatureClass("sites");
        test::BeforeNextSync gap(rp.ctx->shpdir, [&] {
            const std::string to = moved ? rp.tmp.file("theirs.dbf") : dbf;
            std::ofstream(to, std::ios::binary | std::ios::trunc) << theirs;
            if (moved) std::filesystem::rename(to, dbf);
        }, after);
        const RunOutcome out = rp.run(0);
        EXPECT_TRUE(gap.ran());
        EXPECT_EQ(out.end, RunEnd::Failed);
        EXPECT_NE(firstMessage(rp).find("by another program"), std::string::npos) << firstMessage(rp);
        EXPECT_EQ(test::fileBytes(dbf), theirs);
    }
}

// A table that cannot be read whole (its shapes cut short) or holds no
// site is refused before anything is written, in words naming its file.
TEST(WaveMainRun, ATableCutShortOrEmptyIsRefusedBeforeAnythingIsWritten) {
    for (const bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty" : "cut short");
        RunProject rp;
        rp.shapefileSites(empty ? std::vector<pg::Point>{}
                                : std::vector<pg::Point>{{10000, 10000}, {3000, 16000}, {16000, 4000}});
        rp.points.reset();
        const std::string shp = rp.ctx->shpdir + "/sites.shp";
        if (!empty) std::filesystem::resize_file(shp, std::filesystem::file_size(shp) - 10);
        rp.points = pg::Workspace::open(rp.ctx->shpdir)->openFeatureClass("sites");
        const auto before = test::folderBytes(rp.ctx->shpdir);
        EXPECT_EQ(rp.run(0).end, RunEnd::Refused);
        EXPECT_NE(firstMessage(rp).find(shp), std::string::npos) << firstMessage(rp);
        EXPECT_EQ(test::folderBytes(rp.ctx->shpdir), before);
    }
}

TEST(WaveMainRun, ABackgroundRunRestoresTheWindowAndItsTitleBeforeProcessingDone) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    rp.p->fm.refreshmap1 = 1;
    // What the window shows each time the run speaks to the user.
    struct Window : model::RunShell {
        std::string title;
        bool minimised = false;
        void setTitle(const std::string& t) override { title = t; }
        void setMinimised(bool m) override { minimised = m; }
    } window;
    rp.ctx->shell = &window;
    struct Seen {
        std::string title;
        bool minimised;
    };
    std::vector<Seen> seen;
    rp.p->messages.onMessage = [&](const std::string&) { seen.push_back({window.title, window.minimised}); };
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << firstMessage(rp);
    ASSERT_EQ(rp.p->messages.texts(), std::vector<std::string>{kProcessingDone});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Quor");
    EXPECT_FALSE(seen[0].minimised);
}

// A run in the foreground shows each site's square, whether its rays are
// clipped through work classes or taken straight from the shoreline.
TEST(WaveMainRun, AForegroundRunDrawsEverySitesSquare) {
    for (int16_t direct : {0, 1}) {
        SCOPED_TRACE(direct ? "straight from the shoreline" : "through work classes");
        RunProject rp;
        rp.p->fm.refreshmap = direct;
        rp.p->fm.refreshmap1 = 0;
        rp.sites({{10000, 10000}, {6000, 15000}});
        std::vector<std::vector<pg::Point>> squares;
        rp.p->ctx.drawSiteSquare = [&](const std::vector<pg::Point>& sq) { squares.push_back(sq); };
        ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << firstMessage(rp);
        ASSERT_EQ(squares.size(), 2u);
        for (std::size_t k = 0; k < 2; ++k) {
            const pg::Point site = rp.points->feature(static_cast<std::int64_t>(k + 1)).shape().asPoint();
            const auto expected = gis::siteSquare(site);
            EXPECT_EQ(squares[k], std::vector<pg::Point>(expected.begin(), expected.end())) << "site " << k + 1;
        }
    }
}

TEST(WaveMainRun, AProjectWithoutAKnownUnitRunsInMetresAndSaysSo) {
    RunProject metres;
    metres.sites({{10000, 10000}});
    ASSERT_EQ(metres.run(0).end, RunEnd::Completed) << firstMessage(metres);
    // No units line (a 12- or 13-line project file), or a unit of none of the three.
    for (const char* units : {"", "Fathom"}) {
        RunProject rp(lakeDepth, 1, units);
        rp.sites({{10000, 10000}});
        ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << units << ": " << firstMessage(rp);
        EXPECT_EQ(rp.p->mf.unitfactor, 1.0f);
        EXPECT_EQ(rp.value(1, "RWE"), metres.value(1, "RWE")) << units;
        std::ifstream in(rp.tmp.path() + "/proj/Pointdata1.Metadata_RWE", std::ios::binary);
        std::stringstream got;
        got << in.rdbuf();
        EXPECT_NE(got.str().find("Bathymetry unit:    Meter\r\n"), std::string::npos) << units;
    }
}

TEST(WaveMainRun, MetadataFileByteForByteForOneSite) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    auto& s = rp.p->state;
    s.orbvel_on = 1;
    s.sediment_on = 1;
    s.velocity_method = 0;
    s.sed_density = 2650;
    s.sed_diameter = 0.0002f;
    ASSERT_EQ(rp.run(1).end, RunEnd::Completed) << firstMessage(rp);
    std::ifstream in(rp.tmp.path() + "/proj/Pointdata1.Metadata_RWE", std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    const std::string t = rp.tmp.path();
    const std::string want =
        "Quor RWE Metadata File\r\n\r\n"
        "Created on: 12/7/2026 10:00 AM\r\n\r\n"
        "Input data\r\n\r\n"
        "Bathymetry:    " + t + "/bathy.tif\r\n"
        "Bathymetry unit:    Meter\r\n"
        "Bathymetry Sign:   Negative\r\n"
        "Shoreline data:    " + t + "/shore\r\n"
        "lake.shp\r\n"
        "Wind data:    " + t + "/wind.Wind_RWE\r\n"
        "Point data:    " + t + "/proj/bay1.gpkg (layer Pointdata1)\r\n\r\n"
        "Bottom velocity mode: On\r\n"
        "Sea Temperature (Degree C):  20\r\n"
        "Sea Salinity (g/Kg):  34.84\r\n"
        "Sea Dynamic Viscosity (Pascal second Pa.s):  " + generalNumber(s.sea_visc, 7) + "\r\n"
        "Sea Density (kg/m3):  " + generalNumber(s.sea_dens, 7) + "\r\n"
        "Method used to calculate orbital velocity: Linear Wave Theory\r\n"
        "Sediment motion mode: On\r\n"
        "Sediment diameter (m):  0.0002\r\n"
        "Sediment density (Kg/m3):  2650\r\n\r\n"
        "Quor parameters\r\n\r\n"
        "Quor Mode used:    RWE\r\n"
        "Number of rays used:    32\r\n"
        "Fetch (meter):    10000\r\n"
        "Fetch segment length (meter):      1000\r\n"
        "Fetch segment interrogation distance (meter):      100\r\n\r\n"
        "Wave breaking parameters\r\n\r\n"
        "Alpha (Goda's Formula):    0.17\r\n"
        "Beach slope (Goda's formula):    1.909\r\n"
        "Sensitivity eps:    0.001\r\n";
    EXPECT_EQ(got.str(), want);
    EXPECT_GT(s.sea_dens, 1000);
}

TEST(RweFieldValues, RoundingAndSwitchedOffParts) {
    model::ModelState s;
    s.pt_depth = 3.45f;
    RweSiteResult site{0.125, 0.375, 1, 90, 2, 3, false};
    auto v = rweFieldValues(s, site);
    EXPECT_EQ(pg::toDouble(v[0]), 0.12);
    EXPECT_EQ(pg::toDouble(v[1]), 0.38);
    // A single-precision depth is stored as the decimal it reads as.
    EXPECT_EQ(pg::toDouble(v[6]), 3.45);
    s.pt_depth = -31.84f;
    EXPECT_EQ(pg::toDouble(rweFieldValues(s, site)[6]), -31.84);
    for (int k = 7; k < 11; ++k) EXPECT_EQ(pg::toDouble(v[k]), -999);
    EXPECT_EQ(pg::toText(v[11]), "");
    s.orbvel_on = 1;
    s.velocity_method = 1;
    s.esa_orbvel = 0.0625;
    s.sediment_on = 0;
    v = rweFieldValues(s, site);
    EXPECT_EQ(pg::toDouble(v[7]), 0.062);
    EXPECT_EQ(pg::toDouble(v[10]), -999);
    EXPECT_EQ(pg::toText(v[11]), "");
    s.sediment_on = 1;
    s.sed_motion = 1;
    s.crit_shearstress = 0.1234;
    v = rweFieldValues(s, site);
    EXPECT_EQ(pg::toDouble(v[10]), 0.123);
    EXPECT_EQ(pg::toText(v[11]), "Yes");
}

}  // namespace
}  // namespace quor::wave::testing
