#pragma once
// The point-entry wizard window: shows an EnterPointWizard and forwards
// its events.
#include <QDialog>

#include "project/point_entry.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quor::project::ui {

class EnterPointDialog final : public QDialog {
public:
    explicit EnterPointDialog(EnterPointWizard& wizard, QWidget* parent = nullptr);
    void refresh();

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* Combo1 = nullptr;
    QComboBox* Combo2 = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* Combo3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3_0 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label3_1 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

private:
    void pull();
    EnterPointWizard& wizard_;
    bool refreshing_ = false;
};

// Runs the wizard modally over the project.
void showEnterPointWizard(ProjectContext& context, QWidget* parent);

}  // namespace quor::project::ui
