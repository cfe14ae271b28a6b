// The parts of a coast run side by side: each --output says which part of
// which run it is, and quor-run merge puts parts together only when they
// make the one whole a single run over every site makes.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "platform/gis/dataset_identity.h"
#include "quor_run_support.h"
#include "test_support.h"
#include "rwe_fields.h"
#include "wave/rwe_results.h"

using namespace quor;

namespace {

namespace fs = std::filesystem;

using test::rweFields;

QJsonObject jsonOf(const std::string& out) { return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object(); }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::unique_ptr<GDALDataset> openForUpdate(const std::string& path) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
    if (!ds) ADD_FAILURE() << "cannot open " << path;
    return ds;
}

// Sets one value of one feature, as another program edits a file.
void setValue(const std::string& path, GIntBig fid, const char* field, const char* value) {
    const auto ds = openForUpdate(path);
    OGRLayer* l = ds->GetLayer(0);
    OGRFeatureUniquePtr f(l->GetFeature(fid));
    ASSERT_TRUE(f) << path << " has no feature " << fid;
    f->SetField(field, value);
    ASSERT_EQ(l->SetFeature(f.get()), OGRERR_NONE);
}

// The fields a dataset declares: name, type, width and precision.
std::vector<std::string> declaredFields(const std::string& path) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    std::vector<std::string> fields;
    const OGRFeatureDefn* defn = ds ? ds->GetLayer(0)->GetLayerDefn() : nullptr;
    for (int i = 0; defn && i < defn->GetFieldCount(); ++i)
        fields.push_back(std::string(defn->GetFieldDefn(i)->GetNameRef()) + " " +
                         OGRFieldDefn::GetFieldTypeName(defn->GetFieldDefn(i)->GetType()) + " (" +
                         std::to_string(defn->GetFieldDefn(i)->GetWidth()) + "." +
                         std::to_string(defn->GetFieldDefn(i)->GetPrecision()) + ")");
    return fields;
}

struct PartMerge : ::testing::Test {
    test::TempDir dir;
    const std::string bay = test::portPhillipFolder();

