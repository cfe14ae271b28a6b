#include <gtest/gtest.h>

#include <tuple>

#include "model/wind_classes.h"
#include "platform/textfile.h"
#include "test_support.h"
#include "wind/loadwind.h"
#include "wind/rei_wind_file.h"
#include "wind/wind_summary.h"

using namespace quor;
using namespace quor::wind;

namespace {

model::SettingsHolder threeCategories() {
    model::SettingsHolder fm;
    fm.windcatno = 3;
    fm.wind_cat1 = 30;
    fm.wind_cat2 = 60;
    fm.Power1 = 0.053;
    fm.Power2 = 0.062;
    fm.Power5 = 0.082;
    return fm;
}

std::vector<std::string> fileLines(int count) {
    std::vector<std::string> lines = {"Winddata File Quor Project", "", "Created on: 1/1/2020 1:00:00 AM", ""};
    for (int k = 0; k < 8; ++k) {
        lines.push_back(std::to_string(k + 1) + ".5");   // speed
        lines.push_back(std::to_string(5 + k) + ".25");  // percent, 70 in all
    }
    const char* tail[] = {"", "Station 7", "1/1/2010", "12/31/2010 11:00:00 PM", "7.2m/s", "a", "b", "c", "d", "e"};
    for (int i = 20; i < count; ++i) lines.push_back(tail[i - 20]);
    return lines;
}

}  // namespace

TEST(WindPowers, ClassSpeedsTakeThePowerOfTheirCategory) {
    auto fm = threeCategories();
    // 30 mph is 13.41 m/s: equal to the bound stays in the lower category.
    EXPECT_EQ(*classPower(13.41, fm), 0.053);
    EXPECT_EQ(*classPower(13.42, fm), 0.062);
    EXPECT_EQ(*classPower(26.82, fm), 0.062);
    EXPECT_EQ(*classPower(30, fm), 0.082);

    fm.windcatno = 2;
    EXPECT_EQ(*classPower(10, fm), 0.053);
    EXPECT_EQ(*classPower(20, fm), 0.082);  // above the only bound in use: the top row's power
    fm.windcatno = 1;
    EXPECT_EQ(*classPower(99, fm), 0.053);
    fm.windcatno = 5;
    fm.wind_cat3 = 80;
    fm.wind_cat4 = 100;
    fm.Power3 = 0.07;
    fm.Power4 = 0.075;
    EXPECT_EQ(*classPower(80 * 0.447, fm), 0.07);
    EXPECT_EQ(*classPower(90 * 0.447, fm), 0.075);
    EXPECT_EQ(*classPower(101 * 0.447, fm), 0.082);
    fm.windcatno = 0;
    EXPECT_FALSE(classPower(1, fm));
    fm.windcatno = 6;
    EXPECT_FALSE(classPower(1, fm));
}

TEST(WindPowers, AssgnPowerFillsTheClassesAndThe32RayPowers) {
    model::WindSummary w;
    test::RecordingMessages msgs;
    auto fm = threeCategories();
    for (int k = 0; k < 8; ++k) w.class_speed(k) = 5;
    w.class_speed(1) = 20;  // SE in the middle category
    w.class_speed(7) = 40;  // NE in the top one
    assgn_power(w, fm, msgs);
    EXPECT_TRUE(msgs.entries.empty());
    EXPECT_EQ(w.windpower_ee, static_cast<float>(0.053));
    EXPECT_EQ(w.windpower_se, static_cast<float>(0.062));
    EXPECT_EQ(w.windpower_ne, 0.082f);
    EXPECT_EQ(w.windspd_se, 20);
    ASSERT_EQ(w.windpowercoll.size(), 32u);
    EXPECT_FLOAT_EQ(w.windpowercoll[0], 0.053f);       // east
    EXPECT_FLOAT_EQ(w.windpowercoll[2], 0.0575f);      // halfway E to SE
    EXPECT_FLOAT_EQ(w.windpowercoll[4], 0.062f);       // south-east
    EXPECT_FLOAT_EQ(w.windpowercoll[28], 0.082f);      // north-east
    EXPECT_FLOAT_EQ(w.windpowercoll[31], 0.06025f);    // three quarters NE to E

    // Interpolation in quarters: 0.05 to 0.09 in steps of 0.01.
    auto items = interpolatedPowers({0.05, 0.09, 0.09, 0.09, 0.09, 0.09, 0.09, 0.09});
    const float expected[] = {0.05f, 0.06f, 0.07f, 0.08f, 0.09f};
    for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(items[i], expected[i]) << i;
    items = interpolatedPowers({0.07, 0.07, 0.07, 0.07, 0.07, 0.07, 0.07, 0.07});
    for (float v : items) EXPECT_EQ(v, 0.07f);
}

