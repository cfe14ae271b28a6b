// The New Project dialog and the file dialog's filters, offscreen.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "project/ui/file_chooser_dialog.h"
#include "project/ui/new_project_dialog.h"
#include "project_fixture.h"

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;

TEST(FileDialogFilter, PairsBecomeQtFilters) {
    EXPECT_EQ(ui::qtFilter(openProjectFilter(model::RWE_MODE)).toStdString(), "Quor Project (*.tesk_RWE)");
    EXPECT_EQ(ui::qtFilter(windFileFilter(model::RWE_MODE)).toStdString(), "RWE Wind files (*.Wind_RWE)");
    EXPECT_EQ(ui::qtFilter(windFileFilter(model::REI_MODE)).toStdString(), "REI Wind files (*.Wind_REI *.txt)");
    EXPECT_EQ(ui::qtFilter("A(*.a)|*.a|B|*.b").toStdString(), "A (*.a);;B (*.b)");
}

TEST(NewProjectDialog, ShowsTheFormAndForwardsItsButtons) {
    Workbench wb;
    ProjectContext ctx{wb.state, wb.form, wb.holder, wb.wind, wb.settings, wb.messages, wb.map, {}};
    NewProjectForm form(ctx, wb.window);
    form.Form_Load();
    ui::NewProjectDialog dialog(form);
    EXPECT_EQ(dialog.windowTitle().toStdString(), " New Project");
    EXPECT_FALSE(dialog.Option_manual->isVisibleTo(&dialog));  // RWE: wind from a file only
    EXPECT_TRUE(dialog.Option1->isChecked());
    // The units are a fixed choice of three, never typed.
    EXPECT_FALSE(dialog.Combo1->isEditable());
    ASSERT_EQ(dialog.Combo1->count(), 3);
    EXPECT_EQ(dialog.Combo1->itemText(0).toStdString() + dialog.Combo1->itemText(1).toStdString() +
                  dialog.Combo1->itemText(2).toStdString(),
              "MeterFeetCentimeter");
    dialog.Combo1->setCurrentIndex(2);
    EXPECT_EQ(form.Combo1, "Centimeter");

    // Browse fills the box and fixes the shoreline kind.
    wb.window.datasets.pick(wb.data + "/bathy.tif");
    dialog.Command1->click();
    EXPECT_EQ(dialog.Text1->text().toStdString(), "bathy.tif");
    wb.window.datasets.pick(wb.data + "/shore/coast.shp");
    dialog.Command2->click();
    EXPECT_EQ(dialog.Text2->text().toStdString(), wb.data + "/shore/coast.shp");
    EXPECT_FALSE(dialog.Option2->isEnabled());

    // OK without wind keeps the dialog open; batch disables the wind frame and lets it close.
    dialog.newpro_ok->click();
    EXPECT_EQ(wb.messageTexts().back(), kNoWindSelected);
    EXPECT_FALSE(form.closed);
    dialog.Check2->click();
    EXPECT_FALSE(dialog.Frame2->isEnabled());
    dialog.newpro_ok->click();
    EXPECT_TRUE(form.closed);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(wb.state.batch_mode, 1);
    EXPECT_FALSE(wb.state.dlg_cancel);

    // The close box cancels.
    NewProjectForm again(ctx, wb.window);
    again.Form_Load();
    EXPECT_EQ(again.Text1, "bathy.tif");  // the lent bathymetry is shown
    ui::NewProjectDialog closing(again);
    closing.reject();
    EXPECT_TRUE(wb.state.dlg_cancel);
    EXPECT_EQ(wb.state.wind_path, "");
}

TEST(NewProjectDialog, FastAlgorithmLocksTheShoreline) {
    Workbench wb;
    wb.holder.indexcheck = 1;
    wb.state.model_mode = model::REI_MODE;
    ProjectContext ctx{wb.state, wb.form, wb.holder, wb.wind, wb.settings, wb.messages, wb.map, {}};
    NewProjectForm form(ctx, wb.window);
    form.Form_Load();
    ui::NewProjectDialog dialog(form);
    EXPECT_FALSE(dialog.Frame4->isEnabled());
    EXPECT_FALSE(dialog.Command2->isEnabled());
    EXPECT_TRUE(dialog.Option_manual->isVisibleTo(&dialog));
}
