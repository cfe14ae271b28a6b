// quor-run as its users start it: a process with its options, its exit
// status, what it says on standard error and standard output, and the
// files it leaves.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "cli/output_move.h"
#include "cli/quor_run.h"
#include "cli/run_folders.h"
#include "cli/sites_dataset.h"
#include "platform/file_lock.h"
#include "quor_run_support.h"
#include "refused_writes.h"
#include "model/model_state.h"
#include "model/setting_checks.h"
#include "platform/run_threads.h"
#include "platform/gis/gis.h"
#include "project/project_file.h"
#include "test_support.h"
#include "rwe_fields.h"
#include "wave/rwe_results.h"

using namespace quor;

namespace {

namespace fs = std::filesystem;

using test::rweFields;
const std::vector<std::string> kReiFields = {"SITE_ID", "Index"};

struct QuorRun : ::testing::Test {
    test::TempDir dir;
    const std::string bay = test::portPhillipFolder();

    test::Ran run(const std::vector<std::string>& args, const std::function<void(QProcess&)>& meanwhile = {}) {
        return test::runProgram(QUOR_RUN_PROGRAM, args, dir.file("home"), {}, meanwhile);
    }
    // A run of the bay's inputs with the settings' defaults on two threads.
    std::vector<std::string> inputs(const std::string& model, const std::string& sites) const {
        return {model,        "--defaults",
                "--threads",  "2",
                "--shoreline", bay + "/water_portphillip.shp",
                "--bathymetry", bay + "/bathy_portphillip_m.tif",
                "--wind",     bay + (model == "rwe" ? "/sample_56.Wind_RWE" : "/sample.Wind_REI"),
                "--sites",    sites};
    }
    static std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    std::string folder(const std::string& name) const {
        fs::create_directories(dir.file(name));
        return dir.file(name);
    }
    // What the test's folders hold, the program's cache in the home aside.
    std::map<std::string, std::string> userFiles() const {
        auto files = test::folderBytes(dir.path());
        std::erase_if(files, [](const auto& f) { return f.first.rfind("home/.cache/", 0) == 0; });
        return files;
    }
};

}  // namespace

TEST_F(QuorRun, OutputToGeoPackageCsvAndFlatGeobufHoldsTheInPlaceValuesAndLeavesTheSitesAlone) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    for (const std::string model : {"rwe", "rei"}) {
        SCOPED_TRACE(model);
        const auto fields = model == "rwe" ? rweFields() : kReiFields;
        const std::string inPlace = test::copyBaySites(folder("in-place-" + model), "sites", 120);
        const test::Ran reference = run(inputs(model, inPlace));
        ASSERT_EQ(reference.exit, 0) << reference.err;
        const auto expected = test::layerRows(inPlace, "sites", fields);

        const std::string sitesFolder = folder("sites-" + model);
        const std::string sites = test::copyBaySites(sitesFolder, "sites", 120);
        const auto before = test::folderBytes(sitesFolder);
        for (const std::string ext : {".gpkg", ".csv", ".fgb"}) {
            const std::string out = dir.file("out-" + model + ext);
            const test::Ran ran = run(plus(inputs(model, sites), {"--output", out}));
            ASSERT_EQ(ran.exit, 0) << ext << ran.err;
            EXPECT_EQ(test::layerRows(out, ext == ".gpkg" ? "sites" : "", fields), expected) << ext;
        }
        EXPECT_EQ(test::folderBytes(sitesFolder), before) << "the sites' files changed";
    }
}

TEST_F(QuorRun, TheFourPartsOfTheSitesTogetherAreTheWhole) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    // Not a multiple of four: the parts differ by a site.
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 254);
    const test::Ran whole = run(plus(inputs("rwe", sites), {"--output", dir.file("whole.gpkg")}));
    ASSERT_EQ(whole.exit, 0) << whole.err;
    std::vector<std::string> joined;
    for (int k = 1; k <= 4; ++k) {
        const std::string part = dir.file("part" + std::to_string(k) + ".gpkg");
        const test::Ran ran = run(plus(inputs("rwe", sites), {"--output", part, "--part", std::to_string(k) + "/4"}));
        ASSERT_EQ(ran.exit, 0) << k << ran.err;
        const auto rows = test::layerRows(part, "sites", rweFields());
        EXPECT_GE(rows.size(), 63u);
        joined.insert(joined.end(), rows.begin(), rows.end());
    }
    EXPECT_EQ(joined, test::layerRows(dir.file("whole.gpkg"), "sites", rweFields()));
}

