#include "wave/ui/bottom_velocity_dialog.h"
#include "platform/ui/dialog_buttons.h"
#include "platform/ui/number_box.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quor::wave::ui {

BottomVelocityDialog::BottomVelocityDialog(model::ModelState& state, platform::Messages& messages,
                                           std::function<void(const std::string&)> statusPanel, QWidget* parent)
    : QDialog(parent), core_(state, messages), statusPanel_(std::move(statusPanel)) {
    setWindowTitle("Bottom Velocity");
    setModal(true);
    Frame1 = new QGroupBox("Bottom Orbital Velocity", this);
    Check1 = new QCheckBox("Check for bottom velocity calculations", Frame1);
    (new QVBoxLayout(Frame1))->addWidget(Check1);
    Frame4 = new QGroupBox("Select Method for Calculating Bottom Orbital Velocity", this);
    Check4 = new QCheckBox("Estimated Spectral Analysis (ESA  better results)", Frame4);
    Check3 = new QCheckBox("Linear Wave Theory (LWT)", Frame4);
    auto* l4 = new QVBoxLayout(Frame4);
    l4->addWidget(Check4);
    l4->addWidget(Check3);
    Frame2 = new QGroupBox("Sediment Movement", this);
    Check2 = new QCheckBox("Check to calculate sediment movement", Frame2);
    (new QVBoxLayout(Frame2))->addWidget(Check2);
    Frame3 = new QGroupBox("Enter Sediment Characterisitics", this);
    TextDensity = new QLineEdit("2650", Frame3);
    TextDiameter = new QLineEdit("0.0002", Frame3);
    platform::ui::fitNumberBox(*TextDensity);
    platform::ui::fitNumberBox(*TextDiameter);
    auto* l3 = new QFormLayout(Frame3);
    l3->addRow("Sediment Density (Kg/m3)     (Default 2650 Kg/m3 for Quartz)", TextDensity);
    l3->addRow("Sediment Diameter (m)           (Default: 0.2 mm for medium sand)", TextDiameter);
    Command1 = new QPushButton("OK", this);
    Command2 = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* outer = new QVBoxLayout(this);
    for (QWidget* w : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame4), static_cast<QWidget*>(Frame2),
                       static_cast<QWidget*>(Frame3)})
        outer->addWidget(w);
    outer->addLayout(buttons);

    // Form_Load
    const BottomVelocityChoice c = core_.Form_Load();
    Check1->setChecked(c.velocity);
    Check2->setChecked(c.sediment);
    Check4->setChecked(c.spectral);
    Check3->setChecked(!c.spectral);
    Check1_Click();

    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::clicked, this, [this] { Check2_Click(); });
    // The method boxes are a pair of which exactly one is ticked.
    connect(Check3, &QCheckBox::clicked, this, [this] { Check4->setChecked(!Check3->isChecked()); });
    connect(Check4, &QCheckBox::clicked, this, [this] { Check3->setChecked(!Check4->isChecked()); });
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

void BottomVelocityDialog::Check1_Click() {
    const bool on = Check1->isChecked();
    if (!on) Check2->setChecked(false);
    Check2->setEnabled(on);
    Frame2->setEnabled(on);
    Frame4->setEnabled(on);
    Frame4->setVisible(on);
    Check2_Click();
}

void BottomVelocityDialog::Check2_Click() {
    const bool on = Check2->isChecked() && Check1->isChecked();
    Frame3->setVisible(on);
    Frame3->setEnabled(on);
}

void BottomVelocityDialog::Command1_Click() {
    BottomVelocityChoice c;
    c.velocity = Check1->isChecked();
    c.sediment = Check2->isChecked();
    c.spectral = Check4->isChecked() || !Check3->isChecked();
    c.density = TextDensity->text().toStdString();
    c.diameter = TextDiameter->text().toStdString();
    std::string status;
    if (!core_.Command1_Click(c, status)) return;
    if (statusPanel_) statusPanel_(status);
    accept();
}

}  // namespace quor::wave::ui
