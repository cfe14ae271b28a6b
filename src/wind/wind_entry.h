#pragma once
// The OK of the wind entry form without the form: read the sixteen class
// boxes in the chosen unit, put the climate into the holder with its
// powers, ask where to save it and write the hand-entry REI wind file.
// If the save is cancelled or fails, the climate goes to the temporary
// wind file instead, so that nothing typed is lost.
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "model/model_state.h"
#include "platform/feedback.h"

namespace quor::wind {

struct WindEntryInput {
    // Box 2k is the mean speed of class k, box 2k + 1 its percentage.
    std::array<std::string, 16> boxes;
    std::string unit = "m/s";  // as shown in the unit box
    std::string station, startdate, enddate;
};

struct WindEntryContext {
    model::ModelState& state;
    model::MainFormState& mainform;
    model::WindSummary& winddata;
    const model::SettingsHolder& fm_property;
    platform::Messages& messages;
    // The save dialog, starting in the given folder: the chosen path, or
    // nothing when the user cancels.
    std::function<std::optional<std::string>(const std::string& startFolder)> chooseSavePath;
    // The wind-file boxes of the New Project dialog and the weighting tool.
    std::function<void(const std::string&)> setProjectWindBox = {};
    std::function<void(const std::string&)> setWeightingWindBox = {};
};

enum class WindEntryResult {
    StayOpen,        // the input was refused; the user has been told why
    Saved,           // written where the user chose
    SavedTemporary,  // written to the temporary wind file
};

// Labels of the sixteen boxes, for messages.
extern const std::array<std::string, 16> kWindEntryCaptions;

WindEntryResult winddata_ok(const WindEntryInput& input, WindEntryContext& ctx);

// The save dialog's filter and the extension a name without one is given,
// so that the wind file choosers list the file.
inline constexpr const char* kWindEntryFilter = "Wind data(*.txt)";
inline constexpr const char* kWindEntryExtension = ".txt";
std::string withWindEntryExtension(const std::string& path);

// The wind data's name: the file name without a ".txt" ending (any other
// ending stays, so "bay.Wind_REI" stays whole).
std::string windNameFromPath(const std::string& path);

}  // namespace quor::wind