// Every refusal before the run: exit 2, a message naming the option or the
// file, nothing written or changed.
TEST_F(QuorRun, BadInputIsRefusedWithExitTwoAMessageThatNamesItAndNothingWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    namespace pg = platform::gis;
    const std::string work = folder("work");
    const std::string sites = test::copyBaySites(work, "sites", 20);
    const std::string withResults = test::copyBaySites(work, "done", 20);
    ASSERT_EQ(run(inputs("rwe", withResults)).exit, 0);
    // The user's own fields under results' names, in any letter case.
    const std::string userDepth = test::copyBaySites(work, "depth", 20);
    const std::string userIndex = test::copyBaySites(work, "index", 20);
    // One the results do not fit: every value would be cut to its whole part.
    const std::string userWholes = test::copyBaySites(work, "wholes", 20);
    // A table cut short, and one without a site.
    const std::string cut = test::copyBaySites(work, "cut", 20);
    fs::resize_file(work + "/cut.shp", 500);
    const std::string cutTable = test::copyBaySites(work, "cuttable", 20);
    fs::resize_file(work + "/cuttable.dbf", 50);
    const std::string empty = test::copyBaySites(work, "empty", 0);
    // Tables whose rows end early, of a type the fields' checks read: one
    // holding an RWE run's results, one a text field named as REI's.
    const std::string cutResults = test::copyBaySites(work, "cutresults", 20);
    ASSERT_EQ(run(inputs("rwe", cutResults)).exit, 0);
    const std::string cutTextIndex = test::copyBaySites(work, "cuttextindex", 20);
    {
        auto ws = pg::Workspace::open(work);
        for (const auto& [name, fields] : std::vector<std::pair<std::string, std::vector<std::string>>>{
                 {"depth", {"depth", "MaxWvH"}}, {"index", {"Index"}}}) {
            auto fc = ws->openFeatureClass(name);
            for (const auto& field : fields) fc->addField(pg::FieldDef(field, pg::FieldType::Double, {}, 30));
            auto cursor = fc->search();
            while (auto f = cursor.next()) {
                for (const auto& field : fields) f->setValue(field, pg::FieldValue{1.5});
                fc->store(*f);
            }
        }
        auto wholes = ws->openFeatureClass("wholes");
        wholes->addField(pg::FieldDef("MaxWvH", pg::FieldType::Integer));
        auto cursor = wholes->search();
        while (auto f = cursor.next()) {
            f->setValue("MaxWvH", pg::FieldValue{std::int64_t{1}});
            wholes->store(*f);
        }
        ws->openFeatureClass("cuttextindex")->addField(pg::FieldDef("Index", pg::FieldType::String, {}, 10));
    }
    for (const std::string name : {"cutresults", "cuttextindex"})
        fs::resize_file(work + "/" + name + ".dbf", fs::file_size(work + "/" + name + ".dbf") - 20);
    // Shapefiles whose files hold different rows: an index of the shapes
    // whose header gives a length 10 words short (GDAL counts its shapes by
    // it), one an entry short of the table's rows, and shapes one more than
    // both. Each file's header gives its length in 16-bit words.
    const auto rewrite = [](const std::string& file, const std::function<void(std::string&)>& change,
                            std::uint32_t wordsShort = 0) {
        std::string bytes = test::fileBytes(file);
        change(bytes);
        const std::uint32_t words = static_cast<std::uint32_t>(bytes.size() / 2) - wordsShort;
        for (int i = 0; i < 4; ++i) bytes[24 + i] = static_cast<char>(words >> (24 - 8 * i));
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    };
    const std::string shortIndex = test::copyBaySites(work, "shortindex", 20);
    rewrite(work + "/shortindex.shx", [](std::string&) {}, 10);
    const std::string fewerShapes = test::copyBaySites(work, "fewershapes", 20);
    rewrite(work + "/fewershapes.shx", [](std::string& index) { index.resize(index.size() - 8); });
    const std::string moreShapes = test::copyBaySites(work, "moreshapes", 20);
    rewrite(work + "/moreshapes.shp", [](std::string& shapes) { shapes += shapes.substr(100, 28); });
    // A folder where the run's metadata file goes.
    const std::string metadataFolder = test::copyBaySites(work, "metadatafolder", 20);
    fs::create_directories(work + "/metadatafolder.shp.Metadata_RWE");
    // A GeoPackage with a damaged page in a table no run reads.
    const std::string damagedPage = work + "/damagedpage.gpkg";
    test::copyBaySitesToGeoPackage(damagedPage, "sites", 20);
    {
        std::int64_t page = 0, pageSize = 0;
        {
            std::unique_ptr<GDALDataset> ds(GDALDataset::Open(damagedPage.c_str(), GDAL_OF_VECTOR));
            ASSERT_TRUE(ds);
            for (const auto& [sql, value] : std::vector<std::pair<const char*, std::int64_t*>>{
                     {"SELECT rootpage FROM sqlite_master WHERE name = 'gpkg_tile_matrix'", &page},
                     {"PRAGMA page_size", &pageSize}}) {
                OGRLayer* result = ds->ExecuteSQL(sql, nullptr, "SQLITE");
                ASSERT_TRUE(result) << sql;
                std::unique_ptr<OGRFeature> row(result->GetNextFeature());
                *value = row ? row->GetFieldAsInteger64(0) : 0;
                ds->ReleaseResultSet(result);
            }
        }
        ASSERT_GT(page, 1);
        std::fstream file(damagedPage, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp((page - 1) * pageSize);
        file << std::string(static_cast<std::size_t>(pageSize), 'Z');
    }
    {
        std::ofstream(work + "/bathy.tif") << "not a raster";
        // A wind file cut short: it reads, but the run could not use it.
        const std::string wind = test::fileBytes(data + "/sample_56.Wind_RWE");
        std::ofstream(work + "/cut.Wind_RWE", std::ios::binary) << wind.substr(0, wind.size() / 3);
        fs::create_directories(work + "/folder.Wind_RWE");
        auto ws = pg::Workspace::open(work);
        auto lines = ws->createFeatureClass("lines", pg::GeometryType::Polyline, {}, pg::SpatialReference::fromEpsg(32755));
        pg::Feature l = lines->createFeature();
        l.setShape(pg::Geometry::line({300000, 5800000}, {301000, 5801000}));
        lines->store(l);
        auto polygons = ws->createFeatureClass("polygons", pg::GeometryType::Polygon, {}, pg::SpatialReference::fromEpsg(32755));
        pg::Feature p = polygons->createFeature();
        p.setShape(pg::Geometry::polygon({{300000, 5800000}, {301000, 5800000}, {301000, 5801000}}));
        polygons->store(p);
        auto geographic = ws->createFeatureClass("geographic", pg::GeometryType::Point, {}, pg::SpatialReference::fromEpsg(4326));
        pg::Feature g = geographic->createFeature();
        g.setShape(pg::Geometry::point(144.9, -38.1));
        geographic->store(g);
    }
    // Spatial references GDAL cannot read, and a local grid in feet.
    const std::string unreadSites = test::copyBaySites(work, "unread", 20);
    std::ofstream(work + "/unread.prj") << "not a reference";
    for (const char* part : {".shp", ".shx", ".dbf"})
        fs::copy_file(data + "/water_portphillip" + part, work + "/unreadwater" + part);
    std::ofstream(work + "/unreadwater.prj") << "not a reference";
    std::ofstream(work + "/unreadbathy.asc") << "ncols 2\nnrows 2\nxllcorner 300000\nyllcorner 5800000\ncellsize 20\n"
                                                "-10 -10\n-10 -10\n";
    std::ofstream(work + "/unreadbathy.prj") << "not a reference";
    {
        std::unique_ptr<GDALDataset> ds(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            (work + "/feet.tif").c_str(), 4, 4, 1, GDT_Float32, nullptr));
        double transform[6] = {300000, 20, 0, 5800000, 0, -20};
        ds->SetGeoTransform(transform);
        ds->SetProjection("LOCAL_CS[\"Bay grid\",UNIT[\"foot\",0.3048],AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH]]");
        ds->GetRasterBand(1)->Fill(-10);
    }
    std::ofstream(dir.file("taken.gpkg")) << "an earlier output";
    const auto before = userFiles();

    struct Case {
        std::vector<std::string> args;
        std::string named;  // what the message must name
    };
    auto with = [&](const std::string& model, const std::string& option, const std::string& value) {
        auto args = inputs(model, sites);
        const auto at = std::find(args.begin(), args.end(), option);
        if (at != args.end()) *(at + 1) = value;
        return args;
    };
    const std::vector<Case> cases = {
        {with("rwe", "--shoreline", work + "/missing.shp"), "--shoreline " + work + "/missing.shp"},
        {with("rwe", "--wind", work + "/folder.Wind_RWE"), "--wind " + work + "/folder.Wind_RWE"},
        {with("rwe", "--bathymetry", work + "/bathy.tif"), "--bathymetry " + work + "/bathy.tif"},
        {with("rwe", "--shoreline", work + "/lines.shp"), "--shoreline " + work + "/lines.shp"},
        {with("rei", "--sites", work + "/polygons.shp"), "--sites " + work + "/polygons.shp"},
        {with("rei", "--sites", work + "/geographic.shp"), "--sites " + work + "/geographic.shp"},
        {with("rwe", "--sites", unreadSites), "cannot be read (" + work + "/unread.prj)"},
        {with("rei", "--shoreline", work + "/unreadwater.shp"), "cannot be read (" + work + "/unreadwater.prj)"},
        {with("rwe", "--bathymetry", work + "/unreadbathy.asc"), "cannot be read (" + work + "/unreadbathy.prj)"},
        {with("rei", "--bathymetry", work + "/feet.tif"), "is not in metres (Bay grid): its unit is the foot"},
        {with("rwe", "--wind", data + "/sample.Wind_REI"), "--wind " + data + "/sample.Wind_REI"},
        {with("rei", "--wind", data + "/sample_56.Wind_RWE"), "--wind " + data + "/sample_56.Wind_RWE"},
        {with("rwe", "--wind", work + "/cut.Wind_RWE"), "--wind " + work + "/cut.Wind_RWE: Wind data file is not in right format"},
        {plus(inputs("rwe", sites), {"--fetch", "50"}), "--fetch 50: Please select fetch between range of 100 mts and 100000 mts"},
        {plus(inputs("rwe", sites), {"--bottom-velocity", "--sediment", "--sediment-density", "900"}),
         "--sediment-density 900: The sediment density must be greater than the density of the sea water"},
        {plus(inputs("rei", sites), {"--frobnicate"}), "--frobnicate"},
        {plus(inputs("rwe", sites), {"--output", dir.file("p.gpkg"), "--part", "5/4"}), "--part 5/4"},
        {plus(inputs("rwe", sites), {"--part", "1/4"}), "--part needs --output"},
        {plus(inputs("rwe", sites), {"--output", dir.file("taken.gpkg")}), "--overwrite"},
        {inputs("rwe", withResults), "--replace"},
        {with("rwe", "--sites", userDepth), "fields MaxWvH, depth that this run writes"},
        {plus(with("rei", "--sites", userIndex), {"--fast"}), "field Index that this run writes"},
        {plus(with("rwe", "--sites", userWholes), {"--replace"}), "The field \"MaxWvH\" of wholes is an integer field"},
        {plus(with("rwe", "--sites", userWholes), {"--replace", "--output", dir.file("wholes.gpkg")}),
         "The field \"MaxWvH\" of wholes is an integer field"},
        {with("rwe", "--sites", cut), cut},
        {with("rwe", "--sites", cutTable), work + "/cuttable.dbf"},
        {plus(with("rwe", "--sites", cutResults), {"--replace"}), work + "/cutresults.dbf"},
        {with("rei", "--sites", cutTextIndex), work + "/cuttextindex.dbf"},
        {plus(with("rwe", "--sites", shortIndex), {"--replace"}), work + "/shortindex.shx"},
        {with("rwe", "--sites", fewerShapes), work + "/fewershapes.shx lists 19 shapes"},
        {with("rei", "--sites", moreShapes), work + "/moreshapes.shp holds 1 more shape"},
        {with("rwe", "--sites", metadataFolder), work + "/metadatafolder.shp.Metadata_RWE is a folder"},
        {plus(with("rwe", "--sites", damagedPage), {"--layer", "sites"}), damagedPage + " is damaged"},
        {with("rei", "--sites", empty), empty},
    };
    for (const auto& c : cases) {
        const test::Ran ran = run(c.args);
        EXPECT_EQ(ran.exit, 2) << c.named << "\n" << ran.err;
        EXPECT_NE(ran.err.find(c.named), std::string::npos) << ran.err;
    }
    EXPECT_EQ(userFiles(), before) << "a refused run wrote or changed a file";
}

