#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "model/settings_loader.h"
#include "platform/run_threads.h"
#include "platform/settings_store.h"
#include "platform/textfile.h"
#include "test_support.h"

using namespace quor;
using model::kSettingsApp;

namespace {

// Runs every group of the loader the way start-up does, with a data
// folder already known.
struct Loaded {
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;

    void run(platform::SettingsStore& store, const std::string& dataFolder = "/data/Quor/Quor 4",
             model::ReplacedSettings* report = nullptr) {
        state.app_folder = dataFolder;
        model::loadSettingsParameters(store, state, form, report);
        model::loadSettingsProjectFolder(store, state, form);
        model::loadSettingsHolder(store, state, form, holder, report);
        model::loadSettingsSea(store, state, report);
    }
};

struct Fixture : ::testing::Test {
    test::TempDir dir;
    platform::IniSettingsStore store{dir.path()};
    std::string get(const char* section, const char* key) { return store.read(kSettingsApp, section, key); }
    void put(const char* section, const char* key, const char* value) {
        store.write(kSettingsApp, section, key, value);
    }
};

// A store whose every access fails: loading must still give the defaults.
struct BrokenStore final : platform::SettingsStore {
    std::string read(const std::string&, const std::string&, const std::string&) const override {
        throw std::runtime_error("unreadable");
    }
    void write(const std::string&, const std::string&, const std::string&, const std::string&) override {
        throw std::runtime_error("read-only");
    }
    bool contains(const std::string&, const std::string&, const std::string&) const override { return false; }
};

}  // namespace

using SettingsLoader = Fixture;

TEST_F(SettingsLoader, EmptyStoreGetsExactDefaultsWrittenBack) {
    Loaded l;
    l.run(store);

    const std::map<std::pair<std::string, std::string>, std::string> expected = {
        {{"Settings", "Fetch"}, "10000"},         {{"Parameter", "Fetch_first"}, "1000"},
        {{"Parameter", "Fetch_second"}, "1000"},  {{"Parameter", "Depth_intg_first"}, "500"},
        {{"Parameter", "Depth_intg_second"}, "100"}, {{"Parameter", "A_goda"}, "0.17"},
        {{"Parameter", "Eps"}, "1000"},           {{"Parameter", "alpha"}, "1.909"},
        {{"Settings", "name"}, "Quor_proj"},      {{"Settings", "default"}, "/data/Quor/Quor 4/Project"},
        {{"Settings", "Bathy_dist"}, "100"},      {{"Wind_category", "wind_cat1"}, "30"},
        {{"Wind_category", "wind_cat2"}, "60"},   {{"Wind_category", "wind_cat3"}, "0"},
        {{"Wind_category", "wind_cat4"}, "0"},    {{"Power", "Power1"}, "0.053"},
        {{"Power", "Power2"}, "0.062"},           {{"Power", "Power3"}, "0"},
        {{"Power", "Power4"}, "0"},               {{"Power", "Power5"}, "0.082"},
        {{"Settings", "windcatno"}, "3"},         {{"Settings", "option_index"}, "1"},
        {{"Settings", "recommend_settings"}, "True"},
    };
    for (const auto& [where, text] : expected)
        EXPECT_EQ(get(where.first.c_str(), where.second.c_str()), text) << where.first << "/" << where.second;

    for (auto [section, key] : {std::pair{"Settings", "wv_indexcheck"}, {"Parameter", "Sea_temp"},
                                {"Parameter", "Sea_salinity"}, {"Settings", "indexcheck"}})
        EXPECT_FALSE(store.contains(kSettingsApp, section, key)) << key;

    // The second interrogation distance is written under its lower-case
    // spelling, which later readers must still find.
    const auto lines = platform::readTextLines(store.filePath(kSettingsApp));
    bool lowerCase = false;
    for (const auto& line : lines) lowerCase = lowerCase || line == "depth_intg_second=100";
    EXPECT_TRUE(lowerCase);

    // In memory: 100 now although "500" was stored.
    EXPECT_EQ(l.form.Fetch, 10000);
    EXPECT_EQ(l.state.Fetch_first, 1000);
    EXPECT_EQ(l.state.Depth_intg_first, 100);
    EXPECT_EQ(l.state.Depth_intg_second, 100);
    EXPECT_DOUBLE_EQ(l.state.Eps, 0.001);
    EXPECT_DOUBLE_EQ(l.state.A_goda, 0.17);
    EXPECT_DOUBLE_EQ(l.state.goda_slope, 1.909);
    EXPECT_FLOAT_EQ(l.state.sea_temp, 20.0f);
    EXPECT_FLOAT_EQ(l.state.sea_salinity, 34.84f);
    EXPECT_EQ(l.state.wv_indexcheck, 0);
    EXPECT_EQ(l.form.proj_name, "Quor_proj");
    EXPECT_EQ(l.form.dir_path, "/data/Quor/Quor 4/Project");
    EXPECT_EQ(l.form.dist_bathy, 100);
    EXPECT_EQ(l.holder.optionindex, 1);
    EXPECT_EQ(l.holder.windcatno, 3);
    EXPECT_EQ(l.holder.indexcheck, 0);
    EXPECT_TRUE(l.holder.rec_setting);
    EXPECT_EQ(l.holder.wind_cat1, 30);
    EXPECT_EQ(l.holder.wind_cat2, 60);
    EXPECT_DOUBLE_EQ(l.holder.Power1, 0.053);
    EXPECT_DOUBLE_EQ(l.holder.Power5, 0.082);

    // The next start reads what was written: 500, and no further writes
    // change the stored texts.
    Loaded next;
    next.run(store);
    EXPECT_EQ(next.state.Depth_intg_first, 500);
    EXPECT_FALSE(next.holder.rec_setting);
    EXPECT_EQ(get("Parameter", "Depth_intg_first"), "500");
}

