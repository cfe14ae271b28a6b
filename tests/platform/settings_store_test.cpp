#include <gtest/gtest.h>

#include "platform/settings_store.h"
#include "platform/textfile.h"
#include "test_support.h"

using quor::platform::IniSettingsStore;

TEST(SettingsStore, KeysCompareWithoutRegardToCase) {
    quor::test::TempDir dir;
    IniSettingsStore store(dir.path());
    EXPECT_EQ(store.read("Quor3", "Parameter", "Sea_temp"), "");
    EXPECT_FALSE(store.contains("Quor3", "Parameter", "Sea_temp"));

    store.write("Quor3", "Parameter", "sea_temp", "12.5");
    EXPECT_EQ(store.read("Quor3", "Parameter", "Sea_temp"), "12.5");
    EXPECT_EQ(store.read("Quor3", "parameter", "SEA_TEMP"), "12.5");

    // Replacing keeps one value under the first spelling.
    store.write("Quor3", "Parameter", "Sea_temp", "14");
    EXPECT_EQ(store.read("Quor3", "Parameter", "sea_temp"), "14");

    // Another store on the same folder sees the written file.
    IniSettingsStore again(dir.path());
    EXPECT_EQ(again.read("Quor3", "Parameter", "SEA_temp"), "14");
    auto lines = quor::platform::readTextLines(again.filePath("Quor3"));
    int count = 0;
    for (auto& l : lines)
        if (l.find("emp=") != std::string::npos) ++count;
    EXPECT_EQ(count, 1);
}

TEST(SettingsStore, ValuesKeepTheirTextAndSectionsStayApart) {
    quor::test::TempDir dir;
    IniSettingsStore store(dir.path());
    store.write("Quor3", "Settings", "default", "/home/u/Documents/Quor/Quor 4/Project");
    store.write("Quor3", "Settings", "name", "a, b");
    store.write("Quor3", "Power", "name", "other");
    EXPECT_EQ(store.read("Quor3", "Settings", "default"), "/home/u/Documents/Quor/Quor 4/Project");
    EXPECT_EQ(store.read("Quor3", "Settings", "name"), "a, b");
    EXPECT_EQ(store.read("Quor3", "Power", "name"), "other");
    EXPECT_EQ(store.read("Other", "Power", "name"), "");
}

TEST(SettingsStore, HandWrittenValuesWithCommasReadBackWhole) {
    quor::test::TempDir dir;
    IniSettingsStore probe(dir.path());
    quor::platform::writeTextLines(probe.filePath("Quor3"),
                                   {"[Settings]", "name=Bay, survey", "default=/home/u/Data, 2020/Project"});
    IniSettingsStore store(dir.path());
    EXPECT_EQ(store.read("Quor3", "Settings", "name"), "Bay, survey");
    EXPECT_EQ(store.read("Quor3", "Settings", "default"), "/home/u/Data, 2020/Project");
}
