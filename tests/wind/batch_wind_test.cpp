#include <gtest/gtest.h>

#include <filesystem>

#include "wind/batch_wind.h"
#include "wind_fixture.h"

using namespace quor;
using namespace quor::wind;
using namespace quor::wind::testing;

namespace {

// Ten-minute records from 15 January 2010 00:00 up to (not including)
// `untilMinute` minutes later: year, month, day, hour, minute, direction,
// speed, comma separated under one row of names. Everything blows from
// 90 degrees except one record of missing speed and one of missing
// direction in the first batch window.
std::string batchRecord(int untilMinute) {
    std::string t = "YY,MM,DD,hh,mm,WDIR,WSPD\r\n";
    const int64_t origin = *windMinutes(2010, 1, 15);
    for (int m = 0; m < untilMinute; m += 10) {
        const auto p = minutesToDateTime(origin + m);
        std::string dir = "90", speed = std::to_string(5 + (m / 10) % 7);
        if (p.day == 15 && p.hour == 18 && p.minute == 0) speed = "99";
        if (p.day == 15 && p.hour == 19 && p.minute == 0) dir = "999";
        char line[80];
        std::snprintf(line, sizeof line, "%d,%d,%d,%d,%d,%s,%s\r\n", p.year, p.month, p.day, p.hour, p.minute,
                      dir.c_str(), speed.c_str());
        t += line;
    }
    return t;
}

}  // namespace

TEST(BatchWind, FixedRunWritesNinetyFiveNamedWindowsAndOneSummary) {
    test::TempDir dir;
    writeBytes(dir.file("wind_cstgd201.txt"), batchRecord(6 * 1440));
    WindWorld w;
    w.state.app_folder = dir.path();
    EXPECT_EQ(fixedBatchRequest(dir.path()).input, dir.file("wind_cstgd201.txt"));
    const BatchWindSummary summary = batch_wind_process(w.ctx);

    ASSERT_EQ(summary.error, "");
    ASSERT_EQ(summary.steps.size(), 95u);
    EXPECT_EQ(summary.written(), 95);
    const std::string folder = dir.file("Project/Batch_Process_Wind_Data");
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(e.path().extension(), ".Wind_RWE");
        ++files;
    }
    EXPECT_EQ(files, 95);

    const auto first = splitCrLf(readBytes(folder + "/CSTGD_10_10_01_01_15_15_17_22.Wind_RWE"));
    ASSERT_EQ(first.size(), 121u);
    EXPECT_EQ(first[3], "CSTGD");
    EXPECT_EQ(first[4], "1/15/2010 5:00:00 PM");
    EXPECT_EQ(first[5], "1/15/2010 10:00:00 PM");
    EXPECT_EQ(first[6], "0m/s");
    // 36 records from 17:00 to 22:50; the speed of 99 falls out, and so
    // does the missing direction 999: no north wind is made of it.
    EXPECT_EQ(first[9 + 56 + 14], "100");
    EXPECT_EQ(first[9 + 56], "0");
    EXPECT_TRUE(std::filesystem::exists(folder + "/CSTGD_10_10_01_01_19_19_15_20.Wind_RWE"));
    EXPECT_EQ(summary.steps.back().file, folder + "/CSTGD_10_10_01_01_19_19_15_20.Wind_RWE");

    // One closing message, no questions inside the loop; the holder keeps the last file.
    ASSERT_EQ(w.messages.entries.size(), 1u);
    // The 999 is counted in each of the three windows around it.
    EXPECT_EQ(w.messages.entries[0].text,
              "Batch wind processing done: 95 of 95 wind files written to " + folder +
                  ".\nSkipped: 0 short line(s), 0 line(s) with an unreadable date or time, 3 record(s) with a speed "
                  "that is no number or a missing or impossible direction.");
    EXPECT_EQ(w.holder.wind_file, folder + "/CSTGD_10_10_01_01_19_19_15_20.Wind_RWE");
    EXPECT_EQ(platform::formatDateTime(minutesToDateTime(daysToMinutes(w.state.wind_start))), "1/19/2010 4:00:00 PM");
    EXPECT_EQ(platform::formatDateTime(minutesToDateTime(daysToMinutes(w.state.wind_end))), "1/19/2010 9:00:00 PM");
}

TEST(BatchWind, WindowsBeyondTheRecordAreSkippedAndCounted) {
    test::TempDir dir;
    // The record stops at 19 January 14:00: the window from 14:00 holds one
    // record, the later ones none.
    writeBytes(dir.file("wind_cstgd201.txt"), batchRecord(4 * 1440 + 14 * 60 + 10));
    WindWorld w;
    BatchWindRequest req = fixedBatchRequest(dir.path());
    const BatchWindSummary summary = batch_wind_process(w.ctx, req);
    EXPECT_EQ(summary.written(), 93);
    EXPECT_EQ(summary.steps[93].result, BatchWindStep::Result::TooFewRecords);
    EXPECT_EQ(summary.steps[94].result, BatchWindStep::Result::NoDataForDates);
    EXPECT_NE(w.messages.entries.at(0).text.find("93 of 95"), std::string::npos);

    // A missing record file: one error message, nothing written.
    w.messages.entries.clear();
    req.input = dir.file("missing.txt");
    EXPECT_NE(batch_wind_process(w.ctx, req).error, "");
    ASSERT_EQ(w.messages.entries.size(), 1u);
    EXPECT_EQ(w.messages.entries[0].text.rfind("Error occurred while processing wind data file.", 0), 0u);
}

TEST(BatchWind, FileNamesUseTwoDigitsPerPart) {
    EXPECT_EQ(batchWindName("f", "X", {1999, 9, 5, 7}, {2000, 10, 5, 12}), "f/X_99_00_09_10_05_05_07_12");
}
