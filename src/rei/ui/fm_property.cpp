#include "rei/ui/fm_property.h"
#include "platform/ui/dialog_buttons.h"
#include "platform/ui/number_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/folders.h"

namespace quor::rei::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

const char* const kFastCaption =
    "Use faster algorithm for clipping rays.                                                       (Note: Checking "
    "this option requires that you input bathymetry grid accurate enough or grid should be clipped to the vector "
    "shoreline which requires a desktop GIS with raster analysis tools. Not checking this option make Quor run "
    "slower and can only process at most 500 sites at a time.)";

const char* const kRecommendedTable =
    "Recommended power for the IDW function\n\n"
    "Wind Speed range                                              Power\n"
    "0 --- 30 mph   or    0 --- 13.41m/s                               0.053\n"
    "30+ -- 60 mph   or    13.41+ --- 26.82 m/s                     0.062\n"
    ">= 60+ mph   or    >=  26.82m/s                                  0.082";

}  // namespace

FmProperty::FmProperty(FmPropertyContext ctx, QWidget* parent) : QDialog(parent), ctx_(std::move(ctx)) {
    setWindowTitle("  Settings");
    setModal(true);
    tabs = new QTabWidget(this);
    tabs->addTab(generalTab(), "General");
    tabs->addTab(powerTab(), "Power Function");
    addButtons();
    connectControls();
    // Form_Load
    fill(Form_Load(ctx_.store, ctx_.holder));
    Frame3->setVisible(false);
}

QWidget* FmProperty::generalTab() {
    auto* general = new QWidget(tabs);
    auto* g = new QGridLayout(general);
    Text4 = new QLineEdit(general);
    platform::ui::fitNumberBox(*Text4);
    g->addWidget(new QLabel("Type Fetch in meters", general), 0, 0);
    g->addWidget(Text4, 0, 1);
    g->addWidget(new QLabel("mts", general), 0, 2);
    g->addWidget(new QLabel("(Example 10000, no comma)", general), 1, 1);
    Combo2 = new QComboBox(general);
    platform::ui::takeTypedNumbers(*Combo2);
    for (int d = 10; d <= 200; d += 10) Combo2->addItem(QString::number(d));
    g->addWidget(new QLabel("Distance for bathymetry interrogation", general), 2, 0);
    g->addWidget(Combo2, 2, 1);
    g->addWidget(new QLabel("mts", general), 2, 2);
    Text3 = new QLineEdit(general);
    g->addWidget(new QLabel("Type name for project file", general), 3, 0);
    g->addWidget(Text3, 3, 1);
    Dir1 = new QLineEdit(general);
    browseFolder = new QPushButton("Browse...", general);
    g->addWidget(new QLabel("Select directory for project", general), 4, 0);
    g->addWidget(Dir1, 4, 1);
    g->addWidget(browseFolder, 4, 2);
    // The caption is a long note: it wraps in a label beside the box, so
    // that the dialog keeps a width that fits the screen.
    Check2 = new QCheckBox(general);
    Check2->setAccessibleName(kFastCaption);
    auto* fastNote = new QLabel(kFastCaption, general);
    fastNote->setWordWrap(true);
    fastNote->setBuddy(Check2);
    auto* fastRow = new QHBoxLayout;
    fastRow->addWidget(Check2, 0, Qt::AlignTop);
    fastRow->addWidget(fastNote, 1);
    g->addLayout(fastRow, 5, 0, 1, 3);
    Check3 = new QCheckBox("Remove refresh capability and run Quor in background.", general);
    g->addWidget(Check3, 6, 0, 1, 3);
    return general;
}

QWidget* FmProperty::powerTab() {
    auto* power = new QWidget(tabs);
    auto* pv = new QVBoxLayout(power);
    pv->addWidget(new QLabel("Do you want  to use recommended powers for IDW functions?", power));
    Option1 = new QRadioButton("Yes", power);
    Option2 = new QRadioButton("No", power);
    auto* opts = new QHBoxLayout;
    opts->addWidget(Option1);
    opts->addWidget(Option2);
    opts->addStretch();
    pv->addLayout(opts);
    pv->addWidget(new QLabel(kRecommendedTable, power));
    pv->addWidget(new QLabel("Check Appendix A in help file for more details. ", power));
    Frame3 = new QGroupBox(power);
    categoryRows();
    pv->addWidget(Frame3);
    pv->addStretch();
    return power;
}

