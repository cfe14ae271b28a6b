#include "wind/ui/wind_text_dialog.h"
#include "platform/ui/dialog_buttons.h"
#include "platform/ui/number_box.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/folders.h"

namespace quor::wind::ui {

namespace {
const char* const kFieldCaptions[kChoiceFields] = {"Year",   "Month",      "Day",           "Hour",
                                                   "Minute", "Wind Speed", "Wind Direction"};
}

WindTextDialog::WindTextDialog(model::ModelState& state, WindTextChoice& choice, platform::Messages& messages,
                               QWidget* parent)
    : QDialog(parent), state_(state), choice_(choice), messages_(messages) {
    setWindowTitle("Wind Analysis");
    auto* layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel("Browse for ASCII wind file", this));
    auto* fileRow = new QHBoxLayout;
    file_ = new QLineEdit(this);
    auto* browseButton = new QPushButton("browse...", this);
    fileRow->addWidget(file_);
    fileRow->addWidget(browseButton);
    layout->addLayout(fileRow);

    auto* rowLine = new QHBoxLayout;
    rowLine->addWidget(new QLabel("Start import of data at row: ", this));
    row_ = new QComboBox(this);
    platform::ui::takeTypedNumbers(*row_);
    for (int i = 1; i <= 100; ++i) row_->addItem(QString::number(i));
    row_->setCurrentIndex(0);
    rowLine->addWidget(row_);
    layout->addLayout(rowLine);

    auto* frame = new QGroupBox("Choose the delimiter", this);
    auto* frameLayout = new QHBoxLayout(frame);
    auto* group = new QButtonGroup(this);
    const char* const captions[3] = {"Space", "Tab", "Comma"};
    for (int i = 0; i < 3; ++i) {
        delimiters_[i] = new QRadioButton(captions[i], frame);
        group->addButton(delimiters_[i], i);
        frameLayout->addWidget(delimiters_[i]);
    }
    delimiters_[0]->setChecked(true);
    layout->addWidget(frame);

    layout->addWidget(new QLabel("Select various fields", this));
    auto* grid = new QGridLayout;
    for (int i = 0; i < kChoiceFields; ++i) {
        grid->addWidget(new QLabel(kFieldCaptions[i], this), i, 0);
        fields_[i] = new QComboBox(this);
        fields_[i]->setEditable(true);
        fields_[i]->setInsertPolicy(QComboBox::NoInsert);
        grid->addWidget(fields_[i], i, 1);
    }
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    auto* okButton = new QPushButton("OK", this);
    auto* cancelButton = new QPushButton("Cancel", this);
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);

    if (!choice_.wind_textfile.empty()) file_->setText(QString::fromStdString(choice_.wind_textfile));

    connect(browseButton, &QPushButton::clicked, this, &WindTextDialog::browse);
    connect(file_, &QLineEdit::editingFinished, this, &WindTextDialog::reloadHeader);
    connect(row_, &QComboBox::currentTextChanged, this, [this] { reloadHeader(); });
    connect(group, &QButtonGroup::idClicked, this, [this] { reloadHeader(); });
    platform::ui::setOkButton(*this, okButton);
    connect(okButton, &QPushButton::clicked, this, [this] { ok(); });
    connect(cancelButton, &QPushButton::clicked, this, &WindTextDialog::cancel);
    reloadHeader();
}

void WindTextDialog::browse() {
    const QString start = QString::fromStdString(platform::joinPath(state_.app_folder, "Project"));
    const QString path =
        QFileDialog::getOpenFileName(this, "Select a wind text file to analyze", start, "Wind text file (*.txt)");
    if (!path.isEmpty()) setFile(path);
}

void WindTextDialog::setFile(const QString& path) {
    file_->setText(path);
    reloadHeader();
}

void WindTextDialog::setDelimiterIndex(int index) {
    delimiters_.at(static_cast<size_t>(index))->setChecked(true);
    reloadHeader();
}

void WindTextDialog::setRowText(const QString& text) { row_->setCurrentText(text); }

void WindTextDialog::setFieldText(int field, const QString& text) {
    fields_.at(static_cast<size_t>(field))->setCurrentText(text);
}

QStringList WindTextDialog::fieldItems(int field) const {
    QStringList items;
    const QComboBox* box = fields_.at(static_cast<size_t>(field));
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

std::string WindTextDialog::delimiter() const {
    if (delimiters_[1]->isChecked()) return "\t";
    if (delimiters_[2]->isChecked()) return ",";
    return " ";
}

void WindTextDialog::reloadHeader() {
    // Keep each field's name where the new row still has it.
    std::array<QString, kChoiceFields> kept;
    for (int i = 0; i < kChoiceFields; ++i) kept[i] = fields_[i]->currentText();
    names_.clear();
    const auto row = parseRowNumber(row_->currentText().toStdString());
    if (row) {
        if (auto names = readHeaderNames(platform::typedPath(file_->text().toStdString()), *row, delimiter()))
            names_ = std::move(*names);
    }
    for (int i = 0; i < kChoiceFields; ++i) {
        QComboBox* box = fields_[i];
        box->blockSignals(true);
        box->clear();
        for (const auto& n : names_) box->addItem(QString::fromStdString(n));
        const int at = box->findText(kept[i]);
        box->setCurrentIndex(at);
        if (at < 0) box->setEditText(QString());
        box->blockSignals(false);
    }
}

bool WindTextDialog::ok() {
    std::array<std::string, kChoiceFields> texts;
    for (int i = 0; i < kChoiceFields; ++i) texts[i] = fields_[i]->currentText().trimmed().toStdString();
    const std::string path = platform::typedPath(file_->text().toStdString());
    const std::string rowText = row_->currentText().trimmed().toStdString();
    // Check the names against the file as it is now, not as it was read.
    names_.clear();
    if (const auto row = parseRowNumber(rowText))
        if (auto names = readHeaderNames(path, *row, delimiter())) names_ = std::move(*names);
    if (auto complaint = checkWindTextChoice(path, rowText, texts, names_)) {
        messages_.message(*complaint, platform::MessageIcon::Critical);
        return false;
    }
    choice_ = makeWindTextChoice(path, *parseRowNumber(rowText), delimiter(), texts, names_);
    state_.wind_webflag = false;
    accept();
    return true;
}

void WindTextDialog::cancel() { reject(); }

void WindTextDialog::reject() {
    state_.wind_webflag = true;
    QDialog::reject();
}

}  // namespace quor::wind::ui
