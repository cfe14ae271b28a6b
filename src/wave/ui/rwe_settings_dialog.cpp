#include "wave/ui/rwe_settings_dialog.h"
#include "platform/ui/dialog_buttons.h"
#include "platform/ui/number_box.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/folders.h"

namespace quor::wave::ui {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

RweSettingsDialog::RweSettingsDialog(model::ModelState& state, model::MainFormState& mainform,
                                     model::SettingsHolder& holder, platform::SettingsStore& store,
                                     platform::Messages& messages,
                                     std::function<void(int, const std::string&)> setStatusPanel, QWidget* parent)
    : QDialog(parent), core_(state, mainform, holder, store, messages, std::move(setStatusPanel)) {
    setWindowTitle(kRweSettingsTitle);
    setModal(true);
    for (auto*& t : Text4) t = nullptr;

    SSTab1 = new QTabWidget(this);
    SSTab1->addTab(generalTab(), "General");
    SSTab1->addTab(parametersTab(), "Parameters");
    addButtons();

    core_.Form_Load();
    show(core_.form);
    SSTab1->setCurrentIndex(0);
    connectControls();
}

QWidget* RweSettingsDialog::generalTab() {
    auto* general = new QWidget;
    auto* g = new QVBoxLayout(general);
    g->addWidget(new QLabel("Type name for project file"));
    Text3 = new QLineEdit;
    g->addWidget(Text3);
    g->addWidget(new QLabel("Select directory for project"));
    auto* folderRow = new QHBoxLayout;
    Dir1 = new QLineEdit;
    Browse = new QPushButton("Browse...");
    folderRow->addWidget(Dir1);
    folderRow->addWidget(Browse);
    g->addLayout(folderRow);
    auto* rays = new QGroupBox("Select the number of rays to be created for each site?");
    auto* rl = new QHBoxLayout(rays);
    for (int i = 0; i < 5; ++i) {
        Option3[i] = new QRadioButton(QString::number(kRayCounts[i]));
        rl->addWidget(Option3[i]);
    }
    g->addWidget(rays);
    Check2 = new QCheckBox("Use faster algorithm for clipping rays.");
    g->addWidget(Check2);
    auto* note = new QLabel(
        "(Note: Checking this option requires that you input bathymetry grid accurate enough or grid should be "
        "clipped to the vector shoreline which requires a desktop GIS with raster analysis tools. Not checking "
        "this option make Quor run slower and can only process at most 500 sites at a time.)");
    note->setWordWrap(true);
    g->addWidget(note);
    Check3 = new QCheckBox("Remove refresh capability and run Quor in background.");
    g->addWidget(Check3);
    Check4 = new QCheckBox("Run Quor in debugging mode to generate log and output files");
    g->addWidget(Check4);
    return general;
}

QWidget* RweSettingsDialog::parametersTab() {
    auto* params = new QWidget;
    auto* p = new QVBoxLayout(params);
    auto box = [](const char* title) {
        auto* b = new QGroupBox(title);
        return std::make_pair(b, new QGridLayout(b));
    };
    auto row = [](QGridLayout* l, int r, const char* label, QLineEdit*& edit, const char* unit,
                  const char* before = nullptr) {
        // Long captions wrap, so that the boxes keep their width on a small screen.
        auto* caption = new QLabel(label);
        caption->setWordWrap(QString::fromLatin1(label).size() > 40);
        l->addWidget(caption, r, 0);
        if (before) l->addWidget(new QLabel(before), r, 1);
        edit = new QLineEdit;
        platform::ui::fitNumberBox(*edit);
        l->addWidget(edit, r, 2);
        if (unit) l->addWidget(new QLabel(unit), r, 3);
    };
    auto [fetchBox, fl] = box("Distribution of Fetch");
    row(fl, 0, "Type Fetch in meters", Text4[0], "(Example 10000, no comma)");
    row(fl, 1, "Fetch segment Length after which highest bathymetry resolution is used:", Text4[1], "m");
    p->addWidget(fetchBox);
    auto [bathyBox, bl] = box("Bathymetry Interrogation Distance");
    row(bl, 0, "Fetch segment Interrogation Distance before highest bathymetry resolution is used:", Text4[4],
        "m");
    p->addWidget(bathyBox);
    auto [breakBox, kl] = box("Wave Breaking Parameters");
    row(kl, 0, "Alpha Goda's Formula:", Text4[6], nullptr);
    row(kl, 1, "Sensitivity eps:", Text4[7], nullptr, "1 in");
    row(kl, 2, "Beach slope for Goda's Formula:", Text4[8], "Degree");
    row(kl, 3, "Sea Temperature", Text1[0], "degree C");
    row(kl, 4, "Sea Water Salinity", Text1[1], "g / Kg");
    p->addWidget(breakBox);
    return params;
}

void RweSettingsDialog::addButtons() {
    Check1 = new QCheckBox("Set default settings");
    Command1 = new QPushButton("OK");
    Command2 = new QPushButton("Cancel");
    auto* main = new QVBoxLayout(this);
    main->addWidget(SSTab1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Check1);
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    main->addLayout(buttons);
}

void RweSettingsDialog::connectControls() {
    connect(Browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, "Select directory for project",
                                                              q(platform::typedPath(Dir1->text().toStdString())));
        if (!dir.isEmpty()) Dir1->setText(dir);
    });
    connect(Check1, &QCheckBox::toggled, this, [this](bool on) {
        if (syncing_) return;
        read();
        core_.Check1_Click(on);
        show(core_.form);
    });
    connect(Check2, &QCheckBox::clicked, this, [this](bool on) {
        read();
        core_.Check2_Click(on);
        if (core_.form.defaults != Check1->isChecked()) {
            // Unticking the defaults box by hand also resets the parameters.
            core_.Check1_Click(false);
        }
        show(core_.form);
    });
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

