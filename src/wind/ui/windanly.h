#pragma once
// The wind analysis dialog: a buoy station, a start and an end date-time
// and a top percentage of wind speed; "Analyze Wind Data" checks them and
// runs the REI analysis, the RWE buoy download, or the RWE analysis of a
// local wind text file.
#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/settings_store.h"
#include "wind/buoy_download.h"
#include "wind/rei_wind_analysis.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

namespace quor::wind {

// Setting that holds the buoy data server's address (application "Quor3",
// section "Settings"); no server is built in.
inline constexpr const char* kBuoyServerKey = "buoy_server";

struct WindanlyEnv {
    model::ModelState& state;
    model::WindSummary& holder;
    const model::MainFormState& form;
    platform::SettingsStore& store;
    platform::Messages& messages;
    std::shared_ptr<YearFetcher> fetcher;        // default: HTTP on a worker thread
    std::shared_ptr<SavePathChooser> chooser;    // default: a save-file dialog
    RweTextAnalysis rweAnalysis;                 // the RWE wind text analysis
    // The local file and its columns, as chosen in the column chooser.
    std::function<std::optional<WindTextCall>()> localFileCall;
    std::function<void()> showColumnChooser;     // "For analyzing wind data text file ..."
    std::function<void()> showSummary;           // the wind summary display
    std::function<void(bool busy)> mainWindowBusy;  // hourglass on the main window
};

class windanly final : public QDialog {
public:
    explicit windanly(WindanlyEnv env, QWidget* parent = nullptr);
    ~windanly() override;

    void Command1_Click();  // "Analyze Wind Data"
    void Command2_Click();  // "Cancel"
    void Command3_Click();  // local wind text file

    // The column chooser switches between the web and the local-file layout.
    void setLocalFileLayout(bool local);

    QComboBox* Combo1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    std::array<QComboBox*, 4> Combo2{};
    std::array<QComboBox*, 4> Combo3{};
    std::array<QLabel*, 2> Label1{};
    QSlider* Slider1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label4 = nullptr;
    QProgressBar* Animation1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;

private:
    void Form_Load();
    void setInputsEnabled(bool enabled);
    void setBusyPointer(bool busy);
    void restore(bool failed);
    WindRunOutcome dispatch(const BuoyWindRequest& rq);
    WindDialogHooks hooks();

    WindanlyEnv env_;
    bool closeRequested_ = false;
};

}  // namespace quor::wind