// A value an option does not take is answered with the values it does:
// the range its check uses, whatever the text (no number, a comma
// decimal, beyond a double), and the thread count as the setting's.
TEST_F(QuorRun, AValueAnOptionDoesNotTakeIsAnsweredWithTheValuesItTakes) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 3);
    const auto before = userFiles();
    struct Case {
        std::vector<std::string> option;
        std::string answer;
    };
    std::vector<Case> cases = {{{"--rays", "33"}, "--rays 33: rays per site are 16, 32, 40, 48 or 56."},
                               {{"--threads", "-1"}, "--threads -1: " + platform::threadsRefusal()}};
    for (const char* fetch : {"nan", "inf", "1e309", "2,5"})
        cases.push_back({{"--fetch", fetch}, "--fetch " + std::string(fetch) + ": " + model::kMsgFetchRange});
    for (const auto& c : cases) {
        const test::Ran ran = run(plus(inputs("rwe", sites), c.option));
        EXPECT_EQ(ran.exit, 2) << ran.err;
        EXPECT_NE(ran.err.find(c.answer), std::string::npos) << ran.err;
    }
    EXPECT_EQ(userFiles(), before);
    const test::Ran many = run(plus(inputs("rwe", sites), {"--threads", "99999"}));
    EXPECT_EQ(many.exit, 0) << many.err;
    const int cores = platform::usableCores();
    EXPECT_NE(many.err.find("--threads 99999: this machine gives the run " + std::to_string(cores)), std::string::npos)
        << many.err;
}

namespace {

// Sends `sig` at a random moment once the run has begun to store its sites.
std::function<void(QProcess&)> interruptAtRandom(int sig, int upToMs, int& waitedMs) {
    return [sig, upToMs, &waitedMs](QProcess& p) {
        // The first ticks of the progress: sites are being stored.
        p.setReadChannel(QProcess::StandardError);
        while (p.peek(1 << 20).toStdString().find("0.") == std::string::npos && p.waitForReadyRead(60000)) {
        }
        std::mt19937 random(std::random_device{}());
        waitedMs = std::uniform_int_distribution<int>(0, upToMs)(random);
        std::this_thread::sleep_for(std::chrono::milliseconds(waitedMs));
        ::kill(static_cast<pid_t>(p.processId()), sig);
    };
}

QJsonObject jsonOf(const std::string& out) { return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object(); }

}  // namespace

// Sites before the stop stored whole and counted, none after; a run stopped
// at any moment.
TEST_F(QuorRun, CtrlCOrSigtermStopsARunAtItsNextSiteWithEveryStoredSiteWholeAndCounted) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string big = test::copyBaySites(folder("big"), "big", -1, 10);
    ASSERT_EQ(test::layerRows(big, "big", {}).size(), 10150u);
    const auto results = rweFields();

    int waited = 0;
    const test::Ran rwe = run(plus(inputs("rwe", big), {"--json"}), interruptAtRandom(SIGINT, 2000, waited));
    SCOPED_TRACE("rwe, Ctrl-C after " + std::to_string(waited) + " ms");
    ASSERT_EQ(rwe.exit, 1) << rwe.err;
    const QJsonObject said = jsonOf(rwe.out);
    EXPECT_EQ(said["end"].toString(), "stopped");
    std::int64_t stored = 0, coded = 0;
    bool ended = false;
    for (const auto& row : test::layerRows(big, "big", results)) {
        const bool empty = row.find("\tRWE=\t") != std::string::npos;
        ended = ended || empty;
        if (ended) {
            EXPECT_EQ(row.find("MaxWvH=\t"), row.find("MaxWvH=")) << "a site after the stop holds values: " << row;
            continue;
        }
        ++stored;
        for (const auto& field : results) {
            if (field == "Sed_Motion") continue;  // empty with the bottom velocity off
            EXPECT_EQ(row.find("\t" + field + "=\t"), std::string::npos) << "a stored site lacks " << field << ": " << row;
        }
        if (row.find("\tRWE=-") != std::string::npos) ++coded;
    }
    EXPECT_LT(stored, 10150);
    EXPECT_EQ(said["computed"].toVariant().toLongLong() + coded, stored) << rwe.out;
    EXPECT_EQ(said["notComputed"].toObject()["not reached"].toVariant().toLongLong(), 10150 - stored) << rwe.out;

    const test::Ran rei = run(plus(inputs("rei", big), {"--json", "--fast"}), interruptAtRandom(SIGTERM, 1000, waited));
    SCOPED_TRACE("rei, SIGTERM after " + std::to_string(waited) + " ms");
    ASSERT_EQ(rei.exit, 1) << rei.err;
    std::int64_t indexed = 0;
    for (const auto& row : test::layerRows(big, "big", kReiFields))
        if (row.find("Index=\t") == std::string::npos) ++indexed;
    EXPECT_EQ(jsonOf(rei.out)["computed"].toVariant().toLongLong(), indexed) << rei.out;
    EXPECT_LT(indexed, 10150);
}

// Over ssh there is no display, and nothing of the window's may be needed.
TEST_F(QuorRun, RunsWithoutADisplayAndLinksNoWidgetOrMapLibrary) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 10);
    QProcessEnvironment bare;
    bare.insert("HOME", QString::fromStdString(dir.file("home")));
    bare.insert("PATH", "/usr/bin:/bin");
    const test::Ran ran = test::runProgram(QUOR_RUN_PROGRAM, plus(inputs("rei", sites), {"--fast"}), "", bare);
    EXPECT_EQ(ran.exit, 0) << ran.err;
    EXPECT_EQ(ran.err.find("display"), std::string::npos) << ran.err;

    const test::Ran ldd = test::runProgram("/usr/bin/ldd", {QUOR_RUN_PROGRAM}, dir.file("home"));
    ASSERT_EQ(ldd.exit, 0) << ldd.err;
    for (const char* library : {"libQt5Widgets", "libQt5Gui", "libqgis"})
        EXPECT_EQ(ldd.out.find(library), std::string::npos) << library << " is linked:\n" << ldd.out;
}