TEST_F(SettingsLoader, ZeroOrNonNumbersTakeDefaultsOnlyWhereTheRowSaysSo) {
    put("Settings", "Fetch", "abc");
    put("Parameter", "Fetch_first", "0");
    put("Parameter", "Eps", "1000");
    put("Settings", "Bathy_dist", "0");
    put("Settings", "windcatno", "0");
    put("Settings", "option_index", "abc");
    put("Settings", "wv_indexcheck", "x");
    put("Parameter", "Sea_temp", "warm");
    put("Parameter", "Sea_salinity", "");
    put("Parameter", "Depth_intg_second", "-20");
    Loaded l;
    l.run(store);

    EXPECT_EQ(l.form.Fetch, 10000);
    // A negative second-stage step is as unreadable as none.
    EXPECT_EQ(l.state.Depth_intg_second, 100);
    EXPECT_EQ(get("Parameter", "Depth_intg_second"), "100");
    EXPECT_EQ(get("Settings", "Fetch"), "10000");
    EXPECT_EQ(l.state.Fetch_first, 1000);
    EXPECT_EQ(get("Parameter", "Fetch_first"), "1000");
    EXPECT_DOUBLE_EQ(l.state.Eps, 0.001);
    EXPECT_EQ(get("Parameter", "Eps"), "1000");
    // A distance of 0 is one the REI settings refuse.
    EXPECT_EQ(l.form.dist_bathy, 100);
    EXPECT_EQ(get("Settings", "Bathy_dist"), "100");
    EXPECT_EQ(l.holder.windcatno, 3);
    EXPECT_EQ(get("Settings", "windcatno"), "3");
    // A present but unreadable option is 0 (16 rays) and stays stored.
    EXPECT_EQ(l.holder.optionindex, 0);
    EXPECT_EQ(get("Settings", "option_index"), "abc");
    EXPECT_EQ(l.state.wv_indexcheck, 0);
    EXPECT_EQ(get("Settings", "wv_indexcheck"), "x");
    EXPECT_FLOAT_EQ(l.state.sea_temp, 20.0f);
    EXPECT_EQ(get("Parameter", "Sea_temp"), "warm");
    EXPECT_FLOAT_EQ(l.state.sea_salinity, 34.84f);
}