// The user's own wind-speed categories: each one's bounds and power.
void FmProperty::categoryRows() {
    auto* t = new QGridLayout(Frame3);
    Combo1 = new QComboBox(Frame3);
    for (int n = 1; n <= 5; ++n) Combo1->addItem(QString::number(n));
    t->addWidget(new QLabel("How many wind speed categories ?", Frame3), 0, 0, 1, 2);
    t->addWidget(Combo1, 0, 2);
    t->addWidget(new QLabel("Wind Speed (miles per hour)                      Power", Frame3), 1, 0, 1, 4);
    for (int k = 0; k < 5; ++k) {
        Label9[k] = new QLabel(k == 4 ? "and above" : "to", Frame3);
        Text1[k] = new QLineEdit("0", Frame3);
        Text1[k]->setReadOnly(true);
        Text5[k] = new QLineEdit("0", Frame3);
        t->addWidget(Text1[k], 2 + k, 0);
        t->addWidget(Label9[k], 2 + k, 1);
        if (k < 4) {
            Text2[k] = new QLineEdit("0", Frame3);
            t->addWidget(Text2[k], 2 + k, 2);
            connect(Text2[k], &QLineEdit::textChanged, this, [this] { Text2_Change(); });
        }
        t->addWidget(Text5[k], 2 + k, 3);
    }
    for (QLineEdit* box : Text1) platform::ui::fitNumberBox(*box);
    for (QLineEdit* box : Text5) platform::ui::fitNumberBox(*box);
    for (int k = 0; k < 4; ++k) platform::ui::fitNumberBox(*Text2[k]);
    Text1[0]->setVisible(false);
}

void FmProperty::addButtons() {
    Check1 = new QCheckBox("Set default settings", this);
    Command1 = new QPushButton("OK", this);
    Command2 = new QPushButton("Cancel", this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Check1);
    bottom->addStretch();
    bottom->addWidget(Command1);
    bottom->addWidget(Command2);
    auto* top = new QVBoxLayout(this);
    top->addWidget(tabs);
    top->addLayout(bottom);
}

void FmProperty::connectControls() {
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::clicked, this, [this] { Check2_Click(); });
    connect(Option1, &QRadioButton::clicked, this, [this] { Option1_Click(); });
    connect(Option2, &QRadioButton::clicked, this, [this] { Option2_Click(); });
    connect(Combo1, QOverload<int>::of(&QComboBox::activated), this, [this] { Combo1_Click(); });
    connect(browseFolder, &QPushButton::clicked, this, [this] {
        const QString d = QFileDialog::getExistingDirectory(this, "Select directory for project",
                                                              q(platform::typedPath(Dir1->text().toStdString())));
        if (!d.isEmpty()) {
            Check1->setChecked(false);
            Check1_Click();
            Dir1->setText(d);
        }
    });
}

int FmProperty::categoryCount() const {
    bool ok = false;
    const int n = Combo1->currentText().toInt(&ok);
    return ok ? n : 0;
}

ReiSettingsForm FmProperty::read() const {
    ReiSettingsForm f;
    f.fetch = Text4->text().toStdString();
    f.distance = Combo2->currentText().toStdString();
    f.name = Text3->text().toStdString();
    f.folder = platform::typedPath(Dir1->text().toStdString());
    f.fastAlgorithm = Check2->isChecked();
    f.background = Check3->isChecked();
    f.defaults = Check1->isChecked();
    f.recommended = Option1->isChecked();
    f.windcatno = Combo1->currentText().toStdString();
    for (int i = 0; i < 4; ++i) f.bounds[i] = Text2[i]->text().toStdString();
    for (int i = 0; i < 5; ++i) f.powers[i] = Text5[i]->text().toStdString();
    return f;
}

