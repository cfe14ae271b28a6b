#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>

#include "wind/buoy_download.h"
#include "wind/wind_sectors.h"
#include "wind/wind_text_choice.h"
#include "wind/wind_text_call.h"
#include "wind_fixture.h"

using namespace quor;
using namespace quor::wind;
using namespace quor::wind::testing;

namespace {

WindTextResult analyse(const WindTextQuery& q, std::vector<std::string>* asked = nullptr, bool answer = true) {
    return analyseWindText(q, [&](const std::string& question) {
        if (asked) asked->push_back(question);
        return answer;
    });
}

// Minute m of 15 January 2010, 17:00 + m.
Rec at(int minutesAfter17, const std::string& speed, const std::string& dir) {
    const int total = 17 * 60 + minutesAfter17;
    return {2010, 1, 15 + total / 1440, (total % 1440) / 60, total % 60, speed, dir};
}

}  // namespace

TEST(WindTextAnalysis, WindowEdgesValidityAndSectorsEndInTheSavedFile) {
    test::TempDir dir;
    writeBytes(dir.file("w.txt"),
               windText({at(-10, "30", "90"),                                            // before the window
                         at(0, "10", "0"), at(10, "10", "356.8"), at(20, "10", "353.6"),  // sectors 0, 0, 55
                         at(30, "10", "3.3"),                                            // sector 1
                         at(40, "0", "90"), at(50, "70", "90"), at(60, "75", "90"),      // outside 0 < speed < 70
                         at(70, "99", "90"), at(80, "20", "999"), at(90, "20", "-1"),    // invalid
                         at(100, "20", "500"),                                           // impossible
                         at(110, "20", "360"),                                           // north, sector 0
                         at(239, "10", "180"),                                           // end + 59 min: inside
                         at(240, "40", "270"), at(250, "40", "270")}));                  // end + 1 h: outside
    WindWorld w;
    w.state.app_folder = dir.path();
    w.dialog.answers = {dir.file("out")};
    std::vector<std::string> stages;
    w.ctx.status = [&](const std::string& s) { stages.push_back(s); };
    const WindTextResult r = wind_wv(w.ctx, query(dir.file("w.txt"), {2010, 1, 15, 17}, {2010, 1, 15, 20}));

    ASSERT_EQ(r.outcome, WindTextOutcome::Done) << r.error;
    EXPECT_EQ(r.counts.windowRecords, 13);
    EXPECT_EQ(r.counts.invalidRecords, 4);
    EXPECT_EQ(r.counts.validSpeeds, 6);
    EXPECT_EQ(r.counts.topRecords, 6);
    EXPECT_EQ(r.sectors.count[0], 3);  // 0, 356.8 and 360 degrees
    EXPECT_FLOAT_EQ(r.sectors.speed[0], 40.0f / 3);
    EXPECT_EQ(r.sectors.count[1], 1);
    EXPECT_EQ(r.sectors.count[28], 1);
    EXPECT_EQ(r.sectors.count[55], 1);
    EXPECT_EQ(stages, (std::vector<std::string>{"Organizing Wind Data.....", "Cleansing Wind Data.....",
                                                "Analyzing Wind Data....."}));

    const auto lines = splitCrLf(readBytes(dir.file("out.Wind_RWE")));
    ASSERT_EQ(lines.size(), 121u);
    EXPECT_EQ(lines[3], "TEST1");
    EXPECT_EQ(lines[4], "1/15/2010 5:00:00 PM");
    EXPECT_EQ(lines[5], "1/15/2010 8:00:00 PM");
    EXPECT_EQ(lines[6], "0m/s");
    EXPECT_EQ(lines[9], "13.33");
    EXPECT_EQ(lines[9 + 56], "50");
    EXPECT_EQ(lines[9 + 56 + 1], "16.67");
    EXPECT_EQ(lines[9 + 56 + 55], "16.67");
    EXPECT_EQ(w.state.wind_dircount(0), 3);
    EXPECT_EQ(w.state.wind_source, "TEST1");
    // Skipped records are counted in the closing message.
    ASSERT_FALSE(w.messages.entries.empty());
    const std::string closing = w.messages.entries.back().text;
    EXPECT_EQ(closing.rfind("Wind Analysis Done", 0), 0u);
    EXPECT_NE(closing.find("4 record(s) in the window"), std::string::npos);
}

