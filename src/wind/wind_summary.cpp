#include "wind/wind_summary.h"

#include <optional>

#include "model/wind_classes.h"

namespace quor::wind {

void assgn_array(model::WindSummary& w) {
    for (int k = 0; k < model::kWindClassCount; ++k) {
        model::setWindSpeed(w, k, w.class_speed(k));
        model::setWindPercent(w, k, w.class_percent(k));
    }
}

void assgn_code(model::WindSummary& w) {
    for (int k = 0; k < model::kWindClassCount; ++k) w.class_speed(k) = model::windSpeed(w, k);
}

std::optional<double> classPower(double s, const model::SettingsHolder& fm) {
    const double b1 = fm.wind_cat1 * kMphToMs;
    const double b2 = fm.wind_cat2 * kMphToMs;
    const double b3 = fm.wind_cat3 * kMphToMs;
    const double b4 = fm.wind_cat4 * kMphToMs;
    switch (fm.windcatno) {
        case 1:
            return fm.Power1;
        case 2:
            return s <= b1 ? fm.Power1 : fm.Power5;
        case 3:
            return s <= b1 ? fm.Power1 : s <= b2 ? fm.Power2 : fm.Power5;
        case 4:
            return s <= b1 ? fm.Power1 : s <= b2 ? fm.Power2 : s <= b3 ? fm.Power3 : fm.Power5;
        case 5:
            return s <= b1   ? fm.Power1
                   : s <= b2 ? fm.Power2
                   : s <= b3 ? fm.Power3
                   : s <= b4 ? fm.Power4
                             : fm.Power5;
        default:
            return std::nullopt;
    }
}

std::vector<float> interpolatedPowers(const std::array<double, 8>& p) {
    std::vector<float> items;
    items.reserve(32);
    for (int x = 0; x < 8; ++x) {
        const int y = (x + 1) % 8;
        for (int q = 0; q < 4; ++q) items.push_back(static_cast<float>(p[x] + q * (p[y] - p[x]) / 4));
    }
    return items;
}

void assgn_power(model::WindSummary& w, const model::SettingsHolder& fm, platform::Messages& messages) {
    std::array<double, 8> p{};
    const bool usable = fm.windcatno >= 1 && fm.windcatno <= 5;
    if (!usable)
        messages.message(" Please select the wind categories in Data--> Settings menu.",
                         platform::MessageIcon::Exclamation);
    for (int k = 0; k < model::kWindClassCount; ++k) {
        if (usable) p[k] = *classPower(w.class_speed(k), fm);
        // Powers are single precision in the holder; the ray powers start from them.
        model::setWindSpeed(w, k, w.class_speed(k));
        model::setWindPower(w, k, p[k]);
        p[k] = model::windPower(w, k);
    }
    w.windpowercoll = interpolatedPowers(p);
}

}  // namespace quor::wind
