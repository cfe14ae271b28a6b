// Batch runs over a folder of wind files with a water-level file: the log
// byte for byte, the water-level terms, the counter, the restored wind,
// and a cancelled batch.
#include "run_fixture.h"

#include <optional>
#include <sstream>

#include "model/setting_checks.h"
#include "refused_writes.h"
#include "wave/batch_run.h"

namespace quor::wave::testing {
namespace {

struct Batch : ::testing::Test {
    RunProject rp;
    BatchSetup setup;
    void SetUp() override {
        rp.sites({{10000, 10000}, {3000, 16000}});
        rp.p->state.batch_mode = 1;
        setup.folder = rp.tmp.path() + "/winds";
        std::filesystem::create_directories(setup.folder);
        for (const char* n : {"a.Wind_RWE", "b.txt", "c.Wind_RWE", "d.Wind_RWE", "e.wind_rwe"})
            platform::writeTextLines(setup.folder + "/" + n,
                                     windFileLines(std::vector<double>(16, 10), std::vector<double>(16, 6.25)));
        setup.tide_file = rp.tmp.file("levels.txt");
        platform::writeTextLines(setup.tide_file, {"water levels", "0.5", "", "0"});
        rp.p->state.app_folder = rp.tmp.path() + "/app";
    }
    std::string log() const { return test::fileBytes(batchLogPath(rp.p->state.app_folder)); }
};

TEST_F(Batch, LogHoldsEverySiteOfEveryWindFileAndTheProjectWindComesBack) {
    const std::string projectWind = rp.p->mf.windpath;
    // An earlier log is kept.
    std::filesystem::create_directories(rp.tmp.path() + "/app/Project/output_data");
    platform::writeTextLines(batchLogPath(rp.p->state.app_folder), {"old log"});
    const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    ASSERT_TRUE(out.completed) << out.stoppedBecause;
    EXPECT_EQ(out.runs, 3);
    EXPECT_EQ(rp.p->mf.windpath, projectWind);
    EXPECT_EQ(test::fileBytes(batchLogPath(rp.p->state.app_folder) + ".bak"), "old log\r\n");

    const auto lines = platform::readTextLines(batchLogPath(rp.p->state.app_folder));
    ASSERT_EQ(lines.size(), 3u + 3 * 2);
    EXPECT_EQ(log().substr(0, 200).find("Quor RWE Batch Mode Log File    12/7/2026 10:00 AM\r\n\r\nCounter RWE "), 0u);
    EXPECT_EQ(lines[2], kBatchLogColumns);
    // Counters 0, 2, 3: "b.txt" counts as a file but runs nothing.
    for (int k = 0; k < 2; ++k) EXPECT_EQ(lines[3 + k].substr(0, 2), "0 ");
    for (int k = 0; k < 2; ++k) EXPECT_EQ(lines[5 + k].substr(0, 2), "2 ");
    for (int k = 0; k < 2; ++k) EXPECT_EQ(lines[7 + k].substr(0, 2), "3 ");
    // One line in full: the site depth carries the file's term (0.5 shallower), the bottom columns the shared values.
    std::istringstream first(lines[3]);
    std::vector<std::string> cols;
    for (std::string c; first >> c;) cols.push_back(c);
    ASSERT_EQ(cols.size(), 14u);
    EXPECT_EQ(cols[7], "9.5");
    EXPECT_EQ(cols[8], "a.Wind_RWE");
    EXPECT_EQ(cols[13], "0");
    // 1E-07 for the empty and the 0 line: 10 m of water less almost nothing.
    EXPECT_NE(lines[5].find(" 10 c.Wind_RWE "), std::string::npos) << lines[5];
    EXPECT_EQ(waterLevelTerm(""), 1e-07f);
    EXPECT_EQ(waterLevelTerm("0"), 1e-07f);
    EXPECT_FALSE(waterLevelTerm("high"));
    // The dataset's fields are not touched by a batch.
    EXPECT_EQ(rp.points->findField("RWE"), -1);
    EXPECT_FALSE(rp.p->state.run_lock.active());
}

// A batch whose sites are computed on four threads logs, byte for byte,
// what one thread logs.
TEST_F(Batch, FourThreadsLogWhatOneThreadLogs) {
    std::vector<pg::Point> grid;
    for (double x : {2000, 5000, 8000, 15000, 18000})
        for (double y : {2000, 6000, 15000, 19000}) grid.push_back({x, y});
    rp.sites(grid);
    rp.p->state.orbvel_on = 1;
    std::string logs[2];
    for (int threads : {1, 4}) {
        test::RunThreads use(threads);
        const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
        ASSERT_TRUE(out.completed) << out.stoppedBecause;
        EXPECT_EQ(out.threads, threads);
        logs[threads == 4] = log();
    }
    EXPECT_EQ(platform::readTextLines(batchLogPath(rp.p->state.app_folder)).size(), 3u + 3 * grid.size());
    EXPECT_TRUE(logs[1] == logs[0]) << logs[1] << "\n---\n" << logs[0];
}

// A tide record of years: a title and 200,000 values, 1.6 MB. The batch
// takes one value per wind file from its start.
TEST_F(Batch, AWaterLevelFileOfAnyLengthGivesTheFirstValues) {
    std::vector<std::string> levels = {"water levels"};
    for (int i = 0; i < 200000; ++i) levels.push_back(i % 2 == 0 ? "0.5000" : "0.2500");
    platform::writeTextLines(setup.tide_file, levels);
    ASSERT_GT(std::filesystem::file_size(setup.tide_file), 1.5 * 1024 * 1024);
    const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    ASSERT_TRUE(out.completed) << out.stoppedBecause;
    EXPECT_EQ(out.runs, 3);
    const auto lines = platform::readTextLines(batchLogPath(rp.p->state.app_folder));
    ASSERT_EQ(lines.size(), 3u + 3 * 2);
    // Each file's first site: 10 m of water less its term.
    for (const auto& [at, depthAndFile] : std::vector<std::pair<std::size_t, std::string>>{
             {3, " 9.5 a.Wind_RWE "}, {5, " 9.75 c.Wind_RWE "}, {7, " 9.5 d.Wind_RWE "}})
        EXPECT_NE(lines[at].find(depthAndFile), std::string::npos) << lines[at];
}

TEST_F(Batch, CancelAndErrorsLeaveALogOfTheFinishedFilesSayingWhy) {
    rp.p->fm.refreshmap = 0;
    rp.p->messages.answers = {true};
    rp.p->progress.onYield = [&](int) {
        if (rp.p->state.batch_windname == "c.Wind_RWE") rp.p->state.cancel_flag = true;
    };
    const std::string projectWind = rp.p->mf.windpath;
    BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    EXPECT_FALSE(out.completed);
    EXPECT_FALSE(rp.p->state.stop_flag);
    auto lines = platform::readTextLines(batchLogPath(rp.p->state.app_folder));
    EXPECT_EQ(lines.back(), "Batch stopped by the user during c.Wind_RWE.");
    EXPECT_EQ(rp.p->mf.windpath, projectWind);

    // A water-level file one line short: the error message and a log saying so.
    rp.p->progress.onYield = nullptr;
    rp.p->messages.entries.clear();
    platform::writeTextLines(setup.tide_file, {"water levels", "0.5"});
    out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    EXPECT_FALSE(out.completed);
    lines = platform::readTextLines(batchLogPath(rp.p->state.app_folder));
    EXPECT_EQ(lines.size(), 3u + 2 + 1);
    EXPECT_NE(lines.back().find("no line for c.Wind_RWE"), std::string::npos) << lines.back();
    EXPECT_EQ(rp.p->messages.texts(),
              std::vector<std::string>{std::string(kBatchError) + "\n" +
                                       lines.back().substr(std::string("Batch stopped by an error: ").size())});
    EXPECT_EQ(rp.p->mf.windpath, projectWind);
}

// The message, not only the log, says why the batch stopped.
TEST_F(Batch, AWaterLevelTitleTooLongToReadIsNamedInTheMessage) {
    platform::writeTextLines(setup.tide_file, {std::string(platform::kMaxTextFileBytes + 1, 'w'), "0.5"});
    const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    EXPECT_FALSE(out.completed);
    ASSERT_EQ(rp.p->messages.entries.size(), 1u);
    const std::string said = rp.p->messages.entries.front().text;
    EXPECT_EQ(said.rfind(std::string(kBatchError) + "\n", 0), 0u) << said;
    EXPECT_NE(said.find("a line of it is far too long"), std::string::npos) << said;
}

// The disk fills up as the second wind file begins: the log holds every
// whole line written before, the earlier log is kept, and the message
// says why the log ends there.
TEST_F(Batch, AFullDiskLeavesTheLinesWrittenInTheLogAndTheMessageSaysWhy) {
    const std::string logPath = batchLogPath(rp.p->state.app_folder);
    std::filesystem::create_directories(rp.tmp.path() + "/app/Project/output_data");
    platform::writeTextLines(logPath, {"old log"});
    std::optional<test::FullDisk> full;
    rp.p->progress.onYield = [&](int) {
        if (!full && rp.p->state.batch_windname == "a.Wind_RWE") full.emplace(std::filesystem::file_size(logPath) + 10);
    };
    const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    full.reset();
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(test::fileBytes(logPath + ".bak"), "old log\r\n");
    ASSERT_EQ(rp.p->messages.entries.size(), 1u) << ::testing::PrintToString(rp.p->messages.texts());
    const std::string said = rp.p->messages.entries.front().text;
    EXPECT_EQ(said.rfind(kBatchError, 0), 0u) << said;
    EXPECT_NE(said.find("the disk is full"), std::string::npos) << said;
    const std::string text = test::fileBytes(logPath);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const auto lines = platform::readTextLines(logPath);
    ASSERT_EQ(lines.size(), 3u + 2) << text;
    EXPECT_EQ(lines[2], kBatchLogColumns);
    for (std::size_t k = 3; k < lines.size(); ++k) {
        std::istringstream line(lines[k]);
        std::vector<std::string> cols;
        for (std::string c; line >> c;) cols.push_back(c);
        EXPECT_EQ(cols.size(), 14u) << lines[k];
        EXPECT_EQ(cols.front(), "0") << lines[k];
    }
}

// The disk of the project geodatabase fills as the first wind file's run
// draws its sites' rays there: the batch stops saying that the disk is
// full, not that the sites cannot be read.
TEST_F(Batch, AFullDiskUnderTheProjectGeodatabaseIsToldAsAFullDisk) {
    rp.p->fm.refreshmap = 0;  // the rays are drawn, from work classes in the project geodatabase
    std::optional<test::RefusedWrites> full;
    rp.p->progress.onYield = [&](int) {
        if (!full && rp.p->state.batch_windname == "a.Wind_RWE") full.emplace(rp.tmp.path() + "/proj", 0);
    };
    const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    full.reset();
    EXPECT_FALSE(out.completed);
    const auto texts = rp.p->messages.texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back().rfind(kBatchError, 0), 0u) << texts.back();
    EXPECT_NE(texts.back().find("the disk is full"), std::string::npos) << ::testing::PrintToString(texts);
}

TEST_F(Batch, AnUnreadableWindFileEndsOnlyItsOwnRunAndTheTreeNamesEachFile) {
    struct WindNames : model::RunShell {
        std::vector<std::string> shown;
        void showWindName(const std::string& name) override { shown.push_back(name); }
    } shell;
    rp.ctx->shell = &shell;
    rp.p->state.wind_name = "project.Wind_RWE";
    platform::writeTextLines(setup.folder + "/c.Wind_RWE", {"this is no wind file"});
    const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    EXPECT_TRUE(out.completed) << out.stoppedBecause;
    EXPECT_EQ(out.skipped, std::vector<std::string>{"c.Wind_RWE"});
    // The reader's own refusal, then the run's; no batch error.
    const auto texts = rp.p->messages.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], kCouldNotRun);
    const auto lines = platform::readTextLines(batchLogPath(rp.p->state.app_folder));
    ASSERT_EQ(lines.size(), 3u + 2 + 1 + 2);
    EXPECT_EQ(lines[5], "Wind file c.Wind_RWE skipped: its wind data cannot be used.");
    EXPECT_EQ(lines[6].substr(0, 2), "3 ");
    EXPECT_EQ(shell.shown,
              (std::vector<std::string>{"a.Wind_RWE", "c.Wind_RWE", "d.Wind_RWE", "project.Wind_RWE"}));
}