    test::Ran run(const std::vector<std::string>& args, const std::function<void(QProcess&)>& meanwhile = {}) {
        return test::runProgram(QUOR_RUN_PROGRAM, args, dir.file("home"), {}, meanwhile);
    }
    std::string folder(const std::string& name) const {
        fs::create_directories(dir.file(name));
        return dir.file(name);
    }
    // An RWE run of the bay's inputs over `sites` into `output`, with the
    // settings' defaults and `more`.
    test::Ran rwe(const std::string& sites, const std::string& output, std::vector<std::string> more = {},
                  const std::string& wind = "") {
        std::vector<std::string> args = {"rwe", "--defaults", "--threads", "2", "--quiet",
                                         "--shoreline", bay + "/water_portphillip.shp",
                                         "--bathymetry", bay + "/bathy_portphillip_m.tif",
                                         "--wind", wind.empty() ? bay + "/sample_56.Wind_RWE" : wind,
                                         "--sites", sites, "--output", output};
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    }
    // Part K of N into `output`.
    std::string part(const std::string& sites, int k, int n, const std::string& output,
                     std::vector<std::string> more = {}, const std::string& wind = "") {
        more.insert(more.end(), {"--part", std::to_string(k) + "/" + std::to_string(n)});
        const test::Ran ran = rwe(sites, output, more, wind);
        EXPECT_EQ(ran.exit, 0) << output << "\n" << ran.err;
        return output;
    }
    // The bay's first `count` sites as the layer "sites" of a GeoPackage
    // (`format` .gpkg) or as a shapefile (.shp), with a field SURVEYED of
    // `day` (a date, or a date and time, at midnight unless `hours`), a
    // text NOTE and a number DECIMAL of the user's own. A shapefile keeps
    // the 15 decimals DECIMAL declares (16 digits here); a GeoPackage
    // declares none, and a CSV of it keeps 15 digits.
    std::string userSites(int count, OGRFieldType day, const std::string& format = ".gpkg", bool hours = true) {
        std::string sites;
        if (format == ".gpkg") {
            sites = dir.file("sites.gpkg");
            test::copyBaySitesToGeoPackage(sites, "sites", count);
        } else {
            sites = test::copyBaySites(folder("shapefile"), "sites", count);
        }
        const auto ds = openForUpdate(sites);
        OGRLayer* l = ds->GetLayer(0);
        OGRFieldDefn surveyed("SURVEYED", day), note("NOTE", OFTString), decimal("DECIMAL", OFTReal);
        note.SetWidth(20);
        decimal.SetWidth(19);
        decimal.SetPrecision(15);
        EXPECT_EQ(l->CreateField(&surveyed), OGRERR_NONE);
        EXPECT_EQ(l->CreateField(&note), OGRERR_NONE);
        EXPECT_EQ(l->CreateField(&decimal), OGRERR_NONE);
        std::vector<OGRFeatureUniquePtr> features;
        for (auto& f : *l) features.emplace_back(f->Clone());
        for (auto& f : features) {
            const int k = static_cast<int>(f->GetFID());
            f->SetField("SURVEYED", 2024, 1 + k % 12, 1 + k % 28, day == OFTDate || !hours ? 0 : k % 24, 0, 0, 0);
            f->SetField("NOTE", ("seen " + std::to_string(k)).c_str());
            char digits[32];
            std::snprintf(digits, sizeof digits, format == ".shp" ? "1.%03d567890123456" : "1.%03d56789012345", k);
            f->SetField("DECIMAL", digits);
            EXPECT_EQ(l->SetFeature(f.get()), OGRERR_NONE);
        }
        return sites;
    }
    test::Ran merge(const std::string& output, const std::vector<std::string>& parts) {
        std::vector<std::string> args = {"merge", "--output", output};
        args.insert(args.end(), parts.begin(), parts.end());
        return run(args);
    }
};

}  // namespace

TEST_F(PartMerge, EachPartNamesItsPartAndItsSitesInItsJsonAndInTheMetadataItCarries) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 30);
    const std::string parts = folder("parts");
    // 30 sites in 4 parts: 7, 8, 7, 8.
    const std::int64_t first[] = {0, 7, 15, 22}, count[] = {7, 8, 7, 8};
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        // A GeoPackage keeps its record inside; the other formats beside them.
        const std::string out = parts + "/part-" + std::to_string(k) + (k % 2 ? ".gpkg" : ".fgb");
        const test::Ran ran = rwe(sites, out, {"--part", std::to_string(k) + "/4", "--json"});
        ASSERT_EQ(ran.exit, 0) << ran.err;
        const QJsonObject said = jsonOf(ran.out);
        EXPECT_EQ(said["part"].toInt(), k) << ran.out;
        EXPECT_EQ(said["parts"].toInt(), 4);
        EXPECT_EQ(said["firstSite"].toInt(), first[k - 1]);
        EXPECT_EQ(said["count"].toInt(), count[k - 1]);
        EXPECT_EQ(said["source"].toObject()["count"].toInt(), 30);
        EXPECT_EQ(said["source"].toObject()["digest"].toString().size(), 64);
        for (const char* input : {"bathymetry", "shoreline", "wind"})
            EXPECT_EQ(said["inputs"].toObject()[input].toObject()["digest"].toString().size(), 64) << input;
        EXPECT_EQ(said["settings"].toObject()["rays"].toString(), "32");

        // A GeoPackage's is named after its layer too.
        const std::string metadata = test::fileBytes(out + (k % 2 ? ".sites" : "") + ".Metadata_RWE");
        EXPECT_TRUE(contains(metadata, "Number of rays used:")) << "the model's own lines went";
        EXPECT_TRUE(contains(metadata, "part: " + std::to_string(k) + "/4\r\n")) << metadata;
        EXPECT_TRUE(contains(metadata, "first_site: " + std::to_string(first[k - 1]) + "\r\n")) << metadata;
        EXPECT_TRUE(contains(metadata, "sites: " + std::to_string(count[k - 1]) + "\r\n")) << metadata;
        if (k % 2) {
            const auto inside = platform::gis::datasetMetadata(out, "QUOR_RUN");
            EXPECT_EQ(inside.count("part") ? inside.at("part") : "", std::to_string(k) + "/4");
            EXPECT_EQ(inside.count("first_site") ? inside.at("first_site") : "", std::to_string(first[k - 1]));
            EXPECT_EQ(inside.count("sites") ? inside.at("sites") : "", std::to_string(count[k - 1]));
        }
    }
    // An REI output gets a metadata file of its own.
    const test::Ran rei = run({"rei", "--defaults", "--fast", "--quiet", "--bathymetry", bay + "/bathy_portphillip_m.tif",
                               "--wind", bay + "/sample.Wind_REI", "--sites", sites, "--part", "2/3", "--output",
                               parts + "/rei-2.csv"});
    ASSERT_EQ(rei.exit, 0) << rei.err;
    const std::string reiMetadata = test::fileBytes(parts + "/rei-2.csv.Metadata_REI");
    EXPECT_TRUE(contains(reiMetadata, "part: 2/3\r\n") && contains(reiMetadata, "first_site: 10\r\n") &&
                contains(reiMetadata, "model: rei\r\n"))
        << reiMetadata;
}