TEST(WindPowers, AnUnusableCategoryCountGivesPowerZeroAndTellsTheUser) {
    model::WindSummary w;
    w.windpowercoll.assign(32, 0.5f);
    w.windpower_ww = 0.5;
    for (int k = 0; k < 8; ++k) w.class_speed(k) = 5;
    model::SettingsHolder fm = threeCategories();
    fm.windcatno = 7;
    test::RecordingMessages msgs;
    assgn_power(w, fm, msgs);
    ASSERT_EQ(msgs.texts(), std::vector<std::string>{" Please select the wind categories in Data--> Settings menu."});
    EXPECT_EQ(msgs.entries[0].icon, platform::MessageIcon::Exclamation);
    EXPECT_EQ(w.windpower_ww, 0);
    ASSERT_EQ(w.windpowercoll.size(), 32u);
    for (float v : w.windpowercoll) EXPECT_EQ(v, 0.f);
}

TEST(WindHolder, ArrayAndCodeMoveTheTablesAndNeIsSinglePrecision) {
    model::WindSummary w;
    for (int k = 0; k < 8; ++k) {
        w.class_speed(k) = 1.1 + k;
        w.class_percent(k) = 10.1 + k;
    }
    assgn_array(w);
    EXPECT_EQ(w.windspd_ee, 1.1);
    EXPECT_EQ(w.winddur_nn, 16.1);
    EXPECT_EQ(w.windspd_ne, static_cast<float>(8.1));
    EXPECT_EQ(w.winddur_ne, static_cast<float>(17.1));
    w.windspd_ss = 42;
    w.class_percent(2) = -1;
    assgn_code(w);
    EXPECT_EQ(w.class_speed(2), 42);
    EXPECT_EQ(w.class_percent(2), -1);  // percentages are not copied back
    EXPECT_EQ(w.class_speed(7), static_cast<double>(static_cast<float>(8.1)));
}

TEST(LoadWind, FilesOf20To29LinesLoadWithTheirPowers) {
    test::TempDir dir;
    const auto fm = threeCategories();
    for (int count : {20, 24, 25, 29}) {
        SCOPED_TRACE(count);
        const std::string path = dir.file("w" + std::to_string(count) + ".txt");
        platform::writeTextLines(path, fileLines(count));
        model::ModelState st;
        model::WindSummary w;
        test::RecordingMessages msgs;
        ASSERT_TRUE(loadwind(path, st, w, fm, msgs));
        EXPECT_TRUE(msgs.entries.empty());
        EXPECT_FALSE(st.dlg_cancel);
        EXPECT_EQ(w.windspd_ee, 1.5);
        EXPECT_EQ(w.winddur_ee, 5.25);
        EXPECT_EQ(w.windspd_nn, 7.5);
        EXPECT_EQ(w.windspd_ne, 8.5f);
        EXPECT_EQ(w.winddur_ne, 12.25f);
        EXPECT_EQ(w.class_speed(3), 4.5);
        EXPECT_EQ(w.windpower_ww, static_cast<float>(0.053));
        EXPECT_EQ(w.windpowercoll.size(), 32u);
        EXPECT_EQ(w.wind_file, path);
        EXPECT_EQ(w.wind_station, count > 21 ? "Station 7" : "");
        EXPECT_EQ(w.wind_cutoff, count > 24 ? "7.2m/s" : "");
    }
}

