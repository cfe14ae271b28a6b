#include "cli/run_settings.h"

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "cli/input_files.h"
#include "model/setting_checks.h"
#include "model/settings_loader.h"
#include "platform/folders.h"
#include "platform/numbers.h"
#include "platform/run_threads.h"
#include "platform/settings_store.h"
#include "wave/bottom_velocity_form.h"
#include "wave/rwe_settings.h"
#include "wave/tide_form.h"

namespace quor::cli {

namespace {

// A number as an option gives it; NaN for text that is none ("nan", a
// comma decimal, one beyond a double's range), which every check refuses
// in the words of the range it takes.
double numberOf(const std::string& text) {
    const auto v = platform::parseNumber(text);
    return v && std::isfinite(*v) ? *v : std::nan("");
}

double number(const RunOptions& o, const char* option) { return numberOf(*o.value(option)); }

// The option's value with its check; nothing when the option was not given.
std::optional<double> checked(const RunOptions& o, const char* option,
                              const std::function<model::SettingProblem(double)>& check) {
    if (!o.has(option)) return std::nullopt;
    const double v = number(o, option);
    if (auto problem = check(v)) throw badOption(option, *o.value(option), *problem);
    return v;
}

// A comma-separated list of numbers.
std::vector<double> numbers(const RunOptions& o, const char* option) {
    std::vector<double> out;
    std::stringstream in(*o.value(option));
    for (std::string item; std::getline(in, item, ',');) out.push_back(numberOf(item));
    return out;
}

std::unique_ptr<platform::SettingsStore> settingsFile(const RunOptions& o) {
    if (o.has("--defaults")) return nullptr;
    if (const auto file = o.value("--settings")) {
        requireReadableFile("--settings", *file);
        return platform::IniSettingsStore::ofFile(*file);
    }
    return std::make_unique<platform::IniSettingsStore>();
}

void rweSettings(const RunOptions& o, model::ApplicationState& app, platform::Messages& messages) {
    auto& s = app.state;
    if (const auto v = checked(o, "--segment-length", [&](double x) { return model::segmentLengthProblem(x, app.form.Fetch); }))
        s.Fetch_first = *v;
    // A stored segment longer than a fetch given now is refused as the dialog would refuse it.
    if (auto problem = model::segmentLengthProblem(s.Fetch_first, app.form.Fetch))
        throw badOption("--segment-length", platform::formatNumber(s.Fetch_first), *problem);
    if (const auto v = checked(o, "--segment-distance", model::segmentDistanceProblem)) s.Depth_intg_first = *v;
    if (const auto v = checked(o, "--goda", model::godaProblem)) s.A_goda = *v;
    // Held as the tolerance 1 / N, as start-up holds it.
    if (const auto v = checked(o, "--eps", model::epsProblem)) s.Eps = 1 / *v;
    if (const auto v = checked(o, "--slope", model::slopeProblem)) s.goda_slope = *v;
    if (const auto v = checked(o, "--sea-temperature", model::seaTemperatureProblem)) s.sea_temp = static_cast<float>(*v);
    if (const auto v = checked(o, "--sea-salinity", model::seaSalinityProblem)) s.sea_salinity = static_cast<float>(*v);
    if (o.has("--rays")) {
        const auto option = wave::rayOptionOf(number(o, "--rays"));
        if (!option) throw badOption("--rays", *o.value("--rays"), "rays per site are " + wave::rayCountsText() + ".");
        app.holder.optionindex = static_cast<int16_t>(*option);
    }
    if (o.has("--fast")) s.wv_indexcheck = 1;
    if (o.has("--clip")) s.wv_indexcheck = 0;
    if (o.has("--debug")) {
        // Where the window keeps its debugging files: the data folder.
        s.debug_mode = 1;
        const auto documents = platform::queryDocumentsFolder();
        if (documents.status == platform::DocumentsFolder::Status::Found)
            s.app_folder = platform::joinPath(documents.path, platform::kDataFolder);
    }

    if (o.has("--bottom-velocity")) {
        wave::BottomVelocityChoice choice;
        choice.velocity = true;
        choice.sediment = o.has("--sediment");
        if (const auto method = o.value("--velocity-method")) {
            if (*method != "esa" && *method != "lwt")
                throw badOption("--velocity-method", *method, "the method is esa (estimated spectral analysis) or "
                                                              "lwt (linear wave theory).");
            choice.spectral = *method == "esa";
        }
        // The window's entries, with the texts they open with.
        choice.density = o.value("--sediment-density").value_or(choice.density);
        choice.diameter = o.value("--sediment-diameter").value_or(choice.diameter);
        // The window's own checks first, so that a refusal names its option.
        auto entry = [](const std::string& t) { return platform::parseNumber(t).value_or(std::nan("")); };
        const double density = entry(choice.density), diameter = entry(choice.diameter);
        if (choice.sediment) {
            if (auto problem = model::sedimentDiameterProblem(diameter))
                throw badOption("--sediment-diameter", choice.diameter, *problem);
            if (auto problem = model::sedimentDensityProblem(density > 0 || std::isnan(density) ? density
                                                                                           : wave::kDefaultSedimentDensity,
                                                             wave::seaWaterDensity(s)))
                throw badOption("--sediment-density", choice.density, *problem);
        }
        std::string status;
        if (!wave::Orbital_velocity_frm(s, messages).Command1_Click(choice, status))
            throw BadInput("--bottom-velocity: the bottom velocity settings were refused.");
    }
    if (const auto level = o.value("--water-level")) {
        const double v = platform::parseNumber(*level).value_or(std::nan(""));
        if (auto problem = model::waterLevelProblem(v)) throw badOption("--water-level", *level, *problem);
        wave::Tide_frm(s, messages).Command1_Click(*level);
    }
}

// The option that a refusal of the wind-speed categories is about.
const char* categoryOption(const std::string& problem) {
    if (problem == model::kMsgPowersAsNumbers) return "--powers";
    if (problem == model::kMsgBoundsIncrease) return "--bounds";
    return "--categories";
}

void reiSettings(const RunOptions& o, model::ApplicationState& app) {
    auto& h = app.holder;
    if (const auto v = checked(o, "--distance", model::bathyDistanceProblem)) app.form.dist_bathy = *v;
    if (o.has("--fast")) h.indexcheck = 1;
    if (o.has("--clip")) h.indexcheck = 0;

    if (!o.has("--categories") && !o.has("--bounds") && !o.has("--powers")) return;
    for (const char* option : {"--categories", "--bounds", "--powers"})
        if (!o.has(option)) throw BadInput("--categories, --bounds and --powers go together; " + std::string(option) +
                                           " is missing.");
    const double count = number(o, "--categories");
    const std::vector<double> given = numbers(o, "--bounds"), powers = numbers(o, "--powers");
    std::array<double, 4> bounds{};
    std::array<double, 5> power{};
    if (auto problem = model::windCategoryProblem(count, bounds, {}); problem && *problem == model::kMsgCategoryCount)
        throw badOption("--categories", *o.value("--categories"), *problem);
    const auto n = static_cast<std::size_t>(count);
    if (given.size() != n - 1)
        throw badOption("--bounds", *o.value("--bounds"),
                        std::to_string(n) + " categories have " + std::to_string(n - 1) +
                            " upper bounds: the top category has none.");
    if (powers.size() != n)
        throw badOption("--powers", *o.value("--powers"),
                        std::to_string(n) + " categories have " + std::to_string(n) + " powers, the top one's last.");
    // Bounds are kept as the whole numbers the settings store them as.
    for (std::size_t i = 0; i + 1 < n; ++i) bounds[i] = platform::roundHalfEven(given[i], 0);
    for (std::size_t i = 0; i + 1 < n; ++i) power[i] = powers[i];
    power[4] = powers.back();
    if (auto problem = model::windCategoryProblem(count, bounds, power)) {
        const char* option = categoryOption(*problem);
        throw badOption(option, *o.value(option), *problem);
    }
    h.windcatno = static_cast<int16_t>(n);
    h.wind_cat1 = bounds[0];
    h.wind_cat2 = bounds[1];
    h.wind_cat3 = bounds[2];
    h.wind_cat4 = bounds[3];
    h.Power1 = power[0];
    h.Power2 = power[1];
    h.Power3 = power[2];
    h.Power4 = power[3];
    h.Power5 = power[4];
}

}  // namespace

void applyRunSettings(const RunOptions& o, model::ApplicationState& app, platform::Messages& messages) {
    auto& s = app.state;
    const auto file = settingsFile(o);
    // Read as start-up reads them; what start-up would write back stays unwritten.
    platform::ReadOnlySettingsStore store(file.get());
    model::ReplacedSettings replaced;
    model::loadSettingsParameters(store, s, app.form, &replaced);
    model::loadSettingsHolder(store, s, app.form, app.holder, &replaced);
    model::loadSettingsSea(store, s, &replaced);
    model::loadSettingsThreads(store);
    model::startSwitches(s);
    if (!replaced.empty()) messages.message(model::replacedSettingsMessage(replaced), platform::MessageIcon::Exclamation);

    s.model_mode = o.model == Model::Rei ? model::REI_MODE : model::RWE_MODE;
    s.batch_mode = 0;
    s.water_level = 0;
    if (const auto v = checked(o, "--fetch", model::fetchProblem)) app.form.Fetch = *v;
    app.form.fetchlength = o.has("--fetch-lengths") ? 1 : 0;
    if (o.model == Model::Rwe)
        rweSettings(o, app, messages);
    else
        reiSettings(o, app);

    if (const auto threads = o.value("--threads")) {
        const auto count = platform::threadCount(*threads);
        if (!count) throw badOption("--threads", *threads, platform::threadsRefusal());
        platform::setThreadsGiven(*count);
        // More threads than cores would only share them: the run goes on, on the cores.
        if (const int cores = platform::usableCores(); *count > cores)
            messages.message("--threads " + *threads + ": this machine gives the run " + std::to_string(cores) +
                                 (cores == 1 ? " core" : " cores") + ", so it computes on " + std::to_string(cores) +
                                 (cores == 1 ? " thread." : " threads."),
                             platform::MessageIcon::Exclamation);
    }
}

}  // namespace quor::cli
