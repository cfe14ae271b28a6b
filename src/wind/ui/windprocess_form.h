#pragma once
// The "Process Shapefile" tool window: a fast-run REI dataset (chosen, or
// its path typed), a REI wind file (chosen, or typed in through the wind
// entry form), the fetch and the interrogation distance of the run; OK
// writes "IIndex".
#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gis/shorebathy.h"
#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "rei/rei_run.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quor::wind::ui {

struct WindprocessContext {
    model::MainFormState& mainform;  // only the project folder is read, for the entry form's files
    const model::SettingsHolder& fm_property;
    std::string app_folder;
    platform::Messages& messages;
    platform::Progress& progress;
    gis::DatasetChooser& datasets;
    model::RunShell* shell = nullptr;
    // The wind file chooser; empty: a file dialog.
    std::function<std::optional<std::string>()> chooseWindFile = {};
    // The wind entry form's save dialog; empty: a file dialog.
    std::function<std::optional<std::string>(const std::string&)> chooseSavePath = {};
    // While a run holds it the tool does not start: it would take the
    // shared progress window and the toolbars from the run.
    const model::RunLock* runLock = nullptr;
};

class WindprocessForm : public QDialog {
public:
    explicit WindprocessForm(WindprocessContext ctx, QWidget* parent = nullptr);
    ~WindprocessForm() override;

    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QRadioButton* Option_text = nullptr;
    QRadioButton* Option_manual = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* Command3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QComboBox* Combo2 = nullptr;
    QPushButton* newpro_ok = nullptr;
    QPushButton* newpro_cancel = nullptr;

    void Command1_Click();
    void Command3_Click();
    void Option_manual_Click();
    void Option_text_Click();
    void newpro_ok_Click();

    const std::shared_ptr<platform::gis::FeatureClass>& dataset() const { return dataset_; }

private:
    // A dataset typed into Text1 replaces the chosen one; false (and told)
    // when it cannot be opened.
    bool takeTypedDataset();

    WindprocessContext ctx_;
    std::shared_ptr<platform::gis::FeatureClass> dataset_;
    QString shown_;  // what Text1 showed for dataset_
};

}  // namespace quor::wind::ui
