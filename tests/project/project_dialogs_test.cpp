// The New Project dialog and the file dialog's filters, offscreen.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <memory>

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

namespace {
// Types into a box as a user does (over its selected text) and presses Enter.
void typeAndEnter(QLineEdit* box, const std::string& text) {
    box->setFocus();
    box->selectAll();
    for (const QChar c : QString::fromStdString(text)) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(box, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &enter);
}
}  // namespace

namespace {
// The New Project dialog over a workbench, shown.
struct ShownNewProject {
    Workbench wb;
    ProjectContext ctx{wb.state, wb.form, wb.holder, wb.wind, wb.settings, wb.messages, wb.map, {}};
    NewProjectForm form{ctx, wb.window};
    std::unique_ptr<ui::NewProjectDialog> shown;
    ShownNewProject() {
        form.Form_Load();
        shown = std::make_unique<ui::NewProjectDialog>(form);
        shown->show();
    }
};
}  // namespace

TEST(NewProjectDialog, PathsTypedIntoTheBoxesAreUsedAndCheckedAsBrowsedOnes) {
    ShownNewProject np;
    Workbench& wb = np.wb;
    NewProjectForm& form = np.form;
    ui::NewProjectDialog& dialog = *np.shown;
    wb.messages.entries.clear();

    typeAndEnter(dialog.Text1, wb.data + "/bathy.tif");
    EXPECT_EQ(wb.form.bathycov, wb.data + "/bathy.tif");
    EXPECT_EQ(dialog.Text1->text().toStdString(), "bathy.tif");
    EXPECT_TRUE(wb.messages.entries.empty()) << "Enter in a box takes its path, not OK: " << wb.messageTexts().front();
    typeAndEnter(dialog.Text1, wb.data + "/nothing.tif");
    EXPECT_EQ(wb.messageTexts().back(), kErrorSelectingBathymetry);
    EXPECT_EQ(wb.form.bathycov, wb.data + "/bathy.tif") << "a refused path changes nothing";
    EXPECT_EQ(dialog.Text1->text().toStdString(), "bathy.tif");

    typeAndEnter(dialog.Text2, wb.data + "/shore/coast.shp");
    EXPECT_EQ(wb.form.shorecov, wb.data + "/shore");
    EXPECT_EQ(wb.form.shorename, "coast.shp");
    EXPECT_FALSE(dialog.Option2->isEnabled());

    typeAndEnter(dialog.Text3, wb.data + "/gone.Wind_RWE");
    EXPECT_EQ(wb.messageTexts().back(), kNoSuchWindFile + wb.data + "/gone.Wind_RWE");
    EXPECT_TRUE(wb.state.wind_path.empty());
    typeAndEnter(dialog.Text3, wb.data + "/north.Wind_RWE");
    EXPECT_EQ(wb.state.wind_path, wb.data + "/north.Wind_RWE");

    wb.messages.entries.clear();
    dialog.newpro_ok->click();
    EXPECT_TRUE(wb.messages.entries.empty()) << wb.messageTexts().front();
    EXPECT_TRUE(form.closed);
}

// A message box takes the focus from the box the path was typed into; the
// path is checked once all the same, and each message shows once.
TEST(NewProjectDialog, ATypedPathThatIsRefusedIsToldOnce) {
    ShownNewProject np;
    Workbench& wb = np.wb;
    ui::NewProjectDialog& dialog = *np.shown;
    QApplication::setActiveWindow(&dialog);
    wb.messages.onMessage = [&](const std::string&) { dialog.newpro_cancel->setFocus(); };
    const std::string notWind = wb.data + "/notes.txt";
    platform::writeTextLines(notWind, {"not wind"});

    struct Case {
        QLineEdit* box;
        std::string typed;
    };
    for (const Case& c : {Case{dialog.Text1, wb.data + "/nothing.tif"}, Case{dialog.Text3, notWind}}) {
        SCOPED_TRACE(c.typed);
        wb.messages.entries.clear();
        typeAndEnter(c.box, c.typed);
        QCoreApplication::processEvents();
        std::vector<std::string> told = wb.messageTexts();
        ASSERT_FALSE(told.empty());
        std::sort(told.begin(), told.end());
        EXPECT_EQ(std::adjacent_find(told.begin(), told.end()), told.end()) << ::testing::PrintToString(told);
    }
}
