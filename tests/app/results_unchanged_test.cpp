// Every result field of a fixed set of Port Phillip sites, after each kind
// of run, written exactly and compared with the table kept beside this
// file (results_unchanged.txt). Speed work on the runs must leave these
// bytes alone. When a run's results change on purpose, regenerate the
// table: with QUOR_WRITE_RESULTS set to a file name, e.g.
//
//   QUOR_WRITE_RESULTS=/tmp/results.txt build/tests/app/app_tests --gtest_filter='ResultsUnchanged.*'
//
// the test writes the table there instead of comparing. Copy it over
// results_unchanged.txt and say in the commit which fields changed and why.
//
// Each run starts from a fresh dataset, so a site's fields hold only what
// that run wrote. Numbers are written as their shortest exact reading
// (two doubles differ in text whenever they differ in bits), empty fields
// as nothing.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/gis/gis.h"
#include "rei/rei_run.h"
#include "test_support.h"
#include "wave/wave_main.h"
#include "wind/loadwind.h"

namespace quor {
namespace {

namespace pg = platform::gis;

// Open water far from shore (992, 254), sheltered corners (256, 995, 209),
// water a few tens of metres from land (899), sites within metres of the
// shore (780, 832), and the sites no run can compute: on land (110), in
// water on a NoData pixel (111, 786), outside the raster (865).
const std::set<std::int64_t> kSites = {110, 111, 209, 254, 256, 780, 786, 832, 865, 899, 992, 995};

// One line per run and site: "<run>\t<site>\t<field>=<value>\t...".
using Table = std::map<std::string, std::string>;  // "<run>\t<site>" -> fields

std::string exactText(const pg::FieldValue& v) {
    if (pg::isNull(v)) return {};
    if (const double* d = std::get_if<double>(&v)) {
        char buf[64];
        const auto end = std::to_chars(buf, buf + sizeof buf, *d).ptr;
        return std::string(buf, end);
    }
    return pg::toText(v);
}

// The sites of kSites, copied from the data set into a fresh dataset.
std::shared_ptr<pg::FeatureClass> copySites(const std::string& data, pg::Workspace& into) {
    auto src = pg::Workspace::open(data + "/sites_portphillip.shp")->openFeatureClass("sites_portphillip");
    auto points = into.createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                          {{"SITE_ID", pg::FieldType::Integer}}, src->spatialReference());
    auto cur = src->search();
    while (auto f = cur.next()) {
        const std::int64_t id = pg::toInt(f->value("SITE_ID"));
        if (!kSites.count(id)) continue;
        pg::Feature g = points->createFeature();
        g.setShape(f->shape());
        g.setValue("SITE_ID", pg::FieldValue{id});
        points->store(g);
    }
    return points;
}

// Every field the run left on every site, SITE_ID aside.
void record(const std::string& run, const pg::FeatureClass& points, Table& table) {
    const auto fields = points.attributeFields();
    auto cur = points.search();
    while (auto f = cur.next()) {
        std::string line;
        for (const auto& def : fields) {
            if (def.name == "SITE_ID") continue;
            line += "\t" + def.name + "=" + exactText(f->value(def.name));
        }
        table[run + "\t" + std::to_string(pg::toInt(f->value("SITE_ID")))] = line;
    }
}

// The project every run starts from, in its own folder.
struct Project {
    test::TempDir dir;
    model::ModelState state;
    model::SettingsHolder fm;
    model::MainFormState mf;
    model::WindSummary wind;
    pg::Map map;
    test::RecordingMessages messages;
    test::RecordingProgress progress;
    std::shared_ptr<pg::FeatureClass> points;