void FmProperty::fill(const ReiSettingsForm& f) {
    filling_ = true;
    Text4->setText(q(f.fetch));
    Combo2->setCurrentText(q(f.distance));
    Text3->setText(q(f.name));
    Dir1->setText(q(f.folder));
    Check2->setChecked(f.fastAlgorithm);
    Check3->setChecked(f.fastAlgorithm && f.background);
    Check3->setEnabled(f.fastAlgorithm && !f.defaults);
    Check1->setChecked(f.defaults);
    Option1->setChecked(f.recommended);
    Option2->setChecked(!f.recommended);
    Combo1->setCurrentText(q(f.windcatno));
    for (int i = 0; i < 4; ++i) Text2[i]->setText(q(f.bounds[i]));
    for (int i = 0; i < 5; ++i) Text5[i]->setText(q(f.powers[i]));
    filling_ = false;
    Text2_Change();
}

void FmProperty::setGeneralEnabled(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{Text4, Text3, Combo2, Dir1, browseFolder, Check2, Option1, Option2})
        w->setEnabled(on);
}

void FmProperty::Command1_Click() {
    if (rei::Command1_Click(read(), ctx_.store, ctx_.holder, ctx_.mainform, ctx_.messages, ctx_.setStatusPanel))
        accept();
}

void FmProperty::done(int r) {
    Form_Unload(ctx_.store, ctx_.holder, ctx_.mainform);
    QDialog::done(r);
}

void FmProperty::Check1_Click() {
    auto f = read();
    if (Check1->isChecked()) {
        if (!QFileInfo(q(ctx_.app_folder + "/Project")).isDir()) {
            ctx_.messages.message("Path not found", platform::MessageIcon::Critical);
            Check1->setChecked(false);
            return;
        }
        applyDefaults(f, ctx_.holder, ctx_.app_folder);
        fill(f);
        Frame3->setVisible(false);
        setGeneralEnabled(false);
        Check3->setEnabled(false);
    } else {
        ctx_.holder.rec_setting = false;
        setGeneralEnabled(true);
        Check3->setEnabled(Check2->isChecked());
    }
}

void FmProperty::Check2_Click() {
    auto f = read();
    const bool wasDefaults = f.defaults;
    setFastAlgorithm(f, ctx_.holder, Check2->isChecked());
    Check1->setChecked(false);
    if (wasDefaults) setGeneralEnabled(true);
    Check3->setEnabled(f.fastAlgorithm);
    if (!f.fastAlgorithm) Check3->setChecked(false);
}

void FmProperty::Option1_Click() {
    auto f = read();
    applyRecommended(f, ctx_.holder);
    Check1->setChecked(false);
    fill(f);
    Frame3->setVisible(false);
    Combo1->setEnabled(true);
}

void FmProperty::Option2_Click() {
    auto f = read();
    chooseOwnCategories(f, ctx_.store, ctx_.holder);
    Check1->setChecked(false);
    fill(f);
    Frame3->setVisible(true);
    Combo1_Click();
    Combo1->setEnabled(true);
}

void FmProperty::Combo1_Click() {
    filling_ = true;
    for (auto* b : Text2) b->setText("0");
    for (auto* p : Text5) p->setText("0");
    filling_ = false;
    const int n = categoryCount();
    if (n < 1 || n > 5) return;
    Label9[0]->setText(n == 1 ? "All wind data" : "        0      to");
    // Rows 0 .. n - 2 carry a bound; the top row takes the speeds above the last.
    for (int k = 0; k < 4; ++k) {
        const bool shown = k < n - 1;
        Text1[k]->setVisible(shown && k > 0);
        Text2[k]->setVisible(shown);
        Label9[k]->setVisible(shown || (k == 0 && n == 1));
        Text5[k]->setVisible(shown || (k == 0 && n == 1));
    }
    Label9[4]->setVisible(n > 1);
    Text1[4]->setVisible(n > 1);
    Text5[4]->setVisible(n > 1);
    Combo1->setEnabled(false);
    Text2_Change();
}

void FmProperty::Text2_Change() {
    if (filling_) return;
    const int n = categoryCount();
    if (n < 1 || n > 5) return;
    // Each shown row's lower bound echoes the upper bound of the row above;
    // the top row's echoes the last bound in use.
    for (int k = 1; k <= 3; ++k) Text1[k]->setText(k < n - 1 ? Text2[k - 1]->text() : "0");
    Text1[4]->setText(n > 1 ? Text2[n - 2]->text() : "0");
}

}  // namespace quor::rei::ui