TEST(WindTextAnalysis, CutIndexRoundsHalfToEven) {
    test::TempDir dir;
    std::vector<Rec> recs;
    for (int i = 1; i <= 11; ++i) recs.push_back(at(i * 10, std::to_string(i), std::to_string(i * 20)));
    writeBytes(dir.file("w.txt"), windText(recs));
    auto run = [&](int percent) { return analyse(query(dir.file("w.txt"), {2010, 1, 15, 17}, {2010, 1, 15, 19}, percent)); };

    EXPECT_EQ(run(5).outcome, WindTextOutcome::TooFewTopRecords);  // Round(9.5) = 10: one record
    EXPECT_EQ(run(0).outcome, WindTextOutcome::TooFewTopRecords);
    for (int percent : {15, 25}) {  // Round(8.5) = 8 and Round(7.5) = 8: three records
        const WindTextResult r = run(percent);
        ASSERT_EQ(r.outcome, WindTextOutcome::Done);
        EXPECT_EQ(r.counts.topRecords, 3);
        EXPECT_EQ(r.cutspeed, 9);
    }
    const WindTextResult all = run(100);
    EXPECT_EQ(all.cutspeed, 0);
    EXPECT_EQ(all.counts.topRecords, 11);
}

TEST(WindTextAnalysis, EqualSpeedsOrderAsTheClassicSortDoes) {
    std::vector<double> key = {1, 1, 1}, tag = {10, 20, 30};
    quickSortVariants(key, tag, 0, 2);
    EXPECT_EQ(tag, (std::vector<double>{30, 20, 10}));
    key = {3, 1, 2, 1};
    tag = {1, 2, 3, 4};
    quickSortVariants(key, tag, 0, 3);
    EXPECT_EQ(key, (std::vector<double>{1, 1, 2, 3}));
    EXPECT_EQ(tag, (std::vector<double>{4, 2, 3, 1}));

    // Three records at 5 m/s tie at the cut-off; the sort (with the empty
    // entry past the window) puts 200 degrees below the cut, so 100 and 300
    // degrees are the top half, not 200 and 300 as a stable sort would give.
    test::TempDir dir;
    writeBytes(dir.file("w.txt"), windText({at(0, "5", "10"), at(10, "5", "100"), at(20, "5", "200"), at(30, "8", "300")}));
    const WindTextResult r = analyse(query(dir.file("w.txt"), {2010, 1, 15, 17}, {2010, 1, 15, 17}, 50));
    ASSERT_EQ(r.outcome, WindTextOutcome::Done);
    EXPECT_EQ(r.sectors.count[16], 1);  // 100 degrees
    EXPECT_EQ(r.sectors.count[47], 1);  // 300 degrees
    EXPECT_EQ(r.sectors.count[31], 0);  // 200 degrees
}