void RweSettingsDialog::show(const RweSettingsForm& f) {
    syncing_ = true;
    Text3->setText(q(f.name));
    Dir1->setText(q(f.folder));
    for (int i = 0; i < 5; ++i) Option3[i]->setChecked(i == f.rayOption);
    Check2->setChecked(f.fastAlgorithm);
    Check3->setChecked(f.background);
    Check3->setEnabled(f.backgroundEnabled);
    Check4->setChecked(f.debug);
    Text4[0]->setText(q(f.fetch));
    Text4[1]->setText(q(f.fetchFirst));
    Text4[4]->setText(q(f.depthIntgFirst));
    Text4[6]->setText(q(f.aGoda));
    Text4[7]->setText(q(f.eps));
    Text4[8]->setText(q(f.slope));
    Text1[0]->setText(q(f.seaTemp));
    Text1[1]->setText(q(f.seaSalinity));
    Check1->setChecked(f.defaults);
    lockDefaults(f.defaults);
    syncing_ = false;
}

void RweSettingsDialog::lockDefaults(bool locked) {
    for (QWidget* w : std::initializer_list<QWidget*>{Text4[0], Text3, Dir1, Browse, Check2, Text4[1], Text4[4],
                                                      Text4[6], Text4[7], Text4[8]})
        w->setEnabled(!locked);
    for (auto* o : Option3) o->setEnabled(!locked);
    if (locked) Check3->setEnabled(false);
}

void RweSettingsDialog::read() {
    auto& f = core_.form;
    f.name = Text3->text().toStdString();
    f.folder = platform::typedPath(Dir1->text().toStdString());
    f.rayOption = -1;
    for (int i = 0; i < 5; ++i)
        if (Option3[i]->isChecked()) f.rayOption = i;
    f.fastAlgorithm = Check2->isChecked();
    f.background = Check3->isChecked();
    f.backgroundEnabled = Check3->isEnabled();
    f.debug = Check4->isChecked();
    f.fetch = Text4[0]->text().toStdString();
    f.fetchFirst = Text4[1]->text().toStdString();
    f.depthIntgFirst = Text4[4]->text().toStdString();
    f.aGoda = Text4[6]->text().toStdString();
    f.eps = Text4[7]->text().toStdString();
    f.slope = Text4[8]->text().toStdString();
    f.seaTemp = Text1[0]->text().toStdString();
    f.seaSalinity = Text1[1]->text().toStdString();
    f.defaults = Check1->isChecked();
}

void RweSettingsDialog::Command1_Click() {
    read();
    if (core_.Command1_Click()) accept();
}

void RweSettingsDialog::done(int r) {
    // Every close, OK, Cancel or the close box, reads the main window's
    // values back from the store.
    core_.Form_Unload();
    QDialog::done(r);
}

}  // namespace quor::wave::ui
