#include "wave/rwe_settings.h"

#include <cmath>
#include <filesystem>
#include <optional>

#include "platform/numbers.h"

namespace quor::wave {
namespace {

constexpr const char* kSettings = "Settings";
constexpr const char* kParameter = "Parameter";

std::optional<double> finite(const std::string& text) {
    auto v = platform::parseNumber(text);
    if (v && !std::isfinite(*v)) return std::nullopt;
    return v;
}

}  // namespace

std::string rayCountsText() {
    std::string text;
    for (std::size_t i = 0; i < std::size(kRayCounts); ++i)
        text += (i == 0 ? "" : i + 1 == std::size(kRayCounts) ? " or " : ", ") + std::to_string(kRayCounts[i]);
    return text;
}

std::optional<int> rayOptionOf(double rays) {
    for (std::size_t i = 0; i < std::size(kRayCounts); ++i)
        if (rays == kRayCounts[i]) return static_cast<int>(i);
    return std::nullopt;
}

wv_property::wv_property(model::ModelState& state, model::MainFormState& mainform, model::SettingsHolder& holder,
                         platform::SettingsStore& store, platform::Messages& messages,
                         std::function<void(int, const std::string&)> setStatusPanel)
    : s_(state), main_(mainform), holder_(holder), store_(store), messages_(messages),
      setStatusPanel_(std::move(setStatusPanel)) {}

std::string wv_property::defaultFolder() const {
    return (std::filesystem::path(s_.app_folder) / "Project").string();
}

void wv_property::Form_Load() {
    auto get = [this](const char* section, const char* key) { return store_.read(kRweSettingsApp, section, key); };
    form = RweSettingsForm{};
    form.fetch = get(kSettings, "Fetch");
    const std::string folder = get(kSettings, "default");
    std::error_code ec;
    form.folder = !folder.empty() && std::filesystem::is_directory(folder, ec)
                      ? folder
                      : std::filesystem::path("/").string();
    form.name = get(kSettings, "name");
    form.fetchFirst = get(kParameter, "Fetch_first");
    form.depthIntgFirst = get(kParameter, "Depth_intg_first");
    form.aGoda = get(kParameter, "A_goda");
    form.eps = get(kParameter, "Eps");
    form.slope = get(kParameter, "alpha");
    const std::string option = get(kSettings, "option_index");
    const auto index = platform::parseNumber(option);
    if (option.empty() || !index) {
        form.rayOption = 1;
    } else {
        // Only 0..4 are ever written; anything else stored by hand selects nothing.
        const double i = *index;
        form.rayOption = (i >= 0 && i <= 4 && i == std::floor(i)) ? static_cast<int>(i) : -1;
        form.fastAlgorithm = platform::parseNumber(get(kSettings, "wv_indexcheck")).value_or(0) == 1;
    }
    if (form.rayOption >= 0) holder_.optionindex = static_cast<int16_t>(form.rayOption);
    // The box shows whether runs go on in the background now: loaded
    // unticked, an OK without a look at it would switch them back.
    form.background = holder_.refreshmap1 == 1;
    form.backgroundEnabled = form.fastAlgorithm;
    const std::string temp = get(kParameter, "Sea_temp");
    form.seaTemp = temp.empty() ? "20" : temp;
    const std::string salinity = get(kParameter, "Sea_salinity");
    form.seaSalinity = salinity.empty() ? "34.84" : salinity;
    form.debug = s_.debug_mode == 1;
}

void wv_property::Check1_Click(bool ticked) {
    form.defaults = ticked;
    if (ticked) {
        form.fetch = "10000";
        form.name = "Quor_proj";
        form.folder = defaultFolder();
        form.background = false;
        form.backgroundEnabled = false;
        form.fastAlgorithm = false;
        form.fetchFirst = "1000";
        form.depthIntgFirst = "100";
        form.aGoda = "0.14";
        form.eps = "1000";
        form.slope = "1.909";
        form.seaTemp = "20";
        form.seaSalinity = "34.84";
        form.rayOption = 1;
    } else {
        form.fetchFirst = "1000";
        form.depthIntgFirst = "100";
        form.aGoda = "0.14";
        form.eps = "1000";
        form.slope = "1.909";
    }
}

void wv_property::Check2_Click(bool ticked) {
    form.defaults = false;
    form.fastAlgorithm = ticked;
    form.backgroundEnabled = ticked;
}

bool wv_property::Command1_Click() {
    // Everything is checked before anything is applied, so a refused OK
    // leaves the model exactly as the user last confirmed it.
    if (form.name.empty()) {
        messages_.message(kMsgNoName, platform::MessageIcon::Exclamation);
        return false;
    }
    const auto fetch = finite(form.fetch);
    const auto fetchFirst = finite(form.fetchFirst);
    const auto depthFirst = finite(form.depthIntgFirst);
    const auto aGoda = finite(form.aGoda);
    const auto eps = finite(form.eps);
    const auto slope = finite(form.slope);
    const auto temp = finite(form.seaTemp);
    const auto salinity = finite(form.seaSalinity);
    if (!fetch || !fetchFirst || !depthFirst || !aGoda || !eps || !slope || !temp || !salinity) {
        messages_.message(kMsgFillIn);
        return false;
    }
    for (const auto& problem :
         {model::fetchProblem(*fetch), model::segmentLengthProblem(*fetchFirst, *fetch),
          model::segmentDistanceProblem(*depthFirst), model::godaProblem(*aGoda), model::epsProblem(*eps),
          model::slopeProblem(*slope), model::seaTemperatureProblem(*temp), model::seaSalinityProblem(*salinity)}) {
        if (problem) {
            messages_.message(*problem, platform::MessageIcon::Exclamation);
            return false;
        }
    }

    holder_.refreshmap1 = form.background ? 1 : 0;
    main_.Fetch = *fetch;
    main_.dir_path = form.folder;
    main_.proj_name = form.name;
    s_.wv_indexcheck = form.fastAlgorithm ? 1 : 0;
    if (setStatusPanel_) setStatusPanel_(3, s_.wv_indexcheck == 1 ? "Fast Algorithm" : "");
    s_.Fetch_first = *fetchFirst;
    s_.Depth_intg_first = *depthFirst;
    s_.A_goda = *aGoda;
    s_.Eps = *eps;
    s_.goda_slope = *slope;
    s_.sea_temp = static_cast<float>(*temp);
    s_.sea_salinity = static_cast<float>(*salinity);
    holder_.optionindex = static_cast<int16_t>(form.rayOption >= 0 && form.rayOption <= 4 ? form.rayOption : 0);
    s_.debug_mode = form.debug ? 1 : 0;

    auto put = [this](const char* section, const char* key, const std::string& value) {
        store_.write(kRweSettingsApp, section, key, value);
    };
    put(kSettings, "Fetch", platform::formatNumber(main_.Fetch));
    put(kSettings, "default", main_.dir_path);
    put(kSettings, "name", main_.proj_name);
    put(kSettings, "Bathy_dist", platform::formatNumber(main_.dist_bathy));
    put(kSettings, "wv_indexcheck", std::to_string(s_.wv_indexcheck));
    put(kSettings, "option_index", std::to_string(holder_.optionindex));
    put(kParameter, "Fetch_first", platform::formatNumber(s_.Fetch_first));
    put(kParameter, "Depth_intg_first", platform::formatNumber(s_.Depth_intg_first));
    put(kParameter, "A_goda", platform::formatNumber(s_.A_goda));
    put(kParameter, "Eps", platform::formatNumber(s_.Eps));
    put(kParameter, "alpha", platform::formatNumber(s_.goda_slope));
    put(kParameter, "sea_temp", platform::formatNumber(s_.sea_temp));
    put(kParameter, "sea_salinity", platform::formatNumber(s_.sea_salinity));
    return true;
}

void wv_property::Form_Unload() {
    // Stops silently at the first missing or non-numeric value; what was
    // read before it stays set.
    auto get = [this](const char* key) { return store_.read(kRweSettingsApp, kSettings, key); };
    const auto fetch = platform::parseNumber(get("Fetch"));
    if (!fetch) return;
    main_.Fetch = *fetch;
    if (!store_.contains(kRweSettingsApp, kSettings, "default")) return;
    main_.dir_path = get("default");
    if (!store_.contains(kRweSettingsApp, kSettings, "name")) return;
    main_.proj_name = get("name");
    const auto dist = platform::parseNumber(get("Bathy_dist"));
    if (!dist) return;
    main_.dist_bathy = *dist;
    try {
        const auto option = platform::parseInt16(get("option_index"));
        if (!option) return;
        holder_.optionindex = *option;
        const auto fast = platform::parseInt16(get("wv_indexcheck"));
        if (!fast) return;
        s_.wv_indexcheck = *fast;
    } catch (const std::exception&) {
        return;
    }
}

}  // namespace quor::wave
