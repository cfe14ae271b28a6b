#include "cli/run_options.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <sstream>

#include "cli/run_end.h"
#include "model/setting_checks.h"
#include "model/settings_loader.h"
#include "platform/folders.h"
#include "platform/numbers.h"
#include "platform/run_threads.h"
#include "platform/settings_store.h"
#include "wave/bottom_velocity_form.h"
#include "wave/rwe_settings.h"

namespace quor::cli {

namespace {

enum Applies { Both, RweOnly, ReiOnly };

struct OptionInfo {
    std::string name;
    std::string metavar;  // empty for a switch
    Applies applies;
    std::string text;
    std::string defaultText;  // empty when there is none to tell
};

std::string num(double v) { return platform::formatNumber(v); }

// A range in the words of --help, from the constants its check uses.
std::string range(double lo, double hi, const std::string& unit) {
    return num(lo) + " to " + num(hi) + (unit.empty() ? "" : " " + unit);
}

// Numbers as the options take them: "30,60".
std::string list(std::initializer_list<double> values, std::size_t count) {
    std::string text;
    for (const double v : values) {
        if (count-- == 0) break;
        text += (text.empty() ? "" : ",") + num(v);
    }
    return text;
}

// The settings as a fresh Quor3.ini gives them: what the settings take
// with nothing stored (--defaults).
void loadDefaults(model::ApplicationState& d) {
    platform::ReadOnlySettingsStore none(nullptr);
    model::loadSettingsParameters(none, d.state, d.form);
    model::loadSettingsHolder(none, d.state, d.form, d.holder);
    model::loadSettingsSea(none, d.state);
}

std::vector<OptionInfo> inputOptions() {
    return {
        {"--shoreline", "FILE", Both,
         "the shoreline: a polygon shapefile, or a GeoPackage with --shoreline-layer; its polygons are the water "
         "(not needed with --fast)",
         ""},
        {"--shoreline-layer", "NAME", Both, "the shoreline's layer in a GeoPackage", ""},
        {"--bathymetry", "FILE", Both, "the bathymetry raster: any format GDAL reads, as GDAL names it (/vsizip/...)", ""},
        {"--units", "m|cm|ft", Both, "the bathymetry's units", "m"},
        {"--positive", "", Both, "the bathymetry holds depths as positive numbers", "negative depths"},
        {"--wind", "FILE", Both, "the wind file: .Wind_RWE for rwe, .Wind_REI for rei", ""},
        {"--sites", "FILE", Both, "the sites: a point shapefile, or a GeoPackage with --layer", ""},
        {"--layer", "NAME", Both, "the sites' layer in a GeoPackage (with --project: in the project's GeoPackage)",
         ""},
        {"--project", "FILE", Both,
         "takes the bathymetry, shoreline, wind, units and depth sign from a saved project (.tesk_RWE for rwe, "
         ".tesk_REI for rei)",
         ""},
    };
}

std::vector<OptionInfo> sharedSettingOptions(const model::ApplicationState& d) {
    return {
        {"--settings", "FILE", Both, "reads the settings from FILE instead of ~/.config/Quor/Quor3.ini", ""},
        {"--defaults", "", Both, "ignores every stored setting: each takes its default", ""},
        {"--fast", "", Both, "the faster algorithm: rays measured over the bathymetry, no clipping at the shoreline",
         ""},
        {"--clip", "", Both, "rays clipped at the shoreline (the default, unless Quor3.ini stores the faster algorithm)",
         ""},
        {"--fetch", "M", Both, "maximum fetch, " + range(model::kMinFetch, model::kMaxFetch, "m"), num(d.form.Fetch)},
        {"--fetch-lengths", "", Both,
         "adds the fields Ray1 .. Ray32 (Ray1 the east ray, numbered anticlockwise); an RWE run leaves them empty", ""},
    };
}

std::vector<OptionInfo> rweSettingOptions(const model::ApplicationState& d) {
    return {
        {"--rays", "N", RweOnly, "rays per site: " + wave::rayCountsText(),
         std::to_string(wave::kRayCounts[d.holder.optionindex])},
        {"--segment-length", "M", RweOnly, "fetch segment length, above 0 and up to the fetch (m)",
         num(d.state.Fetch_first)},
        {"--segment-distance", "M", RweOnly,
         "fetch segment interrogation distance, " + range(model::kMinSegmentDistance, model::kMaxFetch, "m"),
         num(d.state.Depth_intg_first)},
        {"--goda", "A", RweOnly, "Goda's breaking coefficient (alpha), above 0", num(d.state.A_goda)},
        {"--eps", "N", RweOnly, "sensitivity eps, 1 in N, N above 0", num(platform::roundHalfEven(1 / d.state.Eps))},
        {"--slope", "DEGREES", RweOnly, "beach slope, between 0 and 90 degrees (both excluded)",
         num(d.state.goda_slope)},
        {"--sea-temperature", "C", RweOnly,
         "sea temperature, " + range(model::kMinSeaTemperature, model::kMaxSeaTemperature, "degree C"),
         num(platform::roundHalfEven(d.state.sea_temp, 2))},
        {"--sea-salinity", "G", RweOnly, "sea water salinity, " + range(0, model::kMaxSeaSalinity, "g/kg"),
         num(platform::roundHalfEven(d.state.sea_salinity, 2))},
        {"--debug", "", RweOnly, "debugging mode: intermediate values under Project/output_data of the data folder",
         ""},
        {"--bottom-velocity", "", RweOnly, "bottom orbital velocity, shear velocity and bed shear stress", "off"},
        {"--velocity-method", "esa|lwt", RweOnly,
         "the bottom velocity's method: estimated spectral analysis or linear wave theory", "esa"},
        {"--sediment", "", RweOnly, "sediment motion (with --bottom-velocity)", "off"},
        {"--sediment-density", "KG", RweOnly,
         "sediment density in kg/m3, above the sea water's; 0 or less: the default",
         num(wave::kDefaultSedimentDensity)},
        {"--sediment-diameter", "M", RweOnly, "sediment grain diameter in m; 0 or less: the default",
         num(wave::kDefaultSedimentDiameter)},
        {"--water-level", "M", RweOnly, "raises (positive) or lowers (negative) the water over the bathymetry, in m",
         "0"},
    };
}

std::vector<OptionInfo> reiSettingOptions(const model::ApplicationState& d) {
    const auto& h = d.holder;
    const auto categories = static_cast<std::size_t>(h.windcatno);
    const std::string powers = list({h.Power1, h.Power2, h.Power3, h.Power4}, categories - 1) + "," + num(h.Power5);
    return {
        {"--distance", "M", ReiOnly,
         "bathymetry interrogation distance, " + range(model::kMinBathyDistance, model::kMaxBathyDistance, "m"),
         num(d.form.dist_bathy)},
        {"--recommended-distance", "", ReiOnly,
         "takes the interrogation distance recommended for the bathymetry's cells (one below the cell size, within " +
             range(model::kMinBathyDistance, model::kMaxBathyDistance, "m") + ")",
         ""},
        {"--categories", "N", ReiOnly,
         "wind-speed categories, " + range(1, model::kMaxWindCategories, "") + " (with --bounds and --powers)",
         std::to_string(h.windcatno)},
        {"--bounds", "B1,...", ReiOnly, "upper bounds of the categories but the top one, mph, above 0 and increasing",
         list({h.wind_cat1, h.wind_cat2, h.wind_cat3, h.wind_cat4}, categories - 1)},
        {"--powers", "P1,...", ReiOnly, "distance-decay power of each category, the top one last, 0 or more", powers},
    };
}

std::vector<OptionInfo> runningOptions() {
    return {
        {"--replace", "", Both,
         "replaces the values of the fields the run writes that the sites already hold (without it such a run is "
         "refused, naming them)",
         ""},
        {"--output", "FILE", Both,
         "writes a new dataset (.gpkg, .csv, .fgb or .shp) of the sites with their results; the sites stay as they "
         "are",
         ""},
        {"--overwrite", "", Both, "replaces an existing --output", ""},
        {"--part", "K/N", Both, "computes only the K-th of N equal, contiguous ranges of sites (with --output)", ""},
        {"--threads", "N", Both,
         std::string("threads the sites are computed on, ") + platform::kThreadsRange +
             ", no more than the cores; over " + platform::kThreadsVariable + " and the setting " +
             platform::kThreadsKey,
         "0"},
        {"--quiet", "", Both, "no progress", ""},
        {"--json", "", Both, "prints the end line as one JSON object on standard output", ""},
        {"--help", "", Both, "this text", ""},
        {"--version", "", Both, "the program's version", ""},
    };
}

struct OptionGroup {
    std::string heading;
    std::vector<OptionInfo> options;
};

// Every option, in the order --help lists them. A setting's range comes
// from the constants its check uses, its default from what the settings
// take with nothing stored (--defaults), so that a fresh Quor3.ini gives
// the same; a setting that is not given takes what Quor3.ini holds.
const std::vector<OptionGroup>& optionGroups() {
    static const std::vector<OptionGroup> all = [] {
        model::ApplicationState d;
        loadDefaults(d);
        return std::vector<OptionGroup>{
            {"Inputs", inputOptions()},
            {"Settings of both models", sharedSettingOptions(d)},
            {"RWE settings", rweSettingOptions(d)},
            {"REI settings", reiSettingOptions(d)},
            {"The run", runningOptions()},
        };
    }();
    return all;
}

const OptionInfo* find(const std::string& name) {
    for (const auto& group : optionGroups())
        for (const auto& o : group.options)
            if (name == o.name) return &o;
    return nullptr;
}

// Options that make no sense together, and the options that need another.
void checkCombinations(const RunOptions& o) {
    auto both = [&](const char* a, const char* b) {
        if (o.has(a) && o.has(b)) throw BadInput(std::string(a) + " and " + b + " cannot be given together.");
    };
    auto needs = [&](const char* a, const char* b) {
        if (o.has(a) && !o.has(b)) throw BadInput(std::string(a) + " needs " + b + ".");
    };
    for (const char* input : {"--shoreline", "--shoreline-layer", "--bathymetry", "--wind", "--units", "--positive"})
        if (o.has(input) && o.has("--project"))
            throw BadInput(std::string(input) + ": the project names its inputs; " + input +
                           " cannot be given with --project.");
    both("--settings", "--defaults");
    both("--fast", "--clip");
    both("--distance", "--recommended-distance");
    needs("--part", "--output");
    needs("--overwrite", "--output");
    needs("--shoreline-layer", "--shoreline");
    needs("--sediment", "--bottom-velocity");
    needs("--velocity-method", "--bottom-velocity");
    needs("--sediment-density", "--sediment");
    needs("--sediment-diameter", "--sediment");
    if (!o.has("--project")) {
        for (const char* input : {"--bathymetry", "--wind", "--sites"})
            if (!o.has(input)) throw BadInput(std::string(input) + " is missing.");
    } else if (!o.has("--sites") && !o.has("--layer")) {
        throw BadInput("--sites or --layer is missing: which sites of the project are run?");
    }
}

Part parsePart(const std::string& text) {
    const auto slash = text.find('/');
    int k = 0, n = 0;
    auto whole = [](std::string_view s, int& v) {
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        return r.ec == std::errc() && r.ptr == s.data() + s.size();
    };
    const std::string_view all(text);
    if (slash == std::string::npos || !whole(all.substr(0, slash), k) || !whole(all.substr(slash + 1), n) || n < 1)
        throw badOption("--part", text, "a part is written K/N, K from 1 to N (3/8: the third of eight parts).");
    if (k < 1 || k > n)
        throw badOption("--part", text, "there is no part " + std::to_string(k) + " of " + std::to_string(n) +
                                            "; K goes from 1 to N.");
    return {k, n};
}

}  // namespace

BadInput badOption(const std::string& option, const std::string& value, const std::string& why) {
    return BadInput(option + (value.empty() ? "" : " " + value) + ": " + why);
}

std::optional<std::string> RunOptions::value(const std::string& option) const {
    const auto it = given.find(option);
    if (it == given.end()) return std::nullopt;
    return it->second;
}

RunOptions parseRunOptions(const std::vector<std::string>& args) {
    RunOptions o;
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") o.help = true;
        if (a == "--version") o.version = true;
    }
    if (o.help || o.version) return o;
    if (args.empty()) throw BadInput("no command: quor-run rwe ... or quor-run rei ... (--help lists the options).");
    if (args[0] == "rwe")
        o.model = Model::Rwe;
    else if (args[0] == "rei")
        o.model = Model::Rei;
    else
        throw BadInput("unknown command " + args[0] + ": the commands are rwe, rei and merge (--help lists the options).");

    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i], text;
        bool inline_ = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            text = name.substr(eq + 1);
            name = name.substr(0, eq);
            inline_ = true;
        }
        const OptionInfo* info = find(name);
        if (!info) {
            if (name.rfind("-", 0) != 0) throw BadInput("unexpected " + name + ": every input is given by its option.");
            throw BadInput("unknown option " + name + " (--help lists the options).");
        }
        const bool isSwitch = info->metavar.empty();
        if (isSwitch && inline_) throw BadInput(name + " takes no value.");
        if (!isSwitch && !inline_) {
            if (i + 1 >= args.size()) throw BadInput(name + " needs a value: " + name + " " + info->metavar + ".");
            text = args[++i];
        }
        if (info->applies == RweOnly && o.model == Model::Rei)
            throw BadInput(name + " is a setting of rwe runs, not of rei runs.");
        if (info->applies == ReiOnly && o.model == Model::Rwe)
            throw BadInput(name + " is a setting of rei runs, not of rwe runs.");
        // Files are taken from where the program was started, as a shell user
        // means them; a name of GDAL's virtual file layer is GDAL's, as given.
        if (info->metavar == "FILE" && !text.empty() && !platform::isGdalVirtualPath(text))
            text = std::filesystem::absolute(text).lexically_normal().string();
        o.given[name] = text;
    }
    checkCombinations(o);
    if (const auto part = o.value("--part")) o.part = parsePart(*part);
    return o;
}

std::string helpText() {
    std::ostringstream out;
    out << "Usage: quor-run rwe|rei [options]\n"
           "       quor-run merge --output FILE PART... (quor-run merge --help says more)\n"
           "Runs Quor's RWE or REI model over every site of a point dataset, without the window.\n"
           "Results go into the sites' table as the window's Run writes them, or with --output into a new dataset.\n"
           "Settings not given take what ~/.config/Quor/Quor3.ini holds; the defaults below are those of a fresh one.\n"
        << exitStatusHelp("the run completed", "it stopped (a failure, Ctrl-C)", "bad usage or input (nothing written)");
    for (const auto& group : optionGroups()) {
        out << "\n" << group.heading << ":\n";
        for (const auto& o : group.options) {
            const std::string head = "  " + o.name + (o.metavar.empty() ? "" : " " + o.metavar);
            out << head << std::string(head.size() < 30 ? 30 - head.size() : 1, ' ') << o.text;
            if (!o.defaultText.empty()) out << " (default " << o.defaultText << ")";
            out << "\n";
        }
    }
    return out.str();
}

std::string versionText() { return std::string(kProgramName) + " (Quor) " + QUOR_VERSION + "\n"; }

}  // namespace quor::cli
