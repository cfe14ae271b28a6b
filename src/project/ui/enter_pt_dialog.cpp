#include "project/ui/enter_pt_dialog.h"
#include "platform/ui/number_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quor::project::ui {

namespace {
QStringList toList(const std::vector<std::string>& items) {
    QStringList l;
    for (const auto& s : items) l << QString::fromStdString(s);
    return l;
}
}  // namespace

EnterPointDialog::EnterPointDialog(EnterPointWizard& wizard, QWidget* parent) : QDialog(parent), wizard_(wizard) {
    setWindowTitle("  Enter point data");
    setModal(true);
    auto* grid = new QGridLayout(this);
    Label1 = new QLabel("How many points you want to enter?", this);
    Text1 = new QLineEdit(this);
    Label2 = new QLabel("Select the coordinate system of the point coordinates ", this);
    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    Combo1->addItems(toList(EnterPointWizard::systems()));
    Combo2 = new QComboBox(this);
    platform::ui::takeTypedNumbers(*Combo2);
    Combo2->addItems(toList(EnterPointWizard::zones()));
    Label5 = new QLabel("Select the datum for point coordinates", this);
    Combo3 = new QComboBox(this);
    Combo3->addItems(toList(EnterPointWizard::datums()));
    Label4 = new QLabel(this);
    Label3_0 = new QLabel(this);
    Text2 = new QLineEdit(this);
    Label3_1 = new QLabel(this);
    Text3 = new QLineEdit(this);
    Command1 = new QPushButton(this);
    Command2 = new QPushButton(this);
    for (QLineEdit* box : {Text1, Text2, Text3}) platform::ui::fitNumberBox(*box);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Text1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Combo1, 1, 1);
    grid->addWidget(Combo2, 1, 2);
    grid->addWidget(Label5, 2, 0);
    grid->addWidget(Combo3, 2, 1);
    grid->addWidget(Label4, 3, 0, 1, 3);
    grid->addWidget(Label3_0, 4, 0);
    grid->addWidget(Text2, 4, 1);
    grid->addWidget(Label3_1, 5, 0);
    grid->addWidget(Text3, 5, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    grid->addLayout(buttons, 6, 0, 1, 3);

    connect(Combo1, &QComboBox::currentTextChanged, this, [this] {
        if (refreshing_) return;
        pull();
        wizard_.Combo1_Change();
        refresh();
    });
    connect(Command1, &QPushButton::clicked, this, [this] {
        pull();
        wizard_.Command1_Click();
        refresh();
        if (wizard_.closed) accept();
    });
    connect(Command2, &QPushButton::clicked, this, [this] {
        pull();
        wizard_.Command2_Click();
        refresh();
    });
    refresh();
}

void EnterPointDialog::pull() {
    wizard_.Text1 = Text1->text().toStdString();
    wizard_.Combo1 = Combo1->currentText().toStdString();
    wizard_.Combo2 = Combo2->currentText().toStdString();
    wizard_.Combo3 = Combo3->currentIndex() < 0 ? std::string() : Combo3->currentText().toStdString();
    wizard_.Text2 = Text2->text().toStdString();
    wizard_.Text3 = Text3->text().toStdString();
}

void EnterPointDialog::refresh() {
    refreshing_ = true;
    Text1->setText(QString::fromStdString(wizard_.Text1));
    Combo1->setCurrentText(QString::fromStdString(wizard_.Combo1));
    Combo2->setCurrentText(QString::fromStdString(wizard_.Combo2));
    Combo2->setVisible(wizard_.Combo2Visible);
    Combo3->setCurrentIndex(Combo3->findText(QString::fromStdString(wizard_.Combo3)));
    for (QWidget* w : std::initializer_list<QWidget*>{Text1, Combo1, Combo2, Combo3}) w->setEnabled(wizard_.settingsEnabled);
    Label4->setText(QString::fromStdString(wizard_.Label4));
    Label3_0->setText(QString::fromStdString(wizard_.Label3_0));
    Label3_1->setText(QString::fromStdString(wizard_.Label3_1));
    Text2->setText(QString::fromStdString(wizard_.Text2));
    Text3->setText(QString::fromStdString(wizard_.Text3));
    Command1->setText(QString::fromStdString(wizard_.Command1));
    Command2->setText(QString::fromStdString(wizard_.Command2));
    Command2->setEnabled(wizard_.Command2Enabled);
    refreshing_ = false;
}

void showEnterPointWizard(ProjectContext& context, QWidget* parent) {
    EnterPointWizard wizard(context);
    wizard.Form_Load();
    EnterPointDialog dialog(wizard, parent);
    dialog.exec();
}

}  // namespace quor::project::ui
