#include "wave/ui/tide_dialog.h"
#include "platform/ui/dialog_buttons.h"
#include "platform/ui/number_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quor::wave::ui {

TideDialog::TideDialog(model::ModelState& state, platform::Messages& messages, QWidget* parent)
    : QDialog(parent), core_(state, messages) {
    setWindowTitle(kTideTitle);
    setModal(true);
    Label1 = new QLabel(kTidePrompt, this);
    Text1 = new QLineEdit(QString::fromStdString(core_.Form_Load()), this);
    platform::ui::fitNumberBox(*Text1);
    LabelUnit = new QLabel(kTideUnit, this);
    LabelSign = new QLabel(kTideSign, this);
    LabelSign->setWordWrap(true);
    Command1 = new QPushButton("OK", this);
    Command2 = new QPushButton("Cancel", this);
    auto* g = new QGridLayout(this);
    g->addWidget(Label1, 0, 0, 1, 3);
    g->addWidget(Text1, 1, 0, 1, 2);
    g->addWidget(LabelUnit, 1, 2);
    g->addWidget(LabelSign, 2, 0, 1, 3);
    g->addWidget(Command1, 3, 1);
    g->addWidget(Command2, 3, 2);
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

void TideDialog::Command1_Click() {
    if (core_.Command1_Click(Text1->text().toStdString())) accept();
}

}  // namespace quor::wave::ui
