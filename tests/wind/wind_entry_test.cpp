#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <filesystem>

#include "platform/textfile.h"
#include "test_support.h"
#include "wind/loadwind.h"
#include "wind/ui/wind_pt.h"
#include "wind/ui/winddata_form.h"
#include "wind/wind_display.h"
#include "wind/wind_entry.h"

using namespace quor;
using namespace quor::wind;

namespace {

struct EntryFixture {
    test::TempDir dir;
    model::ModelState state;
    model::MainFormState mainform;
    model::WindSummary winddata;
    model::SettingsHolder fm;
    test::RecordingMessages messages;
    std::vector<std::optional<std::string>> savePaths;  // answers of the save dialog, in turn
    std::vector<std::string> startFolders;
    std::string projectBox = "unchanged", weightingBox = "unchanged";

    EntryFixture() {
        fm.windcatno = 1;
        fm.Power1 = 0.053;
        mainform.projfile = dir.file("proj");
        state.app_folder = dir.file("Quor 4");
        std::filesystem::create_directories(mainform.projfile);
    }

    WindEntryContext context() {
        return {state, mainform, winddata, fm, messages,
                [this](const std::string& start) -> std::optional<std::string> {
                    startFolders.push_back(start);
                    if (savePaths.empty()) return std::nullopt;
                    auto p = savePaths.front();
                    savePaths.erase(savePaths.begin());
                    return p;
                },
                [this](const std::string& t) { projectBox = t; }, [this](const std::string& t) { weightingBox = t; }};
    }

    static WindEntryInput input(const std::string& unit = "m/s") {
        WindEntryInput in;
        for (int i = 0; i < 16; ++i) in.boxes[i] = i % 2 ? "12.5" : std::to_string(i / 2 + 1);
        in.unit = unit;
        in.startdate = in.enddate = "mm/dd/yyyy:hh:mm";
        return in;
    }
};

}  // namespace

TEST(WindEntry, OkConvertsMphSavesTheFileAndNamesTheWindData) {
    EntryFixture f;
    const std::string path = f.dir.file("proj/bay.txt");
    f.savePaths = {path};
    auto ctx = f.context();
    auto in = EntryFixture::input("mph");
    in.boxes[0] = "10";
    ASSERT_EQ(winddata_ok(in, ctx), WindEntryResult::Saved);
    EXPECT_EQ(f.messages.texts(), std::vector<std::string>{"Please save wind data in text file"});
    EXPECT_EQ(f.startFolders, std::vector<std::string>{f.mainform.projfile});
    EXPECT_EQ(f.winddata.windspd_ee, 10 * 0.447);
    EXPECT_EQ(f.winddata.class_speed(1), 2 * 0.447);
    EXPECT_EQ(f.winddata.winddur_ne, 12.5f);
    EXPECT_EQ(f.winddata.windunits, "mph");
    EXPECT_EQ(f.winddata.windpowercoll.size(), 32u);
    EXPECT_EQ(f.state.wind_path, path);
    EXPECT_EQ(f.state.wind_name, "bay");
    EXPECT_EQ(f.projectBox, path);
    EXPECT_EQ(f.weightingBox, path);
    const auto lines = platform::readTextLines(path);
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[4], "4.47");
    EXPECT_EQ(lines[6], "0.894");

    // The saved file loads back into the same holder values (to the 15
    // digits the file keeps; NE is single precision in the holder).
    model::WindSummary back;
    ASSERT_TRUE(loadwind(path, f.state, back, f.fm, f.messages));
    for (int k = 0; k < 7; ++k) EXPECT_NEAR(back.class_speed(k), f.winddata.class_speed(k), 1e-14) << k;
    EXPECT_EQ(back.windspd_ne, f.winddata.windspd_ne);
    EXPECT_EQ(back.winddur_sw, f.winddata.winddur_sw);
    EXPECT_EQ(back.windpowercoll, f.winddata.windpowercoll);
}

