// The water-level window: what OK, a refused OK and Cancel leave in the
// model, and the depth a single run then uses.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "test_support.h"
#include "wave/tide_form.h"
#include "wave/ui/tide_dialog.h"
#include "wave/wave_main.h"

namespace quor::wave {
namespace {

TEST(TideForm, OkRefusedOkAndCancel) {
    model::ModelState s;
    test::RecordingMessages m;
    {
        ui::TideDialog dlg(s, m);
        EXPECT_EQ(dlg.Text1->text().toStdString(), "0");
        dlg.Text1->setText("0.5");
        dlg.Command1_Click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_FLOAT_EQ(s.water_level, 0.5f);
    }
    // A single run over -3.25 then works with 3.75 m of water.
    EXPECT_DOUBLE_EQ(siteDepth(-3.25, 0, -s.water_level, 1), 3.75);
    EXPECT_DOUBLE_EQ(siteDepth(-325, 0, -s.water_level, 100), 3.75);
    {
        ui::TideDialog dlg(s, m);
        dlg.Text1->setText("half a metre");
        dlg.Command1_Click();  // refused: the dialog stays, the level stays
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        EXPECT_FLOAT_EQ(s.water_level, 0.5f);
        ASSERT_EQ(m.entries.size(), 1u);
        EXPECT_EQ(m.entries[0].text, kTideNotANumber);
        dlg.Text1->setText("-1.2");
        dlg.reject();  // Cancel
        EXPECT_FLOAT_EQ(s.water_level, 0.5f);
    }
    Tide_frm core(s, m);
    EXPECT_TRUE(core.Command1_Click("-1.2"));
    EXPECT_EQ(core.Form_Load(), "-1.2");
    EXPECT_TRUE(core.Command1_Click("  "));
    EXPECT_EQ(s.water_level, 0);
}

}  // namespace
}  // namespace quor::wave
