#include "model/wind_classes.h"

namespace quor::model {

namespace {

int checked(int k) {
    if (k < 0 || k >= kWindClassCount) throw SubscriptError();
    return k;
}

// The seven double members of a group; the NE member is the float beside them.
template <class W>
auto speeds(W& w) { return std::array{&w.windspd_ee, &w.windspd_se, &w.windspd_ss, &w.windspd_sw, &w.windspd_ww, &w.windspd_nw, &w.windspd_nn}; }
template <class W>
auto percents(W& w) { return std::array{&w.winddur_ee, &w.winddur_se, &w.winddur_ss, &w.winddur_sw, &w.winddur_ww, &w.winddur_nw, &w.winddur_nn}; }
template <class W>
auto powers(W& w) { return std::array{&w.windpower_ee, &w.windpower_se, &w.windpower_ss, &w.windpower_sw, &w.windpower_ww, &w.windpower_nw, &w.windpower_nn}; }

}  // namespace

double windSpeed(const WindSummary& w, int k) {
    return checked(k) == 7 ? double{w.windspd_ne} : *speeds(w)[k];
}

double windPercent(const WindSummary& w, int k) {
    return checked(k) == 7 ? double{w.winddur_ne} : *percents(w)[k];
}

double windPower(const WindSummary& w, int k) {
    return checked(k) == 7 ? double{w.windpower_ne} : *powers(w)[k];
}

void setWindSpeed(WindSummary& w, int k, double value) {
    if (checked(k) == 7) w.windspd_ne = static_cast<float>(value);
    else *speeds(w)[k] = value;
}

void setWindPercent(WindSummary& w, int k, double value) {
    if (checked(k) == 7) w.winddur_ne = static_cast<float>(value);
    else *percents(w)[k] = value;
}

// Powers are single precision in every class.
void setWindPower(WindSummary& w, int k, double value) {
    const float single = static_cast<float>(value);
    if (checked(k) == 7) w.windpower_ne = single;
    else *powers(w)[k] = single;
}

}  // namespace quor::model
