#pragma once
// The REI settings dialog "  Settings": the General tab (fetch,
// interrogation distance, project name and folder, fast algorithm,
// background run) and the Power Function tab (recommended powers or the
// user's own wind-speed categories). Its rules live in rei_settings.h.
#include <QDialog>

#include <array>
#include <functional>
#include <string>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/settings_store.h"
#include "rei/rei_settings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace quor::rei::ui {

struct FmPropertyContext {
    platform::SettingsStore& store;
    model::SettingsHolder& holder;
    model::MainFormState& mainform;
    platform::Messages& messages;
    std::string app_folder;
    std::function<void(int panel, const std::string& text)> setStatusPanel = {};
};

class FmProperty : public QDialog {
public:
    explicit FmProperty(FmPropertyContext ctx, QWidget* parent = nullptr);

    // General
    QLineEdit* Text4 = nullptr;
    QComboBox* Combo2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Dir1 = nullptr;
    QPushButton* browseFolder = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    // Power Function
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QComboBox* Combo1 = nullptr;
    std::array<QLabel*, 5> Label9{};
    std::array<QLineEdit*, 5> Text1{};  // lower bounds, echoes only (index 0 unused)
    std::array<QLineEdit*, 4> Text2{};  // upper bounds
    std::array<QLineEdit*, 5> Text5{};  // powers
    // Below the tabs
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QTabWidget* tabs = nullptr;

    void Command1_Click();
    void Check1_Click();
    void Check2_Click();
    void Option1_Click();
    void Option2_Click();
    void Combo1_Click();
    void Text2_Change();

    // Closing however it happens re-reads the stored settings.
    void done(int r) override;

private:
    QWidget* generalTab();
    QWidget* powerTab();
    void categoryRows();
    void addButtons();
    void connectControls();
    ReiSettingsForm read() const;
    void fill(const ReiSettingsForm& f);
    void setGeneralEnabled(bool on);
    int categoryCount() const;

    FmPropertyContext ctx_;
    bool filling_ = false;
};

}  // namespace quor::rei::ui
