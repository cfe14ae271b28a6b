#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_replacement.h"
#include "wind/wind_record.h"
#include "wind_fixture.h"

using namespace quor;
using namespace quor::wind;
using namespace quor::wind::testing;

namespace {

// Three records in sector 0 and one in sector 2; start 15 Jan 2010 17:00,
// end 16 Jan 2010 00:00.
void fillResults(model::ModelState& s, const std::string& app) {
    s.app_folder = app;
    s.wind_source = "CSTGD";
    s.wind_start = minutesToDays(*windMinutes(2010, 1, 15, 17));
    s.wind_end = minutesToDays(*windMinutes(2010, 1, 16, 0));
    s.wind_cutspeed = 12.5;
    s.wind_dirspeed(0) = 5.375f;
    s.wind_dircount(0) = 3;
    s.wind_dirspeed(2) = 7.125f;
    s.wind_dircount(2) = 1;
}

std::string expectedFile(const std::string& endLine) {
    std::string t = "Winddata File Quor Project\r\n\r\nCreated on: 12/7/2026 9:05:03 AM\r\nCSTGD\r\n"
                    "1/15/2010 5:00:00 PM\r\n" +
                    endLine + "\r\n12.5m/s\r\n56\r\n\r\n";
    for (int i = 0; i < 56; ++i) t += i == 0 ? "5.38\r\n" : i == 2 ? "7.12\r\n" : "0\r\n";
    for (int i = 0; i < 56; ++i) t += i == 0 ? "75\r\n" : i == 2 ? "25\r\n" : "0\r\n";
    return t;
}

}  // namespace

TEST(RweWindFile, SavedFileIsByteExactAndFillsTheHolder) {
    test::TempDir dir;
    WindWorld w;
    fillResults(w.state, dir.path());
    w.dialog.answers.push_back(dir.file("out.Wind_RWE"));
    const WindFileWritten written = save_windfile(w.ctx, 4, 56);

    EXPECT_EQ(written.path, dir.file("out.Wind_RWE"));
    EXPECT_FALSE(written.temporary);
    const std::string bytes = readBytes(dir.file("out.Wind_RWE"));
    EXPECT_EQ(bytes, expectedFile("1/16/2010"));
    EXPECT_EQ(splitCrLf(bytes).size(), 121u);
    ASSERT_EQ(w.dialog.calls.size(), 1u);
    EXPECT_EQ(w.dialog.calls[0].filter, "Wind data(*.Wind_RWE)|*.Wind_RWE");
    EXPECT_EQ(w.dialog.calls[0].title, "Save wind data in text file");
    EXPECT_EQ(w.dialog.calls[0].folder, dir.path() + "/Project");
    EXPECT_EQ(w.messages.texts(), std::vector<std::string>{"Please save wind data in a text file"});
    EXPECT_EQ(w.state.wind_name, dir.file("out"));
    EXPECT_EQ(w.holder.wind_station, "CSTGD");
    EXPECT_EQ(w.holder.wind_startdate, "1/15/2010 5:00:00 PM");
    EXPECT_EQ(w.holder.wind_enddate, "1/16/2010");
    EXPECT_EQ(w.holder.wind_cutoff, "12.5");
    EXPECT_EQ(w.holder.wind_file, dir.file("out.Wind_RWE"));
    EXPECT_FALSE(std::filesystem::exists(platform::FileReplacement::partialPath(dir.file("out.Wind_RWE"))));
}

TEST(RweWindFile, NameWithoutExtensionGetsItAndReplaceIsAskedAboutTheFinalPath) {
    test::TempDir dir;
    WindWorld w;
    fillResults(w.state, dir.path());
    writeBytes(dir.file("keepme.Wind_RWE"), "precious");
    writeBytes(dir.file("keepme"), "unrelated");
    // "keepme" exists as an unrelated file, "keepme.Wind_RWE" too: the question
    // is about the latter; No brings the dialog back, then a fresh name.
    w.dialog.answers = {dir.file("keepme"), dir.file("fresh")};
    w.messages.answers = {false};
    const WindFileWritten written = save_windfile(w.ctx, 4, 56);

    EXPECT_EQ(written.path, dir.file("fresh.Wind_RWE"));
    EXPECT_EQ(readBytes(dir.file("keepme.Wind_RWE")), "precious");
    EXPECT_EQ(readBytes(dir.file("keepme")), "unrelated");
    EXPECT_EQ(w.dialog.calls.size(), 2u);
    EXPECT_EQ(w.messages.texts(), (std::vector<std::string>{"Please save wind data in a text file",
                                                            "File already exist, do you want to replace it?"}));
    EXPECT_EQ(w.state.wind_name, dir.file("fresh"));
    // A short name is not cut: "a" becomes "a.Wind_RWE".
    w.dialog.answers = {dir.file("a")};
    EXPECT_EQ(save_windfile(w.ctx, 4, 56).path, dir.file("a.Wind_RWE"));
}

