#pragma once
// The batch-mode switch window and the batch set-up window. A folder box
// with a picker stands in for the drive, folder and file lists.
#include <QDialog>

#include "wave/batch_setup.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quor::wave::ui {

class BatchModeDialog final : public QDialog {
public:
    explicit BatchModeDialog(model::ModelState& state, QWidget* parent = nullptr);
    QCheckBox* Check1;
    QPushButton* Command1;
    QPushButton* Command2;

private:
    model::ModelState& s_;
};

class BatchProcessDialog final : public QDialog {
public:
    BatchProcessDialog(model::ModelState& state, platform::Messages& messages, std::string projectFolder,
                       QWidget* parent = nullptr);

    QLineEdit* Dir1;
    QPushButton* Browse;
    QLabel* Label2;
    QCheckBox* Check1;
    QGroupBox* Frame2;
    QPushButton* Command3;
    QLabel* Label4;
    QPushButton* Command1;
    QPushButton* Command2;

    void Command1_Click();
    void setTideFile(const std::string& path);
    BatchProcess& core() { return core_; }

private:
    BatchProcess core_;
    std::string projectFolder_;
    void folderChanged();
};

}  // namespace quor::wave::ui