TEST(WindEntry, BadInputIsRefusedOnceAndTheFormStaysOpen) {
    EntryFixture f;
    auto ctx = f.context();
    auto in = EntryFixture::input("knots");
    EXPECT_EQ(winddata_ok(in, ctx), WindEntryResult::StayOpen);
    EXPECT_EQ(f.messages.texts(), std::vector<std::string>{"Please choose wind speed units from the selection."});
    EXPECT_EQ(f.winddata.class_speed(0), 0);  // nothing was read with the unknown unit

    f.messages.entries.clear();
    in = EntryFixture::input();
    in.boxes[5] = "";
    EXPECT_EQ(winddata_ok(in, ctx), WindEntryResult::StayOpen);
    ASSERT_EQ(f.messages.entries.size(), 1u);
    EXPECT_EQ(f.messages.entries[0].text,
              " Error in Data Entry. The box \"Percent Southerly Wind Duration\" is empty.  Please enter "
              "numerical values. ");
    EXPECT_EQ(f.messages.entries[0].icon, platform::MessageIcon::Critical);
    in.boxes[5] = "12..5";
    f.messages.entries.clear();
    EXPECT_EQ(winddata_ok(in, ctx), WindEntryResult::StayOpen);
    EXPECT_NE(f.messages.entries.at(0).text.find("\"12..5\""), std::string::npos);
    EXPECT_TRUE(f.startFolders.empty());
    EXPECT_EQ(f.state.wind_path, "");
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("proj/temporary_wind.txt")));

    // A decimal comma typed by the user is read as the separator.
    in.boxes[5] = "12,5";
    f.savePaths = {f.dir.file("proj/c.txt")};
    EXPECT_EQ(winddata_ok(in, ctx), WindEntryResult::Saved);
    EXPECT_EQ(f.winddata.winddur_ss, 12.5);
}

TEST(WindEntry, ImpossibleValuesAreRefusedAsTheReadersWouldRefuseThem) {
    EntryFixture f;
    auto ctx = f.context();
    auto in = EntryFixture::input();
    in.boxes[0] = "-5";
    EXPECT_EQ(winddata_ok(in, ctx), WindEntryResult::StayOpen);
    EXPECT_EQ(f.messages.texts(), std::vector<std::string>{" Error in Data Entry. \"-5\" in \"Mean Easterly Wind "
                                                           "Speed\": a wind speed cannot be negative."});
    in = EntryFixture::input();
    in.boxes[1] = "40";  // 40 + 7 x 12.5
    f.messages.entries.clear();
    EXPECT_EQ(winddata_ok(in, ctx), WindEntryResult::StayOpen);
    EXPECT_EQ(f.messages.texts(), std::vector<std::string>{
                                      " Error in Data Entry. The percentages of time add up to 127.5, more than 100."});
    EXPECT_EQ(f.winddata.class_speed(0), 0);  // the holder keeps what it had
    EXPECT_TRUE(f.startFolders.empty());

    // A file holding such a value is named, line and text, when loaded.
    std::vector<std::string> lines = {"Winddata File Quor Project", "", "Created on: 1/1/2020", ""};
    for (int k = 0; k < 8; ++k) lines.insert(lines.end(), {k == 2 ? "1e308" : "5", "10"});
    platform::writeTextLines(f.dir.file("w.txt"), lines);
    f.messages.entries.clear();
    EXPECT_FALSE(loadwind(f.dir.file("w.txt"), f.state, f.winddata, f.fm, f.messages));
    EXPECT_EQ(f.messages.texts(), std::vector<std::string>{std::string(kWindFileNotAvailable) +
                                                           "\nLine 9 of the wind file, \"1e308\": a mean wind speed "
                                                           "above 100 m/s is not possible."});
}

TEST(WindEntry, ANameWithoutExtensionIsSavedAsTxt) {
    EntryFixture f;
    f.savePaths = {f.dir.file("proj/bay"), f.dir.file("proj/bay.2010")};
    auto ctx = f.context();
    ASSERT_EQ(winddata_ok(EntryFixture::input(), ctx), WindEntryResult::Saved);
    EXPECT_EQ(f.state.wind_path, f.dir.file("proj/bay.txt"));
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("proj/bay.txt")));
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("proj/bay")));
    EXPECT_EQ(f.state.wind_name, "bay");
    // Another extension stays as the user typed it.
    ASSERT_EQ(winddata_ok(EntryFixture::input(), ctx), WindEntryResult::Saved);
    EXPECT_EQ(f.state.wind_path, f.dir.file("proj/bay.2010"));
}

