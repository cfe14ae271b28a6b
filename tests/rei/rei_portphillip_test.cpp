// The REI run on the Port Phillip data set with its sample wind file: the
// sites on land, on NoData and outside the raster keep empty fields and
// are counted; every site in water gets an index that agrees with the
// reference ray lengths. The same depths in other formats run alike.
#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/gis/gis.h"
#include "project/interrogation_distance.h"
#include "rays_test_data.h"
#include "rei/rei_run.h"
#include "test_support.h"
#include "wind/loadwind.h"

namespace quor::rei {
namespace {

using Proj = gis::testdata::Project<test::RecordingMessages, test::RecordingProgress>;

// Reference lengths of the 32 REI rays by site id (columns L0 .. L31).
std::map<std::int64_t, std::vector<double>> referenceLengths(const std::string& path) {
    std::map<std::int64_t, std::vector<double>> out;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::vector<std::string> cells;
        std::string cell;
        while (std::getline(ss, cell, ',')) cells.push_back(cell);
        std::vector<double> L;
        for (int d = 0; d < 32; ++d) L.push_back(std::stod(cells.at(3 + d)));
        out[std::stoll(cells[0])] = L;
    }
    return out;
}

// The bay's REI settings: the sample wind file in three categories.
void configureBayRun(Proj& p, const std::string& dir) {
    p.mf.bathycov = dir + "/bathy_portphillip_m.tif";
    p.mf.fetchlength = 1;
    p.fm.windcatno = 3;
    p.fm.wind_cat1 = 30;
    p.fm.wind_cat2 = 60;
    p.fm.Power1 = 0.053;
    p.fm.Power2 = 0.062;
    p.fm.Power5 = 0.082;
    p.fm.refreshmap = 1;
    p.state.wind_path = dir + "/sample.Wind_REI";
}

// Every 20th site of each category, copied into a point class of the
// project, with the category of each.
struct BaySites {
    std::shared_ptr<platform::gis::FeatureClass> points;
    std::map<std::int64_t, std::string> category;
};

BaySites copySites(Proj& p, const std::string& dir, const std::string& name) {
    namespace pg = platform::gis;
    auto src = pg::Workspace::open(dir + "/sites_portphillip.shp")->openFeatureClass("sites_portphillip");
    BaySites sites;
    sites.points = p.mf.ptworkspace->createFeatureClass(
        name, pg::GeometryType::Point, {{"SITE_ID", pg::FieldType::Integer}}, src->spatialReference());
    auto ins = sites.points->insertCursor(true);
    auto cur = src->search();
    while (auto f = cur.next()) {
        const auto id = pg::toInt(f->value("SITE_ID"));
        const std::string cat = pg::toText(f->value("CATEGORY"));
        if (cat == "water" && id % 20 != 1) continue;
        pg::Feature g = ins.createFeatureBuffer();
        g.setShape(f->shape());
        g.setValue("SITE_ID", id);
        ins.insert(g);
        sites.category[id] = cat;
    }
    ins.flush();
    return sites;
}

// A run of the project over `points`, its messages recorded afresh.
ReiRunOutcome runRei(Proj& p, const std::shared_ptr<platform::gis::FeatureClass>& points, int fast) {
    p.fm.indexcheck = static_cast<std::int16_t>(fast);
    p.messages.entries.clear();
    ReiRunContext ctx{p.state, p.fm, p.mf, p.wind, p.map, p.messages, p.progress};
    ctx.reloadWind = [&](platform::Messages& m) { return wind::reloadProjectWind(p.state, p.wind, p.fm, m); };
    return runmodel(ctx, points, 1);
}

TEST(ReiPortPhillip, RunWithTheSampleWindFile) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    test::TempDir tmp;
    std::filesystem::create_directories(tmp.path() + "/proj");
    Proj p(tmp.path() + "/proj", dir, "water_portphillip.shp");
    configureBayRun(p, dir);
    namespace pg = platform::gis;
    auto [fc, category] = copySites(p, dir, "Pointdata1");

