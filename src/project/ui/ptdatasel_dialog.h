#pragma once
// The run-start dialog: the point datasets of the project and the point
// shapefiles added so far, the ray-length check box, OK and Cancel.
#include <QDialog>

#include "project/ptdatasel.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace quor::project::ui {

class PtdataselDialog final : public QDialog {
public:
    PtdataselDialog(ptdatasel& core, QWidget* parent = nullptr);

    // Loads the list and shows the dialog modally; returns when it is
    // closed (after the run when OK started one).
    int showModal();

    QLabel* Label1;
    QGroupBox* Frame1;
    QComboBox* Combo1;
    QCheckBox* Check1;
    QPushButton* Command1;
    QPushButton* Command2;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

private:
    ptdatasel& core_;
};

}  // namespace quor::project::ui