// The ranges a single run checks at its start hold for a batch too: no
// run begins and no log is written.
TEST_F(Batch, ASettingOutsideItsRangeRefusesTheBatch) {
    struct Case {
        double fetch, segmentDistance;
        const char* message;
    };
    for (const Case& c : {Case{50, 100, model::kMsgFetchRange}, Case{10000, 200000, model::kMsgSegmentDistanceRange}}) {
        rp.p->mf.Fetch = c.fetch;
        rp.p->state.Depth_intg_first = c.segmentDistance;
        rp.p->messages.entries.clear();
        const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
        EXPECT_FALSE(out.completed) << c.message;
        EXPECT_EQ(out.runs, 0) << c.message;
        EXPECT_EQ(rp.p->messages.texts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(std::filesystem::exists(batchLogPath(rp.p->state.app_folder))) << c.message;
    }
}

TEST_F(Batch, LinksLeadingNowhereAndFoldersAreNoWindFilesAndAreSkipped) {
    namespace fs = std::filesystem;
    fs::create_symlink("loop.txt", setup.folder + "/loop.txt");
    fs::create_symlink("nowhere", setup.folder + "/gone.Wind_RWE");
    fs::create_directory(setup.folder + "/sub.Wind_RWE");
    const BatchOutcome out = batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup);
    EXPECT_TRUE(out.completed) << out.stoppedBecause;
    EXPECT_EQ(out.runs, 3);
    EXPECT_TRUE(out.skipped.empty());
    EXPECT_TRUE(rp.p->messages.texts().empty()) << rp.p->messages.texts().front();
}