TEST_F(PartMerge, PartsOneToFourGivenInAnyOrderMergeIntoWhatOneWholeRunOutputs) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 42);
    ASSERT_EQ(rwe(sites, dir.file("whole.gpkg")).exit, 0);
    std::vector<std::string> parts;
    for (int k = 4; k >= 1; --k) parts.push_back(part(sites, k, 4, dir.file("p" + std::to_string(k) + ".gpkg")));

    const test::Ran merged = merge(dir.file("coast.gpkg"), parts);
    ASSERT_EQ(merged.exit, 0) << merged.err;
    EXPECT_EQ(test::layerRows(dir.file("coast.gpkg"), "sites", rweFields()),
              test::layerRows(dir.file("whole.gpkg"), "sites", rweFields()));
    // It records itself as the whole run does, the model's lines kept.
    EXPECT_EQ(platform::gis::datasetMetadata(dir.file("coast.gpkg"), "QUOR_RUN"),
              platform::gis::datasetMetadata(dir.file("whole.gpkg"), "QUOR_RUN"));
    EXPECT_TRUE(contains(test::fileBytes(dir.file("coast.gpkg.sites.Metadata_RWE")), "Number of rays used:"));
}

// In CSV, whose text a user compares as it is: the merge is the whole
// run's file, byte for byte.
TEST_F(PartMerge, TwelvePartsGivenInTheirFileNamesOrderMergeInTheOrderOfTheirNumbers) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 36);
    ASSERT_EQ(rwe(sites, dir.file("whole.csv")).exit, 0);
    const std::string parts = folder("parts");
    for (int k = 1; k <= 12; ++k) part(sites, k, 12, parts + "/part-" + std::to_string(k) + ".csv");
    // As a shell's part-*.csv lists them: 1, 10, 11, 12, 2, ...
    std::vector<std::string> byName;
    for (const auto& e : fs::directory_iterator(parts))
        if (e.path().extension() == ".csv") byName.push_back(e.path().string());
    std::sort(byName.begin(), byName.end());
    ASSERT_EQ(byName.size(), 12u);

    const test::Ran merged = merge(dir.file("coast.csv"), byName);
    ASSERT_EQ(merged.exit, 0) << merged.err;
    EXPECT_EQ(test::fileBytes(dir.file("coast.csv")), test::fileBytes(dir.file("whole.csv")));
}

