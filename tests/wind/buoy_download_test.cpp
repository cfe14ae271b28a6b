#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "buoy_fixtures.h"
#include "local_http_server.h"
#include "platform/textfile.h"
#include "test_support.h"
#include "wind/buoy_download.h"
#include "wind/wind_text_call.h"

using namespace quor::wind;
using quor::test::LocalHttpServer;

namespace {

std::string readAll(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

struct RweRun {
    quor::model::ModelState state;
    quor::test::RecordingMessages messages;
    HttpYearFetcher fetcher;
    quor::test::TempDir dir;
    std::vector<WindTextCall> calls;
    int busyOff = 0;

    BuoyDownloadContext context(const std::string& server) {
        state.app_folder = dir.path();
        WindDialogHooks hooks;
        hooks.stopBusy = [this] { ++busyOff; };
        return BuoyDownloadContext{state, messages, fetcher, server, hooks,
                                   [this](const WindTextCall& c) { calls.push_back(c); }};
    }
    static BuoyWindRequest request(int y0, int y1) {
        BuoyWindRequest rq{"tplm2, Thomas Point MD", "tplm2"};
        rq.startYear = y0; rq.endYear = y1;
        rq.startMonth = 3; rq.endMonth = 12; rq.startDay = 1; rq.endDay = 31; rq.startHour = 6; rq.endHour = 23;
        rq.topPercent = 10;
        return rq;
    }
};

}  // namespace

TEST(RweBuoyDownload, MergesThreeYearsIntoTheFirstAndCallsTheTextAnalysis) {
    const std::string y2003 = quor::test::buoyYearText(2003, {{1, 1, 0, "90", "5.0"}, {1, 1, 1, "95", "6.0"}});
    const std::string y2004 = quor::test::buoyYearText(2004, {{1, 1, 0, "100", "7.0"}});
    // A later year holding an empty line contributes only what comes before it.
    const std::string y2005 = quor::test::buoyYearText(2005, {{1, 1, 0, "110", "8.0"}}) + "\n2005 01 01 01 00 120 9.0\n";
    LocalHttpServer server;
    for (auto [year, text] : {std::pair{2003, y2003}, {2004, y2004}, {2005, y2005}})
        server.serve(buoyYearPath("tplm2", year), {200, text, "text/plain", LocalHttpServer::Reply::Mode::Normal});
    RweRun run;
    auto ctx = run.context(server.address());

    ASSERT_EQ(download_buoywind(ctx, RweRun::request(2003, 2005)), WindRunOutcome::Done);
    EXPECT_TRUE(run.messages.entries.empty());
    EXPECT_EQ(readAll(run.dir.file("2003.txt")),
              "\"" + y2003 + "\"\r\n" + "2004 01 01 00 100 7.0 9.0 99.00\r\n\"\r\n" +
                  "2005 01 01 00 50 110 8.0 9.0 99.00\r\n");
    EXPECT_EQ(readAll(run.dir.file("2004.txt")), "\"" + y2004 + "\"\r\n");  // later copies stay
    EXPECT_EQ(readAll(run.dir.file("2005.txt")), "\"" + y2005 + "\"\r\n");
    EXPECT_EQ(server.requests(), (std::vector<std::string>{buoyYearPath("tplm2", 2003), buoyYearPath("tplm2", 2004),
                                                           buoyYearPath("tplm2", 2005)}));

    ASSERT_EQ(run.calls.size(), 1u);
    const WindTextCall& c = run.calls[0];
    EXPECT_EQ(c.wind_textfile, run.dir.file("2003.txt"));
    EXPECT_EQ(c.station_nam, "tplm2, Thomas Point MD");
    EXPECT_EQ(c.delimiter, " ");
    EXPECT_EQ(std::vector<int>({c.yearno, c.monthno, c.dayno, c.hourno, c.minuteno, c.windspdno, c.winddirno, c.lineno}),
              std::vector<int>({0, 1, 2, 3, -1, 5, 4, 1}));
    EXPECT_EQ(std::vector<int>({c.startyr, c.endyr, c.startm, c.endm, c.startd, c.endd, c.starth, c.endh, c.percent_wind}),
              std::vector<int>({2003, 2005, 3, 12, 1, 31, 6, 23, 10}));
    EXPECT_EQ(run.state.wind_source, "tplm2, Thomas Point MD");
    EXPECT_EQ(run.state.wind_startyear, 2003);
}

TEST(RweBuoyDownload, AFailedYearLeavesCompleteFilesAndNoAnalysis) {
    const std::string y2001 = quor::test::hourlyYear(2001, 5);
    const std::string y2003 = quor::test::hourlyYear(2003, 5);
    LocalHttpServer server;
    server.serve(buoyYearPath("tplm2", 2001), {200, y2001, "text/plain", LocalHttpServer::Reply::Mode::Normal});
    server.serve(buoyYearPath("tplm2", 2002), {200, "<html>Not here</html>", "text/html", LocalHttpServer::Reply::Mode::Normal});
    server.serve(buoyYearPath("tplm2", 2003), {200, y2003, "text/plain", LocalHttpServer::Reply::Mode::Truncate});

    for (auto [failing, label] : {std::pair{2002, "error page"}, {2003, "truncated"}, {2004, "404"}}) {
        RweRun run;
        // An earlier download of the failing year must survive the failure untouched.
        quor::platform::writeTextLines(run.dir.file(std::to_string(failing) + ".txt"), {"earlier"});
        auto ctx = run.context(server.address());
        auto rq = RweRun::request(2001, failing);
        if (failing == 2004) rq.startYear = 2004;
        EXPECT_EQ(download_buoywind(ctx, rq), WindRunOutcome::Reported) << label;
        ASSERT_EQ(run.messages.entries.size(), 1u) << label;
        EXPECT_EQ(run.messages.entries[0].text, "Error occured while processing");
        EXPECT_EQ(run.messages.entries[0].icon, quor::platform::MessageIcon::Critical);
        EXPECT_EQ(run.busyOff, 1);
        EXPECT_TRUE(run.calls.empty()) << label;
        EXPECT_EQ(readAll(run.dir.file(std::to_string(failing) + ".txt")), "earlier\r\n") << label;
        if (failing != 2004) {
            EXPECT_EQ(readAll(run.dir.file("2001.txt")), "\"" + y2001 + "\"\r\n") << label;
        }
    }
}

TEST(RweBuoyDownload, DownloadedYearsOfBothLayoutsBecomeAnRweWindFile) {
    // 2004 blows from the east, 2005 (minute column) from the west, stronger.
    std::vector<quor::test::Obs> east, west;
    for (int h = 0; h < 24; ++h) east.push_back({12, 31, h, "90", "4.0"});
    for (int h = 0; h < 24; ++h) west.push_back({1, 1, h, "270", "8.0"});
    LocalHttpServer server;
    server.serve(buoyYearPath("tplm2", 2004),
                 {200, quor::test::buoyYearText(2004, east), "text/plain", LocalHttpServer::Reply::Mode::Normal});
    server.serve(buoyYearPath("tplm2", 2005),
                 {200, quor::test::buoyYearText(2005, west), "text/plain", LocalHttpServer::Reply::Mode::Normal});

    class FixedSave final : public SavePathChooser {
    public:
        std::string path;
        std::optional<std::string> chooseSavePath(const std::string&, const std::string&, const std::string&) override {
            return path;
        }
    } save;
    RweRun run;
    quor::model::WindSummary holder;
    quor::model::MainFormState form;
    save.path = run.dir.file("buoy.Wind_RWE");
    run.state.wind_webflag = true;  // as the wind analysis dialog leaves it for a download
    auto ctx = run.context(server.address());
    ctx.analyse = [&](const WindTextCall& call) {
        WindAnalysisContext actx{{run.state, holder, form, run.messages, &save}};
        wind_wv(actx, call);
    };
    auto rq = RweRun::request(2004, 2005);
    rq.startMonth = 12; rq.startDay = 31; rq.startHour = 0;
    rq.endMonth = 1; rq.endDay = 1; rq.endHour = 23;
    rq.topPercent = 100;
    ASSERT_EQ(download_buoywind(ctx, rq), WindRunOutcome::Done);
    ASSERT_FALSE(run.messages.entries.empty());
    EXPECT_EQ(run.messages.entries.back().text.rfind("Wind Analysis Done", 0), 0u) << run.messages.entries.back().text;
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(save.path)));
    // 90 degrees is sector 14 of 56, 270 degrees sector 42: 24 records each.
    EXPECT_EQ(run.state.wind_dircount(14), 24.0f);
    EXPECT_EQ(run.state.wind_dircount(42), 24.0f);
    EXPECT_FLOAT_EQ(run.state.wind_dirspeed(14), 4.0f);
    EXPECT_FLOAT_EQ(run.state.wind_dirspeed(42), 8.0f);
}
