#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "model/setting_checks.h"
#include "platform/settings_store.h"
#include "rei/rei_run.h"
#include "rei/rei_settings.h"
#include "test_support.h"

using namespace quor;
using namespace quor::rei;

namespace {

// The store in memory: these tests write many values.
class MemoryStore final : public platform::SettingsStore {
public:
    std::string read(const std::string& a, const std::string& s, const std::string& k) const override {
        auto it = values_.find(a + "/" + s + "/" + k);
        return it == values_.end() ? std::string() : it->second;
    }
    void write(const std::string& a, const std::string& s, const std::string& k, const std::string& v) override {
        values_[a + "/" + s + "/" + k] = v;
    }
    bool contains(const std::string& a, const std::string& s, const std::string& k) const override {
        return values_.count(a + "/" + s + "/" + k) > 0;
    }

private:
    std::map<std::string, std::string> values_;
};

struct SettingsFixture {
    MemoryStore store;
    model::SettingsHolder holder;
    model::MainFormState mainform;
    test::RecordingMessages messages;
    std::map<int, std::string> panels;

    SettingsFixture() {
        auto w = [&](const char* s, const char* k, const char* v) { store.write(kSettingsApp, s, k, v); };
        w("Settings", "Fetch", "10000");
        w("Settings", "default", "/data/Project");
        w("Settings", "name", "Quor_proj");
        w("Settings", "Bathy_dist", "100");
        w("Settings", "windcatno", "3");
        w("Settings", "indexcheck", "1");
        w("Settings", "option_index", "2");
        w("Settings", "recommend_settings", "True");
        for (auto [k, v] : {std::pair{"wind_cat1", "30"}, {"wind_cat2", "60"}, {"wind_cat3", "0"}, {"wind_cat4", "0"}})
            w("Wind_category", k, v);
        for (auto [k, v] : {std::pair{"Power1", "0.053"}, {"Power2", "0.062"}, {"Power3", "0"}, {"Power4", "0"},
                            {"Power5", "0.082"}})
            w("Power", k, v);
        holder.optionindex = 2;
    }
    std::string stored(const char* s, const char* k) const { return store.read(kSettingsApp, s, k); }
    bool ok(const ReiSettingsForm& f) {
        return Command1_Click(f, store, holder, mainform, messages, [&](int p, const std::string& t) { panels[p] = t; });
    }
};

}  // namespace

TEST(ReiSettings, OpensWithTheStoredValuesAndTheStoredAlgorithm) {
    SettingsFixture f;
    f.holder.refreshmap = 1;
    const auto form = Form_Load(f.store, f.holder);
    EXPECT_EQ(form.fetch, "10000");
    EXPECT_EQ(form.folder, "/data/Project");
    EXPECT_TRUE(form.fastAlgorithm);  // as stored: OK alone does not switch the algorithm
    EXPECT_FALSE(form.background);
    EXPECT_EQ(f.holder.refreshmap, 0);
    EXPECT_TRUE(form.recommended);
    EXPECT_EQ(form.powers[4], "0.082");

    ASSERT_TRUE(f.ok(form));
    EXPECT_EQ(f.stored("Settings", "indexcheck"), "1");
    EXPECT_EQ(f.panels[3], "Fast Algorithm  VM");
    EXPECT_EQ(f.panels[2], "F= 10000 B I= 100");
    EXPECT_EQ(f.stored("Settings", "option_index"), "2");
}