namespace {

// The metadata line that starts with `head`, as the run wrote it.
std::string metadataLine(const std::string& sites, const std::string& head) {
    std::ifstream in(sites + ".Metadata_RWE");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(head, 0) == 0) return line.substr(0, line.find_last_not_of("\r") + 1);
    return {};
}

}  // namespace

TEST_F(QuorRun, SettingsComeFromTheOptionsThenTheSettingsFileThenTheirDefaults) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 10);
    const std::string named = dir.file("scenario.ini");
    std::ofstream(named) << "[Settings]\nFetch=5000\n[Parameter]\nFetch_first=800\n";
    fs::create_directories(dir.file("home/.config/Quor"));
    const std::string stored = dir.file("home/.config/Quor/Quor3.ini");
    std::ofstream(stored) << "[Settings]\nFetch=7000\n";
    const std::string namedBefore = test::fileBytes(named), storedBefore = test::fileBytes(stored);
    auto without = [](std::vector<std::string> args, const std::string& option) {
        args.erase(std::find(args.begin(), args.end(), option));
        return args;
    };
    struct Case {
        std::vector<std::string> settings;
        std::string fetch, segment;
    };
    for (const Case& c : {Case{{"--settings", named}, "5000", "800"},
                          Case{{"--settings", named, "--fetch", "6000"}, "6000", "800"},
                          Case{{"--defaults"}, "10000", "1000"},
                          Case{{}, "7000", "1000"}}) {
        SCOPED_TRACE(::testing::PrintToString(c.settings));
        const test::Ran ran = run(plus(plus(without(inputs("rwe", sites), "--defaults"), c.settings), {"--replace"}));
        ASSERT_EQ(ran.exit, 0) << ran.err;
        EXPECT_EQ(metadataLine(sites, "Fetch (meter):"), "Fetch (meter):    " + c.fetch);
        EXPECT_EQ(metadataLine(sites, "Fetch segment length (meter):"), "Fetch segment length (meter):      " + c.segment);
    }
    // The interrogation distance the bay's 20 m cells recommend is 19 m.
    auto reiIndex = [&](const std::vector<std::string>& distance) {
        const std::string reiSites = test::copyBaySites(folder("rei"), "rei" + std::to_string(distance.size()), 10);
        EXPECT_EQ(run(plus(inputs("rei", reiSites), distance)).exit, 0);
        return test::layerRows(reiSites, "", kReiFields);
    };
    const auto recommended = reiIndex({"--recommended-distance"});
    EXPECT_EQ(recommended, reiIndex({"--distance", "19"}));
    EXPECT_NE(recommended, reiIndex({}));
    EXPECT_EQ(test::fileBytes(named), namedBefore) << "a run wrote into its settings";
    EXPECT_EQ(test::fileBytes(stored), storedBefore) << "a run wrote into its settings";
}

TEST_F(QuorRun, TellsItsProgressAndItsEndOnStandardErrorOrAsOneJsonObject) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 40);
    const test::Ran piped = run(inputs("rwe", sites));
    ASSERT_EQ(piped.exit, 0) << piped.err;
    EXPECT_NE(piped.err.find("0...10...20...30...40...50...60...70...80...90...100 - done."), std::string::npos) << piped.err;
    EXPECT_NE(piped.err.find("quor-run: rwe completed: 40 of 40 sites computed"), std::string::npos) << piped.err;
    EXPECT_TRUE(piped.out.empty()) << piped.out;

    const test::Ran quiet = run(plus(inputs("rei", sites), {"--quiet", "--json"}));
    ASSERT_EQ(quiet.exit, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("0..."), std::string::npos) << quiet.err;
    const QJsonObject said = jsonOf(quiet.out);
    EXPECT_EQ(said["end"].toString(), "completed") << quiet.out;
    EXPECT_EQ(said["sites"].toInt(), 40);
    std::int64_t indexed = 0;
    for (const auto& row : test::layerRows(sites, "sites", kReiFields))
        if (row.find("Index=\t") == std::string::npos) ++indexed;
    EXPECT_EQ(said["computed"].toVariant().toLongLong(), indexed);

    // On a terminal: the bar, with the sites a second and the time left.
    std::string command = QUOR_RUN_PROGRAM;
    for (const auto& a : plus(inputs("rwe", sites), {"--replace"})) command += " '" + a + "'";
    const test::Ran onTerminal = test::runProgram("/usr/bin/script", {"-qec", command, "/dev/null"}, dir.file("home"));
    ASSERT_EQ(onTerminal.exit, 0) << onTerminal.out;
    EXPECT_NE(onTerminal.out.find("40/40 sites"), std::string::npos) << onTerminal.out;
    EXPECT_NE(onTerminal.out.find("sites/s"), std::string::npos) << onTerminal.out;
    EXPECT_NE(onTerminal.out.find("left"), std::string::npos) << onTerminal.out;
}

TEST_F(QuorRun, AProjectGivesTheInputsItsFileNames) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    for (const std::string model : {"rwe", "rei"}) {
        SCOPED_TRACE(model);
        const bool rei = model == "rei";
        const std::string projectFolder = folder("project-" + model);
        test::copyBaySitesToGeoPackage(projectFolder + "/bay.gpkg", "Pointdata1", 30);
        project::ProjectFileContent content;
        content.bathycov = data + "/bathy_portphillip_m.tif";
        content.bathyname = "bathy_portphillip_m.tif";
        content.shorecov = data;
        content.shorename = "water_portphillip.shp";
        content.wind_path = data + (rei ? "/sample.Wind_REI" : "/sample_56.Wind_RWE");
        content.wind_name = fs::path(content.wind_path).filename().string();
        content.bathyunits = "Meter";
        content.geodatabase = "bay.gpkg";
        const uint8_t mode = rei ? model::REI_MODE : model::RWE_MODE;
        const std::string file = project::projectFilePath(projectFolder, "bay", mode);
        project::writeProjectFile(file, project::projectFileLines(project::projectTitle(mode), "today", content));

        const std::string direct = folder("direct-" + model) + "/sites.gpkg";
        test::copyBaySitesToGeoPackage(direct, "Pointdata1", 30);
        const test::Ran byOptions = run(plus(inputs(model, direct), {"--layer", "Pointdata1"}));
        ASSERT_EQ(byOptions.exit, 0) << byOptions.err;
        const test::Ran byProject =
            run({model, "--defaults", "--threads", "2", "--project", file, "--layer", "Pointdata1"});
        ASSERT_EQ(byProject.exit, 0) << byProject.err;
        const auto fields = rei ? kReiFields : rweFields();
        EXPECT_EQ(test::layerRows(projectFolder + "/bay.gpkg", "Pointdata1", fields),
                  test::layerRows(direct, "Pointdata1", fields));
    }
}

// A run with the faster algorithm clips nothing: the shoreline it is
// given is never read, so one GDAL would refuse (no .prj) costs nothing.
TEST_F(QuorRun, AFastRunNeverReadsTheShorelineItIsGiven) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string shore = folder("shore");
    for (const char* ext : {".shp", ".shx", ".dbf"})
        fs::copy_file(data + "/water_portphillip" + ext, shore + "/water" + ext);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 20);
    auto fast = [&](const std::string& out, const std::vector<std::string>& shoreline) {
        return run(plus({"rwe", "--defaults", "--fast", "--bathymetry", data + "/bathy_portphillip_m.tif", "--wind",
                         data + "/sample_56.Wind_RWE", "--sites", sites, "--output", dir.file(out)},
                        shoreline));
    };
    const test::Ran without = fast("without.gpkg", {});
    ASSERT_EQ(without.exit, 0) << without.err;
    const test::Ran with = fast("with.gpkg", {"--shoreline", shore + "/water.shp"});
    ASSERT_EQ(with.exit, 0) << with.err;
    EXPECT_EQ(test::layerRows(dir.file("with.gpkg"), "sites", rweFields()),
              test::layerRows(dir.file("without.gpkg"), "sites", rweFields()));
}

