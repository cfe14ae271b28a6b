#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <filesystem>
#include <map>

#include "rei/ui/fm_property.h"
#include "test_support.h"

using namespace quor;

namespace {

class MapStore final : public platform::SettingsStore {
public:
    std::string read(const std::string&, const std::string& s, const std::string& k) const override {
        auto it = v.find(s + "/" + k);
        return it == v.end() ? std::string() : it->second;
    }
    void write(const std::string&, const std::string& s, const std::string& k, const std::string& x) override {
        v[s + "/" + k] = x;
    }
    bool contains(const std::string&, const std::string& s, const std::string& k) const override {
        return v.count(s + "/" + k) > 0;
    }
    std::map<std::string, std::string> v = {
        {"Settings/Fetch", "10000"},      {"Settings/default", "/p"},       {"Settings/name", "Quor_proj"},
        {"Settings/Bathy_dist", "100"},   {"Settings/windcatno", "4"},      {"Settings/indexcheck", "1"},
        {"Wind_category/wind_cat1", "30"}, {"Wind_category/wind_cat2", "60"}, {"Wind_category/wind_cat3", "0"},
        {"Wind_category/wind_cat4", "0"}, {"Power/Power1", "0.053"},        {"Power/Power2", "0.062"},
        {"Power/Power3", "0"},            {"Power/Power4", "0"},            {"Power/Power5", "0.082"}};
};

}  // namespace

TEST(FmPropertyDialog, ShowsTheStoredStateAndLaysOutTheCategories) {
    MapStore store;
    model::SettingsHolder holder;
    model::MainFormState mainform;
    test::RecordingMessages messages;
    rei::ui::FmProperty dlg({store, holder, mainform, messages, "/app"});
    EXPECT_EQ(dlg.windowTitle(), "  Settings");
    EXPECT_TRUE(dlg.Check2->isChecked());  // stored fast algorithm
    EXPECT_FALSE(dlg.Check3->isChecked());
    EXPECT_TRUE(dlg.Option1->isChecked());
    EXPECT_EQ(dlg.Text4->text(), "10000");

    // "No" with four stored categories: rows 0 to 2 and the top row, all "0".
    dlg.Option2->setChecked(true);
    dlg.Option2_Click();
    EXPECT_EQ(dlg.Combo1->currentText(), "4");
    EXPECT_FALSE(dlg.Text2[2]->isHidden());
    EXPECT_TRUE(dlg.Text2[3]->isHidden());
    EXPECT_FALSE(dlg.Text5[4]->isHidden());
    EXPECT_EQ(dlg.Text5[0]->text(), "0");
    dlg.Text2[0]->setText("20");
    dlg.Text2[1]->setText("40");
    dlg.Text2[2]->setText("55");
    EXPECT_EQ(dlg.Text1[1]->text(), "20");
    EXPECT_EQ(dlg.Text1[4]->text(), "55");  // the top row starts at the last bound in use

    dlg.Combo1->setCurrentText("1");
    dlg.Combo1_Click();
    EXPECT_EQ(dlg.Label9[0]->text(), "All wind data");
    EXPECT_TRUE(dlg.Text5[4]->isHidden());
    EXPECT_EQ(dlg.Text1[4]->text(), "0");

    // "Yes" restores the recommended table, with 0.082 at the top.
    dlg.Option1->setChecked(true);
    dlg.Option1_Click();
    EXPECT_EQ(dlg.Text5[4]->text(), "0.082");
    EXPECT_EQ(dlg.Text2[1]->text(), "60");
    EXPECT_TRUE(dlg.Frame3->isHidden());

    // Unticking the fast algorithm turns the background run off with it.
    dlg.Check3->setChecked(true);
    dlg.Check2->setChecked(false);
    dlg.Check2_Click();
    EXPECT_FALSE(dlg.Check3->isChecked());
    EXPECT_FALSE(dlg.Check3->isEnabled());

    dlg.Command1_Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(store.v["Settings/indexcheck"], "0");
    EXPECT_EQ(store.v["Power/Power5"], "0.082");
    EXPECT_EQ(holder.indexcheck, 0);
    EXPECT_TRUE(messages.entries.empty());
}

TEST(FmPropertyDialog, DefaultsFillAndLockTheGeneralTabAndCancelKeepsTheStore) {
    MapStore store;
    store.v["Settings/windcatno"] = "3";
    model::SettingsHolder holder;
    model::MainFormState mainform;
    test::RecordingMessages messages;
    test::TempDir app;
    rei::ui::FmProperty dlg({store, holder, mainform, messages, app.path()});
    dlg.Text4->setText("99");
    dlg.Command1_Click();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Please select fetch between range of 100 mts and 100000 mts"});
    EXPECT_NE(dlg.result(), QDialog::Accepted);

    // Defaults need the data folder's "Project" folder.
    messages.entries.clear();
    dlg.Check1->setChecked(true);
    dlg.Check1_Click();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Path not found"});
    EXPECT_FALSE(dlg.Check1->isChecked());
    EXPECT_EQ(dlg.Text4->text(), "99");

    std::filesystem::create_directories(app.file("Project"));
    dlg.Check1->setChecked(true);
    dlg.Check1_Click();
    EXPECT_EQ(dlg.Text4->text(), "10000");
    EXPECT_EQ(dlg.Dir1->text(), QString::fromStdString(app.file("Project")));
    EXPECT_FALSE(dlg.Text4->isEnabled());
    EXPECT_FALSE(dlg.Check2->isChecked());

    mainform.Fetch = 1;
    dlg.reject();
    EXPECT_EQ(mainform.Fetch, 10000);  // read back from the store
    EXPECT_EQ(store.v["Settings/indexcheck"], "1");
    EXPECT_EQ(holder.indexcheck, 1);
}
