#pragma once
// The mode dialog: switches the program between the RWE and the REI model
// while no project is open, and writes the mode texts into the status bar.
#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace quor::app {

class MainForm;

inline constexpr const char* kModeChangeRefused = "Quor mode should be changed when no project is open.";

class QuorMode_fr final : public QDialog {
public:
    explicit QuorMode_fr(MainForm& main);

    void Form_Load();
    void Command1_Click();

    QGroupBox* Frame1;
    QRadioButton* Option1[2];
    QPushButton* Command1;

private:
    MainForm& main_;
};

}  // namespace quor::app