    explicit Project(const std::string& data) {
        mf.dir_path = mf.projfile = dir.path();
        mf.projname = "bay1";
        mf.geodatabasename = "bay1.gpkg";
        mf.ptworkspace = pg::Workspace::createGeoPackage(dir.path() + "/bay1.gpkg");
        mf.shorecov = data;
        mf.shorename = "water_portphillip.shp";
        mf.bathycov = data + "/bathy_portphillip_m.tif";
        mf.bathyname = "bathy_portphillip_m.tif";
        mf.bathyunits = "Meter";
        mf.unitfactor = 1;
        mf.Fetch = 10000;
        mf.dist_bathy = 100;
        state.app_folder = dir.path() + "/app";
        points = copySites(data, *mf.ptworkspace);
    }
};

// An RWE run as the Run command sets it up, with the data set's wind file.
void runRwe(const std::string& data, const std::string& run, int16_t fast, int16_t option, int16_t background,
            Table& table) {
    Project p(data);
    p.mf.windpath = data + "/sample_56.Wind_RWE";
    p.state.Fetch_first = 1000;
    p.state.Depth_intg_first = 100;
    p.state.Depth_intg_second = 100;
    p.state.Eps = 1000;
    p.state.A_goda = 0.17;
    p.state.goda_slope = 1.909;
    p.state.orbvel_on = 1;
    p.state.velocity_method = 1;
    p.state.sea_temp = 20;
    p.state.sea_salinity = 34.84f;
    p.state.wv_indexcheck = fast;
    p.fm.refreshmap = p.fm.refreshmap1 = background;
    gis::RayContext rays{p.state, p.fm, p.mf, p.wind, p.map, p.messages, p.progress};
    wave::WaveRunContext ctx{rays};
    ctx.shpdir = "/nonexistent-folder";  // no metadata file
    ctx.shpname1 = "Pointdata1";
    const auto out = wave::wave_main_cls(ctx).WaveMain(p.points, 1, option);
    ASSERT_EQ(out.end, wave::RunEnd::Completed) << run << ::testing::PrintToString(p.messages.texts());
    record(run, *p.points, table);
}

// An REI run with the data set's wind file and three wind categories.
void runRei(const std::string& data, const std::string& run, int16_t fast, int16_t background, Table& table) {
    Project p(data);
    p.mf.fetchlength = 1;
    p.wind.windpowercoll.assign(32, 0.053f);
    p.fm.windcatno = 3;
    p.fm.wind_cat1 = 30;
    p.fm.wind_cat2 = 60;
    p.fm.Power1 = 0.053;
    p.fm.Power2 = 0.062;
    p.fm.Power5 = 0.082;
    p.fm.indexcheck = fast;
    p.fm.refreshmap = background;
    p.state.wind_path = data + "/sample.Wind_REI";
    rei::ReiRunContext ctx{p.state, p.fm, p.mf, p.wind, p.map, p.messages, p.progress};
    ctx.reloadWind = [&](platform::Messages& m) { return wind::reloadProjectWind(p.state, p.wind, p.fm, m); };
    const auto out = rei::runmodel(ctx, p.points, 1);
    ASSERT_EQ(out.end, rei::ReiRunEnd::Completed) << run << ::testing::PrintToString(p.messages.texts());
    record(run, *p.points, table);
}

Table readTable(const std::string& path) {
    Table table;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto run = line.find('\t');
        const auto site = line.find('\t', run + 1);
        table[line.substr(0, site)] = line.substr(site);
    }
    return table;
}

std::map<std::string, std::string> fieldsOf(const std::string& line) {
    std::map<std::string, std::string> out;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) {
        const auto eq = cell.find('=');
        if (eq != std::string::npos) out[cell.substr(0, eq)] = cell.substr(eq + 1);
    }
    return out;
}

TEST(ResultsUnchanged, EveryRunWritesTheSameFieldsOnTheChosenSites) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    Table now;
    // Background runs take the attached pieces straight from the shoreline;
    // a run in the foreground clips work classes to show them.
    runRwe(data, "rwe clip 16", 0, 0, 1, now);
    runRwe(data, "rwe clip 56", 0, 4, 1, now);
    runRwe(data, "rwe fast 16", 1, 0, 1, now);
    runRwe(data, "rwe fast 56", 1, 4, 1, now);
    runRwe(data, "rwe clip 16 shown", 0, 0, 0, now);
    runRei(data, "rei clip shown", 0, 0, now);
    runRei(data, "rei fast", 1, 1, now);
    if (HasFatalFailure()) return;

    if (const char* out = std::getenv("QUOR_WRITE_RESULTS")) {
        std::ofstream file(out, std::ios::binary);
        for (const auto& [key, fields] : now) file << key << fields << "\n";
        ASSERT_TRUE(file.good()) << out;
        GTEST_SKIP() << "results written to " << out;
    }
    const Table kept = readTable(QUOR_RESULTS_TABLE);
    ASSERT_FALSE(kept.empty()) << "no table in " << QUOR_RESULTS_TABLE;
    auto where = [](std::string key) { return key.replace(key.find('\t'), 1, " site "); };
    for (const auto& [key, line] : kept) {
        const auto it = now.find(key);
        if (it == now.end()) {
            ADD_FAILURE() << where(key) << ": no longer written";
            continue;
        }
        const auto before = fieldsOf(line), after = fieldsOf(it->second);
        for (const auto& [name, value] : before) {
            const auto a = after.find(name);
            if (a == after.end())
                ADD_FAILURE() << where(key) << " " << name << ": field gone";
            else if (a->second != value)
                ADD_FAILURE() << where(key) << " " << name << ": kept \"" << value << "\", now \"" << a->second << "\"";
        }
        for (const auto& [name, value] : after)
            if (!before.count(name)) ADD_FAILURE() << where(key) << " " << name << ": new field";
    }
    for (const auto& [key, line] : now)
        if (!kept.count(key)) ADD_FAILURE() << where(key) << ": new line";
}

}  // namespace
}  // namespace quor