TEST_F(SettingsLoader, StoredValuesAreKeptAndReadInAnyCase) {
    put("Settings", "FETCH", "25000");
    put("parameter", "eps", "0.001");  // a tolerance stored the other way round
    put("Parameter", "depth_intg_FIRST", "250");
    put("Parameter", "Depth_intg_second", "75.5");
    put("Parameter", "sea_temp", "12.5");
    put("Parameter", "SEA_SALINITY", "35");
    put("Settings", "Name", "Bay survey");
    put("Settings", "DEFAULT", "/somewhere/projects");
    put("settings", "WV_INDEXCHECK", "1");
    put("Settings", "IndexCheck", "1");
    put("Settings", "Option_Index", "4");
    put("Settings", "windcatno", "2");
    put("Settings", "recommend_settings", "True");
    put("Wind_category", "wind_cat1", "25");
    put("Power", "power2", "0.5");
    Loaded l;
    l.run(store);

    EXPECT_EQ(l.form.Fetch, 25000);
    EXPECT_DOUBLE_EQ(l.state.Eps, 1000);
    EXPECT_EQ(l.state.Depth_intg_first, 250);
    EXPECT_EQ(l.state.Depth_intg_second, 75.5);
    EXPECT_FLOAT_EQ(l.state.sea_temp, 12.5f);
    EXPECT_FLOAT_EQ(l.state.sea_salinity, 35.0f);
    EXPECT_EQ(l.form.proj_name, "Bay survey");
    EXPECT_EQ(l.form.dir_path, "/somewhere/projects");
    EXPECT_EQ(l.state.wv_indexcheck, 1);
    EXPECT_EQ(l.holder.indexcheck, 1);  // the REI fast algorithm of the last session
    EXPECT_EQ(l.holder.optionindex, 4);
    EXPECT_EQ(l.holder.windcatno, 2);
    EXPECT_FALSE(l.holder.rec_setting);  // a stored flag is not loaded here
    EXPECT_EQ(l.holder.wind_cat1, 25);
    EXPECT_EQ(l.holder.Power2, 0.5);

    // Stored values are never overwritten, whatever their spelling.
    EXPECT_EQ(get("Settings", "Fetch"), "25000");
    EXPECT_EQ(get("Parameter", "Eps"), "0.001");
    EXPECT_EQ(get("Parameter", "Depth_intg_first"), "250");
    EXPECT_EQ(get("Parameter", "depth_intg_second"), "75.5");
    EXPECT_EQ(get("Settings", "default"), "/somewhere/projects");
    EXPECT_EQ(get("Settings", "windcatno"), "2");
}

TEST_F(SettingsLoader, ZeroFirstCategoryResetsTheHolderButNotTheStore) {
    // One category uses no bound, so the REI settings accept this store.
    for (const char* first : {"0"}) {
        put("Settings", "windcatno", "1");
        put("Wind_category", "wind_cat1", first);
        put("Wind_category", "wind_cat2", "45");
        put("Wind_category", "wind_cat3", "70");
        put("Wind_category", "wind_cat4", "90");
        put("Power", "Power1", "1");
        put("Power", "Power2", "2");
        put("Power", "Power3", "3");
        put("Power", "Power4", "4");
        put("Power", "Power5", "5");
        Loaded l;
        l.run(store);
        EXPECT_EQ(l.holder.wind_cat1, 30) << first;
        EXPECT_EQ(l.holder.wind_cat2, 60);
        EXPECT_EQ(l.holder.wind_cat3, 0);
        EXPECT_EQ(l.holder.wind_cat4, 0);
        EXPECT_DOUBLE_EQ(l.holder.Power1, 0.053);
        EXPECT_DOUBLE_EQ(l.holder.Power2, 0.062);
        EXPECT_EQ(l.holder.Power3, 0);
        EXPECT_EQ(l.holder.Power4, 0);
        EXPECT_DOUBLE_EQ(l.holder.Power5, 0.082);
        EXPECT_EQ(get("Wind_category", "wind_cat1"), first);
        EXPECT_EQ(get("Wind_category", "wind_cat2"), "45");
        EXPECT_EQ(get("Power", "Power5"), "5");
    }
}

