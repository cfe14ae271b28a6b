#pragma once
// The REI settings: maximum fetch, interrogation distance, default
// project name and folder, fast algorithm and background run, and the
// wind-speed categories with their distance-decay powers. The dialog's
// values are kept here as the texts the user sees, so the dialog is a thin
// view and every rule can be exercised headless.
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "model/model_state.h"
#include "model/setting_checks.h"
#include "platform/feedback.h"
#include "platform/settings_store.h"

namespace quor::rei {

inline constexpr const char* kSettingsApp = "Quor3";
inline constexpr const char* kFillInData = " Please choose and fill in the appropriate data";
inline constexpr const char* kNameProject = "Please select a name for new project file";
inline constexpr const char* kCategoryCount = model::kMsgCategoryCount;
inline constexpr const char* kPowersAsNumbers = model::kMsgPowersAsNumbers;
inline constexpr const char* kBoundsIncrease = model::kMsgBoundsIncrease;

// The recommended categories: 3, bounds 30 and 60 mph, powers 0.053, 0.062 and 0.082.
inline const std::array<std::string, 4> kRecommendedBounds = {"30", "60", "0", "0"};
inline const std::array<std::string, 5> kRecommendedPowers = {"0.053", "0.062", "0", "0", "0.082"};

struct ReiSettingsForm {
    std::string fetch, distance, name, folder;
    bool fastAlgorithm = false;
    bool background = false;  // only with the fast algorithm
    bool defaults = false;    // "Set default settings"
    bool recommended = true;  // "Yes" of the recommended powers
    std::string windcatno;
    std::array<std::string, 4> bounds;  // upper bounds of categories 1 to 4, mph
    std::array<std::string, 5> powers;  // categories 1 to 4 and the top one
};

// What the dialog shows when it opens: the stored values, the fast
// algorithm as stored, the background run off (the holder's too).
ReiSettingsForm Form_Load(const platform::SettingsStore& store, model::SettingsHolder& holder);

// "Set default settings" ticked: the defaults into the form and the holder.
void applyDefaults(ReiSettingsForm& form, model::SettingsHolder& holder, const std::string& app_folder);
// "Yes" of the recommended powers.
void applyRecommended(ReiSettingsForm& form, model::SettingsHolder& holder);
// "No": the stored category count and empty ("0") bounds and powers.
void chooseOwnCategories(ReiSettingsForm& form, const platform::SettingsStore& store, model::SettingsHolder& holder);
// The fast algorithm box: unticking it also turns the background run off.
void setFastAlgorithm(ReiSettingsForm& form, model::SettingsHolder& holder, bool on);

// Why OK cannot accept the form, or nothing. Nothing is changed.
std::optional<std::string> checkReiSettings(const ReiSettingsForm& form);

// OK: checks everything first; when the form is refused the user is told
// and nothing changes (false: the dialog stays open). Otherwise the holder,
// the main window's values and the store take the form, and the status
// panels are set through `setStatusPanel`.
bool Command1_Click(const ReiSettingsForm& form, platform::SettingsStore& store, model::SettingsHolder& holder,
                    model::MainFormState& mainform, platform::Messages& messages,
                    const std::function<void(int panel, const std::string& text)>& setStatusPanel = {});

// Closing, however it happens: the stored values back into the holder and
// the main window, so a cancelled dialog leaves the stored state in force.
void Form_Unload(const platform::SettingsStore& store, model::SettingsHolder& holder, model::MainFormState& mainform);

}  // namespace quor::rei
