// The RWE settings window: what OK, a refused OK and Cancel leave in the
// model and in the store, "Set default settings" and the fast-algorithm
// and background switches.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include <filesystem>

#include "platform/settings_store.h"
#include "test_support.h"
#include "wave/rwe_settings.h"
#include "wave/ui/rwe_settings_dialog.h"

namespace quor::wave {
namespace {

struct RweSettingsFixture : ::testing::Test {
    test::TempDir dir;
    platform::IniSettingsStore store{dir.path()};
    model::ModelState s;
    model::MainFormState mf;
    model::SettingsHolder holder;
    test::RecordingMessages m;
    std::vector<std::pair<int, std::string>> panels;

    std::string get(const char* section, const char* key) { return store.read(kRweSettingsApp, section, key); }
    std::unique_ptr<ui::RweSettingsDialog> open() {
        return std::make_unique<ui::RweSettingsDialog>(
            s, mf, holder, store, m, [this](int p, const std::string& t) { panels.emplace_back(p, t); });
    }
    // A dialog filled with "Set default settings" and then unlocked again.
    std::unique_ptr<ui::RweSettingsDialog> openWithDefaults() {
        auto d = open();
        d->Check1->setChecked(true);
        return d;
    }
};

TEST_F(RweSettingsFixture, DefaultsOkWritesEveryKeyAndSetsTheModel) {
    s.app_folder = dir.path();
    mf.dist_bathy = 25;
    auto d = openWithDefaults();
    EXPECT_EQ(d->SSTab1->currentIndex(), 0);
    EXPECT_EQ(d->Text4[6]->text(), "0.14");  // not the 0.17 of start-up
    EXPECT_FALSE(d->Text4[0]->isEnabled());
    EXPECT_TRUE(d->Text1[0]->isEnabled());
    EXPECT_TRUE(d->Option3[1]->isChecked());
    EXPECT_FALSE(d->Option3[3]->isEnabled());
    d->Text1[0]->setText("25.5");
    d->Command1_Click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_TRUE(m.entries.empty());

    EXPECT_EQ(mf.Fetch, 10000);
    EXPECT_EQ(mf.proj_name, "Quor_proj");
    EXPECT_EQ(mf.dir_path, (std::filesystem::path(dir.path()) / "Project").string());
    EXPECT_EQ(s.Fetch_first, 1000);
    EXPECT_EQ(s.Depth_intg_first, 100);
    EXPECT_EQ(s.A_goda, 0.14);
    EXPECT_EQ(s.Eps, 1000);  // the N of "1 in N"; the run takes its reciprocal
    EXPECT_EQ(s.goda_slope, 1.909);
    EXPECT_FLOAT_EQ(s.sea_temp, 25.5f);
    EXPECT_FLOAT_EQ(s.sea_salinity, 34.84f);
    EXPECT_EQ(holder.optionindex, 1);
    EXPECT_EQ(s.wv_indexcheck, 0);
    EXPECT_EQ(holder.refreshmap1, 0);

    EXPECT_EQ(get("Settings", "Fetch"), "10000");
    EXPECT_EQ(get("Settings", "Bathy_dist"), "25");
    EXPECT_EQ(get("Settings", "option_index"), "1");
    EXPECT_EQ(get("Settings", "wv_indexcheck"), "0");
    EXPECT_EQ(get("Parameter", "A_goda"), "0.14");
    EXPECT_EQ(get("Parameter", "Eps"), "1000");
    EXPECT_EQ(get("Parameter", "alpha"), "1.909");
    EXPECT_EQ(get("Parameter", "Sea_temp"), "25.5");
    EXPECT_EQ(get("Parameter", "sea_salinity"), "34.84");
    ASSERT_FALSE(panels.empty());
    EXPECT_EQ(panels.back(), std::make_pair(3, std::string()));

    // The next opening shows what was stored.
    auto again = open();
    EXPECT_EQ(again->Text1[0]->text(), "25.5");
    EXPECT_EQ(again->Text4[0]->text(), "10000");
    EXPECT_FALSE(again->Check1->isChecked());
    EXPECT_TRUE(again->Text4[0]->isEnabled());
}

TEST_F(RweSettingsFixture, RefusedOkChangesNothingAndKeepsTheDialogOpen) {
    s.app_folder = dir.path();
    openWithDefaults()->Command1_Click();
    const auto before = store.read(kRweSettingsApp, "Parameter", "Fetch_first");
    m.entries.clear();

    struct Case {
        int box;  // Text4 index, or -1 for the name box, -2 for temperature, -3 for salinity
        const char* text;
        std::string message;
    };
    const Case cases[] = {
        {-1, "", kMsgNoName},
        {0, "", kMsgFillIn},
        {0, "99.99", kMsgFetchRange},
        {0, "100000.01", kMsgFetchRange},
        {1, "10001", kMsgSegments},
        {1, "0", kMsgSegments},
        {6, "0", kMsgGoda},
        {7, "-5", kMsgEps},
        {7, "0", kMsgEps},
        {8, "90", kMsgSlope},
        {8, "0", kMsgSlope},
        {4, "abc", kMsgFillIn},
        {-2, "warm", kMsgFillIn},
        {4, "0.5", kMsgSegmentDistance},
        {-2, "-10", kMsgSeaTemperature},
        {-2, "60", kMsgSeaTemperature},
        {-3, "-1", kMsgSeaSalinity},
        {-3, "1e30", kMsgSeaSalinity},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto d = open();
        d->Text4[1]->setText("2000");  // would be applied by a partial OK
        d->Text4[6]->setText("0.2");
        QLineEdit* box = c.box == -1   ? d->Text3
                         : c.box == -2 ? d->Text1[0]
                         : c.box == -3 ? d->Text1[1]
                                       : d->Text4[c.box];
        box->setText(c.text);
        d->Check4->setChecked(true);
        d->Command1_Click();
        EXPECT_NE(d->result(), QDialog::Accepted);
        EXPECT_TRUE(d->isEnabled());
        ASSERT_EQ(m.entries.size(), 1u);
        EXPECT_EQ(m.entries[0].text, c.message);
        m.entries.clear();
        EXPECT_EQ(s.Fetch_first, 1000);
        EXPECT_EQ(s.A_goda, 0.14);
        EXPECT_EQ(s.debug_mode, 0);
        EXPECT_EQ(mf.proj_name, "Quor_proj");
        d->reject();
    }
    EXPECT_EQ(store.read(kRweSettingsApp, "Parameter", "Fetch_first"), before);

    // The limits themselves are accepted: a fetch of 100, a segment equal to it.
    auto d = open();
    d->Text4[0]->setText("100");
    d->Text4[1]->setText("100");
    d->Text3->setText(" ");
    d->Command1_Click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(mf.Fetch, 100);
    EXPECT_EQ(mf.proj_name, " ");
}

TEST_F(RweSettingsFixture, CancelRestoresTheStoredRayOptionAndFastFlag) {
    store.write(kRweSettingsApp, "Settings", "Fetch", "20000");
    store.write(kRweSettingsApp, "Settings", "default", "/nowhere/at/all");
    store.write(kRweSettingsApp, "Settings", "name", "bay");
    store.write(kRweSettingsApp, "Settings", "Bathy_dist", "30");
    store.write(kRweSettingsApp, "Settings", "option_index", "3");
    store.write(kRweSettingsApp, "Settings", "wv_indexcheck", "1");
    auto d = open();
    EXPECT_TRUE(d->Option3[3]->isChecked());
    EXPECT_TRUE(d->Check2->isChecked());
    EXPECT_TRUE(d->Check3->isEnabled());
    EXPECT_EQ(d->Dir1->text(), "/");  // a stored folder that is gone
    d->Check1->setChecked(true);
    EXPECT_FALSE(d->Check2->isChecked());
    EXPECT_TRUE(d->Option3[1]->isChecked());
    // Unticking keeps fetch and name but resets the five parameters.
    d->Text1[1]->setText("30");
    d->Check1->setChecked(false);
    EXPECT_EQ(d->Text4[0]->text(), "10000");
    EXPECT_EQ(d->Text3->text(), "Quor_proj");
    EXPECT_EQ(d->Text4[8]->text(), "1.909");
    d->reject();
    EXPECT_EQ(holder.optionindex, 3);
    EXPECT_EQ(s.wv_indexcheck, 1);
    EXPECT_EQ(holder.refreshmap1, 0);
    EXPECT_EQ(mf.Fetch, 20000);
    EXPECT_EQ(mf.dist_bathy, 30);
    EXPECT_EQ(mf.proj_name, "bay");
    EXPECT_EQ(get("Settings", "name"), "bay");
}

TEST_F(RweSettingsFixture, BackgroundTickOutlivesUntickingTheFastAlgorithm) {
    s.app_folder = dir.path();
    auto d = openWithDefaults();
    d->Check1->setChecked(false);
    EXPECT_FALSE(d->Check3->isEnabled());
    d->Check2->click();
    EXPECT_TRUE(d->Check3->isEnabled());
    d->Check3->setChecked(true);
    d->Check2->click();
    EXPECT_FALSE(d->Check3->isEnabled());
    EXPECT_TRUE(d->Check3->isChecked());
    d->Command1_Click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(holder.refreshmap1, 1);
    EXPECT_EQ(s.wv_indexcheck, 0);

    // With no ray option stored the window opens on 32 rays.
    test::TempDir other;
    platform::IniSettingsStore empty{other.path()};
    wv_property core(s, mf, holder, empty, m);
    holder.optionindex = 4;
    core.Form_Load();
    EXPECT_EQ(core.form.rayOption, 1);
    EXPECT_EQ(holder.optionindex, 1);
    EXPECT_EQ(core.form.seaTemp, "20");
    EXPECT_FALSE(core.form.fastAlgorithm);
}

// The background box used to open unticked while runs stayed in the
// background, and OK then switched them back without a word.
TEST_F(RweSettingsFixture, BackgroundBoxShowsTheSettingInForceWhenOpenedAgain) {
    s.app_folder = dir.path();
    auto first = openWithDefaults();
    first->Check1->setChecked(false);
    first->Check2->click();
    first->Check3->setChecked(true);
    first->Command1_Click();
    ASSERT_EQ(first->result(), QDialog::Accepted);
    ASSERT_EQ(holder.refreshmap1, 1);

    auto again = open();
    EXPECT_TRUE(again->Check3->isChecked());
    EXPECT_TRUE(again->Check3->isEnabled());
    again->Command1_Click();
    ASSERT_EQ(again->result(), QDialog::Accepted);
    EXPECT_EQ(holder.refreshmap1, 1);
}

}  // namespace
}  // namespace quor::wave
