#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <deque>

#include "buoy_fixtures.h"
#include "local_http_server.h"
#include "platform/textfile.h"
#include "test_support.h"
#include "wind/rei_wind_analysis.h"
#include "wind/wind_datetime.h"

using namespace quor::wind;
using quor::platform::MessageIcon;
using quor::test::LocalHttpServer;
using quor::test::Obs;

namespace {

BuoyRecord rec(int hour, double dir, double speed, bool speedOk = true) {
    BuoyRecord r;
    r.time = *windDateTime(2004, 3, 1, hour);
    r.hasTime = true;
    r.direction = dir;
    r.hasDirection = true;
    r.speed = speed;
    r.hasSpeed = speedOk;
    return r;
}

class QueueChooser final : public SavePathChooser {
public:
    std::deque<std::optional<std::string>> answers;
    int asked = 0;
    std::optional<std::string> chooseSavePath(const std::string& title, const std::string& filter,
                                              const std::string& folder) override {
        ++asked;
        lastTitle = title;
        lastFilter = filter;
        lastFolder = folder;
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::string lastTitle, lastFilter, lastFolder;
};

std::string readAll(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

// The worked sample: E 10, 10, 7; N 49; NE 3; and five records that must
// not count (missing direction, direction 361, speeds 49.1, 99 and "MM").
std::vector<BuoyRecord> workedSample() {
    return {rec(0, 90, 10),  rec(1, 999, 20), rec(2, 100, 10), rec(3, 361, 20), rec(4, 200, 49.1),
            rec(5, 111, 7),  rec(6, 200, 99), rec(7, 200, 0, false), rec(8, 21, 49), rec(9, 22, 3)};
}

}  // namespace

TEST(ReiWindPipeline, CompassClassesAndTheirBoundaries) {
    const std::pair<double, int> cases[] = {{336, 5}, {291, 4}, {246, 3}, {201, 2}, {156, 1}, {111, 0}, {66, 7},
                                            {21, 6},  {336.1, 6}, {0, 6}, {359.9, 6}, {21.01, 7}, {90, 0},
                                            {360, 6}};  // 360 is north, as 0 is
    for (auto [d, k] : cases) EXPECT_EQ(compassClass(d), std::optional<int>(k)) << d;
    for (double d : {999.0, 360.01, 400.0, -1.0}) EXPECT_FALSE(compassClass(d)) << d;
}

TEST(ReiWindPipeline, InclusivePercentileInterpolates) {
    std::vector<double> v{4, 1, 3, 2};
    EXPECT_DOUBLE_EQ(percentileInclusive(v, 0.95), 3.85);
    EXPECT_DOUBLE_EQ(percentileInclusive(v, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(percentileInclusive(v, 1.0), 4.0);
    EXPECT_DOUBLE_EQ(percentileInclusive(v, 0.5), 2.5);
    std::vector<double> one{5};
    EXPECT_DOUBLE_EQ(percentileInclusive(one, 0.3), 5.0);
}

TEST(ReiWindPipeline, DateWindowRunsFromStartThroughTheFirstRecordAtOrAfterTheEnd) {
    std::vector<BuoyRecord> r{rec(0, 90, 1), rec(2, 90, 2), rec(4, 90, 3), rec(6, 90, 4)};
    auto at = [](int h) { return *windDateTime(2004, 3, 1, h); };
    auto span = windowSpan(r, at(2), at(4));  // a record exactly at the end stays and ends the window
    EXPECT_EQ(span.begin, 1u);
    EXPECT_EQ(span.end, 3u);
    span = windowSpan(r, at(1), at(3));  // the records jump over the end: the first after it stays
    EXPECT_EQ(span.begin, 1u);
    EXPECT_EQ(span.end, 3u);
    span = windowSpan(r, at(0) - 1, *windDateTime(2004, 3, 2, 0));  // window wider than the records
    EXPECT_EQ(span.begin, 0u);
    EXPECT_EQ(span.end, 4u);
    EXPECT_EQ(windowSpan(r, at(7), at(9)).size(), 0u);  // starts after the last record
    EXPECT_EQ(windowSpan(r, at(3), at(4)).size(), 0u);  // the first record in it is already at the end
}

TEST(ReiWindPipeline, WorkedNumbersDropInvalidRecordsOneByOne) {
    const double start = *windDateTime(2004, 3, 1, 0), end = *windDateTime(2004, 3, 2, 0);
    auto all = analyseReiRecords(workedSample(), start, end, 100);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->windowRecords, 10);
    EXPECT_EQ(all->usableRecords, 5);  // 999, 361, 49.1, 99 and "MM" are dropped, the rest still counts
    EXPECT_DOUBLE_EQ(all->cutSpeed, 3.0);
    EXPECT_EQ(all->total, 5);
    EXPECT_FLOAT_EQ(all->meanSpeed[0], 9.0f);  // E: 10, 10, 7
    EXPECT_FLOAT_EQ(all->count[0], 3.0f);
    EXPECT_FLOAT_EQ(all->meanSpeed[6], 49.0f);  // 49 itself stays; 21 degrees is north
    EXPECT_FLOAT_EQ(all->count[7], 1.0f);       // 22 degrees is north-east
    for (int k : {1, 2, 3, 4, 5}) EXPECT_EQ(all->count[k], 0.0f);

    auto half = analyseReiRecords(workedSample(), start, end, 50);  // cut at the median 10: ties stay
    ASSERT_TRUE(half);
    EXPECT_DOUBLE_EQ(half->cutSpeed, 10.0);
    EXPECT_EQ(half->total, 3);
    auto v = roundReiClasses(half->meanSpeed, half->count, half->total);
    EXPECT_EQ(v.percent[0], 66.67);
    EXPECT_EQ(v.percent[6], 33.33);
    EXPECT_EQ(v.speed[0], 10.0);

    auto top = analyseReiRecords(workedSample(), start, end, 5);  // p 0.95 of 3, 7, 10, 10, 49
    ASSERT_TRUE(top);
    EXPECT_DOUBLE_EQ(top->cutSpeed, 41.2);
    EXPECT_EQ(top->total, 1);
    EXPECT_FLOAT_EQ(top->count[6], 1.0f);

    // Nothing usable, or nothing in the window: no statistics of nothing.
    EXPECT_FALSE(analyseReiRecords({rec(0, 999, 5), rec(1, 90, 99)}, start, end, 100));
    EXPECT_FALSE(analyseReiRecords(workedSample(), end, end + 1, 100));
}

TEST(ReiWindPipeline, CountsBeyondSixteenBitsAndHalfEvenRounding) {
    std::vector<BuoyRecord> many;
    for (int i = 0; i < 40000; ++i) {
        BuoyRecord r = rec(0, i % 2 ? 90 : 180, 5);
        r.time += i / 24.0;
        many.push_back(r);
    }
    auto st = analyseReiRecords(many, many.front().time, many.back().time + 1, 100);
    ASSERT_TRUE(st);
    EXPECT_EQ(st->total, 40000);
    auto v = roundReiClasses(st->meanSpeed, st->count, st->total);
    EXPECT_EQ(v.percent[0], 50.0);
    EXPECT_EQ(v.percent[2], 50.0);

    std::array<float, 8> mean{2.125f, 2.375f}, count{1, 2};
    auto r = roundReiClasses(mean, count, 3);
    EXPECT_EQ(r.speed[0], 2.12);
    EXPECT_EQ(r.speed[1], 2.38);
    EXPECT_EQ(r.percent[0], 33.33);
    EXPECT_EQ(r.percent[1], 66.67);
}

struct ReiRun {
    quor::model::ModelState state;
    quor::model::WindSummary holder;
    quor::model::MainFormState form;
    quor::test::RecordingMessages messages;
    HttpYearFetcher fetcher;
    QueueChooser chooser;
    quor::test::TempDir dir;
    std::vector<std::string> statuses;
    int busyOff = 0, closed = 0, summaries = 0;

    ReiAnalysisContext context(const std::string& server) {
        state.app_folder = dir.path();
        QDir(QString::fromStdString(dir.path())).mkpath("Project");
        QDir(QString::fromStdString(dir.path())).mkpath("work");
        WindDialogHooks hooks;
        hooks.status = [this](const std::string& s) { statuses.push_back(s); };
        hooks.stopBusy = [this] { ++busyOff; };
        hooks.closeDialog = [this] { ++closed; };
        return ReiAnalysisContext{state, holder, form, messages, fetcher, chooser, server, hooks,
                                  [this] { ++summaries; }, dir.file("work")};
    }
    BuoyWindRequest request(int y0, int y1, int top = 100) {
        BuoyWindRequest rq{"clkn7, Cape Lookout NC", "clkn7"};
        rq.startYear = y0; rq.endYear = y1;
        rq.startMonth = 1; rq.endMonth = 12; rq.startDay = 1; rq.endDay = 31; rq.startHour = 0; rq.endHour = 23;
        rq.topPercent = top;
        return rq;
    }
    bool workFolderEmpty() { return QDir(QString::fromStdString(dir.file("work"))).isEmpty(); }
};

TEST(ReiWindAnalysis, MixedLayoutYearsFromTheServerGiveTheWorkedFile) {
    LocalHttpServer server;
    server.serve(buoyYearPath("clkn7", 2004),
                 {200, quor::test::buoyYearText(2004, {{12, 31, 21, "90", "10"}, {12, 31, 22, "999", "20"}, {12, 31, 23, "100", "10"}}),
                  "text/plain", LocalHttpServer::Reply::Mode::Normal});
    server.serve(buoyYearPath("clkn7", 2005),
                 {200, quor::test::buoyYearText(2005, {{1, 1, 0, "111", "7"}, {1, 1, 1, "21", "49"}, {1, 1, 2, "22", "3"}, {1, 1, 3, "200", "99"}}),
                  "text/plain", LocalHttpServer::Reply::Mode::Normal});
    ReiRun run;
    auto ctx = run.context(server.address());
    run.chooser.answers = {run.dir.file("Project/result")};  // the extension is added

    ASSERT_EQ(windanalysis_rei(ctx, run.request(2004, 2005)), WindRunOutcome::Done);
    EXPECT_EQ(run.messages.texts(), (std::vector<std::string>{"Please save wind data in text file",
                                                                "Cut off wind speed is 3m/s", "Wind Analysis Done"}));
    EXPECT_EQ(run.chooser.lastFilter, "Wind data(*.Wind_REI)|*.Wind_REI");
    EXPECT_EQ(run.chooser.lastFolder, run.dir.path() + "/Project");
    EXPECT_EQ(run.statuses.front(), "Downloading Wind Data.....");
    EXPECT_EQ(run.closed, 1);
    EXPECT_EQ(run.summaries, 1);
    EXPECT_TRUE(run.workFolderEmpty());

    const std::string bytes = readAll(run.dir.file("Project/result.Wind_REI"));
    const size_t body = bytes.find("\r\n\r\n", bytes.find("Created on: "));
    ASSERT_NE(body, std::string::npos);
    EXPECT_EQ(bytes.substr(0, 30), "Winddata File Quor Project\r\n\r\n");
    EXPECT_EQ(bytes.substr(body + 4),
              "9\r\n60\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n49\r\n20\r\n3\r\n20\r\n"
              "\r\nclkn7, Cape Lookout NC\r\n1/1/2004\r\n12/31/2005 11:00:00 PM\r\n3m/s\r\n");
    EXPECT_EQ(run.holder.windspd_ee, 9);
    EXPECT_EQ(run.holder.winddur_nn, 20);
    EXPECT_EQ(run.holder.wind_file, run.dir.file("Project/result.Wind_REI"));
    EXPECT_EQ(run.holder.wind_cutoff, "3");
    EXPECT_EQ(run.state.wind_source, "clkn7, Cape Lookout NC");
    EXPECT_EQ(run.state.wind_reccount, 7);
    EXPECT_EQ(run.state.wind_dircount(0), 3.0f);
}

TEST(ReiWindAnalysis, FailedYearsStopWithTheMessageAndLeaveNoFiles) {
    LocalHttpServer server;
    const std::string good = quor::test::hourlyYear(2001, 48);
    server.serve(buoyYearPath("clkn7", 2001), {200, good, "text/plain", LocalHttpServer::Reply::Mode::Normal});
    server.serve(buoyYearPath("clkn7", 2002), {200, "<html>Unable to access data file</html>", "text/html",
                                               LocalHttpServer::Reply::Mode::Normal});
    server.serve(buoyYearPath("clkn7", 2003),
                 {200, quor::test::buoyYearText(2003, {{1, 1, 0, "90", "5"}, {1, 1, 1, "90", "5"}}), "text/plain",
                  LocalHttpServer::Reply::Mode::Normal});
    server.serve(buoyYearPath("clkn7", 2004), {200, good, "text/plain", LocalHttpServer::Reply::Mode::Truncate});
    const std::vector<std::pair<int, int>> ranges{{2001, 2002}, {2003, 2003}, {2000, 2001}};
    for (auto [y0, y1] : ranges) {
        ReiRun run;
        auto ctx = run.context(server.address());
        EXPECT_EQ(windanalysis_rei(ctx, run.request(y0, y1)), WindRunOutcome::Reported) << y0;
        ASSERT_EQ(run.messages.entries.size(), 1u) << y0;
        EXPECT_EQ(run.messages.entries[0].text, "No website found with the specified parameters");
        EXPECT_EQ(run.messages.entries[0].icon, MessageIcon::Critical);
        EXPECT_EQ(run.busyOff, 1);
        EXPECT_EQ(run.chooser.asked, 0);
        EXPECT_TRUE(run.workFolderEmpty()) << y0;
    }
    // A transfer that breaks off, or a server that cannot be reached, is the
    // dialog's failure, not a missing website.
    for (const std::string& address : {server.address(), std::string("http://127.0.0.1:9")}) {
        ReiRun run;
        auto ctx = run.context(address);
        EXPECT_EQ(windanalysis_rei(ctx, run.request(2004, 2004)), WindRunOutcome::Failed) << address;
        EXPECT_TRUE(run.messages.entries.empty()) << address;
        EXPECT_TRUE(run.workFolderEmpty());
    }
    // A bad station identifier is never sent.
    ReiRun run;
    auto ctx = run.context(server.address());
    auto rq = run.request(2001, 2001);
    rq.stationId = "a/b?c";
    const size_t before = server.requests().size();
    EXPECT_EQ(windanalysis_rei(ctx, rq), WindRunOutcome::Failed);
    EXPECT_EQ(server.requests().size(), before);
}

TEST(ReiWindAnalysis, EmptyWindowIsRefusedAndCancelledSaveGoesToTheTemporaryFile) {
    LocalHttpServer server;
    server.serve(buoyYearPath("clkn7", 2004),
                 {200, quor::test::buoyYearText(2004, {{6, 1, 0, "999", "5"}, {6, 1, 1, "90", "99"}, {6, 1, 2, "90", "MM"}, {6, 1, 3, "90", "5"}}),
                  "text/plain", LocalHttpServer::Reply::Mode::Normal});
    {
        ReiRun run;  // the only usable record lies after the window
        auto ctx = run.context(server.address());
        auto rq = run.request(2004, 2004);
        rq.endMonth = 6; rq.endDay = 1; rq.endHour = 2;
        EXPECT_EQ(windanalysis_rei(ctx, rq), WindRunOutcome::Reported);
        ASSERT_EQ(run.messages.texts(), std::vector<std::string>{" Wind data is not available between the specified dates"});
        EXPECT_EQ(run.chooser.asked, 0);
    }
    {
        ReiRun run;  // the user answers No to replacing, then cancels; no project is open
        auto ctx = run.context(server.address());
        const std::string existing = run.dir.file("Project/old.Wind_REI");
        quor::platform::writeTextLines(existing, {"keep me"});
        run.chooser.answers = {existing};
        run.messages.answers = {false};
        EXPECT_EQ(windanalysis_rei(ctx, run.request(2004, 2004)), WindRunOutcome::Done);
        EXPECT_EQ(run.chooser.asked, 2);
        EXPECT_EQ(readAll(existing), "keep me\r\n");
        auto lines = quor::platform::readTextLines(run.dir.file("Project/temporary_wind.txt"));
        ASSERT_EQ(lines.size(), 24u);
        EXPECT_EQ(lines[4], "5");
        EXPECT_EQ(lines[5], "100");
        EXPECT_EQ(lines[23], "Cutoff Speed: 5 m/s");
        EXPECT_EQ(run.holder.wind_file, "temporary");
    }
}
