// The bottom-velocity window: what OK, a refused OK and Cancel leave in
// the model, the defaults, and the status-bar text.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "test_support.h"
#include "wave/bottom_velocity_form.h"
#include "wave/ui/bottom_velocity_dialog.h"

namespace quor::wave {
namespace {

struct Window {
    model::ModelState s;
    test::RecordingMessages m;
    std::string status;
    Window() {
        s.sea_temp = 20;
        s.sea_salinity = 34.84f;
        s.velocity_method = 1;
    }
    std::unique_ptr<ui::BottomVelocityDialog> open() {
        return std::make_unique<ui::BottomVelocityDialog>(s, m, [this](const std::string& t) { status = t; });
    }
};

TEST(BottomVelocityDialog, OkStoresDefaultsAndTheMethod) {
    Window w;
    auto d = w.open();
    EXPECT_FALSE(d->Check1->isChecked());
    EXPECT_FALSE(d->Check2->isEnabled());
    EXPECT_TRUE(d->Frame3->isHidden());
    d->Check1->click();
    d->Check2->click();
    EXPECT_FALSE(d->Frame3->isHidden());
    d->Check3->click();  // linear wave theory
    EXPECT_FALSE(d->Check4->isChecked());
    d->TextDensity->setText("-5");
    d->TextDiameter->setText("0.0005");
    d->Command1->click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(w.s.orbvel_on, 1);
    EXPECT_EQ(w.s.sediment_on, 1);
    EXPECT_EQ(w.s.velocity_method, 0);
    EXPECT_FLOAT_EQ(w.s.sed_density, 2650);
    EXPECT_FLOAT_EQ(w.s.sed_diameter, 0.0005f);
    EXPECT_EQ(w.m.texts(), std::vector<std::string>{kDensityDefaultMessage});
    EXPECT_EQ(w.status, "Velocity Mode: LWT");

    // Reopened: LWT is shown, the entries have their default texts again.
    d = w.open();
    EXPECT_TRUE(d->Check3->isChecked());
    EXPECT_TRUE(d->Check2->isChecked());
    EXPECT_EQ(d->TextDensity->text().toStdString(), "2650");
    // Sediment off: the sediment values stay; bottom velocity off leaves sediment_on.
    d->Check2->click();
    d->Command1->click();
    EXPECT_EQ(w.s.sediment_on, 0);
    EXPECT_FLOAT_EQ(w.s.sed_diameter, 0.0005f);
    w.s.sediment_on = 1;
    d = w.open();
    d->Check1->click();
    d->Command1->click();
    EXPECT_EQ(w.s.orbvel_on, 0);
    EXPECT_EQ(w.s.sediment_on, 1);
}

TEST(BottomVelocityDialog, RefusedEntriesChangeNothingAndKeepTheWindowOpen) {
    Window w;
    w.s.orbvel_on = 1;
    auto d = w.open();
    d->Check2->click();
    d->Check3->click();
    d->TextDensity->setText("1000");  // lighter than sea water: the formulas would take a root of a negative
    d->Command1->click();
    EXPECT_NE(d->result(), QDialog::Accepted);
    d->TextDensity->setText("2650");
    d->TextDiameter->setText("fine sand");
    d->Command1->click();
    EXPECT_NE(d->result(), QDialog::Accepted);
    ASSERT_EQ(w.m.entries.size(), 2u);
    EXPECT_NE(w.m.entries[0].text.find("density of the sea water"), std::string::npos);
    EXPECT_EQ(w.m.entries[1].text, kDiameterNotANumber);
    // Nothing of the refused entries, not even the method, reached the model.
    EXPECT_EQ(w.s.sediment_on, 0);
    EXPECT_EQ(w.s.velocity_method, 1);
    EXPECT_EQ(w.s.sed_density, 0);
    EXPECT_EQ(w.status, "");
    d->reject();  // Cancel
    EXPECT_EQ(w.s.orbvel_on, 1);
}

}  // namespace
}  // namespace quor::wave
