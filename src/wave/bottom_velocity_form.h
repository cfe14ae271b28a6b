#pragma once
// The bottom-velocity settings of RWE runs: on or off, the method (the
// estimated spectral analysis or linear wave theory) and the sediment
// test with its density and grain diameter. Nothing reaches the model
// until every entry has been checked.
#include <functional>
#include <string>

#include "model/model_state.h"
#include "model/setting_checks.h"
#include "platform/feedback.h"

namespace quor::wave {

inline constexpr const char* kDensityDefaultMessage = "Please enter a valid sediment density, default value will be used";
inline constexpr const char* kDiameterDefaultMessage =
    "Please enter a valid sediment grain diameter, default value will be used";
inline constexpr const char* kDensityNotANumber = model::kMsgDensityNotANumber;
inline constexpr const char* kDiameterNotANumber = model::kMsgDiameterNotANumber;
inline constexpr double kDefaultSedimentDensity = 2650;
inline constexpr double kDefaultSedimentDiameter = 0.0002;

// What the window shows and the user changes.
struct BottomVelocityChoice {
    bool velocity = false;
    bool sediment = false;
    bool spectral = true;  // false: linear wave theory
    std::string density = "2650";
    std::string diameter = "0.0002";
};

// The density of the sea water at the settings' temperature and salinity,
// kg/m3: what a sediment must be heavier than.
double seaWaterDensity(const model::ModelState& state);

class Orbital_velocity_frm {
public:
    Orbital_velocity_frm(model::ModelState& state, platform::Messages& messages)
        : s_(state), messages_(messages) {}

    // The state the window opens with: the switches as stored, the two
    // entries with their default texts.
    BottomVelocityChoice Form_Load() const;

    // OK. Refuses (false, the window stays open, nothing changed) an entry
    // that is no number, or a sediment density not above the sea water's.
    // An empty or non-positive entry takes its default after a message.
    // On success the settings are applied and `statusText` receives the
    // status-bar text of the method.
    bool Command1_Click(const BottomVelocityChoice& choice, std::string& statusText);

private:
    model::ModelState& s_;
    platform::Messages& messages_;
};

}  // namespace quor::wave
