#include "rei/rei_settings.h"

#include <cmath>
#include <limits>

#include "model/setting_checks.h"
#include "platform/numbers.h"

namespace quor::rei {

namespace {

const char* const kSettings = "Settings";
const char* const kWindCategory = "Wind_category";
const char* const kPower = "Power";

std::string read(const platform::SettingsStore& s, const char* section, const std::string& key) {
    return s.read(kSettingsApp, section, key);
}

void write(platform::SettingsStore& s, const char* section, const std::string& key, const std::string& value) {
    s.write(kSettingsApp, section, key, value);
}

std::string boundKey(int i) { return "wind_cat" + std::to_string(i + 1); }
std::string powerKey(int i) { return "Power" + std::to_string(i + 1); }

// A whole number as the bounds are stored: halves go to the even neighbour.
std::optional<long long> wholeNumber(const std::string& text) {
    const auto v = platform::parseDecimal(text);
    if (!v) return std::nullopt;
    const double r = platform::roundHalfEven(*v, 0);
    if (std::fabs(r) > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<long long>(r);
}

std::array<double*, 5> powersOf(model::SettingsHolder& h) { return {&h.Power1, &h.Power2, &h.Power3, &h.Power4, &h.Power5}; }
std::array<double*, 4> boundsOf(model::SettingsHolder& h) {
    return {&h.wind_cat1, &h.wind_cat2, &h.wind_cat3, &h.wind_cat4};
}

std::int16_t int16Of(const std::string& text) {
    try {
        return platform::parseInt16(text).value_or(0);
    } catch (const platform::OverflowError&) {
        return 0;
    }
}

}  // namespace

ReiSettingsForm Form_Load(const platform::SettingsStore& store, model::SettingsHolder& holder) {
    ReiSettingsForm f;
    f.fetch = read(store, kSettings, "Fetch");
    f.folder = read(store, kSettings, "default");
    f.name = read(store, kSettings, "name");
    f.distance = read(store, kSettings, "Bathy_dist");
    f.recommended = true;
    for (int i = 0; i < 4; ++i) f.bounds[i] = read(store, kWindCategory, boundKey(i));
    for (int i = 0; i < 5; ++i) f.powers[i] = read(store, kPower, powerKey(i));
    f.windcatno = read(store, kSettings, "windcatno");
    // The fast algorithm opens as stored, so OK alone never switches it.
    f.fastAlgorithm = int16Of(read(store, kSettings, "indexcheck")) == 1;
    f.background = false;
    holder.refreshmap = 0;
    return f;
}

void setFastAlgorithm(ReiSettingsForm& form, model::SettingsHolder& holder, bool on) {
    form.defaults = false;
    form.fastAlgorithm = on;
    if (!on) {
        form.background = false;
        holder.indexcheck = 0;
        holder.refreshmap = 0;
    }
}

void applyRecommended(ReiSettingsForm& form, model::SettingsHolder& holder) {
    form.defaults = false;
    form.recommended = true;
    form.windcatno = "3";
    form.bounds = kRecommendedBounds;
    form.powers = kRecommendedPowers;
    holder.rec_setting = true;
}

void chooseOwnCategories(ReiSettingsForm& form, const platform::SettingsStore& store, model::SettingsHolder& holder) {
    form.defaults = false;
    form.recommended = false;
    form.windcatno = read(store, kSettings, "windcatno");
    form.bounds.fill("0");
    form.powers.fill("0");
    holder.rec_setting = false;
}

void applyDefaults(ReiSettingsForm& form, model::SettingsHolder& holder, const std::string& app_folder) {
    form.defaults = true;
    form.fetch = "10000";
    form.name = "Quor_proj";
    form.distance = "100";
    form.folder = app_folder + "/Project";
    form.windcatno = "3";
    form.bounds = kRecommendedBounds;
    form.powers = kRecommendedPowers;
    form.fastAlgorithm = false;
    form.background = false;
    form.recommended = true;
    holder.windcatno = 3;
    holder.wind_cat1 = 30;
    holder.wind_cat2 = 60;
    holder.wind_cat3 = holder.wind_cat4 = 0;
    holder.Power1 = 0.053;
    holder.Power2 = 0.062;
    holder.Power3 = holder.Power4 = 0;
    holder.Power5 = 0.082;
    holder.refreshmap = 0;
    holder.indexcheck = 0;
    holder.rec_setting = true;
}

std::optional<std::string> checkReiSettings(const ReiSettingsForm& form) {
    std::array<long long, 4> bounds{};
    for (int i = 0; i < 4; ++i) {
        const auto b = wholeNumber(form.bounds[i]);
        if (!b) return std::string(kFillInData);
        bounds[i] = *b;
    }
    const auto n = platform::parseDecimal(form.windcatno);
    const auto fetch = platform::parseDecimal(form.fetch);
    const auto distance = platform::parseDecimal(form.distance);
    if (!n || !fetch || !distance) return std::string(kFillInData);
    // A power that is no number is checked like a negative one.
    std::array<double, 5> powers{};
    for (int i = 0; i < 5; ++i) powers[i] = platform::parseDecimal(form.powers[i]).value_or(-1);
    const std::array<double, 4> used{static_cast<double>(bounds[0]), static_cast<double>(bounds[1]),
                                     static_cast<double>(bounds[2]), static_cast<double>(bounds[3])};
    if (auto problem = model::windCategoryProblem(*n, used, powers)) return problem;
    if (form.name.empty()) return std::string(kNameProject);
    if (auto problem = model::fetchProblem(*fetch)) return problem;
    return model::bathyDistanceProblem(*distance);
}

bool Command1_Click(const ReiSettingsForm& form, platform::SettingsStore& store, model::SettingsHolder& holder,
                    model::MainFormState& mainform, platform::Messages& messages,
                    const std::function<void(int, const std::string&)>& setStatusPanel) {
    if (auto problem = checkReiSettings(form)) {
        const bool plain = *problem == kFillInData;
        if (*problem == kNameProject) mainform.proj_name = "Quor_proj";
        messages.message(*problem, plain ? platform::MessageIcon::None : platform::MessageIcon::Exclamation);
        return false;
    }
    const auto p = powersOf(holder);
    for (int i = 0; i < 5; ++i) *p[i] = *platform::parseDecimal(form.powers[i]);
    holder.windcatno = static_cast<std::int16_t>(*platform::parseDecimal(form.windcatno));
    holder.indexcheck = form.fastAlgorithm ? 1 : 0;
    holder.refreshmap = form.fastAlgorithm && form.background ? 1 : 0;
    holder.rec_setting = form.recommended;

    mainform.Fetch = *platform::parseDecimal(form.fetch);
    mainform.dir_path = form.folder;
    mainform.proj_name = form.name;
    mainform.dist_bathy = *platform::parseDecimal(form.distance);

    write(store, kSettings, "Fetch", platform::formatSignificant(mainform.Fetch));
    write(store, kSettings, "default", mainform.dir_path);
    write(store, kSettings, "name", mainform.proj_name);
    write(store, kSettings, "Bathy_dist", platform::formatSignificant(mainform.dist_bathy));
    write(store, kSettings, "windcatno", std::to_string(holder.windcatno));
    write(store, kSettings, "indexcheck", std::to_string(holder.indexcheck));
    write(store, kSettings, "option_index", std::to_string(holder.optionindex));
    write(store, kSettings, "recommend_settings", holder.rec_setting ? "True" : "False");
    for (int i = 0; i < 4; ++i) write(store, kWindCategory, boundKey(i), std::to_string(*wholeNumber(form.bounds[i])));
    for (int i = 0; i < 5; ++i) write(store, kPower, powerKey(i), form.powers[i]);

    if (setStatusPanel) {
        const char* algorithm = !form.fastAlgorithm ? "Clip Algorithm"
                                : holder.refreshmap ? "Fast Algorithm  BM"
                                                    : "Fast Algorithm  VM";
        setStatusPanel(3, algorithm);
        setStatusPanel(2, "F= " + platform::formatSignificant(mainform.Fetch) + " B I= " +
                              platform::formatSignificant(mainform.dist_bathy));
    }
    return true;
}

void Form_Unload(const platform::SettingsStore& store, model::SettingsHolder& holder, model::MainFormState& mainform) {
    auto number = [&](const char* section, const std::string& key) {
        return platform::parseDecimal(read(store, section, key)).value_or(0.0);
    };
    mainform.Fetch = number(kSettings, "Fetch");
    mainform.dir_path = read(store, kSettings, "default");
    mainform.proj_name = read(store, kSettings, "name");
    holder.windcatno = int16Of(read(store, kSettings, "windcatno"));
    mainform.dist_bathy = number(kSettings, "Bathy_dist");
    holder.indexcheck = int16Of(read(store, kSettings, "indexcheck"));
    const auto b = boundsOf(holder);
    for (int i = 0; i < 4; ++i) *b[i] = number(kWindCategory, boundKey(i));
    const auto p = powersOf(holder);
    for (int i = 0; i < 5; ++i) *p[i] = number(kPower, powerKey(i));
    // A background run needs the fast algorithm.
    if (holder.indexcheck != 1) holder.refreshmap = 0;
}

}  // namespace quor::rei
