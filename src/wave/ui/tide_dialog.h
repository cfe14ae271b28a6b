#pragma once
// The water-level window of single RWE runs.
#include <QDialog>

#include "wave/tide_form.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quor::wave::ui {

class TideDialog final : public QDialog {
public:
    TideDialog(model::ModelState& state, platform::Messages& messages, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* LabelUnit;
    QLabel* LabelSign;
    QPushButton* Command1;
    QPushButton* Command2;

    void Command1_Click();

private:
    Tide_frm core_;
};

}  // namespace quor::wave::ui
