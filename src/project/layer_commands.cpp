#include <algorithm>
#include <filesystem>
#include <optional>

#include "gis/shorebathy.h"
#include "platform/ascii_case.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "project/chosen_paths.h"
#include "project/project_commands.h"
#include "project/project_file.h"
#include "project/run_hold.h"

namespace fs = std::filesystem;

namespace quor::project {

namespace pg = platform::gis;
using platform::MessageIcon;

namespace {

// The point or display shapefile the user picked, opened.
struct ChosenShapefile {
    std::string path;  // the .shp file
    std::string name;  // the dataset name, without folder or extension
    std::shared_ptr<pg::FeatureClass> featureClass;
};

// A point shapefile is refused, with the reason, when it holds other shapes.
std::optional<ChosenShapefile> chooseShapefile(ProjectWindow& window, platform::Messages& messages,
                                               gis::DatasetFilter filter, const std::string& title) {
    const auto chosen = window.datasetChooser().choose(filter, title);
    if (!chosen || chosen->empty()) return std::nullopt;
    ChosenShapefile s;
    s.path = chosen->front().path;
    s.name = fs::path(s.path).stem().string();
    s.featureClass = pg::Workspace::open(s.path)->openFeatureClass(s.name);
    if (filter == gis::DatasetFilter::PointShapefiles && s.featureClass->geometryType() != pg::GeometryType::Point) {
        messages.message(kNotAPointDataset, MessageIcon::Critical);
        return std::nullopt;
    }
    return s;
}

// Where in `before` the same dataset as `layer` was shown, or nothing.
std::optional<std::size_t> placeIn(const std::vector<std::shared_ptr<pg::Layer>>& before, const pg::Layer& layer) {
    if (!layer.featureClass()) return std::nullopt;
    for (std::size_t k = 0; k < before.size(); ++k)
        if (before[k]->featureClass() && pg::sameDataset(*before[k]->featureClass(), *layer.featureClass())) return k;
    return std::nullopt;
}

// The datasets that were on the map before it was built again take back
// their order among themselves and the colours of their last run; layers
// new to the map stay where the build put them.
void keepPlacesAndColours(const std::vector<std::shared_ptr<pg::Layer>>& before, pg::Map& map) {
    std::vector<int> places;
    std::vector<std::pair<std::size_t, std::shared_ptr<pg::Layer>>> shownBefore;  // old position, layer
    for (int i = 0; i < map.layerCount(); ++i) {
        const auto& layer = map.layer(i);
        const auto old = placeIn(before, *layer);
        if (!old) continue;
        layer->setIndexClasses(before[*old]->indexClasses());
        places.push_back(i);
        shownBefore.emplace_back(*old, layer);
    }
    std::stable_sort(shownBefore.begin(), shownBefore.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::shared_ptr<pg::Layer>> wanted = map.layers();
    for (std::size_t k = 0; k < places.size(); ++k) wanted[static_cast<std::size_t>(places[k])] = shownBefore[k].second;
    for (int i = 0; i < map.layerCount(); ++i) {
        const auto& layers = map.layers();
        const auto at = std::find(layers.begin() + i, layers.end(), wanted[static_cast<std::size_t>(i)]) - layers.begin();
        if (at != i) map.moveLayer(static_cast<int>(at), i);
    }
}

}  // namespace

std::string shapefileLayerName(const std::string& datasetName) {
    return platform::upperAscii(datasetName.substr(0, 9)) == "POINTDATA" ? "shp" + datasetName : datasetName;
}

void showListedShapefiles(const model::MainFormState& form, pg::Map& map) {
    for (const std::string& path : form.shpcol) {
        try {
            const std::string name = fs::path(path).stem().string();
            map.addLayer(pg::Layer::featureLayer(pg::Workspace::open(path)->openFeatureClass(name), shapefileLayerName(name)));
        } catch (const std::exception&) {
            // A shapefile gone since it was listed is not shown.
        }
    }
}

void ProjectCommands::buildprojtree() {
    window_.buildprojtree();
    displaylayers();
}

void ProjectCommands::rebuildAfterLayerChange() {
    const std::vector<std::shared_ptr<pg::Layer>> before = ctx_.map.layers();
    window_.clearTree();
    ctx_.map.clearLayers();
    buildprojtree();
    // A display that failed has closed the project's view.
    if (window_.treeNodeCount() == 0) return;
    // The build shows only the geodatabase's classes; the list's shapefiles,
    // which the run still offers, must stay on the map for the run to colour.
    showListedShapefiles(ctx_.form, ctx_.map);
    keepPlacesAndColours(before, ctx_.map);
}

void ProjectCommands::Addbathy_Click() {
    auto& f = ctx_.form;
    try {
        if (window_.treeNodeCount() >= 2 && window_.treeNodeImage(2) == kImageBathymetry) {
            if (!ctx_.messages.question("Project already has a bathymetry, do you want to replace it?")) return;
            if (window_.bathymetryOnTop()) window_.setBathymetryOnTop(false);
        }
        ChosenPaths paths{&f.bathycov, &f.bathyname};
        auto raster = gis::Getbathymetry(f, window_.datasetChooser(), ctx_.messages);
        if (!raster || paths.refused(ctx_.messages)) return;
        rebuildAfterLayerChange();
        if (ctx_.state.model_mode == model::REI_MODE) bathydist();
    } catch (const std::exception&) {
        ctx_.messages.message("Error adding bathymetry", MessageIcon::Critical);
    }
}

void ProjectCommands::Addshore_Click() {
    auto& f = ctx_.form;
    try {
        if (window_.treeNodeCount() >= 3 && window_.treeNodeImage(3) == kImageShoreline) {
            if (!ctx_.messages.question("Project already has a shoreline, do you want to replace it?")) return;
            if (window_.bathymetryOnTop()) window_.setBathymetryOnTop(false);
        }
        ChosenPaths paths{&f.shorecov, &f.shorename, &f.shorefeature};
        const int kind = f.option_arccov == 2 ? 2 : 1;
        auto fc = gis::Getshoreline(f, kind, window_.datasetChooser(), ctx_.messages);
        if (!fc || paths.refused(ctx_.messages)) return;
        f.option_arccov = static_cast<int16_t>(kind);
        if (kind == 1) f.shorefeature.clear();
        rebuildAfterLayerChange();
    } catch (const std::exception&) {
        ctx_.messages.message("Error adding shoreline dataset", MessageIcon::Critical);
    }
}

void ProjectCommands::Addwind_Click() {
    auto& st = ctx_.state;
    auto& f = ctx_.form;
    try {
        if (window_.treeNodeCount() >= 4 && window_.treeNodeImage(4) == kImageWind &&
            platform::upperAscii(st.wind_name) != "TEMPORARY_WIND") {
            if (!ctx_.messages.question("Project already has a wind data, do you want to replace it?")) return;
        }
        // What a failed load must give back, so that a later save still
        // names a wind file that opens.
        const std::string oldPath = st.wind_path, oldName = st.wind_name, oldWindpath = f.windpath,
                          oldCopy = st.wind_pathcopy;
        const model::WindSummary oldSummary = ctx_.wind;
        if (!selwindfile(st, ctx_.messages, window_)) return;
        f.windpath = st.wind_path;
        st.wind_pathcopy = st.wind_path;
        if (st.model_mode == model::REI_MODE) {
            const bool ok = loadReiWind(ctx_, st.wind_path);
            if (!ok || st.dlg_cancel) {
                st.dlg_cancel = false;
                st.wind_path = oldPath;
                st.wind_name = oldName;
                f.windpath = oldWindpath;
                st.wind_pathcopy = oldCopy;
                ctx_.wind = oldSummary;
                return;
            }
        }
        window_.setTreeNode(4, st.wind_name, kImageWind);
    } catch (const std::exception&) {
        ctx_.messages.message("Error adding wind data", MessageIcon::Critical);
    }
}

void ProjectCommands::Addpointc_Click() {
    auto& f = ctx_.form;
    if (window_.treeNodeCount() == 0) return;
    try {
        auto chosen = chooseShapefile(window_, ctx_.messages, gis::DatasetFilter::PointShapefiles, "Select a point shapefile");
        if (!chosen) return;
        if (std::find(f.shpcol.begin(), f.shpcol.end(), chosen->path) != f.shpcol.end()) {
            ctx_.messages.message("Selected shapefile already in the current project");
            return;
        }
        f.shpcol.push_back(chosen->path);
        f.shpcount = static_cast<int16_t>(f.shpcol.size());
        window_.addPointListEntry(chosen->name);
        ctx_.map.addLayer(pg::Layer::featureLayer(chosen->featureClass, shapefileLayerName(chosen->name)));
        window_.enableMapTools();
    } catch (const std::exception&) {
        ctx_.messages.message("Error adding point dataset", MessageIcon::Critical);
    }
}

void ProjectCommands::addshape_Click() {
    try {
        auto chosen = chooseShapefile(window_, ctx_.messages, gis::DatasetFilter::Shapefiles, "Select a shapefile");
        if (!chosen) return;
        if (chosen->featureClass->spatialReference().isNone())
            ctx_.messages.message("Shapefile doesn't have spatial reference", MessageIcon::Critical);
        ctx_.map.addLayer(pg::Layer::featureLayer(chosen->featureClass, shapefileLayerName(chosen->name)));
        window_.enableMapTools();
    } catch (const std::exception&) {
        ctx_.messages.message("Error in loading selected shapefile.", MessageIcon::Exclamation);
    }
}

void ProjectCommands::rem_ptdata(const std::string& nodeText) {
    if (!ctx_.messages.question("Sure you want to remove " + nodeText + " ?")) return;
    // The class goes from the project's geodatabase: never under another
    // program's run of the project.
    const RunLocks locks(ctx_.form.projfile, ctx_.form.projname, std::string());
    if (const auto why = locks.refusal(nodeText)) {
        ctx_.messages.message(*why, MessageIcon::Exclamation);
        return;
    }
    try {
        auto ws = ctx_.form.ptworkspace;
        if (!ws) throw pg::GisError("No project geodatabase is open.");
        const auto names = ws->featureClassNames();
        if (std::find(names.begin(), names.end(), nodeText) == names.end()) return;
        ws->deleteFeatureClass(nodeText);
        for (int node = 1; node <= window_.treeNodeCount(); ++node) {
            if (window_.treeNodeText(node) == nodeText) {
                window_.removeTreeNode(node);
                break;
            }
        }
        const int layer = ctx_.map.findLayer(nodeText);
        if (layer >= 0) ctx_.map.deleteLayer(layer);
    } catch (const std::exception&) {
        ctx_.messages.message("Error in deleting point file.");
    }
}

void ProjectCommands::feat_no(const std::string& nodeText) {
    try {
        auto ws = ctx_.form.ptworkspace;
        if (!ws) throw pg::GisError("No project geodatabase is open.");
        const auto names = ws->featureClassNames();
        if (std::find(names.begin(), names.end(), nodeText) == names.end()) return;
        const auto count = ws->openFeatureClass(nodeText)->featureCount();
        ctx_.messages.message(nodeText + " has " + std::to_string(count) + " features.", MessageIcon::Information);
    } catch (const std::exception&) {
        ctx_.messages.message("Error in feat_no module", MessageIcon::Critical);
    }
}

void ProjectCommands::rem_shpdata() {
    auto& f = ctx_.form;
    try {
        const std::vector<int> selected = window_.selectedPointListEntries();
        if (selected.empty()) throw std::out_of_range("no point list entry selected");
        // From the last line up, so that the lines still to go keep their places.
        for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
            const int i = *it;
            if (i < 0 || i >= static_cast<int>(f.shpcol.size()) || i >= window_.pointListCount())
                throw std::out_of_range("no such point list entry");
            const std::string entry = window_.pointListEntry(i);
            f.shpcol.erase(f.shpcol.begin() + i);
            f.shpcount = static_cast<int16_t>(f.shpcol.size());
            // The layer carries the name the naming rule gave it when it was added.
            const int layer = ctx_.map.findLayer(shapefileLayerName(entry));
            if (layer >= 0) ctx_.map.deleteLayer(layer);
            window_.removePointListEntry(i);
        }
    } catch (const std::exception&) {
        ctx_.messages.message("Error encountered while deleting the point file.");
    }
}

void ProjectCommands::deletefeatureclass() {
    auto fc = ctx_.form.sfeatureclass1;
    if (!fc) return;
    fc->workspace()->deleteFeatureClass(fc->name());
}

}  // namespace quor::project
