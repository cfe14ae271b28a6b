// The REI run end to end on a synthetic lake: a square of water 10 m deep
// inside land that has no data, a NoData hole in the water, and sites that
// cannot be computed.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <utility>

#include "model/bathy_units.h"
#include "model/setting_checks.h"
#include "platform/gis/gis.h"
#include "platform/textfile.h"
#include "project/run_hold.h"
#include "project/run_sites.h"
#include "rays_test_data.h"
#include "rei/rei_fields.h"
#include "rei/rei_index.h"
#include "rei/rei_run.h"
#include "rei/run_messages.h"
#include "refused_writes.h"
#include "test_support.h"
#include "wind/iindex_tool.h"
#include "wind/loadwind.h"
#include "wind/rei_wind_file.h"
#include "wind/ui/windprocess_form.h"

namespace quor::rei {
namespace {

using namespace gis::testdata;
using Proj = Project<test::RecordingMessages, test::RecordingProgress>;

double lakeDepth(double x, double y) {
    const bool water = x >= 0 && x <= 20000 && y >= 0 && y <= 20000;
    if (!water) return std::nan("");
    if (x >= 14000 && x <= 14400 && y >= 14000 && y <= 14400) return std::nan("");  // hole
    return -10;
}

// The depth term of one fully wet ray of length L with uniform depth z,
// sampled every D metres from the site, added as the model adds it.
double uniformRayTerm(double L, double D, double F, double z, double p) {
    double sum = 0;
    const int n = static_cast<int>(std::lround(L / D));
    for (int j = 0; j <= n; ++j) {
        const double r = j * D;
        sum = sum + (1 - r / F) * ((std::abs(z) * L) / std::pow(1 + r, p));
    }
    return sum;
}

class ReiRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(tmp.path() + "/shore");
        writeShoreline(tmp.path() + "/shore", "lake", {{Ring{{0, 0}, {20000, 0}, {20000, 20000}, {0, 20000}}}});
        writeBathymetry(tmp.path() + "/bathy.tif", -2000, -2000, 100, 240, 240, lakeDepth);
        std::filesystem::create_directories(tmp.path() + "/proj");
        p = std::make_unique<Proj>(tmp.path() + "/proj", tmp.path() + "/shore", "lake.shp");
        p->mf.bathycov = tmp.path() + "/bathy.tif";
        p->mf.Fetch = 5000;
        p->fm.windcatno = 3;
        p->fm.wind_cat1 = 30;
        p->fm.wind_cat2 = 60;
        p->fm.Power1 = 0.053;
        p->fm.Power2 = 0.062;
        p->fm.Power5 = 0.082;
        p->fm.refreshmap = 1;  // no layers for the eye: faster

        wind::ReiWindClimate c;
        for (int k = 0; k < 8; ++k) {
            c.speed[k] = 4 + k;  // all under 30 mph: power 0.053
            c.percent[k] = 12.5;
        }
        p->state.wind_path = tmp.file("proj/wind.txt");
        wind::writeReiWindHandEntry(p->state.wind_path, c);
    }

    std::shared_ptr<pg::FeatureClass> points(const std::vector<std::optional<pg::Point>>& sites) {
        auto fc = p->mf.ptworkspace->createFeatureClass(
            "Pointdata1", pg::GeometryType::Point, {{"SITE", pg::FieldType::Integer}}, pg::SpatialReference::fromEpsg(32755));
        auto ins = fc->insertCursor(true);
        for (size_t i = 0; i < sites.size(); ++i) {
            pg::Feature f = ins.createFeatureBuffer();
            if (sites[i]) f.setShape(pg::Geometry::point(*sites[i]));
            f.setValue("SITE", static_cast<std::int64_t>(i + 1));
            ins.insert(f);
        }
        ins.flush();
        return fc;
    }

    // Six sites in a row across the lake as a point shapefile "sites";
    // its folder.
    std::string sixShapefileSites() {
        const std::string folder = tmp.path() + "/pts";
        std::vector<pg::Point> sites;
        for (int k = 0; k < 6; ++k) sites.push_back(p->site(3000 + 1500 * k, 9000));
        shapefileSites(folder, sites);
        return folder;
    }

    // The sites as a point shapefile "sites" in `folder`, let go again.
    void shapefileSites(const std::string& folder, const std::vector<pg::Point>& sites) {
        std::filesystem::create_directories(folder);
        auto fc = pg::Workspace::open(folder)->createFeatureClass("sites", pg::GeometryType::Point,
                                                                  {{"SITE", pg::FieldType::Integer}},
                                                                  pg::SpatialReference::fromEpsg(32755));
        for (const auto& site : sites) {
            pg::Feature f = fc->createFeature();
            f.setShape(pg::Geometry::point(site));
            fc->store(f);
        }
    }

    ReiRunContext context() {
        ReiRunContext ctx{p->state, p->fm, p->mf, p->wind, p->map, p->messages, p->progress};
        ctx.reloadWind = [this](platform::Messages& m) {
            return wind::reloadProjectWind(p->state, p->wind, p->fm, m);
        };
        return ctx;
    }

    // The fast mode run on the shapefile sites in `folder`, with `shell` as
    // its window (none: headless): how it ended and its last words.
    std::pair<ReiRunEnd, std::string> fastRun(const std::string& folder, model::RunShell* shell = nullptr) {
        p->fm.indexcheck = 1;
        auto fc = pg::Workspace::open(folder)->openFeatureClass("sites");
        auto ctx = context();
        ctx.shell = shell;
        const ReiRunEnd end = runmodel(ctx, fc, 1).end;
        const auto texts = p->messages.texts();
        return {end, texts.empty() ? std::string() : texts.back()};
    }

    double expectedIndex() const {
        const double B = uniformRayTerm(5000, 100, 5000, -10, static_cast<float>(0.053));
        double sum = 0;
        for (int k = 0; k < 8; ++k) sum += (B * (4 + k)) * 12.5;
        return sum * 100 / (8 * 5000.0 * 100);
    }

    test::TempDir tmp;
    std::unique_ptr<Proj> p;
};

TEST_F(ReiRunTest, ClipAndFastRunsWriteTheFormulaAndLeaveFailedSitesEmpty) {
    auto fc = points({p->site(10000, 10000), p->site(14200, 14200), p->site(-1000, -1000), std::nullopt,
                      p->site(6000, 8000)});
    const double expected = expectedIndex();
    for (int fast : {0, 1}) {
        SCOPED_TRACE(fast);
        p->fm.indexcheck = static_cast<int16_t>(fast);
        p->messages.entries.clear();
        auto ctx = context();
        const auto out = runmodel(ctx, fc, 1);
        ASSERT_EQ(out.end, ReiRunEnd::Completed) << ::testing::PrintToString(p->messages.texts());
        EXPECT_EQ(out.sites, 5);
        EXPECT_EQ(out.written, 2);
        EXPECT_EQ(out.failed, 2);  // the NoData hole and the site on land
        EXPECT_EQ(out.skipped, 1);
        EXPECT_EQ(p->messages.texts().back(), "3 of 5 sites could not be processed");
        EXPECT_FALSE(p->state.run_lock.active());

        for (std::int64_t oid : {1, 5}) {
            const auto f = fc->feature(oid);
            // Vertex distances carry the rounding of real-size coordinates.
            EXPECT_NEAR(pg::toDouble(f.value("Index")), expected, expected * 1e-8) << oid;
            if (fast) EXPECT_NEAR(pg::toDouble(f.value("Indexnn")), uniformRayTerm(5000, 100, 5000, -10, 0.053f),
                                  1e-2);
        }
        for (std::int64_t oid : {2, 3, 4}) EXPECT_TRUE(pg::isNull(fc->feature(oid).value("Index"))) << oid;
        for (const auto& n : p->mf.ptworkspace->featureClassNames())
            for (const auto& w : gis::kRayWorkClasses) EXPECT_NE(n, w);
        EXPECT_EQ(p->map.layerCount(), 0);
    }
}

TEST_F(ReiRunTest, TheProjectsDepthUnitsScaleTheDepths) {
    auto fc = points({p->site(10000, 10000)});
    p->mf.bathyunits = "Centimeter";  // the raster's -10 then means 10 cm
    auto ctx = context();
    ASSERT_EQ(runmodel(ctx, fc, 1).end, ReiRunEnd::Completed);
    EXPECT_EQ(p->mf.unitfactor, 100.0f);
    EXPECT_NEAR(pg::toDouble(fc->feature(1).value("Index")), expectedIndex() / 100, expectedIndex() * 1e-10);
}

