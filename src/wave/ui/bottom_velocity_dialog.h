#pragma once
// The bottom-velocity window: switch, method pair, sediment test and its
// two entries.
#include <QDialog>

#include <functional>
#include <string>

#include "wave/bottom_velocity_form.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace quor::wave::ui {

class BottomVelocityDialog final : public QDialog {
public:
    BottomVelocityDialog(model::ModelState& state, platform::Messages& messages,
                         std::function<void(const std::string&)> statusPanel, QWidget* parent = nullptr);

    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4;
    QCheckBox *Check1, *Check2, *Check3, *Check4;
    QLineEdit* TextDensity;
    QLineEdit* TextDiameter;
    QPushButton *Command1, *Command2;

    void Check1_Click();
    void Check2_Click();
    void Command1_Click();

private:
    Orbital_velocity_frm core_;
    std::function<void(const std::string&)> statusPanel_;
};

}  // namespace quor::wave::ui
