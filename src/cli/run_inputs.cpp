#include "cli/run_inputs.h"

#include <filesystem>

#include "cli/input_files.h"
#include "gis/input_references.h"
#include "gis/shorebathy.h"
#include "platform/folders.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "platform/run_threads.h"
#include "platform/settings_store.h"
#include "platform/textfile.h"
#include "project/interrogation_distance.h"
#include "project/project_commands.h"
#include "project/project_file.h"
#include "project/project_inputs.h"
#include "project/typed_choice.h"
#include "wave/wave_wind.h"
#include "wind/loadwind.h"

namespace quor::cli {

namespace {

namespace fs = std::filesystem;
namespace pg = platform::gis;

// What a step of the window told, kept for the refusal that names its option.
class Told final : public platform::Messages {
public:
    void message(const std::string& text, platform::MessageIcon, const std::string&) override {
        text_ += (text_.empty() ? "" : "\n") + text;
    }
    bool question(const std::string&, const std::string&) override { return false; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

bool hasExtension(const std::string& path, const char* ext) { return platform::lowerExtension(path) == ext; }

std::string unitsOf(const std::string& option) {
    if (option == "m") return "Meter";
    if (option == "cm") return "Centimeter";
    if (option == "ft") return "Feet";
    throw badOption("--units", option, "the units are m (metres), cm (centimetres) or ft (feet).");
}

bool clips(const model::ApplicationState& app) { return !model::fastAlgorithm(app.state, app.holder); }

std::shared_ptr<pg::Raster> takeBathymetry(const std::string& path, model::MainFormState& form) {
    // A name inside an archive or on a server is for GDAL alone to judge.
    if (!platform::isGdalVirtualPath(path)) requireReadableFile("--bathymetry", path, true);
    Told told;
    project::TypedDataset chooser({path, {}});
    auto raster = gis::Getbathymetry(form, chooser, told, platform::runThreads());
    if (!raster) throw badOption("--bathymetry", path, told.text());
    return raster;
}

// The shoreline's reference; none when the run does not clip, which only
// names the shoreline, as a project keeps one, and never reads it.
pg::SpatialReference takeShoreline(const RunOptions& o, model::MainFormState& form, bool clipped) {
    const std::string path = *o.value("--shoreline");
    if (clipped) requireReadableFile("--shoreline", path, true);
    const auto layer = o.value("--shoreline-layer");
    if (!layer && hasExtension(path, ".gpkg"))
        throw badOption("--shoreline", path, "a GeoPackage needs --shoreline-layer to name the shoreline's layer.");
    // A layer of a workspace is taken as the dialog takes a coverage's class.
    form.option_arccov = layer ? 2 : 1;
    const gis::DatasetItem item{path, layer.value_or("")};
    pg::SpatialReference reference;
    if (clipped) {
        Told told;
        project::TypedDataset chooser(item);
        const auto fc = gis::Getshoreline(form, form.option_arccov, chooser, told);
        if (!fc) throw badOption("--shoreline", path, told.text());
        reference = fc->spatialReference();
    } else {
        gis::recordShoreline(form, form.option_arccov, item);
    }
    if (form.option_arccov == 1) form.shorefeature.clear();
    return reference;
}

void takeWind(const std::string& path, model::ApplicationState& app) {
    requireReadableFile("--wind", path);
    auto& s = app.state;
    if (s.model_mode == model::REI_MODE) {
        if (const auto problem = wind::reiWindFileProblem(path)) throw badOption("--wind", path, *problem);
        s.wind_path = path;
        s.wind_name = fs::path(path).filename().string();
    } else {
        Told told;
        project::TypedFile chooser(path);
        if (!project::selwindfile(s, told, chooser)) throw badOption("--wind", path, told.text());
    }
    // As a new project keeps it.
    s.wind_pathcopy = s.wind_path;
    app.form.windpath = s.wind_path;
}

// The RWE run reads its wind file only once it has begun: one it could not
// use is refused here, before anything is written, naming the option that
// gave it and the file.
void requireUsableRweWind(const std::string& option, const std::string& value, const std::string& windpath) {
    try {
        wave::parseRweWindFile(platform::readTextLines(windpath));
    } catch (const std::exception& e) {
        std::string why = wave::kWindFormatMessage;
        why.erase(0, why.find_first_not_of(' '));
        throw badOption(option, value, (option == "--wind" ? "" : "the wind file " + windpath + ": ") + why + "\n" + e.what());
    }
}

// Open Project: the project file read into the state, its geodatabase opened.
void takeProject(const std::string& path, model::ApplicationState& app, model::WindSummary& wind,
                 platform::Messages& messages, pg::Map& map) {
    auto& s = app.state;
    if (!hasExtension(path, s.model_mode == model::REI_MODE ? ".tesk_rei" : ".tesk_rwe"))
        throw badOption("--project", path,
                        s.model_mode == model::REI_MODE ? project::kNotReiProject : project::kNotRweProject);
    requireReadableFile("--project", path);
    const fs::path p = fs::absolute(path);
    app.form.projfile = p.parent_path().string();
    app.form.projname = p.stem().string();
    Told told;
    platform::ReadOnlySettingsStore noSettings(nullptr);
    project::ProjectContext ctx{s, app.form, app.holder, wind, noSettings, told, map, {}, nullptr};
    ctx.hooks.loadwind = [&](const std::string& windpath) {
        return wind::loadwind(windpath, s, wind, app.holder, told);
    };
    ctx.hooks.reiWindProblem = wind::reiWindFileProblem;
    bool loaded = false;
    try {
        loaded = project::loadProjectFile(ctx);
    } catch (const std::exception& e) {
        throw badOption("--project", path, e.what());
    }
    if (!loaded) throw badOption("--project", path, told.text().empty() ? project::kCorruptedProject : told.text());
    // A project that opens without its wind (a missing or unusable file)
    // leaves the window to choose another; a run cannot.
    if (app.form.windpath.empty() && s.wind_path.empty())
        throw badOption("--project", path, told.text().empty() ? "the project names no wind file." : told.text());
    if (!told.text().empty()) messages.message(told.text(), platform::MessageIcon::Exclamation);
}

// What Open Project and New Project do with the bathymetry in REI mode:
// the sign flag, and the interrogation distance the cells recommend,
// taken only when asked for.
void reiBathymetry(const RunOptions& o, model::MainFormState& form, platform::Messages& messages) {
    std::optional<project::InterrogationProposal> proposal;
    try {
        proposal = project::reiBathymetryProposal(*gis::openBathymetry(form), form);
    } catch (const std::exception& e) {
        throw badOption("--bathymetry", form.bathycov, gis::kBathymetryUnreadable + std::string(e.what()));
    }
    if (!proposal) return;
    if (o.has("--recommended-distance")) {
        form.dist_bathy = proposal->distance;
        return;
    }
    messages.message("The interrogation distance recommended for the bathymetry's cells is " +
                         std::to_string(proposal->distance) + " m; the setting of " +
                         platform::formatNumber(form.dist_bathy) + " m stands (--recommended-distance takes it).",
                     platform::MessageIcon::Information);
}

}  // namespace

InputReferences takeRunInputs(const RunOptions& o, model::ApplicationState& app, model::WindSummary& wind,
                              platform::Messages& messages, pg::Map& map) {
    auto& form = app.form;
    InputReferences refs;
    if (const auto project = o.value("--project")) {
        takeProject(*project, app, wind, messages, map);
        try {
            refs.bathymetryRead = gis::openBathymetry(form);
        } catch (const std::exception& e) {
            throw badOption("--project", *project, gis::kBathymetryUnreadable + std::string(e.what()));
        }
        if (clips(app)) {
            try {
                refs.shoreline = gis::openShoreline(form)->spatialReference();
            } catch (const std::exception& e) {
                throw badOption("--project", *project, gis::kShorelineUnreadable + std::string(e.what()));
            }
        }
    } else {
        refs.bathymetryRead = takeBathymetry(*o.value("--bathymetry"), form);
        // With the faster algorithm a given shoreline is not used, as in the window.
        if (o.has("--shoreline"))
            refs.shoreline = takeShoreline(o, form, clips(app));
        else if (clips(app))
            throw BadInput(std::string("--shoreline is missing: the rays are clipped at the shoreline (--fast "
                                       "measures them over the bathymetry instead)."));
        takeWind(*o.value("--wind"), app);
        form.bathyunits = unitsOf(o.value("--units").value_or("m"));
        app.state.bathy_positive = o.has("--positive") ? 1 : 0;
    }
    refs.bathymetry = refs.bathymetryRead->spatialReference();
    refs.shorelineName = form.shorename;
    if (auto problem = gis::bathymetryReferenceProblem(*refs.bathymetryRead, form.bathycov)) {
        const auto project = o.value("--project");
        throw badOption(project ? "--project" : "--bathymetry", project ? *project : *o.value("--bathymetry"),
                        *problem);
    }
    if (app.state.model_mode == model::REI_MODE)
        reiBathymetry(o, form, messages);
    else if (const auto project = o.value("--project"))
        requireUsableRweWind("--project", *project, form.windpath);
    else
        requireUsableRweWind("--wind", *o.value("--wind"), form.windpath);
    return refs;
}

SitesSource sitesSource(const RunOptions& o, const model::MainFormState& project) {
    SitesSource source;
    source.layer = o.value("--layer").value_or("");
    if (const auto sites = o.value("--sites")) {
        source.path = *sites;
        requireReadableFile("--sites", source.path);
        if (hasExtension(source.path, ".gpkg") && source.layer.empty())
            throw badOption("--sites", source.path, "a GeoPackage needs --layer to name the sites' layer.");
        if (!hasExtension(source.path, ".gpkg") && !source.layer.empty())
            throw badOption("--layer", source.layer, "only a GeoPackage has layers; --sites names " + source.path + ".");
        return source;
    }
    // --layer alone: a point dataset of the project's geodatabase.
    if (!project.ptworkspace)
        throw badOption("--layer", source.layer, "the project has no geodatabase to hold it.");
    source.path = project.ptworkspace->path();
    return source;
}

std::vector<std::string> runInputFiles(const RunOptions& o, const model::MainFormState& form, const SitesSource& sites) {
    std::vector<std::string> files{sites.path};
    for (const char* option : {"--shoreline", "--bathymetry", "--wind", "--settings", "--project"})
        if (const auto value = o.value(option)) files.push_back(*value);
    // What a project names.
    for (const std::string& named : {form.bathycov, form.windpath,
                                     form.shorename.empty() ? std::string() : platform::joinPath(form.shorecov, form.shorename),
                                     form.ptworkspace ? form.ptworkspace->path() : std::string()})
        if (!named.empty()) files.push_back(named);
    // A shoreline kept as a layer of a workspace file names that file.
    std::error_code ec;
    if (!form.shorecov.empty() && !fs::is_directory(form.shorecov, ec)) files.push_back(form.shorecov);
    return files;
}

void checkSites(const SitesSource& source, pg::GeometryType type, const pg::SpatialReference& sites,
                const InputReferences& inputs) {
    const char* option = source.geodatabase() ? "--layer" : "--sites";
    const std::string named = source.geodatabase() ? source.layer : source.path;
    if (type != pg::GeometryType::Point) throw badOption(option, named, "\"" + named + "\" is not a point dataset.");
    // The runs' own checks, made before anything is written.
    if (auto problem = gis::sitesReferenceProblem(sites, source.shown(), inputs.bathymetry))
        throw badOption(option, named, *problem);
    if (!inputs.shoreline.isNone())
        if (auto problem = gis::shorelineReferenceProblem(inputs.shoreline, inputs.shorelineName, inputs.bathymetry))
            throw BadInput("--shoreline: " + *problem);
}

}  // namespace quor::cli