TEST_F(ReiRunTest, RefusesBeforeTouchingTheDataset) {
    auto fc = points({p->site(10000, 10000)});
    auto refused = [&](const std::string& text) {
        SCOPED_TRACE(text);
        const int fieldsBefore = fc->fields()->count();
        p->messages.entries.clear();
        auto ctx = context();
        const auto out = runmodel(ctx, fc, 1);
        EXPECT_EQ(out.end, ReiRunEnd::Refused);
        EXPECT_EQ(fc->fields()->count(), fieldsBefore);
        ASSERT_FALSE(p->messages.entries.empty());
        EXPECT_NE(p->messages.entries.back().text.find(text), std::string::npos) << p->messages.entries.back().text;
    };
    p->mf.Fetch = 99;
    refused(model::kMsgFetchRange);
    p->mf.Fetch = 5000;
    p->mf.dist_bathy = 201;
    refused(model::kMsgBathyDistanceRange);
    p->mf.dist_bathy = 100;

    const std::string shore = p->mf.shorename;
    p->mf.shorename.clear();
    refused(kNoShoreline);
    p->mf.shorename = "missing.shp";
    refused("The shoreline missing.shp cannot be used");
    p->mf.shorename = shore;

    writeBathymetry(tmp.path() + "/empty.tif", 0, 0, 100, 10, 10, [](double, double) { return std::nan(""); });
    p->mf.bathycov = tmp.path() + "/empty.tif";
    refused("holds no valid depth");
    p->mf.bathycov = tmp.path() + "/bathy.tif";

    // The wind file is read at every start: a broken one refuses the run.
    platform::writeTextLines(p->state.wind_path, {"not a wind file"});
    refused(wind::kWindFileNotAvailable);
    EXPECT_FALSE(p->state.dlg_cancel);  // a New Project later is not cancelled by it
    const std::string windFile = p->state.wind_path;
    p->state.wind_path.clear();
    refused(model::kNoProjectWind);
    p->state.wind_path = windFile;

    // An existing index field that is not a real number.
    fc->addField(pg::FieldDef("Index", pg::FieldType::String, {}, 10));
    refused("\"Index\"");
}

TEST_F(ReiRunTest, ChangedPowersReachTheNextRunAndNoKeepsTheDataset) {
    auto fc = points({p->site(10000, 10000)});
    auto ctx = context();
    ASSERT_EQ(runmodel(ctx, fc, 1).end, ReiRunEnd::Completed);
    const double first = pg::toDouble(fc->feature(1).value("Index"));

    // A power changed in the settings is used without reopening the project.
    p->fm.Power1 = 0.2;
    p->messages.answers = {true};
    ASSERT_EQ(runmodel(ctx, fc, 1).end, ReiRunEnd::Completed);
    // After the first run's "Processing Done".
    EXPECT_EQ(p->messages.texts().at(1), std::string(kReplaceReiQuestion) + " This replaces the field Index.");
    EXPECT_LT(pg::toDouble(fc->feature(1).value("Index")), first);
    EXPECT_EQ(p->wind.windpower_ee, 0.2f);

    // "No" adds nothing and writes nothing (ray fields were asked for).
    p->mf.fetchlength = 1;
    p->messages.entries.clear();
    p->messages.answers = {false};
    const int fields = fc->fields()->count();
    const double before = pg::toDouble(fc->feature(1).value("Index"));
    EXPECT_EQ(runmodel(ctx, fc, 1).end, ReiRunEnd::Declined);
    EXPECT_EQ(fc->fields()->count(), fields);
    EXPECT_EQ(pg::toDouble(fc->feature(1).value("Index")), before);
}

TEST(ReiFields, OnlyMissingFieldsAreAddedInOrder) {
    test::TempDir dir;
    auto ws = pg::Workspace::createGeoPackage(dir.file("f.gpkg"));
    auto fc = ws->createFeatureClass("pts", pg::GeometryType::Point, {{"Indexnn", pg::FieldType::Double}});
    test::RecordingMessages msgs;
    msgs.answers = {true};
    ASSERT_EQ(addREIfields_dir(*fc, true, msgs), FieldsResult::Ready);
    EXPECT_EQ(msgs.texts(),
              std::vector<std::string>{std::string(kReplaceReiQuestion) + " This replaces the field Indexnn."});
    const auto& f = *fc->fields();
    ASSERT_EQ(f.count(), 2 + 9 + 32);
    EXPECT_EQ(f.field(2).name, "Indexnn");
    EXPECT_EQ(f.field(3).name, "Indexne");
    EXPECT_EQ(f.field(10).name, "Index");
    EXPECT_EQ(f.field(11).name, "Ray1");
    EXPECT_EQ(f.field(42).name, "Ray32");
    EXPECT_EQ(f.field(10).type, pg::FieldType::Double);

    // Clip mode on a fast-mode dataset asks, and adds nothing more.
    msgs.entries.clear();
    msgs.answers = {true};
    EXPECT_EQ(addREIfields(*fc, true, msgs), FieldsResult::Ready);
    EXPECT_EQ(fc->fields()->count(), 43);
    msgs.answers = {false};
    EXPECT_EQ(addREIfields(*fc, true, msgs), FieldsResult::Declined);

    // A clip-mode dataset prepared for the fast mode: its "Index" is named.
    auto clip = ws->createFeatureClass("clip", pg::GeometryType::Point, {{"Index", pg::FieldType::Double}});
    msgs.entries.clear();
    msgs.answers = {true};
    EXPECT_EQ(addREIfields_dir(*clip, false, msgs), FieldsResult::Ready);
    EXPECT_EQ(msgs.texts(), std::vector<std::string>{project::replaceFieldsQuestion("clip", {"Index"})});
    EXPECT_EQ(clip->fields()->count(), 2 + 9);
    EXPECT_FALSE(reiFieldProblem(*clip, true, true));
    auto text = ws->createFeatureClass("text", pg::GeometryType::Point, {{"Ray7", pg::FieldType::Integer}});
    EXPECT_FALSE(reiFieldProblem(*text, true, false));
    EXPECT_TRUE(reiFieldProblem(*text, true, true));
    // A shapefile's real-number field of fewer decimals than the run's own would cut the values.
    std::filesystem::create_directories(dir.file("narrow"));
    auto narrow = pg::Workspace::open(dir.file("narrow"))
                      ->createFeatureClass("narrow", pg::GeometryType::Point,
                                           {{"Index", pg::FieldType::Double, {}, 12}});
    EXPECT_TRUE(reiFieldProblem(*narrow, false, false));

    EXPECT_EQ(model::unitFactorOf("Feet"), 3.281f);
    EXPECT_EQ(model::unitFactorOf("CENTIMETER"), 100.0f);
    EXPECT_EQ(model::unitFactorOf("Meters"), 1.0f);
}

}  // namespace
}  // namespace quor::rei

