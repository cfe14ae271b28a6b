#include "app/settings_loader.h"

#include <cfloat>
#include <cmath>
#include <optional>

#include "platform/numbers.h"

namespace quor::app {

namespace {

constexpr const char* kSettings = "Settings";
constexpr const char* kParameter = "Parameter";
constexpr const char* kWindCategory = "Wind_category";
constexpr const char* kPower = "Power";

// A store that cannot be read answers like a missing key, and a write
// that fails is dropped: start-up must go on with the next value.
std::string readText(const platform::SettingsStore& store, const char* section, const char* key) {
    try {
        return store.read(kSettingsApp, section, key);
    } catch (...) {
        return {};
    }
}

void writeText(platform::SettingsStore& store, const char* section, const char* key, const std::string& text) {
    try {
        store.write(kSettingsApp, section, key, text);
    } catch (...) {
    }
}

void writeNumber(platform::SettingsStore& store, const char* section, const char* key, double value) {
    writeText(store, section, key, platform::formatNumber(value));
}

// Conversions that fail (empty text, not a number, out of the target's
// range) give nothing; the caller then keeps the target at 0.
std::optional<double> toDouble(const std::string& text) { return platform::parseNumber(text); }

std::optional<float> toSingle(const std::string& text) {
    auto v = platform::parseNumber(text);
    if (!v || std::fabs(*v) > FLT_MAX) return std::nullopt;
    return static_cast<float>(*v);
}

std::optional<int16_t> toInteger(const std::string& text) {
    try {
        return platform::parseInt16(text);
    } catch (const platform::OverflowError&) {
        return std::nullopt;
    }
}

double readDouble(const platform::SettingsStore& store, const char* section, const char* key) {
    return toDouble(readText(store, section, key)).value_or(0.0);
}

// A Double setting whose default applies when it reads as 0 (missing,
// "0" or not a number); the default is written back as `stored`.
double doubleOrDefault(platform::SettingsStore& store, const char* section, const char* key, double fallback,
                       double stored, const char* writeKey = nullptr) {
    const double v = readDouble(store, section, key);
    if (v != 0.0) return v;
    writeNumber(store, section, writeKey ? writeKey : key, stored);
    return fallback;
}

// A holder value whose default applies only when nothing is stored; a
// stored text that is not a number reads as 0.
double holderNumber(platform::SettingsStore& store, const char* section, const char* key, double fallback) {
    const std::string text = readText(store, section, key);
    if (text.empty()) {
        writeNumber(store, section, key, fallback);
        return fallback;
    }
    return toDouble(text).value_or(0.0);
}

}  // namespace

void loadSettingsParameters(platform::SettingsStore& store, model::ModelState& state, model::MainFormState& form) {
    form.Fetch = doubleOrDefault(store, kSettings, "Fetch", 10000, 10000);
    state.Fetch_first = doubleOrDefault(store, kParameter, "Fetch_first", 1000, 1000);

    // Only tested, so that the key exists for the settings dialog.
    if (readDouble(store, kParameter, "Fetch_second") == 0.0) writeNumber(store, kParameter, "Fetch_second", 1000);

    // 100 is used now, but 500 is what the next start will read.
    state.Depth_intg_first = doubleOrDefault(store, kParameter, "Depth_intg_first", 100, 500);
    state.Depth_intg_second =
        doubleOrDefault(store, kParameter, "Depth_intg_second", 100, 100, "depth_intg_second");
    // A step of 0 or less would never move the second stage along its ray.
    if (state.Depth_intg_second < 0) {
        writeNumber(store, kParameter, "depth_intg_second", 100);
        state.Depth_intg_second = 100;
    }
    state.A_goda = doubleOrDefault(store, kParameter, "A_goda", 0.17, 0.17);

    // Stored as N for a tolerance of one in N.
    const double eps = readDouble(store, kParameter, "Eps");
    if (eps == 0.0) {
        state.Eps = 1.0 / 1000.0;
        writeNumber(store, kParameter, "Eps", 1000);
    } else if (std::isfinite(1.0 / eps)) {
        // A reciprocal too large for a Double fails like a conversion:
        // Eps then stays as it was instead of becoming infinite.
        state.Eps = 1.0 / eps;
    }

    state.goda_slope = doubleOrDefault(store, kParameter, "alpha", 1.909, 1.909);

    form.proj_name = readText(store, kSettings, "name");
    if (form.proj_name.empty()) {
        form.proj_name = "Quor_proj";
        writeText(store, kSettings, "name", form.proj_name);
    }
}

void loadSettingsProjectFolder(platform::SettingsStore& store, const model::ModelState& state,
                               model::MainFormState& form) {
    form.dir_path = readText(store, kSettings, "default");
    if (form.dir_path.empty()) {
        form.dir_path = state.app_folder + "/Project";
        writeText(store, kSettings, "default", form.dir_path);
    }
}

void loadSettingsHolder(platform::SettingsStore& store, model::ModelState& state, model::MainFormState& form,
                        model::SettingsHolder& holder) {
    // Only an empty text takes the default: a stored 0 is a valid distance.
    const std::string bathyDist = readText(store, kSettings, "Bathy_dist");
    if (bathyDist.empty()) {
        form.dist_bathy = 100;
        writeNumber(store, kSettings, "Bathy_dist", 100);
    } else {
        form.dist_bathy = toDouble(bathyDist).value_or(0.0);
    }

    holder.wind_cat1 = holderNumber(store, kWindCategory, "wind_cat1", 30);
    holder.wind_cat2 = holderNumber(store, kWindCategory, "wind_cat2", 60);
    holder.wind_cat3 = holderNumber(store, kWindCategory, "wind_cat3", 0);
    holder.wind_cat4 = holderNumber(store, kWindCategory, "wind_cat4", 0);
    holder.Power1 = holderNumber(store, kPower, "Power1", 0.053);
    holder.Power2 = holderNumber(store, kPower, "Power2", 0.062);
    holder.Power3 = holderNumber(store, kPower, "Power3", 0);
    holder.Power4 = holderNumber(store, kPower, "Power4", 0);
    holder.Power5 = holderNumber(store, kPower, "Power5", 0.082);

    holder.windcatno = toInteger(readText(store, kSettings, "windcatno")).value_or(0);
    if (holder.windcatno == 0) {
        holder.windcatno = 3;
        writeNumber(store, kSettings, "windcatno", 3);
    }

    const std::string option = readText(store, kSettings, "option_index");
    if (option.empty()) {
        holder.optionindex = 1;
        writeNumber(store, kSettings, "option_index", 1);
    } else {
        holder.optionindex = toInteger(option).value_or(0);
    }

    // A stored flag is left for the REI settings dialog to read itself.
    if (readText(store, kSettings, "recommend_settings").empty()) {
        holder.rec_setting = true;
        writeText(store, kSettings, "recommend_settings", "True");
    }

    // Without a usable first bound the categories make no sense: fall back
    // to the recommended set, in memory only, so the stored values survive.
    if (holder.wind_cat1 == 0.0 || std::isnan(holder.wind_cat1)) {
        holder.wind_cat1 = 30;
        holder.wind_cat2 = 60;
        holder.wind_cat3 = 0;
        holder.wind_cat4 = 0;
        holder.Power1 = 0.053;
        holder.Power2 = 0.062;
        holder.Power3 = 0;
        holder.Power4 = 0;
        holder.Power5 = 0.082;
    }

    state.wv_indexcheck = toInteger(readText(store, kSettings, "wv_indexcheck")).value_or(0);
    // The REI fast algorithm chosen in an earlier session.
    holder.indexcheck = toInteger(readText(store, kSettings, "indexcheck")).value_or(0);
}

void loadSettingsSea(platform::SettingsStore& store, model::ModelState& state) {
    state.sea_temp = toSingle(readText(store, kParameter, "Sea_temp")).value_or(20.0f);
    state.sea_salinity = toSingle(readText(store, kParameter, "Sea_salinity")).value_or(34.84f);
}

}  // namespace quor::app