TEST_F(SettingsLoader, OutOfRangeIntegersAndUnusableStoresDoNotStopLoading) {
    put("Settings", "windcatno", "99999");
    put("Settings", "option_index", "-40000");
    put("Settings", "wv_indexcheck", "1e9");
    put("Parameter", "Eps", "1e-310");  // its reciprocal overflows a Double
    Loaded l;
    l.run(store);
    EXPECT_DOUBLE_EQ(l.state.Eps, 0.001);
    EXPECT_EQ(get("Parameter", "Eps"), "1000");
    EXPECT_EQ(l.holder.windcatno, 3);
    EXPECT_EQ(get("Settings", "windcatno"), "3");
    EXPECT_EQ(l.holder.optionindex, 1);  // no ray option: the default's 32 rays
    EXPECT_EQ(l.state.wv_indexcheck, 0);
    EXPECT_FLOAT_EQ(l.state.sea_temp, 20.0f);  // loading went on to the end

    BrokenStore broken;
    Loaded b;
    EXPECT_NO_THROW(b.run(broken));
    EXPECT_EQ(b.form.Fetch, 10000);
    EXPECT_DOUBLE_EQ(b.state.Eps, 0.001);
    EXPECT_EQ(b.form.dir_path, "/data/Quor/Quor 4/Project");
    EXPECT_EQ(b.holder.optionindex, 1);
    EXPECT_FLOAT_EQ(b.state.sea_salinity, 34.84f);
}

TEST_F(SettingsLoader, EveryStoredNumberOutsideItsRangeGivesWayToItsDefault) {
    struct Case {
        const char *section, *key, *text, *stored;
        double (*now)(const Loaded&);
        double expected;
    };
    auto second = [](const Loaded& l) { return l.state.Depth_intg_second; };
    auto temp = [](const Loaded& l) { return double(l.state.sea_temp); };
    auto salinity = [](const Loaded& l) { return double(l.state.sea_salinity); };
    auto option = [](const Loaded& l) { return double(l.holder.optionindex); };
    auto fastRwe = [](const Loaded& l) { return double(l.state.wv_indexcheck); };
    auto fastRei = [](const Loaded& l) { return double(l.holder.indexcheck); };
    const Case cases[] = {
        {"Parameter", "Depth_intg_second", "1e12", "100", second, 100},
        {"Parameter", "Depth_intg_second", "1e-300", "100", second, 100},
        {"Parameter", "Depth_intg_second", "1e308", "100", second, 100},
        {"Parameter", "Sea_temp", "1e39", "20", temp, 20.0f},
        {"Parameter", "Sea_salinity", "-1e39", "34.84", salinity, 34.84f},
        {"Settings", "option_index", "99", "1", option, 1},
        {"Settings", "option_index", "2.5", "1", option, 1},
        {"Settings", "wv_indexcheck", "7", "0", fastRwe, 0},
        {"Settings", "indexcheck", "-1", "0", fastRei, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " = " + c.text);
        test::TempDir own;
        platform::IniSettingsStore fresh{own.path()};
        fresh.write(kSettingsApp, c.section, c.key, c.text);
        Loaded l;
        model::ReplacedSettings report;
        l.run(fresh, "/data", &report);
        EXPECT_DOUBLE_EQ(c.now(l), c.expected);
        EXPECT_EQ(fresh.read(kSettingsApp, c.section, c.key), c.stored);
        ASSERT_EQ(report.size(), 1u);
        EXPECT_EQ(report[0].was, c.text);
        EXPECT_NE(model::replacedSettingsMessage(report).find(c.text), std::string::npos);
    }
}

