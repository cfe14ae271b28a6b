#include "model/settings_loader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>

#include "model/setting_checks.h"
#include "platform/numbers.h"
#include "platform/run_threads.h"

namespace quor::model {

namespace {

constexpr const char* kSettings = "Settings";
constexpr const char* kParameter = "Parameter";
constexpr const char* kWindCategory = "Wind_category";
constexpr const char* kPower = "Power";

struct RecommendedValue {
    const char* section;
    const char* key;
    double value;
};
// The recommended wind-speed categories, bounds then powers.
constexpr RecommendedValue kRecommendedCategories[] = {
    {kWindCategory, "wind_cat1", 30}, {kWindCategory, "wind_cat2", 60}, {kWindCategory, "wind_cat3", 0},
    {kWindCategory, "wind_cat4", 0},  {kPower, "Power1", 0.053},       {kPower, "Power2", 0.062},
    {kPower, "Power3", 0},            {kPower, "Power4", 0},           {kPower, "Power5", 0.082}};

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

// A stored value the settings dialog would refuse: the default takes its
// place, in memory and in the store, and the replacement is listed for
// the one report at the end of start-up.
void replaced(platform::SettingsStore& store, ReplacedSettings* report, const char* section, const char* key,
              const std::string& was, const std::string& now, const std::string& why) {
    writeText(store, section, key, now);
    if (report) report->push_back({section, key, was, now, why});
}

using Check = std::function<SettingProblem(double)>;

// A Double setting whose default applies when nothing is stored or what
// is stored reads as 0 (written back as `stored`, without a word), or when
// the dialog's check refuses what is stored (written back and reported).
double checkedDouble(platform::SettingsStore& store, ReplacedSettings* report, const char* section,
                     const char* key, double fallback, double stored, const Check& check,
                     const char* writeKey = nullptr) {
    const std::string text = readText(store, section, key);
    const char* target = writeKey ? writeKey : key;
    const auto v = toDouble(text);
    const SettingProblem problem =
        text.empty() ? std::nullopt : !v ? SettingProblem("not a number") : check(*v);
    if (problem) {
        replaced(store, report, section, target, text, platform::formatNumber(stored), *problem);
        return fallback;
    }
    if (v && *v != 0.0) return *v;
    writeNumber(store, section, target, stored);
    return fallback;
}

// A 16-bit switch or option. Text that is no number reads as 0, as it
// always has; a number the check refuses gives way to `fallback`, in memory
// and in the store, and is reported.
int16_t checkedInteger(platform::SettingsStore& store, ReplacedSettings* report, const char* section,
                       const char* key, int16_t fallback, const Check& check) {
    const std::string text = readText(store, section, key);
    if (const auto v = toDouble(text)) {
        if (auto problem = check(*v)) {
            replaced(store, report, section, key, text, std::to_string(fallback), *problem);
            return fallback;
        }
    }
    return toInteger(text).value_or(0);
}

// A holder value whose default applies only when nothing is stored; a
// stored text that is not a number reads as NaN here, for the check.
double holderNumber(platform::SettingsStore& store, const char* section, const char* key, double fallback) {
    const std::string text = readText(store, section, key);
    if (text.empty()) {
        writeNumber(store, section, key, fallback);
        return fallback;
    }
    return toDouble(text).value_or(std::nan(""));
}

}  // namespace

void loadSettingsParameters(platform::SettingsStore& store, ModelState& state, MainFormState& form,
                            ReplacedSettings* report) {
    form.Fetch = checkedDouble(store, report, kSettings, "Fetch", 10000, 10000, fetchProblem);
    state.Fetch_first = checkedDouble(store, report, kParameter, "Fetch_first", 1000, 1000,
                                      [&](double v) { return segmentLengthProblem(v, form.Fetch); });
    // The default segment never reaches beyond a shorter fetch, or the next
    // start would refuse it in its turn.
    if (segmentLengthProblem(state.Fetch_first, form.Fetch)) {
        state.Fetch_first = form.Fetch;
        writeNumber(store, kParameter, "Fetch_first", form.Fetch);
    }

    // Only tested, so that the key exists for the settings dialog.
    if (readDouble(store, kParameter, "Fetch_second") == 0.0) writeNumber(store, kParameter, "Fetch_second", 1000);

    // 100 is used now, but 500 is what the next start will read.
    state.Depth_intg_first =
        checkedDouble(store, report, kParameter, "Depth_intg_first", 100, 500, segmentDistanceProblem);
    state.Depth_intg_second = checkedDouble(store, report, kParameter, "Depth_intg_second", 100, 100,
                                            secondDistanceProblem, "depth_intg_second");
    state.A_goda = checkedDouble(store, report, kParameter, "A_goda", 0.17, 0.17, godaProblem);

    // Stored as N for a tolerance of one in N.
    const double n = checkedDouble(store, report, kParameter, "Eps", 1000, 1000, epsProblem);
    state.Eps = 1.0 / n;

    state.goda_slope = checkedDouble(store, report, kParameter, "alpha", 1.909, 1.909, slopeProblem);

    form.proj_name = readText(store, kSettings, "name");
    if (form.proj_name.empty()) {
        form.proj_name = "Quor_proj";
        writeText(store, kSettings, "name", form.proj_name);
    }
}

void loadSettingsProjectFolder(platform::SettingsStore& store, const ModelState& state,
                               MainFormState& form) {
    form.dir_path = readText(store, kSettings, "default");
    if (form.dir_path.empty()) {
        form.dir_path = state.app_folder + "/Project";
        writeText(store, kSettings, "default", form.dir_path);
    }
}

void loadSettingsHolder(platform::SettingsStore& store, ModelState& state, MainFormState& form,
                        SettingsHolder& holder, ReplacedSettings* report) {
    // Only an empty text takes the default silently; anything else the
    // REI settings would refuse (a stored 0 among them) is replaced.
    form.dist_bathy = checkedDouble(store, report, kSettings, "Bathy_dist", 100, 100, bathyDistanceProblem);

    holder.wind_cat1 = holderNumber(store, kWindCategory, "wind_cat1", 30);
    holder.wind_cat2 = holderNumber(store, kWindCategory, "wind_cat2", 60);
    holder.wind_cat3 = holderNumber(store, kWindCategory, "wind_cat3", 0);
    holder.wind_cat4 = holderNumber(store, kWindCategory, "wind_cat4", 0);
    holder.Power1 = holderNumber(store, kPower, "Power1", 0.053);
    holder.Power2 = holderNumber(store, kPower, "Power2", 0.062);
    holder.Power3 = holderNumber(store, kPower, "Power3", 0);
    holder.Power4 = holderNumber(store, kPower, "Power4", 0);
    holder.Power5 = holderNumber(store, kPower, "Power5", 0.082);

    const std::string count = readText(store, kSettings, "windcatno");
    holder.windcatno = toInteger(count).value_or(0);
    if (count.empty()) {
        holder.windcatno = 3;
        writeNumber(store, kSettings, "windcatno", 3);
    }

    if (readText(store, kSettings, "option_index").empty()) {
        holder.optionindex = 1;
        writeNumber(store, kSettings, "option_index", 1);
    } else {
        holder.optionindex = checkedInteger(store, report, kSettings, "option_index", 1, rayOptionProblem);
    }

    // A stored flag is left for the REI settings dialog to read itself.
    if (readText(store, kSettings, "recommend_settings").empty()) {
        holder.rec_setting = true;
        writeText(store, kSettings, "recommend_settings", "True");
    }

    // Categories the REI settings would refuse give way, as a whole, to the
    // recommended set, in memory and in the store.
    const std::array<double, 4> bounds{holder.wind_cat1, holder.wind_cat2, holder.wind_cat3, holder.wind_cat4};
    const std::array<double, 5> powers{holder.Power1, holder.Power2, holder.Power3, holder.Power4, holder.Power5};
    const double countValue = count.empty() ? 3.0 : toDouble(count).value_or(std::nan(""));
    const bool boundsAreNumbers = std::none_of(bounds.begin(), bounds.end(), [](double b) { return std::isnan(b); });
    const SettingProblem categories = boundsAreNumbers
                                                 ? windCategoryProblem(countValue, bounds, powers)
                                                 : SettingProblem("a category bound is not a number");
    if (categories) {
        std::string was = "windcatno=" + count;
        holder.windcatno = 3;
        writeNumber(store, kSettings, "windcatno", 3);
        double* targets[] = {&holder.wind_cat1, &holder.wind_cat2, &holder.wind_cat3, &holder.wind_cat4,
                             &holder.Power1,    &holder.Power2,    &holder.Power3,    &holder.Power4, &holder.Power5};
        for (int i = 0; i < 9; ++i) {
            const RecommendedValue& r = kRecommendedCategories[i];
            was += std::string(" ") + r.key + "=" + readText(store, r.section, r.key);
            *targets[i] = r.value;
            writeNumber(store, r.section, r.key, r.value);
        }
        if (report)
            report->push_back({"Wind_category", "and Power", was, "the recommended 3 categories", *categories});
    }

    // Without a first bound the categories make no sense: fall back to the
    // recommended set, in memory only, so the stored values survive. (One
    // category needs no bound, so the REI settings let a 0 stand there.)
    if (holder.wind_cat1 == 0.0) {
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
    state.wv_indexcheck = checkedInteger(store, report, kSettings, "wv_indexcheck", 0, fastAlgorithmProblem);
    // The REI fast algorithm chosen in an earlier session.
    holder.indexcheck = checkedInteger(store, report, kSettings, "indexcheck", 0, fastAlgorithmProblem);
}

void loadSettingsSea(platform::SettingsStore& store, ModelState& state, ReplacedSettings* report) {
    // A missing or unreadable value takes its default in memory only; one
    // the RWE settings would refuse, one beyond a Single's range among them,
    // is also replaced in the store.
    auto sea = [&](const char* key, float fallback, const Check& check) {
        const std::string text = readText(store, kParameter, key);
        const auto v = toDouble(text);
        if (!v) return fallback;
        if (auto problem = check(*v)) {
            replaced(store, report, kParameter, key, text, platform::formatNumber(fallback), *problem);
            return fallback;
        }
        return static_cast<float>(*v);
    };
    state.sea_temp = sea("Sea_temp", 20.0f, seaTemperatureProblem);
    state.sea_salinity = sea("Sea_salinity", 34.84f, seaSalinityProblem);
}

void loadSettingsThreads(platform::SettingsStore& store, ReplacedSettings* report) {
    const std::string text = readText(store, kSettings, platform::kThreadsKey);
    if (const auto problem = platform::threadsProblem(text)) {
        replaced(store, report, kSettings, platform::kThreadsKey, text, "0", *problem);
        platform::setThreadsSetting("0");
    } else {
        platform::setThreadsSetting(text);
    }
    // The variable is no stored setting, but a user who set it wrongly is
    // told as for one; every run then uses every core.
    const char* variable = std::getenv(platform::kThreadsVariable);
    if (variable && report)
        if (const auto problem = platform::threadsProblem(variable))
            report->push_back({"", platform::kThreadsVariable, variable, "0", *problem});
}

void startSwitches(ModelState& state) {
    state.orbvel_on = 0;
    state.sediment_on = 0;
    state.velocity_method = 1;
    state.debug_mode = 0;
}

std::string replacedSettingsMessage(const ReplacedSettings& replaced) {
    std::string text = "Stored settings that the settings dialogs would refuse were replaced by their defaults:";
    for (const auto& r : replaced)
        text += "\n" + (r.section.empty() ? "" : r.section + " ") + r.key + " = \"" + r.was + "\" is now " + r.now +
                ": " + r.why;
    return text;
}

}  // namespace quor::model
