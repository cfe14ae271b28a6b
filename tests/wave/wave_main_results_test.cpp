// What an RWE run leaves in the point dataset when it does not simply run
// through: a re-run that is cancelled, sites that now fail, commits that
// fail on a full disk, result fields the disk has no room for, earlier
// values that cannot be emptied, values that are no numbers; and what it
// writes and reads only once (the metadata file, the raster's statistics).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <sys/resource.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "project/run_hold.h"
#include "model/model_state.h"
#include "refused_writes.h"
#include "run_fixture.h"
#include "wave/rwe_results.h"

namespace quor::wave::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kStatusFields = {"RWE",     "MaxWvH",   "AvgWvH",    "MaxWvDr",   "AvgWvPr",
                                                "MaxWvPr", "HorVel",   "ShearVel",  "ShearStrs", "CShearStrs"};

std::vector<std::string> texts(const RunProject& rp) { return rp.p->messages.texts(); }

bool anyContains(const std::vector<std::string>& texts, const std::string& part) {
    for (const auto& t : texts)
        if (t.find(part) != std::string::npos) return true;
    return false;
}

int sitesWithRwe(const RunProject& rp) {
    int n = 0;
    auto cur = rp.points->search();
    while (auto f = cur.next()) n += pg::isNull(f->value("RWE")) ? 0 : 1;
    return n;
}

TEST(WaveMainResults, ReRunThatStopsEarlyLeavesNoValueOfTheEarlierRun) {
    RunProject rp;
    auto& s = rp.p->state;
    s.orbvel_on = 1;
    s.sediment_on = 1;
    s.sed_density = 2650;
    s.sed_diameter = 0.0002f;
    rp.sites({{10000, 10000}, {3000, 16000}, {15000, 5000}, {6000, 6000}});
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    for (std::int64_t oid = 1; oid <= 4; ++oid) ASSERT_GT(rp.value(oid, "RWE"), 0) << oid;

    // A wind file that cannot be read: the user's Yes must not cost the
    // earlier values when no site can be computed.
    const std::string wind = rp.p->mf.windpath;
    rp.p->mf.windpath = rp.tmp.path() + "/missing.Wind_RWE";
    rp.p->messages.answers = {true};
    EXPECT_EQ(rp.run(0).end, RunEnd::Failed);
    EXPECT_GT(rp.value(4, "RWE"), 0);
    rp.p->mf.windpath = wind;

    // Now site 2 lies on NoData and site 3 on a new island; the user
    // replaces the values and cancels before the fourth site.
    rp.p->mf.bathycov = rp.tmp.path() + "/bathy2.tif";
    gis::testdata::writeBathymetry(rp.p->mf.bathycov, -1000, -1000, 100, 220, 220, [](double x, double y) {
        return std::abs(x - 3000) < 300 && std::abs(y - 16000) < 300 ? std::nan("") : lakeDepth(x, y);
    });
    gis::testdata::writeShoreline(rp.tmp.path() + "/shore", "lake2",
                                  {{Ring{{0, 0}, {20000, 0}, {20000, 20000}, {0, 20000}},
                                    Ring{{12000, 9000}, {13000, 9000}, {13000, 11000}, {12000, 11000}},
                                    Ring{{10000, 13000}, {9000, 12000}, {8000, 13000}, {9000, 14000}},
                                    Ring{{14500, 4500}, {15500, 4500}, {15500, 5500}, {14500, 5500}}}});
    rp.p->mf.shorename = "lake2.shp";
    rp.p->fm.refreshmap = 0;
    rp.p->progress.onYield = [&](int) {
        if (rp.p->progress.rec.label1 == "Processing Point 3 of 4") s.cancel_flag = true;
    };
    rp.p->messages.entries.clear();
    rp.p->messages.answers = {true, true};
    const RunOutcome out = rp.run(0);
    EXPECT_EQ(out.end, RunEnd::Cancelled);
    EXPECT_EQ(out.storedSites, 3);

    EXPECT_GT(rp.value(1, "RWE"), 0);
    for (const auto& f : kStatusFields) {
        EXPECT_EQ(rp.value(2, f), -9999) << f;
        EXPECT_EQ(rp.value(3, f), -7777) << f;
    }
    EXPECT_EQ(rp.value(2, "Depth"), -9999);
    EXPECT_EQ(rp.value(3, "Depth"), -10);  // its own depth, read before the clip failed
    EXPECT_EQ(rp.text(2, "Sed_Motion"), "");
    EXPECT_EQ(rp.text(3, "Sed_Motion"), "");
    for (const auto& f : kRweResultFields) EXPECT_TRUE(pg::isNull(rp.points->feature(4).value(f))) << f;
    EXPECT_EQ(texts(rp).back(),
              "The run was cancelled. 3 of 4 sites have results; the result fields of the other sites are empty.");
}