TEST(WindTextAnalysis, EveryLineIsExaminedAndUnreadableLinesAreCounted) {
    test::TempDir dir;
    // The last record sits right before an empty line; after it nothing is read.
    std::string text = windText({at(0, "5", "90"), at(10, "6", "90")});
    text += "   \r\n";                                       // blanks only: skipped
    text += recordLine(at(20, "7", "90")) + "\r\n";
    text += "2010 13 40 17 30 7 90\r\n";                     // not a date
    text += "year 01 15 17 40 7 90\r\n";                     // not a number
    text += "2010 01 15\r\n";                                // short
    text += recordLine(at(50, "9", "90")) + "\r\n\r\n";
    text += recordLine(at(60, "60", "90")) + "\r\n";         // after the empty line
    writeBytes(dir.file("w.txt"), text);
    WindTextResult r = analyse(query(dir.file("w.txt"), {2010, 1, 15, 17}, {2010, 1, 15, 18}));
    ASSERT_EQ(r.outcome, WindTextOutcome::Done);
    EXPECT_EQ(r.counts.records, 4);
    EXPECT_EQ(r.counts.shortLines, 2);
    EXPECT_EQ(r.counts.badDates, 2);
    EXPECT_FLOAT_EQ(r.sectors.speed[14], (5 + 6 + 7 + 9) / 4.0f);

    // The last line without a line end is a record too.
    writeBytes(dir.file("w2.txt"), windText({at(0, "5", "90")}) + recordLine(at(10, "7", "90")));
    r = analyse(query(dir.file("w2.txt"), {2010, 1, 15, 17}, {2010, 1, 15, 18}));
    ASSERT_EQ(r.outcome, WindTextOutcome::Done);
    EXPECT_EQ(r.counts.topRecords, 2);

    // A single record is a record (and too few for a summary), not an error.
    writeBytes(dir.file("w3.txt"), windText({at(0, "5", "90")}));
    EXPECT_EQ(analyse(query(dir.file("w3.txt"), {2010, 1, 15, 17}, {2010, 1, 15, 18})).outcome,
              WindTextOutcome::TooFewTopRecords);
}

TEST(WindTextAnalysis, CommaFieldsArePositionalAndBadValuesOnlyDropTheirRecord) {
    test::TempDir dir;
    std::string text = windText({at(0, "5", "90"), at(10, "6", "180")}, ",");
    text += "2010,01,15,17,20,,270\r\n";     // empty speed: 270 must not become the speed
    text += "2010,01,15,17,30,calm,270\r\n";  // non-numeric speed
    text += "2010,01,15,17,40,8,\r\n";        // empty direction
    writeBytes(dir.file("w.txt"), text);
    WindTextQuery q = query(dir.file("w.txt"), {2010, 1, 15, 17}, {2010, 1, 15, 18});
    q.delimiter = ",";
    const WindTextResult r = analyse(q);
    ASSERT_EQ(r.outcome, WindTextOutcome::Done);
    EXPECT_EQ(r.counts.invalidRecords, 3);
    EXPECT_EQ(r.counts.topRecords, 2);
    EXPECT_EQ(r.sectors.count[42], 0);
    EXPECT_EQ(closingMessage(r.counts),
              "Wind Analysis Done\n\nSkipped: 0 short line(s), 0 line(s) with an unreadable date or time, 3 "
              "record(s) in the window with a missing or invalid speed or direction.");
    EXPECT_EQ(closingMessage(WindTextCounts{}), "Wind Analysis Done");

    // Tab columns are positional too: an empty first column keeps its place.
    writeBytes(dir.file("t.txt"), "ID\tYY\tMM\tDD\thh\tmm\tWSPD\tWDIR\r\n\t\t\t\t\t\tm/s\tdeg\r\n"
                                  "\t2010\t01\t15\t17\t00\t5\t90\r\n"
                                  "A\t2010\t01\t15\t17\t10\t7\t180\r\n");
    q = query(dir.file("t.txt"), {2010, 1, 15, 17}, {2010, 1, 15, 17});
    q.delimiter = "\t";
    q.columns = {1, 2, 3, 4, 5, 6, 7};
    const WindTextResult tabs = analyse(q);
    ASSERT_EQ(tabs.outcome, WindTextOutcome::Done) << tabs.error;
    EXPECT_EQ(tabs.sectors.count[14], 1);
    EXPECT_EQ(tabs.sectors.count[28], 1);
}

