#include <gtest/gtest.h>

#include "wind/ui/wind_text_dialog.h"
#include "wind/wind_record.h"
#include "wind/wind_text_call.h"
#include "wind/wind_text_choice.h"
#include "wind_fixture.h"

using namespace quor;
using namespace quor::wind;
using namespace quor::wind::testing;

namespace {

QStringList names(const std::vector<std::string>& v) {
    QStringList out;
    for (const auto& s : v) out << QString::fromStdString(s);
    return out;
}

}  // namespace

TEST(WindTextChooser, HeaderNamesForEachDelimiter) {
    EXPECT_EQ(headerNames("YY  MM   DD hh mm WSPD WDIR  ", " "),
              (std::vector<std::string>{"YY", "MM", "DD", "hh", "mm", "WSPD", "WDIR"}));
    // Tab and comma columns keep their places: an unnamed column is shown by number.
    EXPECT_EQ(headerNames("  \tYY\tMM\t\tSPD", "\t"),
              (std::vector<std::string>{"Column 1", "YY", "MM", "Column 4", "SPD"}));
    EXPECT_EQ(headerNames("YY, MM,DD,", ","), (std::vector<std::string>{"YY", "MM", "DD", "Column 4"}));
    test::TempDir dir;
    writeBytes(dir.file("h.txt"), "title\rYY MM  DD");  // a lone CR ends a line; the last has no end
    EXPECT_EQ(readHeaderNames(dir.file("h.txt"), 2, " "), (std::vector<std::string>{"YY", "MM", "DD"}));
    EXPECT_EQ(readHeaderNames(dir.file("h.txt"), 3, " "), std::nullopt);
    EXPECT_EQ(readHeaderNames(dir.file("none.txt"), 1, " "), std::nullopt);
    // Record fields follow the same positions.
    std::vector<std::string_view> f;
    splitFields("2010,,15", ",", f);
    EXPECT_EQ(f.size(), 3u);
    splitFields("2010   1 15", " ", f);
    EXPECT_EQ(f.size(), 3u);
}

TEST(WindTextChooser, ChecksComeInOrderAndTypedNamesMustBeColumns) {
    const std::vector<std::string> header = {"YY", "MM", "DD", "hh", "mm", "WSPD", "WDIR"};
    std::array<std::string, kChoiceFields> t = {"YY", "MM", "DD", "hh", "", "WSPD", "WDIR"};
    EXPECT_EQ(checkWindTextChoice("", "1", t, header), "No wind data file selected.");
    t[0] = "";
    EXPECT_EQ(checkWindTextChoice("f.txt", "1", t, header), "Please select year field");
    t[0] = "YY";
    t[6] = "";
    EXPECT_EQ(checkWindTextChoice("f.txt", "1", t, header), "Please select wind direction field");
    t[6] = "WDIR";
    EXPECT_EQ(checkWindTextChoice("f.txt", "1", t, header), std::nullopt);
    EXPECT_NE(checkWindTextChoice("f.txt", "first", t, header), std::nullopt);
    EXPECT_NE(checkWindTextChoice("f.txt", "0", t, header), std::nullopt);
    t[5] = "Speed";
    EXPECT_NE(checkWindTextChoice("f.txt", "1", t, header), std::nullopt);
    t[5] = "WDIR";  // the seventh name for the speed
    const WindTextChoice c = makeWindTextChoice("f.txt", 1, " ", t, header);
    EXPECT_EQ(c.windspd1, 6);
    EXPECT_EQ(c.minute1, -1);
    EXPECT_EQ(c.year1, 0);
}

TEST(WindTextChooser, DialogRereadsTheHeaderAndStoresTheChoice) {
    test::TempDir dir;
    writeBytes(dir.file("w.txt"), "station text\r\nYY MM DD hh mm WSPD WDIR\r\nYY,MM,DD,hh,mm,WSPD,WDIR\r\n");
    model::ModelState state;
    WindTextChoice choice;
    choice.year1 = 3;
    test::RecordingMessages messages;

    {
        ui::WindTextDialog dlg(state, choice, messages);
        dlg.setFile(QString::fromStdString(dir.file("w.txt")));
        EXPECT_EQ(dlg.fieldItems(0), names({"station", "text"}));
        dlg.setRowText("2");
        EXPECT_EQ(dlg.fieldItems(6), names({"YY", "MM", "DD", "hh", "mm", "WSPD", "WDIR"}));
        dlg.setDelimiterIndex(2);  // row 2 has no commas: one name
        EXPECT_EQ(dlg.fieldItems(3).size(), 1);
        dlg.setRowText("3");
        EXPECT_EQ(dlg.fieldItems(3), names({"YY", "MM", "DD", "hh", "mm", "WSPD", "WDIR"}));
        const char* picks[] = {"YY", "MM", "DD", "hh", "", "WSPD", "WDIR"};
        for (int i = 0; i < kChoiceFields; ++i) dlg.setFieldText(i, picks[i]);
        dlg.setFieldText(6, "Direction");  // typed, not a column
        EXPECT_FALSE(dlg.ok());
        ASSERT_EQ(messages.entries.size(), 1u);
        EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Critical);
        dlg.setFieldText(6, "WDIR");
        dlg.setRowText("x");
        EXPECT_FALSE(dlg.ok());
        dlg.setRowText("3");
        for (int i = 0; i < kChoiceFields; ++i) dlg.setFieldText(i, picks[i]);
        EXPECT_TRUE(dlg.ok());
    }
    EXPECT_EQ(choice.winddir1, 6);
    EXPECT_EQ(choice.minute1, -1);
    EXPECT_EQ(choice.linenumber, 3);
    EXPECT_EQ(choice.delimiter, ",");
    EXPECT_EQ(choice.wind_textfile, dir.file("w.txt"));
    EXPECT_FALSE(state.wind_webflag);

    // Cancel keeps the stored choice and goes back to the buoy download.
    ui::WindTextDialog again(state, choice, messages);
    again.cancel();
    EXPECT_TRUE(state.wind_webflag);
    EXPECT_EQ(choice.winddir1, 6);
}

TEST(WindTextChooser, ChosenColumnsDriveTheAnalysis) {
    test::TempDir dir;
    // Direction before speed, an extra column first, names on row 2.
    writeBytes(dir.file("s.txt"), "Station 7\r\nID,Year,Mon,Day,Hr,Dir,Spd\r\n-,yr,mo,dy,hr,deg,m/s\r\n"
                                  "A,2011,3,1,10,45,4\r\nA,2011,3,1,11,45,6\r\nA,2011,3,1,12,225,8\r\n");
    const auto header = readHeaderNames(dir.file("s.txt"), 2, ",");
    ASSERT_TRUE(header);
    const WindTextChoice choice =
        makeWindTextChoice(dir.file("s.txt"), 2, ",", {"Year", "Mon", "Day", "Hr", "", "Spd", "Dir"}, *header);
    WindTextCall call = windTextCall(choice);
    call.startyr = call.endyr = 2011;
    call.startm = call.endm = 3;
    call.startd = call.endd = 1;
    call.starth = 10;
    call.endh = 12;
    call.percent_wind = 100;
    const WindTextQuery q = windTextQuery(call, false);
    const WindTextResult r = analyseWindText(q, {});
    ASSERT_EQ(r.outcome, WindTextOutcome::Done) << r.error;
    EXPECT_EQ(r.sectors.count[7], 2);   // 45 degrees
    EXPECT_FLOAT_EQ(r.sectors.speed[7], 5.0f);
    EXPECT_EQ(r.sectors.count[35], 1);  // 225 degrees
}
