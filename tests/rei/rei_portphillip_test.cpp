// The REI run on the Port Phillip data set with its sample wind file: the
// sites on land, on NoData and outside the raster keep empty fields and
// are counted; every site in water gets an index that agrees with the
// reference ray lengths.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/gis/gis.h"
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

TEST(ReiPortPhillip, RunWithTheSampleWindFile) {
    QUOR_REQUIRE_PORTPHILLIP(dir);
    test::TempDir tmp;
    std::filesystem::create_directories(tmp.path() + "/proj");
    Proj p(tmp.path() + "/proj", dir, "water_portphillip.shp");
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

    // Every 20th site of each category, copied into the project.
    namespace pg = platform::gis;
    auto src = pg::Workspace::open(dir + "/sites_portphillip.shp")->openFeatureClass("sites_portphillip");
    auto fc = p.mf.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                   {{"SITE_ID", pg::FieldType::Integer}}, src->spatialReference());
    std::map<std::int64_t, std::string> category;
    {
        auto ins = fc->insertCursor(true);
        auto cur = src->search();
        while (auto f = cur.next()) {
            const auto id = pg::toInt(f->value("SITE_ID"));
            const std::string cat = pg::toText(f->value("CATEGORY"));
            if (cat == "water" && id % 20 != 1) continue;
            pg::Feature g = ins.createFeatureBuffer();
            g.setShape(f->shape());
            g.setValue("SITE_ID", id);
            ins.insert(g);
            category[id] = cat;
        }
        ins.flush();
    }

    const auto reference = referenceLengths(dir + "/fetch_portphillip_rei32.csv");
    for (int fast : {0, 1}) {
        SCOPED_TRACE(fast);
        p.fm.indexcheck = static_cast<std::int16_t>(fast);
        p.messages.entries.clear();
        ReiRunContext ctx{p.state, p.fm, p.mf, p.wind, p.map, p.messages, p.progress};
        ctx.reloadWind = [&](platform::Messages& m) { return wind::reloadProjectWind(p.state, p.wind, p.fm, m); };
        const auto out = runmodel(ctx, fc, 1);
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

}  // namespace
}  // namespace quor::rei