// The program's own GeoPackage (a project's, without a spatial index)
// lacks tables others have: a run that succeeds says nothing of them.
TEST_F(QuorRun, AnOutputOfAProjectGeoPackagesLayerPrintsNoGdalError) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    namespace pg = platform::gis;
    const std::string gpkg = folder("project") + "/bay.gpkg";
    {
        auto bay = pg::Workspace::open(data)->openFeatureClass("sites_portphillip");
        auto points = pg::Workspace::createGeoPackage(gpkg)->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                                                 {}, bay->spatialReference());
        auto cursor = bay->search();
        for (int i = 0; i < 10; ++i) {
            const auto site = cursor.next();
            ASSERT_TRUE(site);
            pg::Feature p = points->createFeature();
            p.setShape(site->shape());
            points->store(p);
        }
    }
    const test::Ran ran = run({"rwe", "--defaults", "--fast", "--bathymetry", data + "/bathy_portphillip_m.tif", "--wind",
                               data + "/sample_56.Wind_RWE", "--sites", gpkg, "--layer", "Pointdata1", "--output",
                               dir.file("out.gpkg")});
    ASSERT_EQ(ran.exit, 0) << ran.err;
    EXPECT_EQ(ran.err.find("ERROR"), std::string::npos) << ran.err;
}

namespace {

std::string sh(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& w : words) line += " '" + w + "'";
    return line;
}

// Waits until the run has begun to store its sites.
void untilStoring(QProcess& p) {
    p.setReadChannel(QProcess::StandardError);
    while (p.peek(1 << 20).toStdString().find("0.") == std::string::npos && p.waitForReadyRead(60000)) {
    }
}

// The names in a folder, hidden ones and folders included.
std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// --output replaces only its own files: not a table beside it that only
// shares its name, never an input, --overwrite or not.
TEST_F(QuorRun, AnOutputBesideAStandaloneTableOrOnAnInputIsRefusedBeforeTheRun) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 20);
    const std::string notes = folder("notes") + "/notes.dbf";
    fs::copy_file(fs::path(sites).replace_extension(".dbf"), notes);
    const std::string shore = folder("shore");
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"})
        fs::copy_file(data + "/water_portphillip" + ext, shore + "/water" + ext);
    auto args = plus(inputs("rwe", sites), {"--output", shore + "/water.shp", "--overwrite"});
    *(std::find(args.begin(), args.end(), "--shoreline") + 1) = shore + "/water.shp";
    // A folder named as the output's metadata file, which holds its record.
    const std::string out = folder("outs") + "/result.gpkg";
    fs::create_directories(out + ".sites.Metadata_RWE");
    const auto before = userFiles();

    const test::Ran beside = run(plus(inputs("rwe", sites), {"--output", folder("notes") + "/notes.shp"}));
    EXPECT_EQ(beside.exit, 2) << beside.err;
    EXPECT_NE(beside.err.find(notes + " exists"), std::string::npos) << beside.err;
    const test::Ran onto = run(args);
    EXPECT_EQ(onto.exit, 2) << onto.err;
    EXPECT_NE(onto.err.find("the run's input " + shore + "/water.shp"), std::string::npos) << onto.err;
    const test::Ran folderInTheWay = run(plus(inputs("rwe", sites), {"--output", out, "--overwrite"}));
    EXPECT_EQ(folderInTheWay.exit, 2) << folderInTheWay.err;
    EXPECT_NE(folderInTheWay.err.find(out + ".sites.Metadata_RWE is a folder"), std::string::npos) << folderInTheWay.err;
    EXPECT_EQ(userFiles(), before) << "a refused output replaced a file";
}

// A shapefile cuts a text to 254 bytes and a name to 10, keeps the day of a
// date and time, reads a whole number of more than 18 characters back as a
// real one, writes a real number with its field's decimals and has no
// binary field: an output that would so change the user's sites is refused
// before the run, naming the field; at the limits they are kept.
TEST_F(QuorRun, AShapefileOutputThatWouldChangeANameOrValueOfTheSitesIsRefusedBeforeTheRun) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    // The bay's first sites in a GeoPackage with fields of the user's, set in one site.
    using Fields = std::vector<std::pair<const char*, OGRFieldType>>;
    auto sitesWith = [&](const std::string& name, const Fields& fields, const std::function<void(OGRFeature&)>& set) {
        const std::string gpkg = dir.file(name + ".gpkg");
        test::copyBaySitesToGeoPackage(gpkg, "sites", 6);
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        OGRLayer* l = ds->GetLayer(0);
        for (const auto& [field, type] : fields) {
            OGRFieldDefn defn(field, type);
            EXPECT_EQ(l->CreateField(&defn), OGRERR_NONE);
        }
        OGRFeatureUniquePtr f(l->GetFeature(2));
        set(*f);
        EXPECT_EQ(l->SetFeature(f.get()), OGRERR_NONE);
        return gpkg;
    };
    struct Case {
        std::string sites, field, said;
    };
    const std::vector<Case> refused = {
        {sitesWith("text", {{"Notes", OFTString}},
                   [](OGRFeature& f) { f.SetField("Notes", std::string(303, 'n').c_str()); }),
         "Notes", "303 bytes"},
        {sitesWith("name", {{"Observer_name_long", OFTString}},
                   [](OGRFeature& f) { f.SetField("Observer_name_long", "a"); }),
         "Observer_name_long", "18 bytes"},
        {sitesWith("time", {{"Seen", OFTDateTime}},
                   [](OGRFeature& f) { f.SetField("Seen", 2024, 1, 2, 10, 11, 12, 0); }),
         "Seen", "2024/01/02 10:11:12"},
        {sitesWith("whole", {{"Big", OFTInteger64}},
                   [](OGRFeature& f) { f.SetField("Big", GIntBig{9223372036854775807}); }),
         "Big", "9223372036854775807"},
        {sitesWith("real", {{"Small", OFTReal}}, [](OGRFeature& f) { f.SetField("Small", 1.2345678901234567e-05); }),
         "Small", "read back as 1.2345678901e-05"},
        {sitesWith("binary", {{"Blob", OFTBinary}},
                   [](OGRFeature& f) {
                       GByte bytes[] = {0, 255};
                       f.SetField(f.GetFieldIndex("Blob"), 2, bytes);
                   }),
         "Blob", "Binary"},
    };
    const std::string out = dir.file("out.shp");
    const auto before = userFiles();
    for (const auto& c : refused) {
        SCOPED_TRACE(c.field);
        const test::Ran ran = run(plus(inputs("rwe", c.sites), {"--layer", "sites", "--output", out}));
        EXPECT_EQ(ran.exit, 2) << ran.err;
        for (const std::string& named : {"--output " + out + ": the field " + c.field, c.said, std::string(".gpkg")})
            EXPECT_NE(ran.err.find(named), std::string::npos) << named << "\n" << ran.err;
    }
    EXPECT_EQ(userFiles(), before) << "a refused run wrote or changed a file";

    const Fields limits = {
        {"Notes", OFTString}, {"Observer_n", OFTString}, {"Seen", OFTDateTime}, {"Big", OFTInteger64}, {"Small", OFTReal}};
    const std::string atLimits = sitesWith("limits", limits, [](OGRFeature& f) {
        f.SetField("Notes", std::string(254, 'n').c_str());
        f.SetField("Observer_n", "a");
        f.SetField("Seen", 2024, 1, 2, 0, 0, 0, 0);
        f.SetField("Big", GIntBig{-12345678901234567});
        f.SetField("Small", 0.000012345678901);
    });
    const test::Ran kept = run(plus(inputs("rwe", atLimits), {"--layer", "sites", "--output", out}));
    ASSERT_EQ(kept.exit, 0) << kept.err;
    const std::vector<std::string> fields = {"Notes", "Observer_n", "Big", "Small"};
    EXPECT_EQ(test::layerRows(out, "", fields), test::layerRows(atLimits, "sites", fields));
}