TEST_F(PartMerge, AMissingPartOrAPartOfOtherSettingsWindOrSitesIsRefusedByNameWithNothingWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 24);
    const std::string otherSites = test::copyBaySites(folder("other"), "sites", 25);
    // The same sites' ids and points, a value of the user's edited.
    const std::string editedSites = test::copyBaySites(folder("edited"), "sites", 24);
    setValue(editedSites, 5, "CATEGORY", "edited");
    const std::string wind = dir.file("other.Wind_RWE");
    {
        // The same wind file but for one direction's speed.
        std::string text = test::fileBytes(bay + "/sample_56.Wind_RWE");
        const auto line = text.find('\n', text.find('\n') + 1) + 1;
        text[text.find_first_of("123456789", line)] ^= 1;
        std::ofstream(wind, std::ios::binary) << text;
    }
    const std::string parts = folder("parts");
    std::vector<std::string> run;
    for (int k = 1; k <= 4; ++k) run.push_back(part(sites, k, 4, parts + "/part-" + std::to_string(k) + ".gpkg"));
    const std::string rays16 = part(sites, 2, 4, parts + "/rays16-2.gpkg", {"--rays", "16"});
    const std::string otherWind = part(sites, 3, 4, parts + "/wind-3.gpkg", {}, wind);
    const std::string ofOtherSites = part(otherSites, 4, 4, parts + "/other-4.gpkg");
    const std::string ofEditedSites = part(editedSites, 4, 4, parts + "/edited-4.gpkg");
    const auto before = test::folderBytes(dir.path());

    struct Case {
        std::vector<std::string> parts;
        std::vector<std::string> named;  // what the refusal must name
    };
    const std::vector<Case> cases = {
        {{run[0], run[1], run[2]}, {"part 4 of 4 is missing"}},
        {{run[0], rays16, run[2], run[3]}, {rays16, "of another run", "rays is 16"}},
        {{run[0], run[1], otherWind, run[3]}, {otherWind, "of another run", "the wind"}},
        {{run[0], run[1], run[2], ofOtherSites}, {ofOtherSites, "of another run", "the source sites"}},
        {{run[0], run[1], run[2], ofEditedSites}, {ofEditedSites, "of another run", "the source sites"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named.front());
        const test::Ran ran = merge(dir.file("coast.gpkg"), c.parts);
        EXPECT_EQ(ran.exit, 2) << ran.err;
        for (const auto& named : c.named) EXPECT_TRUE(contains(ran.err, named)) << named << "\n" << ran.err;
    }
    EXPECT_EQ(test::folderBytes(dir.path()), before) << "a refused merge wrote or changed a file";
}

// Parts written in two formats (a GeoPackage and a shapefile or a
// FlatGeobuf), or all in FlatGeobuf, hold each site's geometry where its
// format keeps it and the user's date and decimals as the format declares
// them: merged into any format, they are what one whole run writes in it,
// whatever the sites' own format, its declarations included (a CSV byte
// for byte).
TEST_F(PartMerge, PartsOfTwoFormatsMergeIntoEachFormatAsTheWholeRunWritesIt) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    std::vector<std::string> fields = rweFields();
    fields.insert(fields.end(), {"SURVEYED", "NOTE", "DECIMAL"});
    const std::vector<std::string> formats = {".gpkg", ".shp", ".fgb", ".csv"};
    const std::vector<std::vector<std::string>> partFormats = {
        {".gpkg", ".gpkg", ".shp", ".shp"}, {".gpkg", ".gpkg", ".fgb", ".fgb"}, {".fgb", ".fgb", ".fgb", ".fgb"}};
    for (const std::string own : {".gpkg", ".shp"}) {
        const std::string sites = userSites(12, OFTDate, own);
        const std::vector<std::string> layer =
            own == ".gpkg" ? std::vector<std::string>{"--layer", "sites"} : std::vector<std::string>{};
        const std::string at = folder(own.substr(1)) + "/";
        for (const auto& ext : formats) ASSERT_EQ(rwe(sites, at + "whole" + ext, layer).exit, 0) << ext;
        for (const auto& kinds : partFormats) {
            std::vector<std::string> parts;
            for (int k = 1; k <= 4; ++k) {
                const std::string out = at + "p" + std::to_string(k) + kinds[k - 1];
                parts.push_back(fs::exists(out) ? out : part(sites, k, 4, out, layer));
            }
            for (const auto& ext : formats) {
                SCOPED_TRACE("sites in " + own + ", parts in " + kinds.front() + " and " + kinds.back() + " into " +
                             ext);
                const std::string out = at + "from" + kinds.front() + kinds.back() + ext, whole = at + "whole" + ext;
                const test::Ran merged =
                    run({"merge", "--json", "--output", out, parts[2], parts[0], parts[3], parts[1]});
                ASSERT_EQ(merged.exit, 0) << merged.err;
                EXPECT_EQ(jsonOf(merged.out)["sites"].toInt(), 12) << merged.out;
                EXPECT_EQ(declaredFields(out), declaredFields(whole));
                EXPECT_EQ(test::layerRows(out, "", fields), test::layerRows(whole, "", fields));
                if (ext == ".csv") {
                    EXPECT_EQ(test::fileBytes(out), test::fileBytes(whole));
                }
            }
        }
    }
}