TEST(WindTextAnalysis, DateChecksUseTheFirstRecordAndEndTheAnalysisWithTheirMessages) {
    test::TempDir dir;
    // Two free lines above the column names: the first record is row 5.
    writeBytes(dir.file("w.txt"), "free text\r\nmore text\r\n" +
                                      windText({{2010, 1, 16, 0, 0, "5", "90"}, {2010, 1, 16, 1, 0, "6", "90"}}));
    WindTextQuery q = query(dir.file("w.txt"), {2010, 1, 15, 17}, {2010, 1, 16, 1});
    q.lineno = 3;
    std::vector<std::string> asked;
    EXPECT_EQ(analyse(q, &asked, false).outcome, WindTextOutcome::Cancelled);
    EXPECT_EQ(asked, std::vector<std::string>{"Start date is before the start date in the wind file. Do you want to proceed?"});
    asked.clear();
    EXPECT_EQ(analyse(q, &asked, true).outcome, WindTextOutcome::Done);

    // The record ends more than a day before the window's end.
    q.start = {2010, 1, 16, 0};
    q.end = {2010, 1, 20, 0};
    asked.clear();
    EXPECT_EQ(analyse(q, &asked, false).outcome, WindTextOutcome::Cancelled);
    EXPECT_EQ(asked, std::vector<std::string>{"End date is after the end date in the wind file. Do you want to proceed?"});

    WindWorld w;
    q.start = {2010, 2, 1, 0};
    q.end = {2010, 2, 2, 0};
    EXPECT_EQ(wind_wv(w.ctx, q).outcome, WindTextOutcome::NoDataForDates);
    q.start = {2009, 2, 1, 0};
    q.end = {2009, 2, 2, 0};
    EXPECT_EQ(wind_wv(w.ctx, q).outcome, WindTextOutcome::NoDataForDates);
    EXPECT_EQ(w.messages.texts(),
              (std::vector<std::string>{" Wind file doesn't have data for the specified dates", "Wind Analysis Done",
                                        " Wind file doesn't have data for the specified dates", "Wind Analysis Done"}));
    EXPECT_EQ(w.messages.entries[0].icon, platform::MessageIcon::Critical);

    // A gap in the record over the whole window.
    writeBytes(dir.file("gap.txt"), windText({{2010, 1, 1, 0, 0, "5", "90"}, {2010, 1, 3, 0, 0, "5", "90"}}));
    w.messages.entries.clear();
    EXPECT_EQ(wind_wv(w.ctx, query(dir.file("gap.txt"), {2010, 1, 2, 0}, {2010, 1, 2, 5})).outcome,
              WindTextOutcome::NotAvailable);
    EXPECT_EQ(w.messages.texts().front(), " Wind data is not available between the specified dates");

    // A missing file is an error, without the closing message.
    w.messages.entries.clear();
    EXPECT_EQ(wind_wv(w.ctx, query(dir.file("none.txt"), {2010, 1, 2, 0}, {2010, 1, 2, 5})).outcome,
              WindTextOutcome::Error);
    ASSERT_EQ(w.messages.entries.size(), 1u);
    EXPECT_EQ(w.messages.entries[0].text.rfind("Error occurred while processing wind data file.", 0), 0u);
}

TEST(WindTextAnalysis, BuoyRecordsSwitchColumnsFrom2005) {
    test::TempDir dir;
    // 2004: YY MM DD hh WD WSPD (no minute); 2005: YY MM DD hh mm WD WSPD.
    writeBytes(dir.file("b.txt"), "YYYY MM DD hh WD WSPD\r\nyr mo dy hr degT m/s\r\n"
                                  "2004 12 31 22 090 5.0\r\n"
                                  "2004 12 31 23 090 6.0\r\n"
                                  "2005 01 01 00 00 180 7.0\r\n"
                                  "2005 01 01 00 50 180 9.0\r\n");
    WindTextQuery q = query(dir.file("b.txt"), {2004, 12, 31, 22}, {2005, 1, 1, 0});
    q.columns = {0, 1, 2, 3, -1, 5, 4};
    q.buoyLayout = true;
    const WindTextResult r = analyse(q);
    ASSERT_EQ(r.outcome, WindTextOutcome::Done) << r.error;
    EXPECT_EQ(r.sectors.count[14], 2);
    EXPECT_EQ(r.sectors.count[28], 2);
    EXPECT_FLOAT_EQ(r.sectors.speed[28], 8.0f);

    // The buoy download's own call reaches the same result while the web flag is set.
    BuoyWindRequest rq;
    rq.stationEntry = "clkn7, Cape Lookout NC";
    rq.startYear = 2004;
    rq.endYear = 2005;
    rq.startMonth = 12;
    rq.endMonth = 1;
    rq.startDay = 31;
    rq.endDay = 1;
    rq.startHour = 22;
    rq.endHour = 0;
    rq.topPercent = 100;
    WindWorld w;
    w.state.wind_webflag = true;
    w.dialog.answers = {dir.file("b.Wind_RWE")};
    const WindTextResult viaCall = wind_wv(w.ctx, buoyTextCall(dir.file("b.txt"), rq));
    ASSERT_EQ(viaCall.outcome, WindTextOutcome::Done) << viaCall.error;
    EXPECT_EQ(viaCall.sectors.count, r.sectors.count);
    EXPECT_EQ(w.state.wind_source, "clkn7, Cape Lookout NC");
}