// Two runs to one output: the file the other put there meanwhile stays.
TEST_F(QuorRun, AnOutputFileThatAppearsDuringTheRunIsNeverRenamedOver) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string big = test::copyBaySites(folder("big"), "big", -1, 4);
    const std::string out = folder("out") + "/result.gpkg";
    const test::Ran ran = run(plus(inputs("rwe", big), {"--output", out, "--json"}), [&](QProcess& p) {
        untilStoring(p);
        std::ofstream(out, std::ios::binary) << "the other run's output";
    });
    EXPECT_EQ(ran.exit, 1) << ran.err;
    EXPECT_EQ(jsonOf(ran.out)["end"].toString(), "failed") << ran.out;
    EXPECT_NE(ran.err.find(out + " appeared"), std::string::npos) << ran.err;
    EXPECT_EQ(test::fileBytes(out), "the other run's output");
    EXPECT_EQ(entries(folder("out")), std::vector<std::string>{"result.gpkg"}) << "the run left files beside the output";
}

// A run with an output stopped part-way: its words never count the sites
// of its working copy, which goes; they say that the output got nothing.
TEST_F(QuorRun, AStoppedRunSaysItsOutputGotNothingAndCountsNothingStored) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string big = test::copyBaySites(folder("big"), "big", -1, 4);
    for (const std::string model : {"rwe", "rei"}) {
        SCOPED_TRACE(model);
        const std::string out = folder("out") + "/part-3.shp";
        const test::Ran ran = run(plus(inputs(model, big), {"--output", out, "--json"}), [](QProcess& p) {
            untilStoring(p);
            ::kill(static_cast<pid_t>(p.processId()), SIGINT);
        });
        ASSERT_EQ(ran.exit, 1) << ran.err;
        EXPECT_EQ(ran.err.find("sites have"), std::string::npos) << ran.err;
        EXPECT_NE(ran.err.find("nothing was written to " + out), std::string::npos) << ran.err;
        const QJsonObject said = jsonOf(ran.out);
        EXPECT_EQ(said["stored"].toInt(), 0) << ran.out;
        EXPECT_TRUE(entries(folder("out")).empty()) << "the stopped run left files where its output goes";
    }
}

// --overwrite replaces an old shapefile output whole or not at all: one
// that cannot be put in place leaves the old set as it was.
TEST_F(QuorRun, AnOutputThatCannotBePutInPlaceLeavesTheOldOneWhole) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 10);
    const std::string big = test::copyBaySites(folder("big"), "sites", -1, 4);
    const std::string out = folder("out") + "/result.shp";
    ASSERT_EQ(run(plus(inputs("rwe", sites), {"--output", out})).exit, 0);
    std::ofstream(folder("out") + "/result.qix") << "the old set's index";
    fs::remove(folder("out") + "/result.shx");
    const auto before = test::folderBytes(folder("out"));
    const test::Ran ran = run(plus(inputs("rwe", big), {"--output", out, "--overwrite", "--replace"}), [&](QProcess& p) {
        untilStoring(p);
        // The new .shx has nowhere to go.
        fs::create_directory(folder("out") + "/result.shx");
    });
    EXPECT_EQ(ran.exit, 1) << ran.err;
    EXPECT_NE(ran.err.find("result.shx appeared as a folder"), std::string::npos) << ran.err;
    EXPECT_EQ(test::folderBytes(folder("out")), before) << "the old output was not kept whole";
    EXPECT_EQ(entries(folder("out")).size(), before.size() + 1) << "the run left files beside the output";
}

// A run killed while it moves a shapefile output's files into place, one
// by one, leaves a set that is neither: the next run puts the old set back
// whole before it begins. A live run's folders stay, whatever machine or
// process namespace made them: only a free lock tells a killed run's.
TEST_F(QuorRun, AKilledMoveIsUndoneAndOnlyFoldersWhoseLockIsFreeAreRemoved) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 10);
    const std::string out = folder("out") + "/result.shp";
    ASSERT_EQ(run(plus(inputs("rwe", sites), {"--output", out})).exit, 0);
    const auto before = test::folderBytes(folder("out"));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        cli::setAfterEachMove([](const fs::path&) { ::raise(SIGKILL); });
        cli::RunFolder staging(folder("out"), cli::kStagingPrefix);
        fs::create_directory(staging.path() + "/new");
        for (const char* ext : {".shp", ".dbf"})
            std::ofstream(staging.path() + "/new/result" + ext) << "the new set's " << ext;
        cli::moveOutputIn({staging.path() + "/new/result.shp", staging.path() + "/new/result.dbf"}, folder("out"),
                          {out, folder("out") + "/result.dbf"}, staging.path(), true);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_FALSE(test::folderBytes(folder("out")) == before) << "the kill came before any move";

    // As another machine's, or a container's on a shared folder: its name
    // is this machine's and a process that is gone here, its lock held.
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const std::string live = folder("out") + "/" + cli::kStagingPrefix + std::string(host) + "-" + std::to_string(pid) + "-Ab12Cd";
    fs::create_directories(live);
    const platform::FileLock held(live + "/run.lock", platform::FileLock::Mode::Exclusive);
    ASSERT_TRUE(held.held());

    const auto killed = entries(folder("out"));
    ASSERT_EQ(run(plus(inputs("rwe", sites), {"--output", folder("out") + "/next.gpkg"})).exit, 0);
    auto after = test::folderBytes(folder("out"));
    std::erase_if(after, [](const auto& f) { return f.first.rfind("next.", 0) == 0 || f.first.rfind(".quor-run-", 0) == 0; });
    EXPECT_TRUE(after == before) << "the old set was not put back whole";
    EXPECT_TRUE(fs::exists(live + "/run.lock")) << "a live run's folder was removed";
    for (const auto& name : killed) {
        if (name.rfind(cli::kStagingPrefix, 0) == 0 && folder("out") + "/" + name != live) {
            EXPECT_FALSE(fs::exists(folder("out") + "/" + name)) << "the killed run's folder stayed";
        }
    }
}

// A site whose store the dataset refused leaves the run failed, in its
// words as in its exit status.
TEST_F(QuorRun, ARunWhoseValuesTheDatasetRefusesIsNeverReportedAsCompleted) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string gpkg = folder("sites") + "/sites.gpkg";
    test::copyBaySitesToGeoPackage(gpkg, "sites", 20);
    {
        GDALAllRegister();
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        ASSERT_TRUE(ds);
        ds->ExecuteSQL("ALTER TABLE sites ADD COLUMN RWE REAL CHECK (RWE < -100000)", nullptr, nullptr);
    }
    const test::Ran ran = run(plus(inputs("rwe", gpkg), {"--layer", "sites", "--replace"}));
    EXPECT_EQ(ran.exit, 1) << ran.err;
    EXPECT_EQ(ran.err.find("rwe completed"), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("quor-run: rwe failed: 0 of 20 sites computed"), std::string::npos) << ran.err;
}

// Another tool left the count of the sites unwritten (NULL): a re-run the
// user did not agree to changes no byte of the GeoPackage.
TEST_F(QuorRun, ARefusedRunLeavesAGeoPackageByteForByte) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string gpkg = folder("sites") + "/sites.gpkg";
    test::copyBaySitesToGeoPackage(gpkg, "sites", 20);
    ASSERT_EQ(run(plus(inputs("rwe", gpkg), {"--layer", "sites"})).exit, 0);
    {
        GDALAllRegister();
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        ASSERT_TRUE(ds);
        ds->ExecuteSQL("UPDATE gpkg_ogr_contents SET feature_count = NULL", nullptr, nullptr);
    }
    const auto before = test::folderBytes(folder("sites"));
    const test::Ran ran = run(plus(inputs("rwe", gpkg), {"--layer", "sites"}));
    EXPECT_EQ(ran.exit, 2) << ran.err;
    EXPECT_TRUE(test::folderBytes(folder("sites")) == before) << "a refused run changed the GeoPackage";
}