// A shapefile keeps a date and time at midnight as its day: its part and
// a GeoPackage's declare the field otherwise, and their whole would hold
// dates with a time for some sites only.
TEST_F(PartMerge, PartsThatDeclareAFieldOtherwiseAreRefusedNamingThePartAndTheField) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = userSites(10, OFTDateTime, ".gpkg", false);
    const std::string p1 = part(sites, 1, 2, dir.file("p1.gpkg"), {"--layer", "sites"});
    const std::string p2 = part(sites, 2, 2, dir.file("p2.shp"), {"--layer", "sites"});
    const auto before = test::folderBytes(dir.path());
    const test::Ran merged = merge(dir.file("coast.gpkg"), {p1, p2});
    EXPECT_EQ(merged.exit, 2) << merged.err;
    EXPECT_TRUE(contains(merged.err, p2 + ": part 2 of 2 declares the field SURVEYED as Date, part 1 of 2 as DateTime"))
        << merged.err;
    EXPECT_EQ(test::folderBytes(dir.path()), before) << "a refused merge wrote or changed a file";
}

// A shapefile cuts a text to 254 bytes: parts whose whole it would not
// keep as they hold it are refused before anything is written.
TEST_F(PartMerge, AMergeIntoAFormatThatWouldChangeAValueOfThePartsIsRefusedWithNothingWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = userSites(8, OFTDate);
    setValue(sites, 7, "NOTE", std::string(303, 'n').c_str());
    const std::string p1 = part(sites, 1, 2, dir.file("p1.gpkg"), {"--layer", "sites"});
    const std::string p2 = part(sites, 2, 2, dir.file("p2.gpkg"), {"--layer", "sites"});
    const auto before = test::folderBytes(dir.path());
    const test::Ran merged = merge(dir.file("coast.shp"), {p1, p2});
    EXPECT_EQ(merged.exit, 2) << merged.err;
    EXPECT_TRUE(contains(merged.err, "--output " + dir.file("coast.shp") + ": the field NOTE holds 1 text longer than"))
        << merged.err;
    EXPECT_TRUE(contains(merged.err, "303 bytes")) << merged.err;
    EXPECT_EQ(test::folderBytes(dir.path()), before) << "a refused merge wrote or changed a file";
}

