#include "project/ui/ptdatasel_dialog.h"
#include "platform/ui/dialog_buttons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quor::project::ui {

PtdataselDialog::PtdataselDialog(ptdatasel& core, QWidget* parent) : QDialog(parent), core_(core) {
    setModal(true);
    Label1 = new QLabel(QString::fromStdString(kPtdataselLabel), this);
    Frame1 = new QGroupBox(QString::fromStdString(kPtdataselFrame), this);
    Combo1 = new QComboBox(Frame1);
    Combo1->setEditable(false);
    Combo1->setMinimumWidth(360);
    Check1 = new QCheckBox(QString::fromStdString(kPtdataselCheck), Frame1);
    Check1->setStyleSheet("QCheckBox { white-space: normal; }");
    auto* inner = new QVBoxLayout(Frame1);
    inner->addWidget(Combo1);
    inner->addWidget(Check1);
    Command1 = new QPushButton("OK", this);
    Command2 = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Label1);
    outer->addWidget(Frame1);
    outer->addLayout(buttons);
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

void PtdataselDialog::Form_Load() {
    core_.Form_Load();
    setWindowTitle(QString::fromStdString(core_.title()));
    Check1->setVisible(core_.checkVisible());
    Check1->setEnabled(core_.checkVisible());
    Check1->setChecked(false);
    Combo1->clear();
    for (const auto& item : core_.items()) Combo1->addItem(QString::fromStdString(item));
    if (parentWidget()) {
        const QRect p = parentWidget()->geometry();
        adjustSize();
        move(p.center() - rect().center());
    }
}

int PtdataselDialog::showModal() {
    Form_Load();
    return exec();
}

void PtdataselDialog::Command1_Click() {
    core_.Command1_Click(Combo1->currentText().toStdString(), Check1->isChecked(), [this] { accept(); });
}

void PtdataselDialog::Command2_Click() {
    reject();
    core_.Command2_Click();
}

}  // namespace quor::project::ui