TEST(WindEntry, CancelledSaveWritesTheTemporaryFile) {
    EntryFixture f;
    auto ctx = f.context();
    auto in = EntryFixture::input();
    in.station = "Pier";
    ASSERT_EQ(winddata_ok(in, ctx), WindEntryResult::SavedTemporary);
    const std::string tmp = f.dir.file("proj/temporary_wind.txt");
    const auto lines = platform::readTextLines(tmp);
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(lines[21], "Pier");
    EXPECT_EQ(lines[22], "mm/dd/yyyy:hh:mm");
    EXPECT_EQ(f.state.wind_path, tmp);
    EXPECT_EQ(f.state.wind_name, "Temporary_wind");
    EXPECT_EQ(f.projectBox, "Temporary_wind");
    EXPECT_EQ(f.weightingBox, "unchanged");
    EXPECT_EQ(f.winddata.windunits, "");
    EXPECT_EQ(f.messages.texts(), std::vector<std::string>{"Please save wind data in text file"});
}

TEST(WindEntry, WithoutAProjectTheTemporaryFileGoesToTheDataFolder) {
    EntryFixture f;
    f.mainform.projfile.clear();
    auto ctx = f.context();
    ASSERT_EQ(winddata_ok(EntryFixture::input(), ctx), WindEntryResult::SavedTemporary);
    const std::string tmp = f.dir.file("Quor 4/Project/temporary_wind.txt");
    EXPECT_TRUE(std::filesystem::exists(tmp));
    EXPECT_FALSE(std::filesystem::exists("/temporary_wind.txt") &&
                 std::filesystem::last_write_time("/temporary_wind.txt") >= std::filesystem::last_write_time(tmp));
    ASSERT_EQ(f.messages.entries.size(), 2u);
    EXPECT_NE(f.messages.entries[1].text.find(tmp), std::string::npos);
}

TEST(WindEntry, AFailedSaveNamesTheFailureAndTheTemporaryFile) {
    EntryFixture f;
    const std::string bad = f.dir.file("no/such/folder/w.txt");
    f.savePaths = {bad};
    auto ctx = f.context();
    ASSERT_EQ(winddata_ok(EntryFixture::input(), ctx), WindEntryResult::SavedTemporary);
    const std::string tmp = f.dir.file("proj/temporary_wind.txt");
    EXPECT_EQ(f.state.wind_path, tmp);
    ASSERT_EQ(f.messages.entries.size(), 2u);
    EXPECT_NE(f.messages.entries[1].text.find(bad), std::string::npos);
    EXPECT_NE(f.messages.entries[1].text.find(tmp), std::string::npos);

    // When even the temporary file cannot be written the form stays open.
    f.mainform.projfile = f.dir.file("proj/w.txt/inside");
    platform::writeTextLines(f.dir.file("proj/w.txt"), {"a file where a folder should be"});
    f.messages.entries.clear();
    auto ctx2 = f.context();
    EXPECT_EQ(winddata_ok(EntryFixture::input(), ctx2), WindEntryResult::StayOpen);
    EXPECT_EQ(f.messages.entries.back().icon, platform::MessageIcon::Critical);
}

TEST(WindEntry, ReplacingAFileIsAskedAndNoChoosesAgain) {
    EntryFixture f;
    const std::string first = f.dir.file("proj/old.txt"), second = f.dir.file("proj/new.txt");
    platform::writeTextLines(first, {"keep me"});
    f.savePaths = {first, second};
    f.messages.answers = {false};
    auto ctx = f.context();
    ASSERT_EQ(winddata_ok(EntryFixture::input(), ctx), WindEntryResult::Saved);
    EXPECT_EQ(f.messages.texts().back(), "File already exist, do you want to replace it?");
    EXPECT_EQ(platform::readTextLines(first), std::vector<std::string>{"keep me"});
    EXPECT_EQ(f.state.wind_path, second);
}