TEST(LoadWind, RefusesLongOrBrokenFilesAndKeepsTheHolder) {
    test::TempDir dir;
    const auto fm = threeCategories();
    auto lines = fileLines(29);
    lines.push_back("30th");
    platform::writeTextLines(dir.file("30.txt"), lines);
    lines = fileLines(20);
    lines[19] = "";
    platform::writeTextLines(dir.file("empty19.txt"), lines);
    lines = fileLines(25);
    lines[24] = "";
    platform::writeTextLines(dir.file("empty24.txt"), lines);

    for (const char* name : {"30.txt", "empty19.txt", "none.txt"}) {
        SCOPED_TRACE(name);
        model::ModelState st;
        model::WindSummary w;
        w.windspd_ee = 3;
        w.wind_file = "before";
        test::RecordingMessages msgs;
        EXPECT_FALSE(loadwind(dir.file(name), st, w, fm, msgs));
        EXPECT_TRUE(st.dlg_cancel);
        ASSERT_EQ(msgs.entries.size(), 1u);
        EXPECT_EQ(msgs.entries[0].text.rfind(kWindFileNotAvailable, 0), 0u) << msgs.entries[0].text;
        EXPECT_EQ(msgs.entries[0].icon, platform::MessageIcon::Exclamation);
        EXPECT_EQ(w.windspd_ee, 3);
        EXPECT_EQ(w.wind_file, "before");
    }
    model::ModelState st;
    model::WindSummary w;
    test::RecordingMessages msgs;
    EXPECT_TRUE(loadwind(dir.file("empty24.txt"), st, w, fm, msgs));
}

TEST(LoadWind, EveryRefusalNamesItsLine) {
    test::TempDir dir;
    const auto fm = threeCategories();
    auto with = [](int line, const char* text) {
        auto l = fileLines(25);
        l[static_cast<std::size_t>(line - 1)] = text;
        return l;
    };
    auto cut = fileLines(20);
    cut.resize(12);
    auto longer = fileLines(29);
    longer.push_back("30th");
    const std::tuple<const char*, std::vector<std::string>, int> cases[] = {
        {"a speed with letters", with(5, "12abc"), 5},
        {"a percentage that is empty", with(8, ""), 8},
        {"an impossible speed", with(5, "1e308"), 5},
        {"a file cut short", cut, 13},
        {"one line too many", longer, 30},
    };
    for (const auto& [what, lines, line] : cases) {
        SCOPED_TRACE(what);
        platform::writeTextLines(dir.file("w.Wind_REI"), lines);
        model::ModelState st;
        model::WindSummary w;
        test::RecordingMessages msgs;
        EXPECT_FALSE(loadwind(dir.file("w.Wind_REI"), st, w, fm, msgs));
        ASSERT_EQ(msgs.entries.size(), 1u);
        const std::string text = msgs.entries[0].text;
        EXPECT_EQ(text.rfind(std::string(kWindFileNotAvailable) + "\n", 0), 0u) << text;
        const std::string reason = text.substr(std::min(text.size(), std::string(kWindFileNotAvailable).size()));
        EXPECT_TRUE(reason.find("Line " + std::to_string(line) + " ") != std::string::npos ||
                    reason.find("line " + std::to_string(line)) != std::string::npos)
            << text;
    }
}

TEST(LoadWind, SampleWindFiles) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const auto fm = threeCategories();
    model::ModelState st;
    model::WindSummary w;
    test::RecordingMessages msgs;
    ASSERT_TRUE(loadwind(data + "/sample.Wind_REI", st, w, fm, msgs));
    EXPECT_EQ(w.windspd_sw, 10.11);
    EXPECT_EQ(w.winddur_sw, 31.44);
    EXPECT_EQ(w.windspd_ne, 7.97f);
    EXPECT_EQ(w.wind_station, "clkn7, Cape Lookout NC");
    EXPECT_EQ(w.wind_enddate, "12/31/2010 11:00:00 PM");
    // Every class mean is under 30 mph (13.41 m/s).
    for (float p : w.windpowercoll) EXPECT_EQ(p, static_cast<float>(0.053));

    ASSERT_TRUE(loadwind(data + "/sample_hand_rei.txt", st, w, fm, msgs));
    EXPECT_EQ(w.windspd_sw, 9.387);
    EXPECT_EQ(w.winddur_ne, 12.5f);
    EXPECT_EQ(w.wind_station, "");
    EXPECT_EQ(w.wind_cutoff, "");
    EXPECT_TRUE(msgs.entries.empty());
}
