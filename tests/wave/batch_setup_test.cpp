// The batch-mode switch and the batch set-up window: OK, refused OK and
// Cancel, and what each leaves in the model.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <fstream>

#include "test_support.h"
#include "wave/batch_setup.h"
#include "wave/ui/batch_dialogs.h"

namespace quor::wave {
namespace {

TEST(BatchSetup, ModeSwitchOkAndCancel) {
    model::ModelState s;
    {
        ui::BatchModeDialog d(s);
        EXPECT_FALSE(d.Check1->isChecked());
        d.Check1->setChecked(true);
        d.Command2->click();  // Cancel changes nothing
        EXPECT_EQ(s.batch_mode, 0);
    }
    {
        ui::BatchModeDialog d(s);
        d.Check1->setChecked(true);
        d.Command1->click();
        EXPECT_EQ(s.batch_mode, 1);
    }
    ui::BatchModeDialog d(s);
    EXPECT_TRUE(d.Check1->isChecked());
    d.Check1->setChecked(false);
    d.Command1->click();
    EXPECT_EQ(s.batch_mode, 0);
}

TEST(BatchSetup, SetUpOkRefusedOkAndCancel) {
    test::TempDir dir;
    model::ModelState s;
    s.app_folder = dir.path();
    test::RecordingMessages m;
    ui::BatchProcessDialog d(s, m, dir.path());
    EXPECT_EQ(d.Dir1->text().toStdString(),
              (std::filesystem::path(dir.path()) / "Project" / "Batch_Process_Wind_Data").string());
    EXPECT_FALSE(d.Frame2->isEnabled());

    // A missing folder is refused, yet batch mode is already on; Cancel turns it off.
    d.Command1_Click();
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(s.batch_mode, 1);
    ASSERT_EQ(m.entries.size(), 1u);
    EXPECT_EQ(m.entries[0].text, kMsgBatchFolder);

    // Three files, one of them a wind file: all three count.
    for (const char* name : {"a.txt", "b_Wind_RWE.txt", "c.csv"}) std::ofstream(dir.file(name)) << "x\n";
    d.Dir1->setText(QString::fromStdString(dir.path()));
    EXPECT_EQ(d.Label2->text(), "3 wind files in the folder");

    d.Check1->setChecked(true);
    EXPECT_TRUE(d.Frame2->isEnabled());
    d.Command1_Click();
    ASSERT_EQ(m.entries.size(), 2u);
    EXPECT_EQ(m.entries[1].text, kMsgBatchTide);
    d.setTideFile(dir.file("levels.txt"));
    d.Check1->setChecked(false);  // unticking forgets the file
    EXPECT_TRUE(d.core().tide_file.empty());
    EXPECT_TRUE(d.Label4->text().isEmpty());
    d.Check1->setChecked(true);
    d.setTideFile(dir.file("levels.txt"));
    d.Command1_Click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(s.batch_mode, 1);
    EXPECT_EQ(s.batch_cancel, 0);
    EXPECT_EQ(d.core().setup().folder, dir.path());
    EXPECT_EQ(d.core().setup().tide_file, dir.file("levels.txt"));

    ui::BatchProcessDialog again(s, m, dir.path());
    again.Command2->click();
    EXPECT_EQ(s.batch_mode, 0);
    EXPECT_EQ(s.batch_cancel, 1);
}

}  // namespace
}  // namespace quor::wave
