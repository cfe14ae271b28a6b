#include "wave/ui/batch_dialogs.h"
#include "platform/ui/dialog_buttons.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/folders.h"

namespace quor::wave::ui {

BatchModeDialog::BatchModeDialog(model::ModelState& state, QWidget* parent) : QDialog(parent), s_(state) {
    setWindowTitle(kBatchModeTitle);
    setModal(true);
    auto* frame = new QGroupBox("Batch Processing Mode", this);
    auto* fl = new QVBoxLayout(frame);
    Check1 = new QCheckBox("Check for batch processing mode");
    Check1->setChecked(batchModeLoad(s_));
    fl->addWidget(Check1);
    Command1 = new QPushButton("OK");
    Command2 = new QPushButton("Cancel");
    auto* l = new QVBoxLayout(this);
    l->addWidget(frame);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(Command1);
    b->addWidget(Command2);
    l->addLayout(b);
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] {
        batchModeOk(s_, Check1->isChecked());
        accept();
    });
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

BatchProcessDialog::BatchProcessDialog(model::ModelState& state, platform::Messages& messages,
                                       std::string projectFolder, QWidget* parent)
    : QDialog(parent), core_(state, messages), projectFolder_(std::move(projectFolder)) {
    setWindowTitle(kBatchProcessTitle);
    setModal(true);
    core_.Form_Load();
    auto* l = new QVBoxLayout(this);
    l->addWidget(new QLabel("Please select the directory where processed wind files are located"));
    auto* row = new QHBoxLayout;
    Dir1 = new QLineEdit(QString::fromStdString(core_.folder));
    Browse = new QPushButton("Browse...");
    row->addWidget(Dir1);
    row->addWidget(Browse);
    l->addLayout(row);
    Label2 = new QLabel;
    l->addWidget(Label2);
    Check1 = new QCheckBox("Check for using water level adjustment functionality in batch processing");
    l->addWidget(Check1);
    Frame2 = new QGroupBox;
    auto* fl = new QVBoxLayout(Frame2);
    fl->addWidget(new QLabel("Select the ASCII file containing the water level adjustment data"));
    fl->addWidget(new QLabel("(first line a title, then one level per wind file in metres; "
                             "positive values lower the water: shallower)"));
    Command3 = new QPushButton("Browse....");
    Label4 = new QLabel;
    fl->addWidget(Command3);
    fl->addWidget(Label4);
    Frame2->setEnabled(false);
    l->addWidget(Frame2);
    Command1 = new QPushButton("OK");
    Command2 = new QPushButton("Cancel");
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(Command1);
    b->addWidget(Command2);
    l->addLayout(b);
    folderChanged();

    connect(Dir1, &QLineEdit::textChanged, this, [this] { folderChanged(); });
    connect(Browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, "Select the folder of processed wind files",
                                                              QString::fromStdString(core_.folder));
        if (!dir.isEmpty()) Dir1->setText(dir);
    });
    connect(Check1, &QCheckBox::toggled, this, [this](bool on) {
        core_.Check1_Click(on);
        Frame2->setEnabled(on);
        if (!on) Label4->clear();
    });
    connect(Command3, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(this, "Select water level adjustment file",
                                                       QString::fromStdString(projectFolder_),
                                                       "ASCII file (*.txt)");
        if (!f.isEmpty()) setTideFile(f.toStdString());
    });
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    // Cancel and the close box alike give the batch up and switch batch mode off.
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { core_.Command2_Click(); });
}

void BatchProcessDialog::folderChanged() {
    core_.folder = platform::typedPath(Dir1->text().toStdString());
    Label2->setText(QString::fromStdString(core_.countLabel()));
}

void BatchProcessDialog::setTideFile(const std::string& path) {
    core_.tide_file = path;
    Label4->setText(QString::fromStdString(path));
}

void BatchProcessDialog::Command1_Click() {
    core_.folder = platform::typedPath(Dir1->text().toStdString());
    if (core_.Command1_Click()) accept();
}

}  // namespace quor::wave::ui
