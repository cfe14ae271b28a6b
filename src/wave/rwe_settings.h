#pragma once
// The RWE settings: defaults for new projects, ray count, fast algorithm,
// background and debugging switches and the wave model's numerical
// parameters. The form holds what the boxes show; nothing reaches the
// model or the store until an OK whose every entry checks out.
#include <functional>
#include <optional>
#include <string>

#include "model/model_state.h"
#include "model/setting_checks.h"
#include "platform/feedback.h"
#include "platform/settings_store.h"

namespace quor::wave {

inline constexpr const char* kRweSettingsApp = "Quor3";
inline constexpr const char* kRweSettingsTitle = "Settings";
inline constexpr const char* kMsgNoName = "Please select a name for new project file";
inline constexpr const char* kMsgFillIn = " Please choose and fill in the appropriate data";
// The ranges' messages, shared with start-up's check of the stored values.
inline constexpr const char* kMsgFetchRange = model::kMsgFetchRange;
inline constexpr const char* kMsgSegments = model::kMsgSegments;
inline constexpr const char* kMsgSegmentDistance = model::kMsgSegmentDistanceRange;
inline constexpr const char* kMsgGoda = model::kMsgGoda;
inline constexpr const char* kMsgEps = model::kMsgEps;
inline constexpr const char* kMsgSlope = model::kMsgSlope;
inline constexpr const char* kMsgSeaTemperature = model::kMsgSeaTemperature;
inline constexpr const char* kMsgSeaSalinity = model::kMsgSeaSalinity;
inline constexpr int kRayCounts[5] = {16, 32, 40, 48, 56};
// The ray counts in words: "16, 32, 40, 48 or 56".
std::string rayCountsText();
// The ray option (0 .. 4) of a count of rays; nothing for another count.
std::optional<int> rayOptionOf(double rays);

// What the dialog's controls show, as text and ticks.
struct RweSettingsForm {
    std::string name;          // Text3
    std::string folder;        // the default folder for new projects
    int rayOption = 1;         // Option3 index 0..4, -1 when none is selected
    bool fastAlgorithm = false;  // Check2
    bool background = false;     // Check3
    bool backgroundEnabled = false;
    bool debug = false;          // Check4
    std::string fetch, fetchFirst, depthIntgFirst, aGoda, eps, slope;  // Text4 0, 1, 4, 6, 7, 8
    std::string seaTemp, seaSalinity;                                  // Text1 0, 1
    bool defaults = false;       // Check1 "Set default settings"
};

class wv_property {
public:
    wv_property(model::ModelState& state, model::MainFormState& mainform, model::SettingsHolder& holder,
                platform::SettingsStore& store, platform::Messages& messages,
                std::function<void(int panel, const std::string& text)> setStatusPanel = {});

    RweSettingsForm form;

    // Fills the form from the store.
    void Form_Load();
    // "Set default settings" ticked or unticked.
    void Check1_Click(bool ticked);
    // The fast-algorithm box clicked into its new state.
    void Check2_Click(bool ticked);
    // OK: checks every entry, then applies and stores them all. False keeps
    // the dialog open with nothing changed.
    bool Command1_Click();
    // Every close: the main window's values come back from the store.
    void Form_Unload();

    // The data folder's "Project" folder, the default for new projects.
    std::string defaultFolder() const;

private:
    model::ModelState& s_;
    model::MainFormState& main_;
    model::SettingsHolder& holder_;
    platform::SettingsStore& store_;
    platform::Messages& messages_;
    std::function<void(int, const std::string&)> setStatusPanel_;
};

}  // namespace quor::wave