TEST(WindEntry, WindNameStripsOnlyARealTxtEnding) {
    EXPECT_EQ(windNameFromPath("/a/b/bay.txt"), "bay");
    EXPECT_EQ(windNameFromPath("/a/b/bay.TXT"), "bay");
    EXPECT_EQ(windNameFromPath("/a/b/bay.Wind_REI"), "bay.Wind_REI");
    EXPECT_EQ(windNameFromPath("/a/b/baytxt"), "baytxt");
    EXPECT_EQ(windNameFromPath("/a/b.txt/wind"), "wind");
}

TEST(WindDisplay, RoseCaptionsInformationAndFile) {
    model::WindSummary w;
    auto empty = windRoseText(w);
    for (const auto& c : empty.rose) EXPECT_EQ(c, "No Data");
    EXPECT_FALSE(empty.info);

    w.windspd_ww = 5;
    w.winddur_ww = 12.5;
    w.windspd_ne = 7.97f;
    w.winddur_ne = 11.02f;
    w.wind_station = "clkn7";
    w.wind_cutoff = "7.2m/s";
    w.wind_file = "/x/sample.Wind_REI";
    const auto t = windRoseText(w);
    EXPECT_EQ(t.rose[4], "12.5%, 5");        // west, at the left of the rose
    EXPECT_EQ(t.rose[1], "11.02%, 7.97");    // the single-precision NE shown with its own digits
    EXPECT_EQ(t.rose[6], "0%, 0");
    ASSERT_TRUE(t.info);
    EXPECT_EQ((*t.info)[0], "Wind Station: clkn7");
    EXPECT_EQ((*t.info)[3], "Cutoff Speed: 7.2 m/s");  // not "7.2m/s m/s"
    w.wind_cutoff = "7.2";
    EXPECT_EQ((*windRoseText(w).info)[3], "Cutoff Speed: 7.2 m/s");
    EXPECT_EQ(t.file, "/x/sample.Wind_REI");
}

TEST(WindForms, DisplayShowsTheHolder) {
    model::WindSummary w;
    wind::ui::WindPtForm empty(w);
    EXPECT_EQ(empty.windowTitle(), "  Wind Data");
    EXPECT_EQ(empty.Label1[2]->text(), "No Data");
    EXPECT_EQ(empty.Label4[0]->text(), "Label4");
    EXPECT_EQ(empty.Label5->text(), "");

    w.windspd_nn = 6;
    w.winddur_nn = 20;
    w.wind_startdate = "1/1/2010";
    w.wind_file = "bay.txt";
    wind::ui::WindPtForm shown(w);
    EXPECT_EQ(shown.Label1[2]->text(), "20%, 6");
    EXPECT_EQ(shown.Label1[0]->text(), "0%, 0");
    EXPECT_EQ(shown.Label4[1]->text(), "Start Date: 1/1/2010");
    EXPECT_EQ(shown.Label5->text(), "bay.txt");
}

TEST(WindForms, EntryFormSavesWhatWasTypedAndCancelKeepsTheHolder) {
    EntryFixture f;
    bool cancelled = false;
    const std::string path = f.dir.file("proj/typed.txt");
    f.savePaths = {path};
    {
        wind::ui::WindDataForm form(f.context(), [&] { cancelled = true; });
        EXPECT_EQ(form.windowTitle(), "  Enter Wind Data");
        EXPECT_EQ(f.projectBox, "");  // loading empties the New Project wind box
        EXPECT_EQ(form.Combo1->currentText(), "m/s");
        EXPECT_EQ(form.Text2[1]->text(), "mm/dd/yyyy:hh:mm");
        for (int i = 0; i < 16; ++i) form.Text1[i]->setText(i % 2 ? "12.5" : "3");
        form.Combo1->setCurrentText("mph");
        form.Combo1_Click();
        EXPECT_EQ(form.Label3[5]->text(), "mph");
        form.winddata_ok_Click();
        EXPECT_EQ(form.lastResult(), WindEntryResult::Saved);
        EXPECT_EQ(form.result(), QDialog::Accepted);
    }
    EXPECT_EQ(platform::readTextLines(path).at(4), "1.341");
    EXPECT_EQ(f.winddata.windunits, "mph");

    wind::ui::WindDataForm again(f.context(), [&] { cancelled = true; });
    again.windata_cancel_Click();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(f.winddata.windspd_ee, 3 * 0.447);
}
