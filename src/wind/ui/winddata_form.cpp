#include "wind/ui/winddata_form.h"
#include "platform/ui/dialog_buttons.h"
#include "platform/ui/number_box.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quor::wind::ui {

WindDataForm::WindDataForm(WindEntryContext ctx, std::function<void()> onCancel, QWidget* parent)
    : QDialog(parent), ctx_(std::move(ctx)), onCancel_(std::move(onCancel)) {
    setWindowTitle("  Enter Wind Data");
    setModal(true);

    if (!ctx_.chooseSavePath) {
        ctx_.chooseSavePath = [this](const std::string& startFolder) -> std::optional<std::string> {
            QFileDialog dlg(this, "Save wind data in text file", QString::fromStdString(startFolder),
                            kWindEntryFilter);
            dlg.setAcceptMode(QFileDialog::AcceptSave);
            dlg.setDefaultSuffix("txt");
            // The form asks about replacing a file itself, in its own words.
            dlg.setOption(QFileDialog::DontConfirmOverwrite);
            if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
            return dlg.selectedFiles().front().toStdString();
        };
    }

    auto* grid = new QGridLayout;
    for (int i = 0; i < 16; ++i) {
        const int row = i / 2, col = (i % 2) * 3;
        Label1[i] = new QLabel(QString::fromStdString(kWindEntryCaptions[i]), this);
        Text1[i] = new QLineEdit(this);
        platform::ui::fitNumberBox(*Text1[i]);
        grid->addWidget(Label1[i], row, col);
        grid->addWidget(Text1[i], row, col + 1);
        if (i % 2 == 0) {
            Label3[i / 2] = new QLabel("m/s", this);
            grid->addWidget(Label3[i / 2], row, col + 2);
        } else {
            grid->addWidget(new QLabel("%", this), row, col + 2);
        }
    }

    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    Combo1->addItems({"mph", "m/s"});
    Combo1->setCurrentText("m/s");
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(new QLabel("Select Unit for wind speed", this));
    unitRow->addWidget(Combo1);
    unitRow->addStretch();
    connect(Combo1, QOverload<int>::of(&QComboBox::activated), this, [this] { Combo1_Click(); });

    auto* frame2 = new QGroupBox("Information", this);
    auto* info = new QGridLayout(frame2);
    const char* captions[] = {"Station name", "Start Date", "End Date"};
    const char* initial[] = {"", "mm/dd/yyyy:hh:mm", "mm/dd/yyyy:hh:mm"};
    for (int i = 0; i < 3; ++i) {
        Text2[i] = new QLineEdit(initial[i], this);
        info->addWidget(new QLabel(captions[i], this), i, 0);
        info->addWidget(Text2[i], i, 1);
    }

    winddata_ok = new QPushButton("OK", this);
    windata_cancel = new QPushButton("Cancel", this);
    winddata_ok->setDefault(true);
    platform::ui::setOkButton(*this, winddata_ok);
    connect(winddata_ok, &QPushButton::clicked, this, [this] { winddata_ok_Click(); });
    connect(windata_cancel, &QPushButton::clicked, this, [this] { windata_cancel_Click(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(winddata_ok);
    buttons->addWidget(windata_cancel);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(unitRow);
    top->addWidget(frame2);
    top->addLayout(buttons);

    // Loading the form empties the New Project dialog's wind-file box.
    if (ctx_.setProjectWindBox) ctx_.setProjectWindBox("");
}

void WindDataForm::Combo1_Click() {
    const QString unit = Combo1->currentText().toUpper();
    const char* caption = unit == "M/S" ? "m/s" : unit == "MPH" ? "mph" : nullptr;
    if (!caption) return;
    for (auto* l : Label3) l->setText(caption);
}

void WindDataForm::winddata_ok_Click() {
    WindEntryInput in;
    for (int i = 0; i < 16; ++i) in.boxes[i] = Text1[i]->text().toStdString();
    in.unit = Combo1->currentText().toStdString();
    in.station = Text2[0]->text().toStdString();
    in.startdate = Text2[1]->text().toStdString();
    in.enddate = Text2[2]->text().toStdString();
    lastResult_ = quor::wind::winddata_ok(in, ctx_);
    if (lastResult_ != WindEntryResult::StayOpen) accept();
}

void WindDataForm::windata_cancel_Click() {
    if (onCancel_) onCancel_();
    reject();
}

}  // namespace quor::wind::ui