TEST(RweWindFile, CancelWritesTheTemporaryLayoutAndFailureSaysWhereTheDataWent) {
    test::TempDir dir;
    WindWorld w;
    fillResults(w.state, dir.path());
    w.state.wind_source = "Bay\r\nstation";
    w.state.wind_name = "earlier";
    std::filesystem::create_directory(dir.file("proj"));
    w.main.projfile = dir.file("proj");
    w.dialog.answers = {std::nullopt};
    WindFileWritten written = save_windfile(w.ctx, 4, 56);

    EXPECT_TRUE(written.temporary);
    EXPECT_EQ(written.path, dir.file("proj/temporary_wind.txt"));
    const auto lines = splitCrLf(readBytes(written.path));
    ASSERT_EQ(lines.size(), 8u + 112u);
    EXPECT_EQ(lines[0], "Winddata File Quor Project");
    EXPECT_EQ(lines[2], "Created on: 12/7/2026 9:05:03 AM");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "5.38");
    EXPECT_EQ(lines[4 + 56], "75");
    EXPECT_EQ(lines[116], "Station IDBaystation");
    EXPECT_EQ(lines[117], "Start Date:1/15/2010 5:00:00 PM");
    EXPECT_EQ(lines[118], "End Date:1/16/2010");
    EXPECT_EQ(lines[119], "Cutoff Speed: 12.5 m/s");
    EXPECT_EQ(w.state.wind_name, "earlier");
    EXPECT_EQ(w.holder.wind_file, "temporary");
    EXPECT_EQ(w.messages.entries.size(), 1u);  // a cancel is not an error

    // No project open: the data folder's Project folder; a name that cannot
    // be written is reported with the temporary file's place.
    std::filesystem::create_directory(dir.file("Project"));
    w.main.projfile.clear();
    w.dialog.answers = {dir.file("no/such/folder/x.Wind_RWE")};
    written = save_windfile(w.ctx, 4, 56);
    EXPECT_EQ(written.path, dir.file("Project/temporary_wind.txt"));
    EXPECT_TRUE(std::filesystem::exists(written.path));
    ASSERT_EQ(w.messages.entries.size(), 3u);
    EXPECT_NE(w.messages.entries[2].text.find(dir.file("Project/temporary_wind.txt")), std::string::npos);
}

TEST(RweWindFile, BatchFileShowsTheRequestedEndAndSinglePrecisionPercentages) {
    test::TempDir dir;
    WindWorld w;
    fillResults(w.state, dir.path());
    w.state.wind_end = minutesToDays(*windMinutes(2010, 1, 15, 23));  // held one hour on
    w.state.wind_cutspeed = 0;
    w.state.wind_dircount(0) = 1;
    w.state.wind_dircount(2) = 2;
    EXPECT_EQ(windbatch_ok_wv(w.ctx, 3, 56, dir.file("CSTGD_10_10_01_01_15_15_17_22")), "");
    const auto lines = splitCrLf(readBytes(dir.file("CSTGD_10_10_01_01_15_15_17_22.Wind_RWE")));
    ASSERT_EQ(lines.size(), 121u);
    EXPECT_EQ(lines[5], "1/15/2010 10:00:00 PM");
    EXPECT_EQ(lines[6], "0m/s");
    EXPECT_EQ(lines[65], "33.33");
    EXPECT_EQ(lines[67], "66.67");
    EXPECT_EQ(w.holder.wind_enddate, "1/15/2010 11:00:00 PM");
    EXPECT_EQ(w.holder.wind_file, dir.file("CSTGD_10_10_01_01_15_15_17_22.Wind_RWE"));
    EXPECT_TRUE(w.messages.entries.empty());
    EXPECT_NE(windbatch_ok_wv(w.ctx, 3, 56, dir.file("missing/x")), "");
}

TEST(RweWindFile, TwoDecimalsRoundHalfToEvenOnTheShownDigits) {
    EXPECT_EQ(twoDecimals(2.125), "2.12");
    EXPECT_EQ(twoDecimals(2.135), "2.14");
    EXPECT_EQ(twoDecimals(12.345f), "12.34");
    EXPECT_EQ(twoDecimals(5.0f), "5");
    EXPECT_EQ(twoDecimals(0.0f), "0");
}