    const auto reference = referenceLengths(dir + "/fetch_portphillip_rei32.csv");
    for (int fast : {0, 1}) {
        SCOPED_TRACE(fast);
        const auto out = runRei(p, fc, fast);
        ASSERT_EQ(out.end, ReiRunEnd::Completed) << ::testing::PrintToString(p.messages.texts());
        EXPECT_EQ(p.wind.windspd_sw, 10.11);
        EXPECT_EQ(out.sites, static_cast<std::int64_t>(category.size()));

        std::int64_t empty = 0;
        auto cur = fc->search();
        while (auto f = cur.next()) {
            const auto id = pg::toInt(f->value("SITE_ID"));
            const auto index = f->value("Index");
            if (pg::isNull(index)) {
                ++empty;
                // Only sites that cannot be computed stay empty; 111 and 786 are on NoData pixels.
                EXPECT_TRUE(category[id] != "water" || id == 111 || id == 786) << id;
                continue;
            }
            EXPECT_GT(pg::toDouble(index), 0) << id;
            EXPECT_NE(category[id], "outside") << id;
            if (fast) EXPECT_FALSE(pg::isNull(f->value("Indexee"))) << id;
            // Clip mode: each ray is the attached piece of the reference; fast
            // mode walks the grid, so it only stays within the maximum fetch.
            for (int r = 1; r <= 32; ++r) {
                const double len = pg::toDouble(f->value("Ray" + std::to_string(r)));
                if (fast)
                    EXPECT_LE(len, 10000 + 1e-6);
                else
                    EXPECT_NEAR(len, reference.at(id).at(r - 1), 1e-4) << id << " ray " << r;
            }
        }
        EXPECT_EQ(empty, out.failed + out.skipped);
        EXPECT_GE(out.failed, 5);  // at least the five sites outside the raster
        EXPECT_EQ(p.messages.texts().back(),
                  std::to_string(empty) + " of " + std::to_string(out.sites) + " sites could not be processed");
    }
}

// The bay's depths made positive, with NoData -3.4e38 in ERDAS Imagine and
// -99.99 in a .bil (neither exactly a float), run as the same depths in a
// GeoTIFF: the depth sign the project takes from the extremes, and with it
// every site's result, are the same.
TEST(ReiPortPhillip, PositiveDepthsWhoseNoDataIsNoFloatRunAsTheirGeoTiffTwin) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    namespace pg = platform::gis;
    test::TempDir tmp;
    auto bay = pg::Raster::open(dir + "/bathy_portphillip_m.tif");
    const int w = bay->width(), h = bay->height();
    std::vector<float> depths(static_cast<std::size_t>(w) * h);
    ASSERT_EQ(bay->dataset()->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, w, h, depths.data(), w, h, GDT_Float32, 0, 0),
              CE_None);
    const auto writeTwin = [&](const char* driver, const std::string& name, double noData) {
        std::vector<float> cells(depths.size());
        std::transform(depths.begin(), depths.end(), cells.begin(),
                       [&](float d) { return d == -9999.0f ? static_cast<float>(noData) : -d; });
        pg::DatasetHandle ds(GetGDALDriverManager()->GetDriverByName(driver)->Create(tmp.file(name).c_str(), w, h, 1,
                                                                                      GDT_Float32, nullptr));
        ASSERT_TRUE(ds);
        double gt[6];
        bay->dataset()->GetGeoTransform(gt);
        ds->SetGeoTransform(gt);
        ds->SetSpatialRef(bay->dataset()->GetSpatialRef());
        ds->GetRasterBand(1)->SetNoDataValue(noData);
        ASSERT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, h, cells.data(), w, h, GDT_Float32, 0, 0), CE_None);
    };
    writeTwin("GTiff", "bay.tif", -9999);
    writeTwin("HFA", "bay.img", -3.4e38);
    writeTwin("EHdr", "bay.bil", -99.99);

    std::filesystem::create_directories(tmp.path() + "/proj");
    Proj p(tmp.path() + "/proj", dir, "water_portphillip.shp");
    configureBayRun(p, dir);
    // Each site's index and rays, empty where the site could not be computed.
    using Results = std::map<std::int64_t, std::vector<std::optional<double>>>;
    std::map<std::string, Results> results;
    std::map<std::string, std::string> said;
    for (const std::string name : {"bay.tif", "bay.img", "bay.bil"}) {
        SCOPED_TRACE(name);
        p.mf.bathycov = tmp.file(name);
        // As the project's opening sets it.
        const auto [minimum, maximum] = pg::Raster::open(p.mf.bathycov)->minMax();
        p.mf.depthno = project::depthSignFlag(minimum, maximum).value_or(-1);
        const BaySites sites = copySites(p, dir, "Pointdata" + std::to_string(results.size() + 1));
        ASSERT_EQ(runRei(p, sites.points, 1).end, ReiRunEnd::Completed) << ::testing::PrintToString(p.messages.texts());
        said[name] = p.messages.texts().back();
        std::vector<std::string> fields = {"Index", "Indexee"};
        for (int r = 1; r <= 32; ++r) fields.push_back("Ray" + std::to_string(r));
        auto cur = sites.points->search();
        while (auto f = cur.next()) {
            const auto id = pg::toInt(f->value("SITE_ID"));
            auto& site = results[name][id];
            for (const std::string& field : fields) {
                const auto v = f->value(field);
                site.push_back(pg::isNull(v) ? std::nullopt : std::optional(pg::toDouble(v)));
            }
            // The GeoTIFF computes every site in water but the one on a NoData pixel.
            if (name == "bay.tif" && sites.category.at(id) == "water" && id != 111) {
                EXPECT_TRUE(site.front()) << id;
            }
        }
    }
    // The sites whose results differ from the GeoTIFF's.
    const auto differing = [&](const std::string& name) {
        std::vector<std::int64_t> ids;
        for (const auto& [id, site] : results["bay.tif"])
            if (results[name][id] != site) ids.push_back(id);
        return ids;
    };
    EXPECT_EQ(differing("bay.img"), std::vector<std::int64_t>{});
    EXPECT_EQ(differing("bay.bil"), std::vector<std::int64_t>{});
    EXPECT_EQ(said["bay.img"], said["bay.tif"]);
    EXPECT_EQ(said["bay.bil"], said["bay.tif"]);
}

