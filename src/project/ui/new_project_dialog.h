#pragma once
// The New Project dialog: shows a NewProjectForm and forwards its events.
#include <QDialog>

#include "project/new_project_form.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quor::project::ui {

class NewProjectDialog final : public QDialog {
public:
    explicit NewProjectDialog(NewProjectForm& form, QWidget* parent = nullptr);

    // Shows the form's state in the widgets.
    void refresh();

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* Combo1 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command2 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* Option_manual = nullptr;
    QRadioButton* Option_text = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* Command3 = nullptr;
    QCheckBox* Check2 = nullptr;
    QPushButton* newpro_ok = nullptr;
    QPushButton* newpro_cancel = nullptr;

    // The close box and Escape cancel the dialog as its Cancel button does.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void after();
    void takeTypedPath(QLineEdit* box);
    NewProjectForm& form_;
    bool refreshing_ = false;
    bool takingPath_ = false;
};

// Shows the dialog modally over the form (ProjectWindow::showNewProjectDialog
// of the main window can simply call this).
void showNewProjectDialog(NewProjectForm& form, QWidget* parent);

}  // namespace quor::project::ui
