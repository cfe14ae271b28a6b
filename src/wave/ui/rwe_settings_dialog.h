#pragma once
// The RWE settings window: "General" and "Parameters" tabs over the
// headless settings core. A folder box with a picker stands in for the
// drive and folder lists.
#include <QDialog>

#include "wave/rwe_settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace quor::wave::ui {

class RweSettingsDialog final : public QDialog {
public:
    RweSettingsDialog(model::ModelState& state, model::MainFormState& mainform, model::SettingsHolder& holder,
                      platform::SettingsStore& store, platform::Messages& messages,
                      std::function<void(int, const std::string&)> setStatusPanel = {}, QWidget* parent = nullptr);

    QTabWidget* SSTab1;
    QLineEdit* Text3;      // project name
    QLineEdit* Dir1;       // default project folder
    QPushButton* Browse;
    QRadioButton* Option3[5];
    QCheckBox* Check1;     // "Set default settings"
    QCheckBox* Check2;     // fast algorithm
    QCheckBox* Check3;     // background run
    QCheckBox* Check4;     // debugging
    QLineEdit* Text4[9];   // indices 0, 1, 4, 6, 7, 8 are used
    QLineEdit* Text1[2];   // temperature, salinity
    QPushButton* Command1;
    QPushButton* Command2;

    void Command1_Click();
    wv_property& core() { return core_; }

protected:
    void done(int r) override;

private:
    wv_property core_;
    bool syncing_ = false;
    QWidget* generalTab();
    QWidget* parametersTab();
    void addButtons();
    void connectControls();
    void show(const RweSettingsForm& f);
    void read();
    void lockDefaults(bool locked);
};

}  // namespace quor::wave::ui