// Every field of every site, as text.
std::string tableText(const platform::gis::FeatureClass& fc) {
    std::string out;
    auto cur = fc.search();
    while (auto f = cur.next()) {
        out += std::to_string(f->oid());
        for (int i = 2; i < f->fields().count(); ++i) out += " " + platform::gis::toText(f->value(i));
        out += "\n";
    }
    return out;
}

// The bay's sites computed on four threads: the same fields, messages,
// progress and map as on one, on the clipping and the fast path, drawn
// and in the background.
TEST(ReiPortPhillip, FourThreadsWriteWhatOneThreadWrites) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    struct Trace {
        ReiRunOutcome out;
        std::string table;
        std::vector<std::string> said;
        std::vector<int> bar;
        int mapChanges = 0;
    };
    auto run = [&](int threads, int fast, bool drawn) {
        test::RunThreads use(threads);
        test::TempDir tmp;
        std::filesystem::create_directories(tmp.path() + "/proj");
        Proj p(tmp.path() + "/proj", dir, "water_portphillip.shp");
        configureBayRun(p, dir);
        p.fm.refreshmap = drawn ? 0 : 1;
        Trace t;
        p.map.addListener([&t] { ++t.mapChanges; });
        auto sites = copySites(p, dir, "Pointdata1");
        t.out = runRei(p, sites.points, fast);
        t.table = tableText(*sites.points);
        t.said = p.messages.texts();
        t.bar = p.progress.bar1History;
        return t;
    };
    for (const auto& [fast, drawn] : std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {1, false}}) {
        SCOPED_TRACE(std::string(fast ? "fast" : "clip") + (drawn ? ", drawn" : ", not drawn"));
        const Trace one = run(1, fast, drawn);
        const Trace four = run(4, fast, drawn);
        ASSERT_EQ(one.out.end, ReiRunEnd::Completed) << ::testing::PrintToString(one.said);
        EXPECT_EQ(one.out.threads, 1);
        EXPECT_EQ(four.out.threads, 4);
        EXPECT_EQ(four.out.end, one.out.end);
        EXPECT_EQ(four.out.written, one.out.written);
        EXPECT_EQ(four.out.failed, one.out.failed);
        EXPECT_EQ(four.table, one.table);
        EXPECT_EQ(four.said, one.said);
        EXPECT_EQ(four.bar, one.bar);
        EXPECT_EQ(four.mapChanges, one.mapChanges);
    }
}

}  // namespace
}  // namespace quor::rei
