#include "wind/ui/windprocess_form.h"
#include "platform/ui/dialog_buttons.h"
#include "platform/ui/number_box.h"

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
#include <QVBoxLayout>

#include <filesystem>

#include "platform/folders.h"
#include "platform/gis/workspace.h"
#include "wind/iindex_tool.h"
#include "wind/ui/winddata_form.h"

namespace quor::wind::ui {

namespace fs = std::filesystem;
namespace pg = platform::gis;

WindprocessForm::WindprocessForm(WindprocessContext ctx, QWidget* parent) : QDialog(parent), ctx_(std::move(ctx)) {
    setWindowTitle("Process Shapefile");
    setModal(false);

    Text1 = new QLineEdit(this);
    Command1 = new QPushButton("Browse...", this);
    auto* datasetRow = new QHBoxLayout;
    datasetRow->addWidget(new QLabel("Add IIndex file:", this));
    datasetRow->addWidget(Text1, 1);
    datasetRow->addWidget(Command1);

    auto* frame2 = new QGroupBox("Wind Data", this);
    Option_text = new QRadioButton("Text File", frame2);
    Option_manual = new QRadioButton("Manual", frame2);
    Option_text->setChecked(true);
    Label3 = new QLabel("Add Wind Data Textfile", frame2);
    Text3 = new QLineEdit(frame2);
    Command3 = new QPushButton("Browse...", frame2);
    auto* windGrid = new QGridLayout(frame2);
    windGrid->addWidget(Option_text, 0, 0);
    windGrid->addWidget(Option_manual, 0, 1);
    windGrid->addWidget(Label3, 1, 0);
    windGrid->addWidget(Text3, 1, 1);
    windGrid->addWidget(Command3, 1, 2);

    auto* frame1 = new QGroupBox(this);
    Text4 = new QLineEdit("10000", frame1);
    platform::ui::fitNumberBox(*Text4);
    Combo2 = new QComboBox(frame1);
    platform::ui::takeTypedNumbers(*Combo2);
    for (int d = 10; d <= 200; d += 10) Combo2->addItem(QString::number(d));
    Combo2->setCurrentText("");
    auto* grid = new QGridLayout(frame1);
    grid->addWidget(new QLabel("Type Fetch used in creating IIndex file:", frame1), 0, 0);
    grid->addWidget(Text4, 0, 1);
    grid->addWidget(new QLabel("mts", frame1), 0, 2);
    grid->addWidget(new QLabel("Type Distance used  for bathymetry interrogation in creating IIndex file:", frame1), 1, 0);
    grid->addWidget(new QLabel("Distance for bathymetry interrogation", frame1), 2, 0);
    grid->addWidget(Combo2, 2, 1);
    grid->addWidget(new QLabel("mts", frame1), 2, 2);

    newpro_ok = new QPushButton("OK", this);
    newpro_cancel = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(newpro_ok);
    buttons->addWidget(newpro_cancel);

    auto* top = new QVBoxLayout(this);
    top->addLayout(datasetRow);
    top->addWidget(frame2);
    top->addWidget(frame1);
    top->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Option_manual, &QRadioButton::clicked, this, [this] { Option_manual_Click(); });
    connect(Option_text, &QRadioButton::clicked, this, [this] { Option_text_Click(); });
    platform::ui::setOkButton(*this, newpro_ok);
    connect(newpro_ok, &QPushButton::clicked, this, [this] { newpro_ok_Click(); });
    connect(newpro_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

WindprocessForm::~WindprocessForm() = default;

void WindprocessForm::Command1_Click() {
    try {
        auto items = ctx_.datasets.choose(gis::DatasetFilter::PointShapefiles, "Select a shapefile to process");
        if (!items || items->empty()) return;
        const auto& item = items->front();
        const std::string name = item.className.empty()
                                     ? QFileInfo(QString::fromStdString(item.path)).completeBaseName().toStdString()
                                     : item.className;
        dataset_ = pg::Workspace::open(item.path)->openFeatureClass(name);
        shown_ = QString::fromStdString(name);
        Text1->setText(shown_);
    } catch (const std::exception&) {
        ctx_.messages.message("Make sure shapefile is not in use by any other application.",
                              platform::MessageIcon::Critical);
    }
}

void WindprocessForm::Command3_Click() {
    std::optional<std::string> path;
    if (ctx_.chooseWindFile) {
        path = ctx_.chooseWindFile();
    } else {
        const QString p = QFileDialog::getOpenFileName(this, "Select Wind data file",
                                                       QString::fromStdString(ctx_.app_folder + "/Sample Data"),
                                                       "REI Wind files (*.Wind_REI *.txt)");
        if (!p.isEmpty()) path = p.toStdString();
    }
    if (path) Text3->setText(QString::fromStdString(*path));
}

void WindprocessForm::Option_manual_Click() {
    Label3->setVisible(false);
    Command3->setVisible(false);
    Text3->setEnabled(false);
    // The tool keeps its own climate: the entry form works on a scratch
    // state, so the open project's wind file and holder stay as they are.
    auto scratchState = std::make_unique<model::ModelState>();
    scratchState->app_folder = ctx_.app_folder;
    model::WindSummary scratchWind;
    WindEntryContext entry{*scratchState, ctx_.mainform, scratchWind, ctx_.fm_property, ctx_.messages,
                           ctx_.chooseSavePath, {}, [this](const std::string& p) { Text3->setText(QString::fromStdString(p)); }};
    WindDataForm form(std::move(entry), {}, this);
    form.exec();
}

void WindprocessForm::Option_text_Click() {
    Label3->setVisible(true);
    Text3->setVisible(true);
    Command3->setVisible(true);
    Text3->setEnabled(true);
}

bool WindprocessForm::takeTypedDataset() {
    const QString typed = Text1->text().trimmed();
    if (typed == shown_) return true;
    // The box no longer shows the chosen dataset's name: what is typed there
    // names the dataset, a shapefile or a class inside its container
    // ("<GeoPackage>/<class>").
    dataset_.reset();
    shown_.clear();
    if (typed.isEmpty()) return true;
    const std::string path = platform::typedPath(typed.toStdString());
    try {
        std::error_code ec;
        const fs::path p(path);
        if (!fs::exists(p, ec) && fs::is_regular_file(p.parent_path(), ec))
            dataset_ = pg::Workspace::open(p.parent_path().string())->openFeatureClass(p.filename().string());
        else
            dataset_ = pg::Workspace::open(path)->openFeatureClass(p.stem().string());
    } catch (const std::exception& e) {
        ctx_.messages.message("The dataset " + path + " cannot be opened: " + e.what(), platform::MessageIcon::Critical);
        return false;
    }
    shown_ = typed;
    return true;
}

void WindprocessForm::newpro_ok_Click() {
    if (ctx_.runLock && ctx_.runLock->active()) return;
    if (!takeTypedDataset()) return;
    IIndexInput in{dataset_, platform::typedPath(Text3->text().toStdString()), Text4->text().toStdString(),
                   Combo2->currentText().toStdString()};
    setCursor(Qt::WaitCursor);
    processIIndex(in, ctx_.messages, ctx_.progress, ctx_.shell);
    unsetCursor();
}

}  // namespace quor::wind::ui