TEST(ReiSettings, OkStoresWhatWasTypedAndRefusesBadValuesWithoutChangingAnything) {
    SettingsFixture f;
    auto form = Form_Load(f.store, f.holder);
    form.bounds = {"30.5", "31.5", "0", "0"};
    form.powers[1] = "0.0620";
    form.background = true;
    form.fetch = "100000";
    ASSERT_TRUE(f.ok(form));
    EXPECT_EQ(f.stored("Wind_category", "wind_cat1"), "30");
    EXPECT_EQ(f.stored("Wind_category", "wind_cat2"), "32");
    EXPECT_EQ(f.stored("Power", "Power2"), "0.0620");
    EXPECT_EQ(f.holder.Power2, 0.062);
    EXPECT_EQ(f.holder.refreshmap, 1);
    EXPECT_EQ(f.panels[3], "Fast Algorithm  BM");
    EXPECT_EQ(f.mainform.Fetch, 100000);

    struct Case {
        std::function<void(ReiSettingsForm&)> edit;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[](auto& x) { x.fetch = "99.9"; }, model::kMsgFetchRange},
        {[](auto& x) { x.fetch = "100000.1"; }, model::kMsgFetchRange},
        {[](auto& x) { x.fetch = "ten"; }, kFillInData},
        {[](auto& x) { x.fetch = ""; }, kFillInData},
        {[](auto& x) { x.distance = "5"; }, model::kMsgBathyDistanceRange},
        {[](auto& x) { x.bounds[2] = "x"; }, kFillInData},
        {[](auto& x) { x.windcatno = "6"; }, kCategoryCount},
        {[](auto& x) { x.windcatno = "0"; }, kCategoryCount},
        {[](auto& x) { x.powers[4] = "-0.1"; }, kPowersAsNumbers},
        {[](auto& x) { x.powers[0] = "fast"; }, kPowersAsNumbers},
        {[](auto& x) { x.bounds = {"60", "30", "0", "0"}; }, kBoundsIncrease},
        {[](auto& x) { x.windcatno = "4"; }, kBoundsIncrease},  // third bound 0 is not above 60
        {[](auto& x) { x.name = ""; }, kNameProject},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        auto bad = Form_Load(f.store, f.holder);
        bad.fastAlgorithm = false;  // would switch the algorithm if anything were taken
        c.edit(bad);
        const auto holderBefore = f.holder.indexcheck;
        f.messages.entries.clear();
        EXPECT_FALSE(f.ok(bad));
        ASSERT_EQ(f.messages.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(f.holder.indexcheck, holderBefore);
        EXPECT_EQ(f.stored("Settings", "indexcheck"), "1");
    }
    // Cancel after a refused OK: the stored values are in force again.
    f.mainform.Fetch = 5;
    Form_Unload(f.store, f.holder, f.mainform);
    EXPECT_EQ(f.mainform.Fetch, 100000);
    EXPECT_EQ(f.holder.wind_cat2, 32);
    EXPECT_EQ(f.holder.indexcheck, 1);
}

TEST(ReiSettings, BackgroundRunAlwaysNeedsTheFastAlgorithm) {
    SettingsFixture f;
    auto form = Form_Load(f.store, f.holder);
    form.background = true;
    ASSERT_TRUE(f.ok(form));
    EXPECT_EQ(f.holder.refreshmap, 1);

    setFastAlgorithm(form, f.holder, false);
    EXPECT_FALSE(form.background);
    EXPECT_EQ(f.holder.refreshmap, 0);
    form.distance = "500";  // refused
    EXPECT_FALSE(f.ok(form));
    Form_Unload(f.store, f.holder, f.mainform);  // Cancel
    EXPECT_EQ(f.holder.indexcheck, 1);
    EXPECT_EQ(f.holder.refreshmap, 0);

    // Stored clip algorithm: whatever refreshmap held, closing clears it.
    f.store.write(kSettingsApp, "Settings", "indexcheck", "0");
    f.holder.refreshmap = 1;
    Form_Unload(f.store, f.holder, f.mainform);
    EXPECT_EQ(f.holder.refreshmap, 0);
    form = Form_Load(f.store, f.holder);
    form.background = true;  // ticked while the fast algorithm is off
    ASSERT_TRUE(f.ok(form));
    EXPECT_EQ(f.holder.refreshmap, 0);
    EXPECT_EQ(f.panels[3], "Clip Algorithm");
}

TEST(ReiSettings, RecommendedOwnCategoriesAndDefaults) {
    SettingsFixture f;
    auto form = Form_Load(f.store, f.holder);
    chooseOwnCategories(form, f.store, f.holder);
    EXPECT_FALSE(f.holder.rec_setting);
    EXPECT_EQ(form.windcatno, "3");
    EXPECT_EQ(form.bounds[0], "0");
    EXPECT_EQ(form.powers[4], "0");
    EXPECT_FALSE(f.ok(form));  // own categories need increasing bounds

    applyRecommended(form, f.holder);
    ASSERT_TRUE(f.ok(form));
    EXPECT_EQ(f.stored("Power", "Power5"), "0.082");
    EXPECT_EQ(f.stored("Power", "Power1"), "0.053");
    EXPECT_EQ(f.stored("Wind_category", "wind_cat2"), "60");
    EXPECT_EQ(f.stored("Settings", "recommend_settings"), "True");

    form.windcatno = "1";
    form.powers = {"0.07", "0", "0", "0", "0"};
    form.bounds = {"0", "0", "0", "0"};
    ASSERT_TRUE(f.ok(form));  // one category needs no bound
    EXPECT_EQ(f.holder.windcatno, 1);

    applyDefaults(form, f.holder, "/app");
    EXPECT_EQ(form.folder, "/app/Project");
    EXPECT_EQ(form.fetch, "10000");
    EXPECT_FALSE(form.fastAlgorithm);
    EXPECT_EQ(f.holder.Power5, 0.082);
    EXPECT_EQ(f.holder.indexcheck, 0);
    ASSERT_TRUE(f.ok(form));
    EXPECT_EQ(f.stored("Settings", "indexcheck"), "0");
    EXPECT_EQ(f.stored("Settings", "windcatno"), "3");
}