namespace quor::rei {
namespace {

TEST_F(ReiRunTest, ProcessShapefileReweightsAFastRunWithItsOwnWind) {
    auto fc = points({p->site(10000, 10000), p->site(14200, 14200), p->site(6000, 8000), p->site(3000, 15000)});
    p->fm.indexcheck = 1;
    auto ctx = context();
    ASSERT_EQ(runmodel(ctx, fc, 1).end, ReiRunEnd::Completed);
    const model::WindSummary holderBefore = p->wind;
    const std::string windBefore = p->state.wind_path;

    // The run's own wind file, fetch and distance give the run's Index exactly.
    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    wind::IIndexInput in{fc, p->state.wind_path, "5000", "100"};
    auto out = wind::processIIndex(in, msgs, progress);
    ASSERT_EQ(out.end, wind::IIndexEnd::Written);
    EXPECT_EQ(out.written, 3);
    EXPECT_EQ(out.missing, 1);  // the NoData site has no directional values
    EXPECT_EQ(msgs.texts(), std::vector<std::string>{
                                "1 of 4 features have no directional index values; their IIndex was left empty."});
    EXPECT_EQ(progress.bar1History, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_FALSE(progress.visible);
    for (std::int64_t oid : {1, 3, 4})
        EXPECT_EQ(pg::toDouble(fc->feature(oid).value("IIndex")), pg::toDouble(fc->feature(oid).value("Index")));
    EXPECT_TRUE(pg::isNull(fc->feature(2).value("IIndex")));

    // Another climate: a file written by the analysis (25 lines) is taken
    // without complaint; doubling every speed doubles IIndex.
    wind::ReiWindClimate c;
    for (int k = 0; k < 8; ++k) {
        c.speed[k] = 2 * (4 + k);
        c.percent[k] = 12.5;
    }
    wind::writeReiWindAnalysis(tmp.file("other.Wind_REI"), c, "x", {2010, 1, 1}, {2010, 2, 1}, 7);
    msgs.entries.clear();
    msgs.answers = {true};
    in.windFile = tmp.file("other.Wind_REI");
    ASSERT_EQ(wind::processIIndex(in, msgs, progress).end, wind::IIndexEnd::Written);
    EXPECT_EQ(msgs.texts().front(), wind::kReplaceIIndex);
    EXPECT_NEAR(pg::toDouble(fc->feature(1).value("IIndex")), 2 * pg::toDouble(fc->feature(1).value("Index")),
                1e-9 * pg::toDouble(fc->feature(1).value("Index")));
    const double reweighted = pg::toDouble(fc->feature(1).value("IIndex"));

    // The project's wind stays as it was.
    EXPECT_EQ(p->state.wind_path, windBefore);
    EXPECT_EQ(p->wind.windspd_ee, holderBefore.windspd_ee);

    // No to replacing keeps the values.
    msgs.answers = {false};
    in.windFile = p->state.wind_path;
    EXPECT_EQ(wind::processIIndex(in, msgs, progress).end, wind::IIndexEnd::Declined);
    EXPECT_EQ(pg::toDouble(fc->feature(1).value("IIndex")), reweighted);
}

TEST_F(ReiRunTest, ProcessShapefileRefusesWhatItCannotWeigh) {
    auto fc = points({p->site(10000, 10000)});
    auto ctx = context();
    ASSERT_EQ(runmodel(ctx, fc, 1).end, ReiRunEnd::Completed);  // clip mode: "Index" only
    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    auto refused = [&](wind::IIndexInput in, const std::string& text) {
        SCOPED_TRACE(text);
        msgs.entries.clear();
        msgs.answers = {true};
        EXPECT_EQ(wind::processIIndex(in, msgs, progress).end, wind::IIndexEnd::Refused);
        ASSERT_FALSE(msgs.entries.empty());
        EXPECT_NE(msgs.entries.back().text.find(text), std::string::npos) << msgs.entries.back().text;
        EXPECT_FALSE(progress.visible);
    };
    refused({nullptr, p->state.wind_path, "5000", "100"}, wind::kChooseDataset);
    refused({fc, p->state.wind_path, "5000", "100"}, wind::kNoIndividualIndex);
    EXPECT_LT(fc->findField("IIndex"), 0);

    for (const char* f : {"Indexne", "Indexnn", "Indexnw", "Indexww", "Indexsw", "Indexss", "Indexse"})
        fc->addField(pg::FieldDef(f, pg::FieldType::Double));
    refused({fc, p->state.wind_path, "5000", "100"}, "Indexee");
    fc->addField(pg::FieldDef("Indexee", pg::FieldType::Double));
    refused({fc, p->state.wind_path, "0", "100"}, wind::kBadFetchOrDistance);
    refused({fc, p->state.wind_path, "5000", "abc"}, wind::kBadFetchOrDistance);
    std::vector<std::string> lines(30, "1");
    platform::writeTextLines(tmp.file("long.txt"), lines);
    refused({fc, tmp.file("long.txt"), "5000", "100"}, "The wind file cannot be used");
    refused({fc, tmp.file("none.txt"), "5000", "100"}, "The wind file cannot be used");
    EXPECT_LT(fc->findField("IIndex"), 0);
}

// The tool writes into the dataset as a run does: never while another
// program runs a model on it.
TEST_F(ReiRunTest, ProcessShapefileIsRefusedWhileAnotherProgramRunsOnTheDataset) {
    const std::string folder = tmp.file("pts");
    std::filesystem::create_directories(folder);
    std::vector<pg::FieldDef> fields;
    for (const auto& f : kDirectionalFields) fields.emplace_back(f, pg::FieldType::Double);
    auto fc = pg::Workspace::open(folder)->createFeatureClass("sites", pg::GeometryType::Point, fields,
                                                             pg::SpatialReference::fromEpsg(32755));
    const std::string shp = project::shapefileShpPath(folder, "sites");
    ASSERT_FALSE(shp.empty());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t other = ::fork();
    if (other == 0) {
        const platform::FileLock run(shp, platform::FileLock::Mode::Exclusive, 0,
                                     platform::FileLock::IfMissing::Leave);
        if (run.held() && ::write(ready[1], "H", 1) == 1)
            for (;;) ::pause();
        _exit(1);
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1) << "the other process could not take the dataset's run lock";

    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    EXPECT_EQ(wind::processIIndex({fc, p->state.wind_path, "5000", "100"}, msgs, progress).end,
              wind::IIndexEnd::Refused);
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(msgs.texts(), std::vector<std::string>{project::datasetRunElsewhereText(shp)});
    EXPECT_LT(fc->findField("IIndex"), 0);
}

TEST_F(ReiRunTest, ProcessShapefileNeverStoresAValueThatIsNotFinite) {
    auto fc = points({p->site(10000, 10000), p->site(6000, 8000)});
    for (const auto& name : kDirectionalFields) {
        fc->addField(pg::FieldDef(name, pg::FieldType::Double));
        for (std::int64_t oid : {1, 2}) {
            auto f = fc->feature(oid);
            f.setValue(name, 1.0);
            fc->store(f);
        }
    }
    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    // Fetch and distance outside the REI settings' ranges.
    const std::pair<const char*, const char*> inputs[] = {{"1e-300", "100"}, {"1e308", "100"}, {"5000", "1e308"}};
    for (auto [fetch, distance] : inputs) {
        SCOPED_TRACE(std::string(fetch) + " / " + distance);
        msgs.entries.clear();
        EXPECT_EQ(wind::processIIndex({fc, p->state.wind_path, fetch, distance}, msgs, progress).end,
                  wind::IIndexEnd::Refused);
        EXPECT_EQ(msgs.texts(), std::vector<std::string>{fetch == std::string("5000") ? model::kMsgBathyDistanceRange
                                                                                         : model::kMsgFetchRange});
    }
    EXPECT_LT(fc->findField("IIndex"), 0);

    // A directional value so large that its weight overflows.
    auto f = fc->feature(1);
    f.setValue("Indexne", 1e308);
    fc->store(f);
    msgs.entries.clear();
    const auto out = wind::processIIndex({fc, p->state.wind_path, "5000", "100"}, msgs, progress);
    EXPECT_EQ(out.end, wind::IIndexEnd::Written);
    EXPECT_EQ(out.written, 1);
    EXPECT_TRUE(pg::isNull(fc->feature(1).value("IIndex")));
    EXPECT_TRUE(std::isfinite(pg::toDouble(fc->feature(2).value("IIndex"))));
    EXPECT_EQ(msgs.texts(), std::vector<std::string>{
                                "1 of 2 features gave a value that is not a finite number; their IIndex was left empty."});
}

}  // namespace
}  // namespace quor::rei

namespace quor::rei {
namespace {

// Records what the run asks of the main window.
struct RecordingShell final : model::RunShell {
    void runStarted() override { events.push_back("started"); }
    void setTitle(const std::string& t) override {
        title = t;
        if (t == failOnTitle) throw std::runtime_error("the window went away");
    }
    std::string failOnTitle;
    void setMinimised(bool m) override { minimised = m; }
    void runEnded() override { events.push_back("ended"); }
    std::vector<std::string> events;
    std::string title;
    bool minimised = false;
};

TEST(RunMessages, EachTextOnceAndEveryOneCounted) {
    test::RecordingMessages user;
    RunMessages run(user);
    for (int site = 0; site < 3; ++site) {
        run.message("Error in creating rays", platform::MessageIcon::Critical);
        run.message("Clipping error", platform::MessageIcon::Critical);
    }
    EXPECT_EQ(user.texts(), (std::vector<std::string>{"Error in creating rays", "Clipping error"}));
    EXPECT_EQ(run.count(), 6u);
    user.answers = {false};
    EXPECT_FALSE(run.question("Replace?"));
}

// The bar counts the sites stored, in order, of all of them, as the title
// does, however many threads compute them; a site left empty is stored as
// any other.
TEST_F(ReiRunTest, TheBarCountsTheSitesStored) {
    p->fm.refreshmap = 0;
    auto fc = points({p->site(10000, 10000), p->site(14200, 14200), p->site(6000, 8000), p->site(3000, 15000),
                      p->site(17000, 4000)});
    for (int threads : {1, 4}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        test::RunThreads use(threads);
        p->progress = {};
        auto ctx = context();
        ASSERT_EQ(runmodel(ctx, fc, 1).end, ReiRunEnd::Completed);
        EXPECT_EQ(p->progress.max1, 5);
        EXPECT_EQ(p->progress.bar1History, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    }
}

TEST_F(ReiRunTest, SitesOnLandStayEmptyAndTheWindowIsRestoredOnEveryExit) {
    // Land with valid values far around the lake: rays of a site 15 km out
    // never reach the water, so clipping gives nothing.
    writeBathymetry(tmp.path() + "/wide.tif", -22000, -22000, 200, 220, 220,
                    [](double x, double y) { return lakeDepth(x, y) == lakeDepth(x, y) ? -10 : 3; });
    p->mf.bathycov = tmp.path() + "/wide.tif";
    p->fm.refreshmap = 0;
    auto fc = points({p->site(-15000, -15000), p->site(10000, 10000), p->site(-15000, 35000), p->site(-16000, -15000)});
    RecordingShell shell;
    auto ctx = context();
    ctx.shell = &shell;
    p->messages.onMessage = [this](const std::string& text) { EXPECT_FALSE(p->progress.visible) << text; };
    const auto out = runmodel(ctx, fc, 1);
    p->messages.onMessage = nullptr;
    ASSERT_EQ(out.end, ReiRunEnd::Completed);
    EXPECT_EQ(out.failed, 3);  // two sites on land that no ray leaves, one off the raster
    EXPECT_EQ(out.written, 1);
    EXPECT_TRUE(pg::isNull(fc->feature(1).value("Index")));
    EXPECT_EQ(p->messages.texts(), std::vector<std::string>{"3 of 4 sites could not be processed"});
    EXPECT_EQ(shell.events, (std::vector<std::string>{"started", "ended"}));
    EXPECT_EQ(shell.title, "Quor");
    EXPECT_EQ(p->map.layerCount(), 0);  // every site's layers came off by identity
    EXPECT_FALSE(p->progress.visible);
    EXPECT_EQ(p->progress.label1, "Processing Point 4 of 4");

    // A background run that breaks off in the middle still restores the window.
    p->fm.indexcheck = 1;
    p->fm.refreshmap = 1;
    p->messages.entries.clear();
    shell.events.clear();
    shell.failOnTitle = "Quor running..3 of 4";
    const auto failed = runmodel(ctx, fc, 1);
    EXPECT_FALSE(pg::isNull(fc->feature(2).value("Indexee")));  // written before the break keeps its values
    EXPECT_EQ(failed.end, ReiRunEnd::Failed);
    EXPECT_EQ(p->messages.texts().back(),
              std::string(kCouldNotRun) + "\nthe window went away\n" + project::storedResultsText(1, 4));
    EXPECT_FALSE(shell.minimised);
    EXPECT_EQ(shell.events, (std::vector<std::string>{"started", "ended"}));
    EXPECT_FALSE(p->state.run_lock.active());
}

}  // namespace
}  // namespace quor::rei

namespace quor::rei {
namespace {

class OneChoice final : public gis::DatasetChooser {
public:
    explicit OneChoice(std::vector<gis::DatasetItem> items) : items_(std::move(items)) {}
    std::optional<std::vector<gis::DatasetItem>> choose(gis::DatasetFilter, const std::string& t) override {
        title = t;
        return items_;
    }
    std::string title;

private:
    std::vector<gis::DatasetItem> items_;
};

TEST_F(ReiRunTest, ProcessShapefileWindowWeighsTheChosenDataset) {
    auto fc = points({p->site(10000, 10000)});
    p->fm.indexcheck = 1;
    auto ctx = context();
    ASSERT_EQ(runmodel(ctx, fc, 1).end, ReiRunEnd::Completed);

    OneChoice chooser({{p->mf.ptworkspace->path(), "Pointdata1"}});
    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    wind::ui::WindprocessContext wctx{p->mf, p->fm, p->state.app_folder, msgs, progress, chooser};
    wctx.chooseWindFile = [&] { return std::optional<std::string>(p->state.wind_path); };
    wind::ui::WindprocessForm form(wctx);
    EXPECT_EQ(form.windowTitle(), "Process Shapefile");
    EXPECT_EQ(form.Text4->text(), "10000");
    form.Command1_Click();
    EXPECT_EQ(chooser.title, "Select a shapefile to process");
    EXPECT_EQ(form.Text1->text(), "Pointdata1");
    form.Command3_Click();
    EXPECT_EQ(form.Text3->text().toStdString(), p->state.wind_path);
    form.Text4->setText("5000");
    form.Combo2->setCurrentText("100");
    form.newpro_ok_Click();
    EXPECT_TRUE(msgs.entries.empty()) << msgs.texts().front();
    auto weighted = p->mf.ptworkspace->openFeatureClass("Pointdata1");
    EXPECT_EQ(pg::toDouble(weighted->feature(1).value("IIndex")), pg::toDouble(weighted->feature(1).value("Index")));

    form.Option_text_Click();
    EXPECT_TRUE(form.Text3->isEnabled());
}

// What the user types into the window's boxes is what OK takes: a typed
// distance stays as typed in its list of 10, 20, ..., 200 (completion
// would make "19" the listed 190), and a typed shapefile path names the
// dataset as a chosen one does.
TEST_F(ReiRunTest, ProcessShapefileWindowTakesATypedDistanceAsTyped) {
    OneChoice chooser({});
    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    wind::ui::WindprocessForm form({p->mf, p->fm, p->state.app_folder, msgs, progress, chooser});
    // Completion works in the box that has the keyboard focus.
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.Combo2->setFocus();
    QTest::keyClicks(form.Combo2, "19");
    EXPECT_EQ(form.Combo2->currentText(), "19");
}

TEST_F(ReiRunTest, ProcessShapefileWindowOpensATypedDatasetPath) {
    std::filesystem::create_directories(tmp.path() + "/typed");
    const std::string folder = tmp.path() + "/typed", gpkg = tmp.path() + "/typed.gpkg";
    // A shapefile by its path, and a class of a GeoPackage as "<GeoPackage>/<class>".
    const std::vector<std::pair<std::shared_ptr<pg::Workspace>, std::string>> typed = {
        {pg::Workspace::open(folder), folder + "/sites.shp"},
        {pg::Workspace::createGeoPackage(gpkg), gpkg + "/sites"}};
    for (const auto& [workspace, path] : typed) {
        SCOPED_TRACE(path);
        std::vector<pg::FieldDef> fields;
        for (const auto& name : kDirectionalFields) fields.emplace_back(name, pg::FieldType::Double);
        auto fc = workspace->createFeatureClass("sites", pg::GeometryType::Point, fields,
                                                pg::SpatialReference::fromEpsg(32755));
        pg::Feature f = fc->createFeature();
        f.setShape(pg::Geometry::point(p->site(10000, 10000)));
        for (const auto& name : kDirectionalFields) f.setValue(name, 1.0);
        fc->store(f);
        fc->flush();

        OneChoice chooser({});
        test::RecordingMessages msgs;
        test::RecordingProgress progress;
        wind::ui::WindprocessForm form({p->mf, p->fm, p->state.app_folder, msgs, progress, chooser});
        QTest::keyClicks(form.Text1, QString::fromStdString(path));
        QTest::keyClicks(form.Text3, QString::fromStdString(p->state.wind_path));
        form.Text4->setText("5000");
        form.Combo2->setCurrentText("100");
        QTest::mouseClick(form.newpro_ok, Qt::LeftButton);
        EXPECT_EQ(msgs.texts(), std::vector<std::string>{});
        ASSERT_TRUE(form.dataset());
        // Every class value 1, speeds 4 to 11 at 12.5 %: 60 * 12.5 * 100 / (8 * 5000 * 100).
        auto weighted = form.dataset()->search().next();
        ASSERT_TRUE(weighted);
        EXPECT_DOUBLE_EQ(pg::toDouble(weighted->value("IIndex")), 0.01875);
    }
}

}  // namespace
}  // namespace quor::rei


namespace quor::rei {
namespace {

// Rows this process's connection has inserted, changed or deleted in the
// project geodatabase since it was opened.
std::int64_t projectRowChanges(pg::Workspace& ws) {
    OGRLayer* rows = ws.dataset()->ExecuteSQL("SELECT total_changes()", nullptr, nullptr);
    if (!rows) return -1;
    std::int64_t n = -1;
    if (OGRFeature* f = rows->GetNextFeature()) {
        n = f->GetFieldAsInteger64(0);
        OGRFeature::DestroyFeature(f);
    }
    ws.dataset()->ReleaseResultSet(rows);
    return n;
}

TEST_F(ReiRunTest, TheProjectGeodatabaseReceivesOnlyTheResults) {
    auto fc = points({p->site(10000, 10000), p->site(6000, 8000), p->site(3000, 15000), p->site(12000, 4000)});
    for (int fast : {0, 1}) {
        SCOPED_TRACE(fast);
        p->fm.indexcheck = static_cast<int16_t>(fast);
        p->messages.answers = {true};
        auto ctx = context();
        const std::int64_t before = projectRowChanges(*p->mf.ptworkspace);
        ASSERT_GE(before, 0);
        ASSERT_EQ(runmodel(ctx, fc, 1).written, 4);
        // A site's rays and pieces would be dozens of rows; its results are
        // one row and its spatial index entry.
        EXPECT_LE(projectRowChanges(*p->mf.ptworkspace) - before, 4 * 4);
    }
}

}  // namespace
}  // namespace quor::rei

namespace quor::rei {
namespace {

// Kills this process when the run reaches the given site's title.
struct KillingShell final : model::RunShell {
    std::string killAt;
    void setTitle(const std::string& t) override {
        if (t == killAt) ::raise(SIGKILL);
    }
};

// What the geodatabase answers to one SQL statement, as text; empty when nothing.
std::string sqlAnswer(GDALDataset& ds, const std::string& sql) {
    std::string out;
    if (OGRLayer* rows = ds.ExecuteSQL(sql.c_str(), nullptr, nullptr)) {
        if (OGRFeature* f = rows->GetNextFeature()) {
            out = f->GetFieldAsString(0);
            OGRFeature::DestroyFeature(f);
        }
        ds.ReleaseResultSet(rows);
    }
    return out;
}

// The sites (by object id, from 1) whose "Index" holds a value, read by a
// program of its own; the file must be whole.
std::vector<std::int64_t> sitesWithIndex(const std::string& geodatabase, const std::string& cls) {
    std::vector<std::int64_t> ids;
    GDALDataset* ds = static_cast<GDALDataset*>(GDALOpenEx(geodatabase.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr));
    if (!ds) return {-1};
    if (sqlAnswer(*ds, "PRAGMA integrity_check") != "ok") ids.push_back(-2);
    OGRLayer* rows = ds->GetLayerByName(cls.c_str());
    if (!rows || rows->SetAttributeFilter("\"Index\" IS NOT NULL") != OGRERR_NONE) ids.push_back(-3);
    while (OGRFeature* f = rows ? rows->GetNextFeature() : nullptr) {
        ids.push_back(f->GetFID());
        OGRFeature::DestroyFeature(f);
    }
    GDALClose(ds);
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Killed at a random site, a run has lost at most its last batch: the
// sites holding results are the first ones computed, and the file is whole.
TEST_F(ReiRunTest, AKilledRunLosesAtMostItsLastBatch) {
    std::vector<std::optional<pg::Point>> sites;
    for (int k = 0; k < 8; ++k) sites.push_back(p->site(3000 + 1500 * k, 9000));
    auto fc = points(sites);
    p->fm.indexcheck = 1;
    const unsigned seed = std::random_device{}();
    const int killAt = 2 + static_cast<int>(seed % 7);
    SCOPED_TRACE("killed at site " + std::to_string(killAt));
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        KillingShell shell;
        shell.killAt = "Quor running.." + std::to_string(killAt) + " of 8";
        auto ctx = context();
        ctx.shell = &shell;
        runmodel(ctx, fc, 1);
        ::_exit(3);  // not killed: the run never reached that site
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    const auto held = sitesWithIndex(p->mf.ptworkspace->path(), "Pointdata1");
    ASSERT_LE(held.size(), static_cast<std::size_t>(killAt - 1));
    for (std::size_t k = 0; k < held.size(); ++k) EXPECT_EQ(held[k], static_cast<std::int64_t>(k + 1));
}

// A run on a geodatabase gathers its sites into a few transactions rather
// than one each (another connection sees the file change only per batch),
// and a stop at any site still leaves every site computed before it stored,
// as many as the run tells.
TEST_F(ReiRunTest, AGeoPackageRunCommitsInBatchesAndAStopKeepsWhatItComputed) {
    std::vector<std::optional<pg::Point>> sites;
    for (int k = 0; k < 40; ++k) sites.push_back(p->site(3000 + 350 * k, 9000 + 100 * (k % 5)));
    auto fc = points(sites);
    p->fm.indexcheck = 1;
    const unsigned seed = std::random_device{}();
    const int stopAt = 30 + static_cast<int>(seed % 11);
    SCOPED_TRACE("stopped at site " + std::to_string(stopAt));

    GDALDataset* watcher = static_cast<GDALDataset*>(
        GDALOpenEx(p->mf.ptworkspace->path().c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr));
    ASSERT_NE(watcher, nullptr);
    struct WatchingShell final : model::RunShell {
        GDALDataset* watcher = nullptr;
        std::string version;
        int changes = 0;
        void setTitle(const std::string&) override {
            const std::string now = sqlAnswer(*watcher, "PRAGMA data_version");
            if (!version.empty() && now != version) ++changes;
            version = now;
        }
    } shell;
    shell.watcher = watcher;
    auto ctx = context();
    ctx.shell = &shell;
    int asked = 0;
    ctx.stopRequested = [&] { return ++asked == stopAt; };
    const ReiRunOutcome out = runmodel(ctx, fc, 1);
    GDALClose(watcher);

    EXPECT_EQ(out.end, ReiRunEnd::Stopped);
    EXPECT_LT(shell.changes, (stopAt - 1) / 2);
    const auto held = sitesWithIndex(p->mf.ptworkspace->path(), "Pointdata1");
    ASSERT_EQ(held.size(), static_cast<std::size_t>(stopAt - 1));
    for (std::size_t k = 0; k < held.size(); ++k) EXPECT_EQ(held[k], static_cast<std::int64_t>(k + 1));
    const auto texts = p->messages.texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts.back().find(std::to_string(stopAt - 1) + " of 40 sites have stored results"), std::string::npos)
        << texts.back();
}

TEST_F(ReiRunTest, ARerunLeavesNoValueOfTheEarlierRun) {
    auto fc = points({p->site(10000, 10000), p->site(6000, 8000), p->site(3000, 15000)});
    p->fm.indexcheck = 1;
    p->mf.fetchlength = 1;
    auto ctx = context();
    ASSERT_EQ(runmodel(ctx, fc, 1).written, 3);
    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    const wind::IIndexInput in{fc, p->state.wind_path, "5000", "100"};
    ASSERT_EQ(wind::processIIndex(in, msgs, progress).written, 3);

    // Site 2 now lies on NoData; the user answers Yes to replacing.
    writeBathymetry(tmp.path() + "/holed.tif", -2000, -2000, 100, 240, 240, [](double x, double y) {
        return std::hypot(x - 6000, y - 8000) < 300 ? std::nan("") : lakeDepth(x, y);
    });
    p->mf.bathycov = tmp.path() + "/holed.tif";
    p->messages.answers = {true};
    auto out = runmodel(ctx, fc, 1);
    EXPECT_EQ(out.written, 2);
    EXPECT_EQ(out.failed, 1);
    auto rei = [&](std::int64_t oid) {
        std::vector<pg::FieldValue> v;
        const auto f = fc->feature(oid);
        for (const auto& name : reiFieldNames(true, true)) v.push_back(f.value(name));
        return v;
    };
    for (const auto& v : rei(2)) EXPECT_TRUE(pg::isNull(v));
    for (const auto& v : rei(3)) EXPECT_FALSE(pg::isNull(v));

    // The weighting tool leaves IIndex empty where a directional value is.
    msgs.answers = {true};
    EXPECT_EQ(wind::processIIndex(in, msgs, progress).missing, 1);
    EXPECT_TRUE(pg::isNull(fc->feature(2).value("IIndex")));
    EXPECT_FALSE(pg::isNull(fc->feature(3).value("IIndex")));

    // A wind climate that makes the index infinite: nothing of it is
    // stored, the sites are emptied and counted, and told once.
    ctx.reloadWind = [this](platform::Messages& m) {
        const bool ok = wind::reloadProjectWind(p->state, p->wind, p->fm, m);
        p->wind.windspd_ss = std::numeric_limits<double>::infinity();
        return ok;
    };
    p->messages.entries.clear();
    p->messages.answers = {true};
    out = runmodel(ctx, fc, 1);
    EXPECT_EQ(out.end, ReiRunEnd::Completed);
    EXPECT_EQ(out.notFinite, 2);
    EXPECT_EQ(out.written, 0);
    for (std::int64_t oid : {1, 2, 3})
        for (const auto& v : rei(oid)) EXPECT_TRUE(pg::isNull(v)) << oid;
    EXPECT_EQ(p->messages.texts().back(),
              "2 of 3 sites gave a value that is not a finite number; their REI fields were left empty.");
}

// A re-run empties what it writes and the index weighed from the values
// it rewrites; every other result keeps the earlier run's values. Clip
// with ray lengths, then fast without; weighed; clip; then fast again.
TEST_F(ReiRunTest, AReRunEmptiesWhatItWritesAndTheIndexWeighedFromItAndKeepsTheRest) {
    auto fc = points({p->site(10000, 10000), p->site(6000, 8000)});
    auto ctx = context();
    auto values = [&](const std::vector<std::string>& names) {
        std::vector<pg::FieldValue> out;
        for (std::int64_t oid : {1, 2})
            for (const auto& name : names) out.push_back(fc->feature(oid).value(name));
        return out;
    };
    auto questions = [&] {
        int n = 0;
        for (const auto& e : p->messages.entries) n += e.isQuestion;
        return n;
    };
    std::vector<std::string> rays = reiFieldNames(false, true);
    rays.erase(rays.begin());
    const std::vector<std::string> directional(kDirectionalFields.begin(), kDirectionalFields.end());

    p->fm.indexcheck = 0;
    p->mf.fetchlength = 1;
    ASSERT_EQ(runmodel(ctx, fc, 1).written, 2);
    const auto rayLengths = values(rays);

    p->fm.indexcheck = 1;
    p->mf.fetchlength = 0;
    p->messages.entries.clear();
    ASSERT_EQ(runmodel(ctx, fc, 1).written, 2);
    EXPECT_EQ(questions(), 1);  // the clip run's "Index", named
    EXPECT_EQ(values(rays), rayLengths);

    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    ASSERT_EQ(wind::processIIndex({fc, p->state.wind_path, "5000", "100"}, msgs, progress).written, 2);
    const auto weighed = values(directional), iindex = values({"IIndex"});

    p->fm.indexcheck = 0;
    p->messages.entries.clear();
    p->messages.answers = {true};
    ASSERT_EQ(runmodel(ctx, fc, 1).written, 2);
    EXPECT_EQ(questions(), 1);
    EXPECT_EQ(values(directional), weighed);
    EXPECT_EQ(values({"IIndex"}), iindex);
    EXPECT_EQ(values(rays), rayLengths);

    p->fm.indexcheck = 1;
    p->messages.answers = {true};
    ASSERT_EQ(runmodel(ctx, fc, 1).written, 2);
    for (const auto& v : values({"IIndex"})) EXPECT_TRUE(pg::isNull(v));
    EXPECT_EQ(values(rays), rayLengths);
}

// The disk fills up as the second site begins: its commit fails.
TEST_F(ReiRunTest, AReRunThatBreaksOffLeavesNoValueOfTheEarlierRunAndCountsTheStoredSites) {
    auto fc = points({p->site(10000, 10000), p->site(6000, 8000), p->site(3000, 15000)});
    p->fm.indexcheck = 1;
    auto ctx = context();
    ASSERT_EQ(runmodel(ctx, fc, 1).written, 3);
    // The earlier run's values, marked so that any one left over shows.
    const auto names = reiFieldNames(true, false);
    for (std::int64_t oid = 1; oid <= 3; ++oid) {
        pg::Feature f = fc->feature(oid);
        for (const auto& name : names) f.setValue(name, 777.0);
        fc->store(f);
    }

    const std::string gpkg = p->mf.ptworkspace->path();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldSignal = signal(SIGXFSZ, SIG_IGN);
    struct FillingShell final : model::RunShell {
        std::string gpkg;
        rlimit saved{};
        void setTitle(const std::string& t) override {
            if (t != "Quor running..2 of 3") return;
            const std::string log = std::filesystem::exists(gpkg + "-wal") ? gpkg + "-wal" : gpkg;
            rlimit limit = saved;
            limit.rlim_cur = static_cast<rlim_t>(std::filesystem::file_size(log));
            setrlimit(RLIMIT_FSIZE, &limit);
        }
    } shell;
    shell.gpkg = gpkg;
    shell.saved = saved;
    ctx.shell = &shell;
    p->messages.answers = {true};
    const auto out = runmodel(ctx, fc, 1);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(out.end, ReiRunEnd::Failed);
    const auto texts = p->messages.texts();
    ASSERT_FALSE(texts.empty());
    // The count told is what the dataset holds.
    std::int64_t held = 0;
    for (std::int64_t oid = 1; oid <= 3; ++oid) held += pg::isNull(fc->feature(oid).value("Index")) ? 0 : 1;
    EXPECT_LE(held, 1);
    EXPECT_NE(texts.back().find(std::to_string(held) + " of 3 sites"), std::string::npos) << texts.back();
    for (std::int64_t oid = 1; oid <= 3; ++oid)
        for (const auto& name : names) EXPECT_NE(pg::toDouble(fc->feature(oid).value(name)), 777.0) << oid << name;
}

// The user's own "Index" and no directional values: the fast mode asks
// once, naming it; No leaves every file as it was.
TEST_F(ReiRunTest, AUsersIndexIsReplacedByTheFastModeOnlyWhenTheUserSaysSo) {
    const std::string folder = tmp.path() + "/sites";
    shapefileSites(folder, {p->site(10000, 10000), p->site(6000, 8000)});
    {
        auto fc = pg::Workspace::open(folder)->openFeatureClass("sites");
        fc->addField(pg::FieldDef("Index", pg::FieldType::Double, {}, 30));
        for (std::int64_t oid : {0, 1}) {
            pg::Feature f = fc->feature(oid);
            f.setValue("Index", pg::FieldValue{7.0});
            fc->store(f);
        }
        fc->flush();
    }
    const auto before = test::folderBytes(folder);
    p->messages.answers = {false};
    EXPECT_EQ(fastRun(folder).first, ReiRunEnd::Declined);
    EXPECT_EQ(p->messages.texts(), std::vector<std::string>{"The point dataset sites already has the field Index that "
                                                            "this run writes; replace their values?"});
    EXPECT_EQ(test::folderBytes(folder), before);
}

// A point shapefile on a disk with room for a few of the fast mode's
// fields but not for all of them: none is added, the table stays byte for
// byte as it was, and the one message names the full disk, not a
// shapefile in use.
TEST_F(ReiRunTest, ADiskTooFullForTheResultFieldsLeavesTheShapefileAsItWas) {
    const std::string folder = tmp.path() + "/sites";
    shapefileSites(folder, {p->site(10000, 10000), p->site(6000, 8000)});
    auto fc = pg::Workspace::open(folder)->openFeatureClass("sites");
    p->fm.indexcheck = 1;
    const std::string dbf = folder + "/sites.dbf";
    const std::string before = test::fileBytes(dbf);
    auto ctx = context();
    ReiRunOutcome out;
    {
        test::FullDisk full(before.size() + 200);
        out = runmodel(ctx, fc, 0);
    }
    EXPECT_EQ(out.end, ReiRunEnd::Failed);
    ASSERT_EQ(p->messages.entries.size(), 1u) << ::testing::PrintToString(p->messages.texts());
    const auto& said = p->messages.entries.front();
    EXPECT_EQ(said.icon, platform::MessageIcon::Critical);
    EXPECT_NE(said.text.find("the disk is full"), std::string::npos) << said.text;
    EXPECT_NE(said.text.find("Nothing was changed."), std::string::npos) << said.text;
    EXPECT_TRUE(test::fileBytes(dbf) == before) << "the table was changed";
}

}  // namespace
}  // namespace quor::rei

namespace quor::rei {
namespace {

// What the window was asked to show, in order, with the progress at each repaint.
struct PaintingShell final : model::RunShell {
    test::RecordingProgress* progress = nullptr;
    model::ModelState* state = nullptr;
    std::vector<std::string> events;
    void unloadAllForms() override { events.push_back("unload"); }
    void runStarted() override { events.push_back("started"); }
    void repaintWithoutInput() override {
        events.push_back(progress->label1 + " " + std::to_string(progress->value1));
        state->cancel_flag = true;  // the progress window's close box, seen while painting
    }
    void runEnded() override { events.push_back("ended"); }
};

TEST_F(ReiRunTest, OtherWindowsCloseFirstAndTheProgressIsPaintedAtEverySite) {
    auto fc = points({p->site(10000, 10000), p->site(6000, 8000)});
    p->fm.refreshmap = 0;
    PaintingShell shell;
    shell.progress = &p->progress;
    shell.state = &p->state;
    auto ctx = context();
    ctx.shell = &shell;
    EXPECT_EQ(runmodel(ctx, fc, 1).written, 2);  // not cancelled
    EXPECT_EQ(shell.events, (std::vector<std::string>{"unload", "started", "Processing Point 1 of 2 0",
                                                      "Processing Point 1 of 2 1", "Processing Point 2 of 2 1",
                                                      "Processing Point 2 of 2 2", "ended"}));
    EXPECT_FALSE(p->state.cancel_flag);  // a later RWE run does not start cancelled
}

}  // namespace
}  // namespace quor::rei

namespace quor::rei {
namespace {

// What changes in a folder while it is watched: writes, a file's times or
// modes, and files made, removed or renamed. Reading is not a change.
class FolderChanges {
public:
    explicit FolderChanges(const std::string& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        ::inotify_add_watch(fd_, folder.c_str(),
                            IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
    }
    ~FolderChanges() { ::close(fd_); }
    FolderChanges(const FolderChanges&) = delete;
    FolderChanges& operator=(const FolderChanges&) = delete;

    // The file of each change seen so far.
    std::vector<std::string> seen() const {
        std::vector<std::string> names;
        alignas(inotify_event) char buf[4096];
        for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;)
            for (const char* at = buf; at < buf + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(at);
                names.emplace_back(e->len ? e->name : "");
                at += sizeof(inotify_event) + e->len;
            }
        return names;
    }

private:
    int fd_;
};

// The run stops itself at a site, once it has told that it is there.
struct PausingShell final : model::RunShell {
    std::string pauseAt;
    int tell = -1;
    void setTitle(const std::string& t) override {
        if (t != pauseAt) return;
        if (::write(tell, "S", 1) != 1) ::_exit(2);
        ::raise(SIGSTOP);
    }
};

// Rows of the shapefile whose first REI field holds a value, as another
// program reads them.
int sitesWithResults(const std::string& shp) {
    GDALDatasetUniquePtr ds(GDALDataset::Open(shp.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds) return -1;
    OGRLayer* layer = ds->GetLayer(0);
    const int field = layer->GetLayerDefn()->GetFieldIndex(reiFieldNames(true, false).front().c_str());
    int n = 0;
    for (auto& f : *layer) n += field >= 0 && f->IsFieldSetAndNotNull(field) ? 1 : 0;
    return n;
}

// Another Quor opens the shapefile this one's run writes into, for the
// weighting tool and for a run of its own project: both are refused, and
// neither writes a byte into the folder, so every value of the run stays.
TEST_F(ReiRunTest, AProgramRefusedBesideARunWritesNothingIntoTheShapefile) {
    const std::string folder = tmp.path() + "/pts";
    std::vector<pg::Point> sites;
    for (int k = 0; k < 8; ++k) sites.push_back(p->site(3000 + 1500 * k, 9000));
    shapefileSites(folder, sites);
    p->fm.indexcheck = 1;
    int go[2], told[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(told), 0);
    std::fflush(nullptr);
    const pid_t runner = ::fork();
    ASSERT_GE(runner, 0);
    if (runner == 0) {
        char start = 0;
        if (::read(go[0], &start, 1) != 1) ::_exit(2);
        PausingShell shell;
        shell.pauseAt = "Quor running..4 of 8";
        shell.tell = told[1];
        auto ctx = context();
        ctx.shell = &shell;
        const std::int64_t written = runmodel(ctx, pg::Workspace::open(folder)->openFeatureClass("sites"), 1).written;
        ::_exit(::write(told[1], &written, sizeof written) == sizeof written ? 0 : 2);
    }
    // This program shows the dataset already, as its map would.
    auto shown = pg::Workspace::open(folder)->openFeatureClass("sites");
    ASSERT_EQ(shown->featureCount(), 8);
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    char paused = 0;
    ASSERT_EQ(::read(told[0], &paused, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(runner, &status, WUNTRACED), runner);
    ASSERT_TRUE(WIFSTOPPED(status));

    const FolderChanges changes(folder);
    const std::string shp = project::shapefileShpPath(folder, "sites");
    auto again = pg::Workspace::open(folder)->openFeatureClass("sites");
    test::RecordingMessages msgs;
    test::RecordingProgress progress;
    EXPECT_EQ(wind::processIIndex({again, p->state.wind_path, "5000", "100"}, msgs, progress).end,
              wind::IIndexEnd::Refused);
    p->mf.projname = "other";
    auto ctx = context();
    EXPECT_EQ(runmodel(ctx, again, 1).end, ReiRunEnd::Refused);
    EXPECT_EQ(changes.seen(), std::vector<std::string>{});

    ::kill(runner, SIGCONT);
    std::int64_t written = -1;
    EXPECT_EQ(::read(told[0], &written, sizeof written), static_cast<ssize_t>(sizeof written));
    ASSERT_EQ(::waitpid(runner, &status, 0), runner);
    for (int fd : {go[0], go[1], told[0], told[1]}) ::close(fd);
    EXPECT_EQ(msgs.texts(), std::vector<std::string>{project::datasetRunElsewhereText(shp)});
    EXPECT_EQ(p->messages.texts(), std::vector<std::string>{project::datasetRunElsewhereText(shp)});
    EXPECT_EQ(written, 8);
    EXPECT_EQ(sitesWithResults(shp), 8);
}

// A run and a re-run write the sites' values and nothing else: the shapes,
// their index, the reference and the code page keep their bytes and times.
TEST_F(ReiRunTest, RunsOnAShapefileWriteNothingButItsTable) {
    const std::string folder = tmp.path() + "/pts";
    shapefileSites(folder, {p->site(10000, 10000), p->site(6000, 8000), p->site(3000, 15000)});
    if (!std::filesystem::exists(folder + "/sites.cpg")) platform::writeTextLines(folder + "/sites.cpg", {"UTF-8"});
    auto kept = [&] {
        std::vector<std::pair<std::string, std::int64_t>> files;
        for (const char* ext : {".shp", ".shx", ".prj", ".cpg"}) {
            struct stat st {};
            ::stat((folder + "/sites" + ext).c_str(), &st);
            files.emplace_back(test::fileBytes(folder + "/sites" + ext),
                               st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
        }
        return files;
    };
    const auto before = kept();
    auto fc = pg::Workspace::open(folder)->openFeatureClass("sites");
    p->fm.indexcheck = 1;
    auto ctx = context();
    ASSERT_EQ(runmodel(ctx, fc, 1).written, 3);
    p->messages.answers = {true};
    ASSERT_EQ(runmodel(ctx, fc, 1).written, 3);
    EXPECT_TRUE(kept() == before);
    EXPECT_EQ(sitesWithResults(folder + "/sites.shp"), 3);
}

// A full copy-on-write disk refuses the fourth site's values: the run
// stops there and says that three sites hold results, as the table does.
// A disk whose room ends once the result fields are in the table: it
// takes three sites' values and half of the fourth's, then no more.
struct FillingShell final : model::RunShell {
    std::string dbf;
    test::RefusedWrites::Past past = test::RefusedWrites::Past::RefusedWhole;
    std::optional<test::RefusedWrites> disk;
    void setTitle(const std::string& t) override {
        if (t != "Quor running..1 of 6") return;
        // The result fields are in the table by now: a site's values
        // take their widths.
        GDALDatasetUniquePtr ds(GDALDataset::Open(dbf.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        std::size_t perSite = 0;
        for (const auto& name : reiFieldNames(true, false)) {
            const OGRFeatureDefn* defn = ds->GetLayer(0)->GetLayerDefn();
            perSite += static_cast<std::size_t>(defn->GetFieldDefn(defn->GetFieldIndex(name.c_str()))->GetWidth());
        }
        disk.emplace(dbf, 3 + 3 * perSite + perSite / 2, past);
    }
};

TEST_F(ReiRunTest, ADiskThatRefusesOverwritesMidRunIsToldAsTheTableHoldsIt) {
    const std::string folder = sixShapefileSites();
    auto fc = pg::Workspace::open(folder)->openFeatureClass("sites");
    p->fm.indexcheck = 1;
    FillingShell shell;
    shell.dbf = folder + "/sites.dbf";
    auto ctx = context();
    ctx.shell = &shell;
    const auto out = runmodel(ctx, fc, 1);
    const int refused = shell.disk ? shell.disk->refused() : 0;
    shell.disk.reset();
    EXPECT_EQ(out.end, ReiRunEnd::Failed);
    EXPECT_GT(refused, 0);
    ASSERT_FALSE(p->messages.texts().empty());
    EXPECT_NE(p->messages.texts().back().find("the disk is full"), std::string::npos) << p->messages.texts().back();
    EXPECT_NE(p->messages.texts().back().find("3 of 6 sites have stored results"), std::string::npos)
        << p->messages.texts().back();
    EXPECT_EQ(sitesWithResults(folder + "/sites.shp"), 3);
}

// The disk's room ends inside the fourth site's write: the first part of
// it lands and the old bytes cannot go back. The message names that site,
// and the count is of the sites whose whole values are on disk.
TEST_F(ReiRunTest, AWriteTheDiskTookOnlyInPartNamesItsSite) {
    const std::string folder = sixShapefileSites();
    auto fc = pg::Workspace::open(folder)->openFeatureClass("sites");
    p->fm.indexcheck = 1;
    FillingShell shell;
    shell.past = test::RefusedWrites::Past::CutShort;
    shell.dbf = folder + "/sites.dbf";
    auto ctx = context();
    ctx.shell = &shell;
    const auto out = runmodel(ctx, fc, 1);
    shell.disk.reset();
    EXPECT_EQ(out.end, ReiRunEnd::Failed);
    ASSERT_FALSE(p->messages.texts().empty());
    const std::string told = p->messages.texts().back();
    EXPECT_NE(told.find("The result fields of site 4 may hold part of its new values"), std::string::npos) << told;
    EXPECT_NE(told.find("3 of 6 sites have stored results"), std::string::npos) << told;
    EXPECT_EQ(sitesWithResults(folder + "/sites.shp"), 4) << "the three stored and the one named";
}

// Another program puts its own table in place of the one the run writes:
// renamed over it, as programs that save through a new file do, or copied
// over it in place with other fields. The run writes nothing more, into
// neither file, and tells how many sites the table now there holds.
TEST_F(ReiRunTest, ATableAnotherProgramPutsInPlaceMidRunIsLeftAsItPutIt) {
    const std::string folder = sixShapefileSites();
    const std::string dbf = folder + "/sites.dbf";
    const std::string withoutResults = test::fileBytes(dbf);
    p->fm.indexcheck = 1;
    struct ReplacingShell final : model::RunShell {
        std::string dbf, theirs, at = "Quor running..4 of 6";
        bool rename = true;
        void setTitle(const std::string& t) override {
            if (t != at) return;
            if (rename) {
                // A copy as the disk holds it, renamed over the table.
                std::filesystem::copy_file(dbf, dbf + ".sync");
                std::filesystem::rename(dbf + ".sync", dbf);
            } else {
                std::ofstream(dbf, std::ios::binary | std::ios::trunc) << theirs;
            }
            theirs = test::fileBytes(dbf);
        }
    };
    // Renamed over at the fourth site; copied over in place at the fourth,
    // and at the first, before anything was written.
    const std::pair<bool, int> cases[] = {{true, 4}, {false, 4}, {false, 1}};
    for (const auto& [rename, site] : cases) {
        SCOPED_TRACE((rename ? "renamed over at site " : "copied over in place at site ") + std::to_string(site));
        p->messages.entries.clear();
        std::ofstream(dbf, std::ios::binary | std::ios::trunc) << withoutResults;
        auto fc = pg::Workspace::open(folder)->openFeatureClass("sites");
        ReplacingShell shell;
        shell.dbf = dbf;
        shell.rename = rename;
        shell.at = "Quor running.." + std::to_string(site) + " of 6";
        shell.theirs = withoutResults;
        auto ctx = context();
        ctx.shell = &shell;
        const auto out = runmodel(ctx, fc, 1);
        fc.reset();
        EXPECT_EQ(out.end, ReiRunEnd::Failed);
        EXPECT_EQ(test::fileBytes(dbf), shell.theirs) << "the run wrote into the other program's table";
        ASSERT_FALSE(p->messages.texts().empty());
        const std::string told = p->messages.texts().back();
        EXPECT_NE(told.find("was replaced or rewritten by another program"), std::string::npos) << told;
        EXPECT_NE(told.find((rename ? "3" : "0") + std::string(" of 6 sites hold results for sure")), std::string::npos)
            << told;
        EXPECT_EQ(sitesWithResults(folder + "/sites.shp"), rename ? 3 : 0);
    }
}


// A window that lets another program act on the run's table as the site
// `at` begins.
struct ActingShell final : model::RunShell {
    std::function<void(const std::string& title)> act;
    void setTitle(const std::string& t) override {
        if (act) act(t);
    }
};

// Another program copies a table of the same layout over the one the run
// writes, in place: the same file, size and header, with the values it
// held a moment before. The run tells it with the count of sites that
// table holds, and writes nothing more into it.
TEST_F(ReiRunTest, ATableOfTheSameLayoutCopiedOverInPlaceIsToldWithATrueCount) {
    const std::string folder = sixShapefileSites();
    const std::string dbf = folder + "/sites.dbf";
    std::string earlier, theirs;
    ActingShell shell;
    shell.act = [&](const std::string& title) {
        if (title == "Quor running..3 of 6") earlier = test::fileBytes(dbf);
        if (title != "Quor running..5 of 6") return;
        std::ofstream(dbf, std::ios::binary | std::ios::trunc) << earlier;
        theirs = test::fileBytes(dbf);
    };
    const auto [end, told] = fastRun(folder, &shell);
    EXPECT_EQ(end, ReiRunEnd::Failed);
    EXPECT_TRUE(test::fileBytes(dbf) == theirs) << "the run wrote into the other program's table";
    EXPECT_NE(told.find("2 of 6 sites hold results for sure: The table"), std::string::npos) << told;
    EXPECT_EQ(sitesWithResults(folder + "/sites.shp"), 2);
}

// Another program renames its copy over the table with a field of its own
// added: the sites it holds are counted field by field name.
TEST_F(ReiRunTest, ATableRenamedOverWithOneFieldMoreIsCountedByItsFieldNames) {
    const std::string folder = sixShapefileSites();
    ActingShell shell;
    shell.act = [&](const std::string& title) {
        if (title != "Quor running..4 of 6") return;
        const std::string copy = tmp.path() + "/copy";
        std::filesystem::create_directories(copy);
        for (const char* ext : {".shp", ".shx", ".dbf"})
            std::filesystem::copy_file(folder + "/sites" + ext, copy + "/sites" + ext);
        {
            GDALDatasetUniquePtr ds(GDALDataset::Open(copy.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
            OGRFieldDefn note("NOTE", OFTString);
            note.SetWidth(8);
            ASSERT_EQ(ds->GetLayer(0)->CreateField(&note), OGRERR_NONE);
        }
        std::filesystem::rename(copy + "/sites.dbf", folder + "/sites.dbf");
    };
    const auto [end, told] = fastRun(folder, &shell);
    EXPECT_EQ(end, ReiRunEnd::Failed);
    EXPECT_NE(told.find("3 of 6 sites hold results for sure: The table"), std::string::npos) << told;
    EXPECT_EQ(sitesWithResults(folder + "/sites.shp"), 3);
}

// Another program removes the shapes' index during the run: the values all
// went into the table, and the run's end says the dataset now lacks it.
TEST_F(ReiRunTest, AShapeIndexRemovedMidRunIsTold) {
    const std::string folder = sixShapefileSites();
    ActingShell shell;
    shell.act = [&](const std::string& title) {
        if (title == "Quor running..4 of 6") std::filesystem::remove(folder + "/sites.shx");
    };
    const auto [end, told] = fastRun(folder, &shell);
    EXPECT_EQ(end, ReiRunEnd::Failed);
    EXPECT_NE(told.find("6 of 6 sites hold results for sure: The file " + folder +
                        "/sites.shx was removed by another program during the run"),
              std::string::npos)
        << told;
}

// A table too wide for the fast mode's fields: the run says so, and never
// that the shapefile is in use.
TEST_F(ReiRunTest, ATableTooWideForTheFieldsIsRefusedForThatAlone) {
    const std::string folder = tmp.path() + "/wide";
    std::filesystem::create_directories(folder);
    std::vector<pg::FieldDef> wide;
    for (int i = 0; i < 257; ++i) wide.emplace_back("T" + std::to_string(i), pg::FieldType::String, std::string(), 254);
    {
        auto fc = pg::Workspace::open(folder)->createFeatureClass("sites", pg::GeometryType::Point, wide,
                                                                  pg::SpatialReference::fromEpsg(32755));
        pg::Feature f = fc->createFeature();
        f.setShape(pg::Geometry::point(p->site(10000, 10000)));
        fc->store(f);
    }
    const auto [end, told] = fastRun(folder);
    EXPECT_EQ(end, ReiRunEnd::Failed);
    for (const auto& text : p->messages.texts()) EXPECT_EQ(text.find("in use"), std::string::npos) << text;
    EXPECT_NE(told.find("cannot hold more fields"), std::string::npos) << told;
}

}  // namespace
}  // namespace quor::rei
