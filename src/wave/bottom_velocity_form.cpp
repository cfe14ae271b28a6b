#include "wave/bottom_velocity_form.h"

#include <cmath>
#include <memory>
#include <optional>

#include "platform/numbers.h"
#include "wave/bottom_velocity.h"

namespace quor::wave {

namespace {

bool blank(const std::string& t) { return t.find_first_not_of(" \t") == std::string::npos; }

// An entry as a number: an empty one as 0, which takes the default; one
// that is no number as NaN, which every check refuses.
double entry(const std::string& t) {
    if (blank(t)) return 0;
    return platform::parseNumber(t).value_or(std::nan(""));
}

}  // namespace

double seaWaterDensity(const model::ModelState& s) {
    auto probe = std::make_unique<model::ModelState>();
    probe->sea_temp = s.sea_temp;
    probe->sea_salinity = s.sea_salinity;
    bottom_velocity_cls(*probe).sea_density();
    return probe->sea_dens;
}

BottomVelocityChoice Orbital_velocity_frm::Form_Load() const {
    BottomVelocityChoice c;
    c.velocity = s_.orbvel_on == 1;
    c.sediment = c.velocity && s_.sediment_on == 1;
    c.spectral = s_.velocity_method != 0;
    return c;
}

bool Orbital_velocity_frm::Command1_Click(const BottomVelocityChoice& c, std::string& statusText) {
    // Everything is checked before anything is applied.
    double density = s_.sed_density, diameter = s_.sed_diameter;
    bool densityDefault = false, diameterDefault = false;
    if (c.velocity && c.sediment) {
        const double d = entry(c.density), g = entry(c.diameter);
        const double sea = seaWaterDensity(s_);
        // An entry that is no number is refused first, the density's before the diameter's.
        if (!std::isfinite(d)) {
            messages_.message(*model::sedimentDensityProblem(d, sea), platform::MessageIcon::Exclamation);
            return false;
        }
        if (auto problem = model::sedimentDiameterProblem(g)) {
            messages_.message(*problem, platform::MessageIcon::Exclamation);
            return false;
        }
        densityDefault = d <= 0;
        diameterDefault = g <= 0;
        density = densityDefault ? kDefaultSedimentDensity : d;
        diameter = diameterDefault ? kDefaultSedimentDiameter : g;
        if (auto problem = model::sedimentDensityProblem(density, sea)) {
            messages_.message(*problem, platform::MessageIcon::Exclamation);
            return false;
        }
    }
    if (densityDefault) messages_.message(kDensityDefaultMessage, platform::MessageIcon::Information);
    if (diameterDefault) messages_.message(kDiameterDefaultMessage, platform::MessageIcon::Information);

    if (c.velocity) {
        s_.orbvel_on = 1;
        if (c.sediment) {
            s_.sediment_on = 1;
            s_.sed_density = static_cast<float>(density);
            s_.sed_diameter = static_cast<float>(diameter);
        } else {
            s_.sediment_on = 0;
        }
    } else {
        s_.orbvel_on = 0;
    }
    s_.velocity_method = c.spectral ? 1 : 0;
    statusText = c.spectral ? "Velocity Mode: ESA" : "Velocity Mode: LWT";
    return true;
}

}  // namespace quor::wave