// A full disk from the third site on: the sites' batch does not reach the
// file, and the run's end tells how many sites the dataset really holds.
TEST(WaveMainResults, FailedCommitsGiveTheExactCountOfStoredSites) {
    RunProject rp;
    rp.p->fm.refreshmap = 0;
    rp.sites({{10000, 10000}, {3000, 16000}, {15000, 5000}, {6000, 6000}, {16000, 16000}});
    const std::string gpkg = rp.p->mf.ptworkspace->path();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldSignal = signal(SIGXFSZ, SIG_IGN);
    bool full = false;
    // The stages yield too: the disk fills up while the third site is computed.
    rp.p->progress.onYield = [&](int) {
        if (full || rp.p->progress.rec.label1 != "Processing Point 3 of 5") return;
        full = true;
        // The log the commits go to cannot grow any more.
        const std::string log = fs::exists(gpkg + "-wal") ? gpkg + "-wal" : gpkg;
        rlimit limit = saved;
        limit.rlim_cur = static_cast<rlim_t>(fs::file_size(log));
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    const RunOutcome out = rp.run(0);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(out.end, RunEnd::Failed);
    const std::string held = std::to_string(sitesWithRwe(rp)) + " of 5 sites hold results for sure";
    EXPECT_TRUE(anyContains(texts(rp), held)) << held << " " << ::testing::PrintToString(texts(rp));
}

// A disk too full for the geodatabase to read its rows once the run has
// put its fields in place: the run says why and how many sites have
// results, and never that it is done.
TEST(WaveMainResults, SitesThatCannotBeReadEndTheRunAsAFailure) {
    RunProject rp;
    rp.p->fm.refreshmap1 = 1;  // a background run that gets through says "Processing Done"
    rp.sites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    struct FillingShell final : model::RunShell {
        std::optional<test::FullDisk> full;
        void setMinimised(bool on) override {
            if (on && !full) full.emplace(16 * 1024);
        }
    } shell;
    rp.ctx->shell = &shell;
    const RunOutcome out = rp.run(0);
    shell.full.reset();
    const auto said = ::testing::PrintToString(texts(rp));
    EXPECT_EQ(out.end, RunEnd::Failed);
    EXPECT_FALSE(anyContains(texts(rp), kProcessingDone)) << said;
    EXPECT_TRUE(anyContains(texts(rp), "disk I/O error")) << said;
    EXPECT_TRUE(anyContains(texts(rp), "0 of 3 sites have stored results")) << said;

    // A site that is gone by the time the run comes to it: not done either.
    RunProject gone;
    gone.p->fm.refreshmap = 0;  // the run yields before every site
    gone.p->fm.refreshmap1 = 1;
    gone.sites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    gone.p->progress.onYield = [&](int yields) {
        if (yields == 1) gone.points->deleteFeature(3);
    };
    EXPECT_EQ(gone.run(0).end, RunEnd::Failed);
    EXPECT_EQ(texts(gone), std::vector<std::string>{"Only 2 of 3 sites of Pointdata1 could be read. " +
                                                    project::storedResultsText(2, 3)});
}

// Another program reading the shapefile while this one still holds it
// finds every site's results, the last one's too.
TEST(WaveMainResults, EverySiteIsOnDiskWhenTheRunEnds) {
    RunProject rp;
    rp.shapefileSites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << ::testing::PrintToString(texts(rp));
    GDALDatasetUniquePtr other(
        GDALDataset::Open((rp.tmp.path() + "/sites/sites.shp").c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_TRUE(other);
    OGRLayer* layer = other->GetLayer(0);
    const int rwe = layer->GetLayerDefn()->GetFieldIndex("RWE");
    ASSERT_GE(rwe, 0);
    int stored = 0;
    for (auto& f : *layer) stored += f->IsFieldSetAndNotNull(rwe) ? 1 : 0;
    EXPECT_EQ(stored, 3);
}

// A wind file that cannot be read stops the run before the dataset is touched.
TEST(WaveMainResults, ARunThatCannotStartLeavesTheDatasetAsItWas) {
    RunProject rp;
    rp.shapefileSites({{10000, 10000}});
    const std::string dbf = rp.tmp.path() + "/sites/sites.dbf";
    const std::string before = test::fileBytes(dbf);
    platform::writeTextLines(rp.p->mf.windpath, {"no wind file", "at all"});
    EXPECT_EQ(rp.run(0).end, RunEnd::Failed);
    EXPECT_EQ(texts(rp).back(), kCouldNotRun);
    EXPECT_EQ(rp.points->findField("RWE"), -1);
    EXPECT_EQ(test::fileBytes(dbf), before);
}

// A disk with room for a few of the result fields but not for all of
// them: the run adds none, says why, and leaves the user's table byte for
// byte as it was.
TEST(WaveMainResults, ADiskTooFullForTheResultFieldsLeavesTheShapefileAsItWas) {
    RunProject rp;
    rp.shapefileSites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    const std::string dbf = rp.tmp.path() + "/sites/sites.dbf";
    const std::string before = test::fileBytes(dbf);
    RunOutcome out;
    {
        test::FullDisk full(before.size() + 400);
        out = rp.run(0);
    }
    EXPECT_EQ(out.end, RunEnd::Failed);
    ASSERT_EQ(rp.p->messages.entries.size(), 1u) << ::testing::PrintToString(texts(rp));
    const auto& said = rp.p->messages.entries.front();
    EXPECT_EQ(said.icon, platform::MessageIcon::Critical);
    EXPECT_NE(said.text.find("the disk is full"), std::string::npos) << said.text;
    EXPECT_NE(said.text.find("Nothing was changed."), std::string::npos) << said.text;
    EXPECT_TRUE(test::fileBytes(dbf) == before) << "the table was changed";
    EXPECT_EQ(rp.points->findField("RWE"), -1);
}

// Another program renames its own copy of the table over the one the run
// writes into: the run stops at that site, writes nothing into either
// file, and says how many sites the table now there holds.
TEST(WaveMainResults, ATableAnotherProgramPutsInPlaceStopsTheRunAsItHoldsIt) {
    RunProject rp;
    rp.p->fm.refreshmap = 0;
    rp.shapefileSites({{10000, 10000}, {3000, 16000}, {15000, 5000}, {6000, 6000}});
    const std::string dbf = rp.tmp.path() + "/sites/sites.dbf";
    std::string theirs;
    rp.p->progress.onYield = [&](int) {
        if (!theirs.empty() || rp.p->progress.rec.label1 != "Processing Point 3 of 4") return;
        fs::copy_file(dbf, dbf + ".sync");
        fs::rename(dbf + ".sync", dbf);
        theirs = test::fileBytes(dbf);
    };
    const RunOutcome out = rp.run(0);
    EXPECT_EQ(out.end, RunEnd::Failed);
    EXPECT_TRUE(test::fileBytes(dbf) == theirs) << "the run wrote into the other program's table";
    ASSERT_FALSE(texts(rp).empty());
    EXPECT_NE(texts(rp).back().find("The run stopped at site 3 of 4. 2 of 4 sites hold results for sure: The table"),
              std::string::npos)
        << texts(rp).back();
    EXPECT_NE(texts(rp).back().find("was replaced or rewritten by another program"), std::string::npos);
}

// A program that opened the sites' table before the run (a GIS with the
// layer open) writes into it while the run stores its sites: its edit went
// into the table the run replaced. It is kept beside the table, and the
// run's end says where, as a failure.
TEST(WaveMainResults, AnEditThroughAHandleOpenedBeforeTheRunIsKeptAndTold) {
    RunProject rp;
    rp.p->fm.refreshmap = 0;
    rp.shapefileSites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    const std::string folder = rp.tmp.path() + "/sites";
    const std::string bytes = test::fileBytes(folder + "/sites.dbf");
    // Their edit: the first site's X becomes 42.
    const std::size_t first = static_cast<unsigned char>(bytes[8]) + 256u * static_cast<unsigned char>(bytes[9]) + 1;
    const std::string edit = std::string(static_cast<unsigned char>(bytes[32 + 16]) - 2, ' ') + "42";
    const int held = ::open((folder + "/sites.dbf").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    rp.p->progress.onYield = [&](int) {
        if (rp.p->progress.rec.label1 != "Processing Point 2 of 3") return;
        ASSERT_EQ(::pwrite(held, edit.data(), edit.size(), static_cast<off_t>(first)), static_cast<ssize_t>(edit.size()));
    };
    const RunOutcome out = rp.run(0);
    ::close(held);
    EXPECT_EQ(out.end, RunEnd::Failed);
    std::vector<std::string> kept;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string()[0] != '.' && test::fileBytes(e.path()).find(edit) != std::string::npos)
            kept.push_back(e.path().string());
    ASSERT_EQ(kept.size(), 1u) << ::testing::PrintToString(texts(rp));
    ASSERT_FALSE(texts(rp).empty());
    EXPECT_NE(texts(rp).back().find(kept[0]), std::string::npos) << texts(rp).back();
}

// Two sites in the shapefile sites/sites.shp with a field of the user's
// (of `width` and `decimals` when given), each site's value set by `set`,
// opened as the run's dataset; its folder.
std::string sitesWithAFieldOfTheirs(RunProject& rp, const char* name, OGRFieldType type,
                                    const std::function<void(OGRFeature&)>& set, int width = 0, int decimals = 0) {
    rp.shapefileSites({{10000, 10000}, {3000, 16000}});
    const std::string folder = rp.tmp.path() + "/sites";
    rp.points.reset();
    {
        GDALDatasetUniquePtr ds(GDALDataset::Open(folder.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        OGRLayer* layer = ds->GetLayer(0);
        OGRFieldDefn field(name, type);
        field.SetWidth(width);
        field.SetPrecision(decimals);
        EXPECT_EQ(layer->CreateField(&field), OGRERR_NONE);
        for (auto& f : *layer) {
            set(*f);
            EXPECT_EQ(layer->SetFeature(f.get()), OGRERR_NONE);
        }
    }
    rp.points = pg::Workspace::open(folder)->openFeatureClass("sites");
    return folder;
}

// A user's date field named as a result: the run refuses before it
// touches the table, naming the field and what it is.
TEST(WaveMainResults, AResultFieldThatCannotHoldNumbersIsRefusedWithTheTableAsItWas) {
    RunProject rp;
    const std::string folder =
        sitesWithAFieldOfTheirs(rp, "Depth", OFTDate, [](OGRFeature& f) { f.SetField("Depth", 2024, 3, 1); });
    const std::string before = test::fileBytes(folder + "/sites.dbf");
    EXPECT_EQ(rp.run(0).end, RunEnd::Refused);
    ASSERT_FALSE(texts(rp).empty());
    EXPECT_EQ(texts(rp).back(),
              "The field \"Depth\" of sites is a date field, not a real-number field, so RWE values cannot be "
              "written into it. Please remove or rename it, or run the model on another point dataset.");
    EXPECT_TRUE(test::fileBytes(folder + "/sites.dbf") == before) << "the table was changed";
}

// A user's field under a result's name that would cut the values, an
// integer field to their whole part, a real-number field to its one
// decimal: refused before the question, even with Yes ready, and every
// byte of the sites stays.
TEST(WaveMainResults, AResultFieldThatWouldCutTheValuesIsRefusedBeforeTheQuestionWithTheSitesAsTheyWere) {
    struct Case {
        OGRFieldType type;
        int width, decimals;
        std::string kind;
    };
    for (const auto& c : {Case{OFTInteger, 9, 0, "an integer field, not a real-number field, so RWE values cannot be "
                                                "written into it."},
                          Case{OFTReal, 10, 1, "a real-number field with 1 decimal, so RWE values, which have 2, "
                                               "cannot be written into it whole."}}) {
        SCOPED_TRACE(c.kind);
        RunProject rp;
        const std::string folder = sitesWithAFieldOfTheirs(
            rp, "MaxWvH", c.type, [](OGRFeature& f) { f.SetField("MaxWvH", 7); }, c.width, c.decimals);
        const auto before = test::folderBytes(folder);
        rp.p->messages.answers = {true};
        EXPECT_EQ(rp.run(0).end, RunEnd::Refused);
        EXPECT_EQ(texts(rp), std::vector<std::string>{"The field \"MaxWvH\" of sites is " + c.kind +
                                                      " Please remove or rename it, or run the model on another "
                                                      "point dataset."});
        rp.points.reset();
        EXPECT_TRUE(test::folderBytes(folder) == before) << "the sites' files were changed";
    }
}

// A re-run with ray lengths on a shapefile whose last shape is cut off:
// the fields it adds and the values it empties are one change of the
// table alone, which is made; the run then stops at the damaged site and
// says so, never that nothing was changed. The shapes stay as they were.
TEST(WaveMainResults, ReRunThatCannotEmptyTheEarlierValuesLeavesTheShapefileAsItWas) {
    RunProject rp;
    rp.shapefileSites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << ::testing::PrintToString(texts(rp));
    const std::string shp = rp.tmp.path() + "/sites/sites.shp";
    fs::resize_file(shp, fs::file_size(shp) - 8);
    const std::string shpBefore = test::fileBytes(shp);
    rp.p->messages.entries.clear();
    rp.p->messages.answers = {true};
    rp.p->mf.fetchlength = 1;
    EXPECT_EQ(rp.run(0).end, RunEnd::Failed);
    const std::string said = texts(rp).back();
    EXPECT_EQ(said.find("Nothing was changed"), std::string::npos) << said;
    EXPECT_NE(said.find("The run stopped at site 3 of 3. 2 of 3 sites have stored results"), std::string::npos)
        << said;
    EXPECT_TRUE(test::fileBytes(shp) == shpBefore) << "the shapes were changed";
    EXPECT_GE(rp.points->findField("Ray1"), 0);
}

// A geodatabase that refuses to empty a row part-way: the ray fields the
// re-run added before are gone again, every earlier value stays, and the
// message says nothing was changed.
TEST(WaveMainResults, NotEmptiedSaysNothingWasChangedOnlyWhenNothingWas) {
    RunProject rp;
    rp.sites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed) << ::testing::PrintToString(texts(rp));
    const double rwe2 = rp.value(2, "RWE");
    GDALDataset* gpkg = rp.points->workspace()->dataset();
    gpkg->ReleaseResultSet(gpkg->ExecuteSQL("CREATE TRIGGER refuse BEFORE UPDATE ON \"Pointdata1\" WHEN NEW.OBJECTID = 2 "
                                            "BEGIN SELECT RAISE(ABORT, 'row 2 refused'); END",
                                            nullptr, nullptr));
    rp.p->messages.entries.clear();
    rp.p->messages.answers = {true};
    rp.p->mf.fetchlength = 1;
    EXPECT_EQ(rp.run(0).end, RunEnd::Failed);
    const std::string said = texts(rp).back();
    EXPECT_NE(said.find("Nothing was changed"), std::string::npos) << said;
    rp.points = rp.p->mf.ptworkspace->openFeatureClass("Pointdata1");
    EXPECT_EQ(rp.points->findField("Ray1"), -1);
    EXPECT_EQ(rp.value(2, "RWE"), rwe2);
    EXPECT_GT(rp.value(1, "RWE"), 0);
}

TEST(WaveMainResults, ResultThatIsNotFiniteIsNeverStored) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    pg::Feature f = rp.points->feature(1);
    model::ModelState s;
    s.orbvel_on = 1;
    s.velocity_method = 1;
    EXPECT_TRUE(write_rwe_results(*rp.points, f, s, RweSiteResult{12.5, 1, 1, 90, 2, 3, false}));
    EXPECT_EQ(rp.value(1, "RWE"), 12.5);

    for (double bad : {INFINITY, -INFINITY, NAN}) {
        EXPECT_FALSE(write_rwe_results(*rp.points, f, s, RweSiteResult{bad, 1, 1, 90, 2, 3, false})) << bad;
        for (const auto& name : kRweResultFields)
            EXPECT_TRUE(pg::isNull(rp.points->feature(1).value(name))) << bad << " " << name;
    }
    s.esa_orbvel = NAN;  // a bottom value alone
    EXPECT_FALSE(write_rwe_results(*rp.points, f, s, RweSiteResult{12.5, 1, 1, 90, 2, 3, false}));
    EXPECT_TRUE(pg::isNull(rp.points->feature(1).value("RWE")));

    // The end tells it once, with the sites counted.
    RunOutcome out;
    out.end = RunEnd::Completed;
    out.sites = 10;
    out.storedSites = 8;
    out.notFinite = 2;
    const auto report = runEndReport(out, "Pointdata1");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0],
              "The results of 2 sites were not finite numbers and were not stored; those sites' result fields are "
              "empty. Please check the wind file and the model settings.");
}

// The file is written once, when the sites are done, with the run's
// end time: no site's commit writes it.
TEST(WaveMainResults, MetadataFileIsWrittenOnceAtTheRunsEnd) {
    RunProject rp;
    rp.p->fm.refreshmap = 0;
    rp.sites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    const std::string meta = rp.tmp.path() + "/proj/Pointdata1.Metadata_RWE";
    int calls = 0;
    rp.ctx->clock = [&] { return std::string(++calls < 2 ? "12/7/2026 10:00 AM" : "12/7/2026 10:01 AM"); };
    bool writtenDuringSites = false;
    rp.p->progress.onYield = [&](int) {
        if (rp.p->progress.rec.label1 == "Processing Point 2 of 3") writtenDuringSites = fs::exists(meta);
    };
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    EXPECT_FALSE(writtenDuringSites);
    EXPECT_EQ(calls, 1);
    std::ifstream in(meta, std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_NE(got.str().find("Created on: 12/7/2026 10:00 AM\r\n"), std::string::npos) << got.str();
}

// A disk that fills: the metadata file there is never taken for this
// run's when this run could not write it.
TEST(WaveMainResults, MetadataFileThatCannotBeWrittenLeavesNothingThatPassesForThisRuns) {
    RunProject rp;
    rp.p->fm.refreshmap = 0;
    rp.sites({{10000, 10000}, {3000, 16000}, {15000, 5000}});
    const std::string folder = rp.tmp.path() + "/meta";
    fs::create_directories(folder);
    rp.ctx->shpdir = folder;
    const std::string meta = folder + "/Pointdata1.Metadata_RWE";
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    const std::string previous = test::fileBytes(meta);
    ASSERT_FALSE(previous.empty());
    const auto warning = [&] {
        for (const auto& t : texts(rp))
            if (t.find("The metadata file " + meta + " could not be written") != std::string::npos) return t;
        return std::string();
    };

    // No room from the start: the previous run's file stays, told as such.
    {
        test::RefusedWrites disk(folder, 0);
        rp.p->messages.answers = {true};
        ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    }
    EXPECT_EQ(test::fileBytes(meta), previous);
    EXPECT_NE(warning().find("is the previous run's"), std::string::npos) << warning();

    // No file before the run and no room: none is left, and none is told of.
    rp.p->messages.entries.clear();
    fs::remove(meta);
    {
        test::RefusedWrites disk(folder, 0);
        rp.p->messages.answers = {true};
        ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    }
    EXPECT_FALSE(fs::exists(meta));
    EXPECT_NE(warning().find("There is no metadata file of this name."), std::string::npos) << warning();
}

TEST(WaveMainResults, RepeatedRunsReadTheRasterOnceUntilItsFileChanges) {
    RunProject rp;
    rp.sites({{10000, 10000}});
    auto& s = rp.p->state;
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    const std::weak_ptr<pg::Raster> first = s.bathy_raster;
    EXPECT_EQ(rp.p->mf.depthno, 0);  // land and water
    rp.p->messages.answers = {true};
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    EXPECT_EQ(s.bathy_raster, first.lock());

    // The file replaced by a survey of water only: a fresh raster, its own
    // statistics, and the old one let go.
    gis::testdata::writeBathymetry(rp.p->mf.bathycov, -1000, -1000, 100, 220, 220,
                                   [](double, double) { return -10.0; });
    rp.p->messages.answers = {true};
    ASSERT_EQ(rp.run(0).end, RunEnd::Completed);
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(rp.p->mf.depthno, 1);
}

}  // namespace
}  // namespace quor::wave::testing
