#include "project/ui/new_project_dialog.h"
#include "platform/ui/dialog_buttons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace quor::project::ui {

NewProjectDialog::NewProjectDialog(NewProjectForm& form, QWidget* parent) : QDialog(parent), form_(form) {
    setWindowTitle(" New Project");
    setModal(true);
    auto* outer = new QVBoxLayout(this);
    Frame1 = new QGroupBox("Add Data", this);
    auto* data = new QVBoxLayout(Frame1);
    outer->addWidget(Frame1);

    Frame3 = new QGroupBox("Bathymetry Data", Frame1);
    auto* bathy = new QGridLayout(Frame3);
    Text1 = new QLineEdit(Frame3);
    Command1 = new QPushButton("Browse...", Frame3);
    Check1 = new QCheckBox("Bathymetry Positive", Frame3);
    Label4 = new QLabel("Bathymetry Units", Frame3);
    Combo1 = new QComboBox(Frame3);
    // A fixed choice: a unit typed by hand would be read as metres.
    Combo1->setEditable(false);
    Combo1->addItems({"Meter", "Feet", "Centimeter"});
    bathy->addWidget(Text1, 0, 0, 1, 2);
    bathy->addWidget(Command1, 0, 2);
    bathy->addWidget(Check1, 1, 0);
    bathy->addWidget(Label4, 1, 1);
    bathy->addWidget(Combo1, 1, 2);
    data->addWidget(Frame3);

    Frame4 = new QGroupBox("Shoreline Data", Frame1);
    auto* shore = new QGridLayout(Frame4);
    Option1 = new QRadioButton("Shapefile", Frame4);
    Option2 = new QRadioButton("Coverage", Frame4);
    Text2 = new QLineEdit(Frame4);
    Command2 = new QPushButton("Browse...", Frame4);
    shore->addWidget(Option1, 0, 0);
    shore->addWidget(Option2, 0, 1);
    shore->addWidget(Text2, 1, 0, 1, 2);
    shore->addWidget(Command2, 1, 2);
    data->addWidget(Frame4);

    Frame2 = new QGroupBox("Wind Data", Frame1);
    auto* wind = new QGridLayout(Frame2);
    Option_manual = new QRadioButton("Manual", Frame2);
    Option_text = new QRadioButton("Text File", Frame2);
    Label3 = new QLabel("Add Wind Data Textfile", Frame2);
    Text3 = new QLineEdit(Frame2);
    Command3 = new QPushButton("Browse...", Frame2);
    wind->addWidget(Option_manual, 0, 0);
    wind->addWidget(Option_text, 0, 1);
    wind->addWidget(Label3, 1, 0, 1, 3);
    wind->addWidget(Text3, 2, 0, 1, 2);
    wind->addWidget(Command3, 2, 2);
    data->addWidget(Frame2);

    Check2 = new QCheckBox("Check for Batch Processing", this);
    outer->addWidget(Check2);
    auto* buttons = new QHBoxLayout;
    newpro_ok = new QPushButton("OK", this);
    newpro_cancel = new QPushButton("Cancel", this);
    newpro_ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(newpro_ok);
    buttons->addWidget(newpro_cancel);
    outer->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, [this] { form_.Command1_Click(); after(); });
    connect(Command2, &QPushButton::clicked, this, [this] { form_.Command2_Click(); after(); });
    connect(Command3, &QPushButton::clicked, this, [this] { form_.Command3_Click(); after(); });
    // A typed or pasted path counts when the box is left or Enter is pressed;
    // Enter there takes the path and does not press OK.
    for (QLineEdit* box : {Text1, Text2, Text3}) {
        connect(box, &QLineEdit::editingFinished, this, [this, box] { takeTypedPath(box); });
        box->installEventFilter(this);
    }
    connect(Option_manual, &QRadioButton::clicked, this, [this] { form_.Option_manual_Click(); after(); });
    connect(Option_text, &QRadioButton::clicked, this, [this] { form_.Option_text_Click(); after(); });
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (refreshing_) return;
        form_.Option1 = on;
        form_.Option2 = !on;
    });
    connect(Check1, &QCheckBox::toggled, this, [this](bool on) { form_.Check1 = on; });
    connect(Check2, &QCheckBox::toggled, this, [this](bool on) {
        if (refreshing_) return;
        form_.Check2 = on;
        form_.Check2_Click();
        after();
    });
    connect(Combo1, &QComboBox::currentTextChanged, this, [this](const QString& t) {
        if (!refreshing_) form_.Combo1 = t.toStdString();
    });
    platform::ui::setOkButton(*this, newpro_ok);
    connect(newpro_ok, &QPushButton::clicked, this, [this] { form_.newpro_ok_Click(); after(); });
    connect(newpro_cancel, &QPushButton::clicked, this, [this] { form_.newpro_cancel_Click(); after(); });
    refresh();
}

void NewProjectDialog::takeTypedPath(QLineEdit* box) {
    // A message about the path takes the focus from the box, and leaving
    // the box would check the same path again under the first message.
    if (takingPath_) return;
    const QScopedValueRollback<bool> taking(takingPath_, true);
    const std::string text = box->text().toStdString();
    if (box == Text1) form_.Text1_Typed(text);
    if (box == Text2) form_.Text2_Typed(text);
    if (box == Text3) form_.Text3_Typed(text);
    after();
}

bool NewProjectDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* box = qobject_cast<QLineEdit*>(watched);
        if (box && (key == Qt::Key_Return || key == Qt::Key_Enter) && (box == Text1 || box == Text2 || box == Text3)) {
            takeTypedPath(box);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NewProjectDialog::after() {
    refresh();
    if (form_.closed) accept();
}

void NewProjectDialog::reject() {
    if (!form_.closed) form_.newpro_cancel_Click();
    QDialog::reject();
}

void NewProjectDialog::refresh() {
    refreshing_ = true;
    Text1->setText(QString::fromStdString(form_.Text1));
    Check1->setChecked(form_.Check1);
    Combo1->setCurrentText(QString::fromStdString(form_.Combo1));
    Frame4->setEnabled(form_.shorelineEnabled);
    Text2->setEnabled(form_.shorelineEnabled);
    Command2->setEnabled(form_.shorelineEnabled);
    Option1->setChecked(form_.Option1);
    Option2->setChecked(form_.Option2);
    Option1->setEnabled(form_.shoreKindEnabled);
    Option2->setEnabled(form_.shoreKindEnabled);
    Text2->setText(QString::fromStdString(form_.Text2));
    Option_manual->setVisible(form_.Option_manualVisible);
    Option_manual->setChecked(form_.Option_manual);
    Option_text->setChecked(form_.Option_text);
    Label3->setVisible(form_.windFileVisible);
    Command3->setVisible(form_.windFileVisible);
    Text3->setEnabled(form_.windFileVisible);
    Text3->setText(QString::fromStdString(form_.Text3));
    Frame2->setEnabled(form_.windEnabled);
    Check2->setChecked(form_.Check2);
    refreshing_ = false;
}

void showNewProjectDialog(NewProjectForm& form, QWidget* parent) {
    NewProjectDialog dialog(form, parent);
    dialog.exec();
}

}  // namespace quor::project::ui
