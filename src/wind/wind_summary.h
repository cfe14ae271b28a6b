#pragma once
// The wind summary holder's operations: moving the entry form's class
// tables into the holder and back, and deriving the distance-decay power
// of each class and of each of the 32 REI ray directions from the class
// speeds and the wind-speed categories of the settings.
#include <array>
#include <optional>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"

namespace quor::wind {

inline constexpr double kMphToMs = 0.447;

// Class speeds and percentages of the tables into the holder's members.
void assgn_array(model::WindSummary& winddata);
// The holder's class speeds back into the speed table (percentages stay).
void assgn_code(model::WindSummary& winddata);
// Powers of the eight classes and the 32 interpolated ray powers. An
// unusable category count is told to the user and gives power 0 throughout.
void assgn_power(model::WindSummary& winddata, const model::SettingsHolder& fm_property,
                 platform::Messages& messages);

// The power of one class speed (m/s) under the settings' categories; a
// speed equal to a bound belongs to the lower category. Nothing when the
// category count is not 1 to 5.
std::optional<double> classPower(double speed, const model::SettingsHolder& fm_property);

// The 32 ray powers, clockwise from east, interpolated in quarters between
// neighbouring classes: item 4k is class k's own power.
std::vector<float> interpolatedPowers(const std::array<double, 8>& classPowers);

}  // namespace quor::wind