// Another program put its own table in place during the run: the end
// counts what this run stored, and that the table holds none of it.
TEST_F(QuorRun, TheEndCountsWhatTheRunStoredAndWhatTheTableStillHolds) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string big = test::copyBaySites(folder("big"), "big", -1, 10);
    const std::string table = fs::path(big).replace_extension(".dbf").string();
    const std::string pristine = dir.file("pristine.dbf");
    fs::copy_file(table, pristine);
    const test::Ran ran = run(plus(inputs("rwe", big), {"--json"}), [&](QProcess& p) {
        untilStoring(p);
        // As an editor saves: a new file renamed over the old.
        fs::copy_file(pristine, table + ".new");
        fs::rename(table + ".new", table);
    });
    ASSERT_EQ(ran.exit, 1) << ran.err;
    const QJsonObject said = jsonOf(ran.out);
    EXPECT_EQ(said["end"].toString(), "failed") << ran.out;
    ASSERT_TRUE(said.contains("held")) << ran.out;
    EXPECT_EQ(said["held"].toInt(), 0) << ran.out;
    EXPECT_GT(said["stored"].toInt(), 0) << ran.out;
    EXPECT_EQ(test::fileBytes(table), test::fileBytes(pristine)) << "the other program's table was written into";
}

// A program that opened the sites' table before the run (a GIS with the
// layer open, an editor that keeps its file open) writes into it while the
// run stores its sites: its edit went into the table the run replaced. It
// is kept beside the table, and the run fails, naming where.
TEST_F(QuorRun, AnEditThroughAHandleOpenedBeforeTheRunIsKeptAndTold) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string big = test::copyBaySites(folder("big"), "big", -1, 10);
    const std::string table = fs::path(big).replace_extension(".dbf").string();
    const std::string bytes = test::fileBytes(table);
    // The first site's CATEGORY, after its flag and its SITE_ID.
    const std::size_t category = static_cast<unsigned char>(bytes[8]) + 256u * static_cast<unsigned char>(bytes[9]) + 10;
    ASSERT_EQ(bytes.substr(category, 5), "water");
    const int held = ::open(table.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    const test::Ran ran = run(inputs("rwe", big), [&](QProcess& p) {
        untilStoring(p);
        ASSERT_EQ(::pwrite(held, "EDITED", 6, static_cast<off_t>(category)), 6);
    });
    ::close(held);
    EXPECT_EQ(ran.exit, 1) << ran.err;
    std::vector<std::string> kept;
    for (const auto& name : entries(folder("big")))
        if (name[0] != '.' && test::fileBytes(folder("big") + "/" + name).find("EDITED") != std::string::npos)
            kept.push_back(folder("big") + "/" + name);
    ASSERT_EQ(kept.size(), 1u) << ran.err;
    EXPECT_NE(ran.err.find(kept[0]), std::string::npos) << ran.err;
}

// Another program cut the table short during the run: the run ends in its
// words and exit 1, never in an abort.
TEST_F(QuorRun, ATableCutShortDuringTheRunEndsInWordsNeverAnAbort) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string big = test::copyBaySites(folder("big"), "big", -1, 10);
    const std::string table = fs::path(big).replace_extension(".dbf").string();
    const test::Ran ran = run(plus(inputs("rwe", big), {"--json"}), [&](QProcess& p) {
        untilStoring(p);
        fs::resize_file(table, fs::file_size(table) / 2);
    });
    ASSERT_EQ(ran.exit, 1) << ran.err;
    const QJsonObject said = jsonOf(ran.out);
    EXPECT_EQ(said["end"].toString(), "failed") << ran.out;
    EXPECT_FALSE(said["message"].toString().isEmpty()) << ran.out;
}

// $TMPDIR's disk has no room for the working copy of the sites: the run
// says so, naming $TMPDIR, neither --sites nor GDAL's own option words.
TEST_F(QuorRun, AWorkingCopyThatDoesNotFitSaysSoNamingTmpdir) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string gpkg = folder("sites") + "/sites.gpkg";
    test::copyBaySitesToGeoPackage(gpkg, "sites", 200);
    const std::string work = folder("tmp") + "/quor-run-copy";
    fs::create_directories(work);
    try {
        const test::RefusedWrites full(work, 0);
        cli::copySites({gpkg, "sites"}, cli::SiteRange{10, 100}, work);
        ADD_FAILURE() << "the copy fitted on a full disk";
    } catch (const cli::BadInput& e) {
        EXPECT_NE(std::string(e.what()).find("does not fit in $TMPDIR (" + folder("tmp") + ")"), std::string::npos)
            << e.what();
        EXPECT_EQ(std::string(e.what()).find("skipfailures"), std::string::npos) << e.what();
    }

    // The copy fits, the results written into it later do not: the disk
    // that ran out is still $TMPDIR's, not the output's.
    const std::string temp = folder("tmp2");
    const std::string out = folder("out") + "/out.gpkg";
    const test::RefusedWrites nearlyFull(temp, fs::file_size(gpkg) + 40000);
    const test::ScopedVariable tmpdir("TMPDIR", temp);
    const test::ScopedVariable cache("XDG_CACHE_HOME", folder("cache"));
    testing::internal::CaptureStderr();
    const int exit = cli::runQuor(plus(inputs("rwe", gpkg), {"--layer", "sites", "--output", out, "--quiet"}));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(exit, 1) << said;
    EXPECT_NE(said.find("does not fit in $TMPDIR (" + temp + ")"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(out));
}

// A script reads one object on standard output however the run ends.
TEST_F(QuorRun, JsonIsOneObjectWithTheMessageOnARefusalToo) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 5);
    const test::Ran ran = run(plus(inputs("rei", sites), {"--json", "--distance", "-5"}));
    ASSERT_EQ(ran.exit, 2) << ran.err;
    const QJsonObject said = jsonOf(ran.out);
    EXPECT_EQ(said["end"].toString(), "refused") << ran.out;
    EXPECT_NE(said["message"].toString().toStdString().find("--distance -5"), std::string::npos) << ran.out;
    EXPECT_FALSE(said.contains("computed")) << "a refused run counts nothing: " << ran.out;
}

// An ssh connection that dropped asks the run to stop, as Ctrl-C does.
TEST_F(QuorRun, SighupStopsTheRunWithATrueCount) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string big = test::copyBaySites(folder("big"), "big", -1, 10);
    const test::Ran ran = run(plus(inputs("rei", big), {"--json", "--fast"}), [](QProcess& p) {
        untilStoring(p);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(static_cast<pid_t>(p.processId()), SIGHUP);
    });
    ASSERT_EQ(ran.exit, 1) << ran.err;
    const QJsonObject said = jsonOf(ran.out);
    EXPECT_EQ(said["end"].toString(), "stopped") << ran.out;
    std::int64_t indexed = 0;
    for (const auto& row : test::layerRows(big, "big", kReiFields))
        if (row.find("Index=\t") == std::string::npos) ++indexed;
    EXPECT_EQ(said["computed"].toVariant().toLongLong(), indexed) << ran.out;
    EXPECT_LT(indexed, 10150);
}