// Two sites in three parts: the first holds none, and is a part all the
// same, with its record and the run's fields; in every format the three
// merge into what one whole run writes, the model's metadata lines and all.
TEST_F(PartMerge, ThreePartsOfTwoSitesTheFirstWithoutOneMergeIntoWhatOneWholeRunOutputs) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 2);
    for (const std::string ext : {".gpkg", ".shp", ".fgb", ".csv"}) {
        SCOPED_TRACE(ext);
        const std::string whole = dir.file("whole" + ext), merged = dir.file("merged" + ext);
        ASSERT_EQ(rwe(sites, whole).exit, 0);
        const std::string empty = dir.file("p1" + ext);
        const test::Ran ran = rwe(sites, empty, {"--part", "1/3", "--json"});
        ASSERT_EQ(ran.exit, 0) << ran.err;
        EXPECT_EQ(jsonOf(ran.out)["end"].toString(), "completed") << ran.out;
        EXPECT_EQ(jsonOf(ran.out)["count"].toInt(-1), 0) << ran.out;
        const test::Ran done = merge(merged, {empty, part(sites, 2, 3, dir.file("p2" + ext)),
                                              part(sites, 3, 3, dir.file("p3" + ext))});
        ASSERT_EQ(done.exit, 0) << done.err;
        if (ext == ".csv")
            EXPECT_EQ(test::fileBytes(merged), test::fileBytes(whole));
        else
            EXPECT_EQ(test::layerRows(merged, "", rweFields()), test::layerRows(whole, "", rweFields()));
        const std::string metadata = (ext == ".gpkg" ? ".sites" : "") + std::string(".Metadata_RWE");
        EXPECT_TRUE(contains(test::fileBytes(merged + metadata), "Number of rays used:"));
    }
}

// A GeoPackage keeps every digit of a double, a CSV file 15 of them. The
// merged dataset is read back before it takes its place: a value that it
// does not hold as its part does stops the merge, named by its part, field
// and site in the words and in the JSON's problems, and nothing is written.
TEST_F(PartMerge, AMergedDatasetThatDoesNotHoldAPartsValuesIsNotWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = userSites(8, OFTDate);
    {
        const auto ds = openForUpdate(sites);
        OGRLayer* l = ds->GetLayer(0);
        l->SetNextByIndex(5);
        OGRFeatureUniquePtr sixth(l->GetNextFeature());
        ASSERT_TRUE(sixth);
        sixth->SetField("DECIMAL", 1.0 / 3);
        ASSERT_EQ(l->SetFeature(sixth.get()), OGRERR_NONE);
    }
    const std::string p1 = part(sites, 1, 2, dir.file("p1.gpkg"), {"--layer", "sites"});
    const std::string p2 = part(sites, 2, 2, dir.file("p2.gpkg"), {"--layer", "sites"});
    const auto before = test::folderBytes(dir.path());
    const test::Ran merged = run({"merge", "--json", "--output", dir.file("coast.csv"), p1, p2});
    EXPECT_EQ(merged.exit, 1) << merged.err;
    const std::string why = "the values of part 2 of 2 (" + p2 +
                            ") differ in it: DECIMAL of site 5 is 0.333333333333333 in it, 0.3333333333333333 in the "
                            "part; .csv cannot keep them as the part does";
    EXPECT_TRUE(contains(merged.err, why)) << merged.err;
    const QJsonObject said = jsonOf(merged.out);
    EXPECT_EQ(said["end"].toString(), "failed") << merged.out;
    ASSERT_EQ(said["problems"].toArray().size(), 1) << merged.out;
    EXPECT_TRUE(contains(said["problems"].toArray()[0].toString().toStdString(), why)) << merged.out;
    EXPECT_EQ(test::folderBytes(dir.path()), before) << "a failed merge wrote or changed a file";
}

// SIGTERM stops a merge: it says so in a merge's words (it stores no
// sites), and nothing is written.
TEST_F(PartMerge, AMergeStoppedBySigtermSaysSoInAMergesWordsWithNothingWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 40);
    const std::vector<std::string> parts = {part(sites, 1, 2, dir.file("p1.gpkg")),
                                            part(sites, 2, 2, dir.file("p2.gpkg"))};
    const auto before = test::folderBytes(dir.path());
    // SIGTERM once the merge catches it, as its status tells.
    const auto stopOnceCaught = [](QProcess& p) {
        const std::string status = "/proc/" + std::to_string(p.processId()) + "/status";
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        for (bool caught = false; !caught;) {
            std::ifstream in(status);
            if (!in || std::chrono::steady_clock::now() > giveUp) return;
            for (std::string line; std::getline(in, line);)
                if (line.rfind("SigCgt:", 0) == 0) caught = std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1;
        }
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    };
    const test::Ran stopped =
        run({"merge", "--json", "--output", dir.file("coast.gpkg"), parts[0], parts[1]}, stopOnceCaught);
    EXPECT_EQ(stopped.exit, 1) << stopped.err;
    EXPECT_TRUE(contains(stopped.err, "quor-run: merge: stopping; nothing will be written")) << stopped.err;
    EXPECT_FALSE(contains(stopped.err, "site")) << stopped.err;
    EXPECT_EQ(jsonOf(stopped.out)["end"].toString(), "stopped") << stopped.out;
    EXPECT_EQ(test::folderBytes(dir.path()), before) << "a stopped merge wrote or changed a file";
}

