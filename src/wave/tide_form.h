#pragma once
// The water-level adjustment of single RWE runs: one number in metres,
// kept for the session only. Positive values make the water deeper (the
// run subtracts its negation from every site's depth); batch runs take
// theirs from the water-level file, whose sign is the opposite.
#include <optional>
#include <string>

#include "model/model_state.h"
#include "model/setting_checks.h"
#include "platform/feedback.h"

namespace quor::wave {

inline constexpr const char* kTideTitle = "Water Level Adjustment Tool";
inline constexpr const char* kTidePrompt = "Enter a value to raise or lower the bathymetry:";
inline constexpr const char* kTideUnit = "(meter)";
inline constexpr const char* kTideSign = "Positive values raise the water (deeper), negative values lower it.";
inline constexpr const char* kTideNotANumber = model::kMsgWaterLevelNotANumber;

class Tide_frm {
public:
    Tide_frm(model::ModelState& state, platform::Messages& messages) : s_(state), messages_(messages) {}

    // The text the box shows: the current water level, shortest form.
    std::string Form_Load() const;
    // OK: empty text sets 0, a number sets it; anything else is refused
    // with a message and the dialog stays open (false).
    bool Command1_Click(const std::string& text);

private:
    model::ModelState& s_;
    platform::Messages& messages_;
};

}  // namespace quor::wave