// `quor-run ... 2>&1 | true`: nobody reads what the run says, and it
// computes every site all the same.
TEST_F(QuorRun, AReaderThatWentAwayCostsTheRunNothing) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 200);
    const std::string read = test::copyBaySites(folder("read"), "sites", 200);
    ASSERT_EQ(run(inputs("rei", read)).exit, 0);
    const test::Ran ran = test::runProgram(
        "/bin/bash", {"-c", "'" QUOR_RUN_PROGRAM "'" + sh(inputs("rei", sites)) + " 2>&1 | true; exit ${PIPESTATUS[0]}"},
        dir.file("home"));
    EXPECT_EQ(ran.exit, 0) << ran.err;
    EXPECT_EQ(test::layerRows(sites, "sites", kReiFields), test::layerRows(read, "sites", kReiFields));
}

// A run killed with -9 leaves its working copy and its output being made;
// the next run removes them, and its own, whatever way it ends.
TEST_F(QuorRun, ALaterRunRemovesTheFoldersAKilledRunLeft) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string big = test::copyBaySites(folder("big"), "big", -1, 4);
    const std::string small = test::copyBaySites(folder("small"), "small", 5);
    const std::string temp = folder("tmp"), out = folder("out");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(dir.file("home")));
    env.insert("TMPDIR", QString::fromStdString(temp));
    env.remove("QUOR_THREADS");
    auto leftovers = [&] { return entries(temp).size() + entries(out).size(); };
    test::runProgram(QUOR_RUN_PROGRAM, plus(inputs("rwe", big), {"--output", out + "/killed.gpkg"}), "", env,
                     [](QProcess& p) {
                         untilStoring(p);
                         ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
                     });
    ASSERT_GT(leftovers(), 0u) << "the killed run left nothing to remove";
    const test::Ran next = test::runProgram(QUOR_RUN_PROGRAM, plus(inputs("rwe", small), {"--output", out + "/next.gpkg"}), "", env);
    ASSERT_EQ(next.exit, 0) << next.err;
    EXPECT_EQ(entries(temp), std::vector<std::string>{});
    EXPECT_EQ(entries(out), (std::vector<std::string>{"next.gpkg", "next.gpkg.small.Metadata_RWE"}));
}

// A GeoPackage of the sites alone is copied whole for the run, spatial
// index and all; one that holds more gives the output its sites only.
TEST_F(QuorRun, AnOutputGeoPackageHoldsTheSitesWithTheirIndexAndNothingElseOfTheirFile) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string inPlace = folder("in-place") + "/sites.gpkg";
    test::copyBaySitesToGeoPackage(inPlace, "sites", 25);
    const test::Ran reference = run(plus(inputs("rei", inPlace), {"--layer", "sites", "--fast"}));
    ASSERT_EQ(reference.exit, 0) << reference.err;
    for (const bool withOther : {false, true}) {
        SCOPED_TRACE(withOther ? "beside another layer" : "alone");
        const std::string sites = folder(withOther ? "crowded" : "alone") + "/sites.gpkg";
        test::copyBaySitesToGeoPackage(sites, "sites", 25);
        GDALAllRegister();
        if (withOther) {
            std::unique_ptr<GDALDataset> ds(GDALDataset::Open(sites.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
            ASSERT_TRUE(ds && ds->CreateLayer("other", nullptr, wkbPoint));
        }
        const std::string out = dir.file(withOther ? "crowded.gpkg" : "alone.gpkg");
        const test::Ran ran = run(plus(inputs("rei", sites), {"--layer", "sites", "--fast", "--output", out}));
        ASSERT_EQ(ran.exit, 0) << ran.err;
        EXPECT_EQ(test::layerRows(out, "sites", {"SITE_ID", "Index"}), test::layerRows(inPlace, "sites", {"SITE_ID", "Index"}));
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(out.c_str(), GDAL_OF_VECTOR));
        ASSERT_TRUE(ds);
        EXPECT_EQ(ds->GetLayerCount(), 1);
        OGRLayer* index = ds->ExecuteSQL("SELECT count(*) FROM rtree_sites_geom", nullptr, "SQLITE");
        ASSERT_TRUE(index);
        std::unique_ptr<OGRFeature> row(index->GetNextFeature());
        EXPECT_EQ(row ? row->GetFieldAsInteger64(0) : -1, 25);
        ds->ReleaseResultSet(index);
    }
}

// Two GeoPackages in one folder, each with a layer "sites": each keeps the
// metadata file of its own run, named after it and naming it.
TEST_F(QuorRun, TwoGeoPackagesInOneFolderWithALayerOfOneNameEachKeepTheirMetadataFile) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string both = folder("both");
    for (const std::string name : {"a", "b"}) {
        const std::string gpkg = both + "/" + name + ".gpkg";
        test::copyBaySitesToGeoPackage(gpkg, "sites", 5);
        const test::Ran ran = run(plus(inputs("rwe", gpkg), {"--layer", "sites", "--rays", name == "a" ? "16" : "40"}));
        ASSERT_EQ(ran.exit, 0) << ran.err;
    }
    for (const std::string name : {"a", "b"}) {
        const std::string gpkg = both + "/" + name + ".gpkg";
        const std::string metadata = test::fileBytes(gpkg + ".sites.Metadata_RWE");
        EXPECT_NE(metadata.find("\r\nPoint data:    " + gpkg + " (layer sites)\r\n"), std::string::npos) << metadata;
        EXPECT_NE(metadata.find(std::string("Number of rays used:    ") + (name == "a" ? "16" : "40")), std::string::npos)
            << metadata;
    }
}

// A table holding a record marked deleted, as dBase and many tools leave
// one, is read as GDAL reads it: the record is no site, and it stays
// deleted, its values as they were, when the run replaces the others'.
TEST_F(QuorRun, ARecordMarkedDeletedIsNoSiteAndStaysAsItWas) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("deleted"), "sites", 5);
    ASSERT_EQ(run(inputs("rwe", sites)).exit, 0);
    const std::string dbf = dir.file("deleted/sites.dbf");
    std::string table = test::fileBytes(dbf);
    const auto le16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(table[at]) |
                                        static_cast<unsigned char>(table[at + 1]) << 8);
    };
    const std::size_t second = le16(8) + le16(10);  // where the second row starts
    table[second] = '*';
    std::ofstream(dbf, std::ios::binary) << table;

    const test::Ran ran = run(plus(inputs("rwe", sites), {"--replace"}));
    EXPECT_EQ(ran.exit, 0) << ran.err;
    EXPECT_NE(ran.err.find("4 of 4 sites"), std::string::npos) << ran.err;
    EXPECT_EQ(test::layerRows(sites, "sites", {"RWE"}).size(), 4u);
    EXPECT_EQ(test::fileBytes(dbf).substr(second, le16(10)), table.substr(second, le16(10)));
}

// A site whose sediment motion is not told has no value in "Sed_Motion"
// (NULL) in place and in an output alike: a shapefile's blank text, which
// the output from shapefile sites is made of, reads as no value.
TEST_F(QuorRun, AnUntoldSedimentMotionIsNoValueInPlaceAndInAnOutput) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string inPlace = folder("motion") + "/sites.gpkg";
    test::copyBaySitesToGeoPackage(inPlace, "sites", 5);
    ASSERT_EQ(run(plus(inputs("rwe", inPlace), {"--layer", "sites"})).exit, 0);
    const std::string out = dir.file("motion.gpkg");
    const std::string shapefile = test::copyBaySites(folder("motion-shp"), "sites", 5);
    ASSERT_EQ(run(plus(inputs("rwe", shapefile), {"--output", out})).exit, 0);
    const auto noValues = [](const std::string& gpkg) {
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        std::vector<bool> none;
        OGRLayer* layer = ds ? ds->GetLayerByName("sites") : nullptr;
        for (OGRFeatureUniquePtr f; layer && (f.reset(layer->GetNextFeature()), f);)
            none.push_back(f->IsFieldNull(f->GetFieldIndex("Sed_Motion")));
        return none;
    };
    EXPECT_EQ(noValues(inPlace), std::vector<bool>(5, true));
    EXPECT_EQ(noValues(out), std::vector<bool>(5, true));
}