TEST(WindTextAnalysis, GeneratedRecordGivesPercentagesKnownByConstruction) {
    // Sector s holds s + 1 records of 1 + s / 10 m/s, thirty times over:
    // 47,880 records, more than a 16-bit count holds.
    test::TempDir dir;
    std::string text = "YYYY MM DD hh mm WSPD WDIR\r\nyr mo dy hr mn m/s degT\r\n";
    int64_t minute = 0;
    for (int round = 0; round < 30; ++round)
        for (int s = 0; s < 56; ++s)
            for (int k = 0; k <= s; ++k, minute += 10) {
                const auto p = minutesToDateTime(*windMinutes(2010, 1, 1) + minute);
                char line[96];
                std::snprintf(line, sizeof line, "%04d %02d %02d %02d %02d %.1f %.4f\r\n", p.year, p.month, p.day,
                              p.hour, p.minute, 1 + s / 10.0, s * 360.0 / 56);
                text += line;
            }
    writeBytes(dir.file("g.txt"), text);
    WindWorld w;
    w.state.app_folder = dir.path();
    w.dialog.answers = {dir.file("g.Wind_RWE")};
    const WindTextResult r = wind_wv(w.ctx, query(dir.file("g.txt"), {2010, 1, 1, 0}, {2010, 12, 31, 0}));
    ASSERT_EQ(r.outcome, WindTextOutcome::Done) << r.error;
    EXPECT_EQ(r.counts.topRecords, 47880);
    const auto lines = splitCrLf(readBytes(dir.file("g.Wind_RWE")));
    ASSERT_EQ(lines.size(), 121u);
    EXPECT_EQ(lines[9], "1");
    EXPECT_EQ(lines[9 + 55], "6.5");
    EXPECT_EQ(lines[65], "0.06");        // 1 / 1596
    EXPECT_EQ(lines[65 + 27], "1.75");   // 28 / 1596
    EXPECT_EQ(lines[65 + 55], "3.51");   // 56 / 1596
}

// A pipe chosen as the wind record: the column chooser finds no names and
// the analysis refuses it, both at once instead of waiting for a writer.
TEST(WindTextAnalysis, APipeIsRefusedAtOnce) {
    test::TempDir dir;
    const std::string fifo = dir.file("wind.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Reader {
        const char* what;
        std::function<std::string()> read;
        std::string expected;
    };
    const std::vector<Reader> readers = {
        {"column chooser", [&] { return readHeaderNames(fifo, 1, " ") ? "names" : "no names"; }, "no names"},
        {"analysis", [&] { return analyse(query(fifo, {2010, 1, 15, 17}, {2010, 1, 15, 20})).error; },
         "Cannot read file " + fifo + ": it is not a regular file."},
    };
    for (const Reader& r : readers) {
        SCOPED_TRACE(r.what);
        auto reading = std::async(std::launch::async, r.read);
        if (reading.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            ADD_FAILURE() << "still reading after 2 s";
            // A reader waiting on the pipe gets its end of file.
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        }
        EXPECT_EQ(reading.get(), r.expected);
    }
}