// The bottom results of the shared state outlive their site; a batch with
// bottom velocity off must not log what an earlier run left there.
TEST_F(Batch, WithBottomVelocityOffALineHoldsNoBottomValueOfAnotherSite) {
    auto bottomColumns = [this] {
        std::vector<std::vector<std::string>> out;
        const auto lines = platform::readTextLines(batchLogPath(rp.p->state.app_folder));
        for (std::size_t i = 3; i < lines.size(); ++i) {
            std::istringstream in(lines[i]);
            std::vector<std::string> cols;
            for (std::string c; in >> c;) cols.push_back(c);
            out.emplace_back(cols.begin() + 9, cols.end());
        }
        return out;
    };
    rp.p->state.orbvel_on = 1;
    ASSERT_TRUE(batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup).completed);
    ASSERT_NE(bottomColumns().back()[0], "0");  // the run left a velocity behind

    rp.p->state.orbvel_on = 0;
    ASSERT_TRUE(batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup).completed);
    const auto off = bottomColumns();
    ASSERT_EQ(off.size(), 3u * 2);
    for (const auto& cols : off)
        EXPECT_EQ(cols, (std::vector<std::string>{"-999", "-999", "-999", "-999", "0"}));
}

// A site that cannot be computed has no bottom values of its own either:
// its line must not carry the critical stress of the site before it.
TEST_F(Batch, AFailedSitesLineHoldsItsStatusCodeInEveryBottomColumn) {
    rp.sites({{10000, 10000}, {4200, 2200}});  // the second on the NoData patch
    auto& s = rp.p->state;
    s.orbvel_on = 1;
    s.sed_density = 2650;
    s.sed_diameter = 0.0002f;
    ASSERT_TRUE(batch_processing_cls(*rp.ctx).batch_processing(rp.points, 1, setup).completed);
    const auto lines = platform::readTextLines(batchLogPath(s.app_folder));
    ASSERT_EQ(lines.size(), 3u + 3 * 2);
    std::istringstream failed(lines[4]);
    std::vector<std::string> cols;
    for (std::string c; failed >> c;) cols.push_back(c);
    ASSERT_EQ(cols.size(), 14u);
    EXPECT_EQ(cols[1], "-9999");
    EXPECT_EQ(std::vector<std::string>(cols.begin() + 9, cols.end()),
              (std::vector<std::string>{"-9999", "-9999", "-9999", "-9999", "0"}));
}

}  // namespace
}  // namespace quor::wave::testing