TEST_F(SettingsLoader, ValuesTheDialogsWouldRefuseAreReplacedStoredAndReportedOnce) {
    const std::pair<const char*, const char*> refused[] = {
        {"Settings/Fetch", "1e308"},          {"Parameter/Fetch_first", "-5"},  {"Parameter/Depth_intg_first", "0.001"},
        {"Parameter/A_goda", "-1"},           {"Parameter/Eps", "-3"},          {"Parameter/alpha", "95"},
        {"Settings/Bathy_dist", "500"},       {"Parameter/Sea_temp", "80"},     {"Parameter/Sea_salinity", "-1"},
        {"Power/Power2", "-0.5"}};
    for (auto [where, text] : refused) {
        const std::string w = where;
        const auto slash = w.find('/');
        put(w.substr(0, slash).c_str(), w.substr(slash + 1).c_str(), text);
    }
    Loaded l;
    model::ReplacedSettings report;
    l.state.app_folder = "/data";
    model::loadSettingsParameters(store, l.state, l.form, &report);
    model::loadSettingsHolder(store, l.state, l.form, l.holder, &report);
    model::loadSettingsSea(store, l.state, &report);

    EXPECT_EQ(l.form.Fetch, 10000);
    EXPECT_EQ(l.state.Fetch_first, 1000);
    EXPECT_EQ(l.state.Depth_intg_first, 100);
    EXPECT_DOUBLE_EQ(l.state.A_goda, 0.17);
    EXPECT_DOUBLE_EQ(l.state.Eps, 0.001);
    EXPECT_DOUBLE_EQ(l.state.goda_slope, 1.909);
    EXPECT_EQ(l.form.dist_bathy, 100);
    EXPECT_FLOAT_EQ(l.state.sea_temp, 20.0f);
    EXPECT_FLOAT_EQ(l.state.sea_salinity, 34.84f);
    EXPECT_DOUBLE_EQ(l.holder.Power2, 0.062);
    EXPECT_EQ(get("Settings", "Fetch"), "10000");
    EXPECT_EQ(get("Parameter", "Depth_intg_first"), "500");
    EXPECT_EQ(get("Parameter", "Sea_salinity"), "34.84");
    EXPECT_EQ(get("Power", "Power2"), "0.062");

    ASSERT_EQ(report.size(), std::size(refused));
    EXPECT_EQ(report[0].key, "Fetch");
    EXPECT_EQ(report[0].was, "1e308");
    EXPECT_EQ(report[0].why, "Please select fetch between range of 100 mts and 100000 mts");
    const std::string message = model::replacedSettingsMessage(report);
    for (auto [where, text] : refused) EXPECT_NE(message.find(text), std::string::npos) << where;

    // Mended in the store: the next start has nothing to report.
    Loaded next;
    model::ReplacedSettings none;
    model::loadSettingsParameters(store, next.state, next.form, &none);
    model::loadSettingsHolder(store, next.state, next.form, next.holder, &none);
    model::loadSettingsSea(store, next.state, &none);
    EXPECT_TRUE(none.empty()) << model::replacedSettingsMessage(none);

    // A fetch shorter than the default segment keeps the segment within it.
    put("Settings", "Fetch", "500");
    put("Parameter", "Fetch_first", "900");
    Loaded shorter;
    model::loadSettingsParameters(store, shorter.state, shorter.form, &none);
    EXPECT_EQ(shorter.state.Fetch_first, 500);
    EXPECT_EQ(get("Parameter", "Fetch_first"), "500");
    // Categories the REI settings refuse give way to the recommended set.
    put("Settings", "windcatno", "3");
    put("Wind_category", "wind_cat2", "10");  // below the first bound, 30
    none.clear();
    Loaded categories;
    model::loadSettingsHolder(store, categories.state, categories.form, categories.holder, &none);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].why, "The upper bounds of the wind speed categories in use must be above 0 and increase from one "
                           "category to the next.");
    EXPECT_EQ(categories.holder.wind_cat2, 60);
    EXPECT_EQ(get("Wind_category", "wind_cat2"), "60");
}

// The threads of a run come from the store unless QUOR_THREADS says otherwise.
TEST_F(SettingsLoader, ThreadsAreReadAndTheVariableOverridesThem) {
    put("Settings", "threads", "3");
    {
        test::RunThreads restored(1);
        unsetenv("QUOR_THREADS");
        model::loadSettingsThreads(store);
        EXPECT_EQ(platform::runThreads(), 3);
    }
    {
        test::RunThreads two(2);
        EXPECT_EQ(platform::runThreads(), 2);
    }
    put("Settings", "threads", "");
    model::loadSettingsThreads(store);
    EXPECT_EQ(get("Settings", "threads"), "");
}

// A thread count that is no whole number of 0 or more, stored or in the
// variable, is told with the other refused values, and every core is used.
TEST_F(SettingsLoader, AThreadCountThatIsNoWholeNumberIsToldAndEveryCoreUsed) {
    put("Settings", "threads", "2.5");
    test::RunThreads restored(1);
    setenv("QUOR_THREADS", "many", 1);
    model::ReplacedSettings report;
    model::loadSettingsThreads(store, &report);
    EXPECT_EQ(model::replacedSettingsMessage(report),
              "Stored settings that the settings dialogs would refuse were replaced by their defaults:\n"
              "Settings threads = \"2.5\" is now 0: The number of threads must be a whole number of 0 or more (0 "
              "uses every core).\n"
              "QUOR_THREADS = \"many\" is now 0: The number of threads must be a whole number of 0 or more (0 uses "
              "every core).");
    EXPECT_EQ(get("Settings", "threads"), "0");
    EXPECT_EQ(platform::runThreads(), platform::usableCores());
}