// A part's record holds the digest of its rows as written: a value edited
// since, or a row deleted and another doubled (the count the same), is
// seen before anything is written; so is a text that reads as a number
// saved as that number (as a spreadsheet does), and a number changed
// beyond its 15th digit.
TEST_F(PartMerge, APartChangedAfterItWasWrittenIsRefusedWithNothingWritten) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const std::string sites = test::copyBaySites(folder("sites"), "sites", 20);
    setValue(sites, 13, "CATEGORY", "0507");
    std::vector<std::string> parts;
    for (int k = 1; k <= 5; ++k) parts.push_back(part(sites, k, 5, dir.file("p" + std::to_string(k) + ".gpkg")));
    setValue(parts[2], 2, "RWE", "1234.5");
    // Site 13 is the second of part 4's.
    setValue(parts[3], 2, "CATEGORY", "507");
    {
        const auto ds = openForUpdate(parts[4]);
        OGRLayer* l = ds->GetLayer(0);
        OGRFeatureUniquePtr f(l->GetFeature(1));
        ASSERT_TRUE(f);
        const double rwe = f->GetFieldAsDouble("RWE");
        f->SetField("RWE", std::nextafter(rwe, rwe + 1));
        ASSERT_EQ(l->SetFeature(f.get()), OGRERR_NONE);
    }
    {
        const auto ds = openForUpdate(parts[1]);
        OGRLayer* l = ds->GetLayer(0);
        OGRFeatureUniquePtr doubled(l->GetFeature(3));
        ASSERT_TRUE(doubled);
        doubled->SetFID(OGRNullFID);
        ASSERT_EQ(l->DeleteFeature(2), OGRERR_NONE);
        ASSERT_EQ(l->CreateFeature(doubled.get()), OGRERR_NONE);
    }
    const auto before = test::folderBytes(dir.path());
    const test::Ran merged = merge(dir.file("coast.gpkg"), parts);
    EXPECT_EQ(merged.exit, 2) << merged.err;
    for (const std::string k : {"2", "3", "4", "5"})
        EXPECT_TRUE(contains(merged.err, "part " + k + " of 5 was changed after it was written")) << merged.err;
    EXPECT_FALSE(contains(merged.err, "part 1 of 5 was changed")) << merged.err;
    EXPECT_EQ(test::folderBytes(dir.path()), before) << "a refused merge wrote or changed a file";
}

TEST_F(PartMerge, WithJsonAMergeRefusedForItsOptionsPrintsOneObject) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"merge", "--json", "--output", dir.file("c.gpkg")},
                                                 std::vector<std::string>{"merge", "--json", "--bogus", dir.file("p.gpkg")}}) {
        SCOPED_TRACE(args.back());
        const test::Ran ran = run(args);
        EXPECT_EQ(ran.exit, 2) << ran.err;
        ASSERT_EQ(std::count(ran.out.begin(), ran.out.end(), '\n'), 1) << ran.out;
        const QJsonObject said = jsonOf(ran.out);
        EXPECT_EQ(said["command"].toString(), "merge") << ran.out;
        EXPECT_EQ(said["end"].toString(), "refused");
        EXPECT_EQ(said["problems"].toArray().size(), 1);
    }
}
