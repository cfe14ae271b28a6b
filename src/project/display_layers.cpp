#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "project/interrogation_distance.h"
#include "project/project_commands.h"
#include "gis/point_display.h"
#include "gis/shorebathy.h"
#include "project/project_inputs.h"
#include "project/run_hold.h"

namespace quor::project {

namespace pg = platform::gis;
using platform::MessageIcon;

std::shared_ptr<pg::Raster> ProjectCommands::rasterdata() {
    try {
        return openProjectBathymetry(ctx_.form);
    } catch (const std::exception& e) {
        ctx_.messages.message(gis::kBathymetryUnreadable + std::string(e.what()));
        return nullptr;
    }
}

void ProjectCommands::displaylayers() {
    auto& f = ctx_.form;
    try {
        // A layer that cannot be read is told once and left out: the project
        // file is sound, and Add Bathymetry or Add Shoreline mends the layer.
        if (auto raster = rasterdata()) ctx_.map.addLayer(pg::Layer::rasterLayer(raster, f.bathyname));
        if (model::fastAlgorithm(ctx_.state, ctx_.holder)) {
            if (window_.treeNodeCount() >= 3) window_.setTreeNode(3, "", window_.treeNodeImage(3));
            ctx_.messages.message(kFastAlgorithmNoShoreline, MessageIcon::Information);
        } else {
            std::shared_ptr<pg::FeatureClass> shoreline;
            try {
                shoreline = gis::openShoreline(f);
            } catch (const std::exception& e) {
                ctx_.messages.message(gis::kShorelineUnreadable + std::string(e.what()), MessageIcon::Critical);
            }
            if (shoreline) ctx_.map.addLayer(pg::Layer::featureLayer(shoreline, f.shorename));
        }
        ctx_.map.setExtent(ctx_.map.fullExtent());
        if (!f.geodatabasename.empty()) {
            // Deleting what a broken run left is a change of the geodatabase:
            // not while another program runs the project.
            const RunLocks locks(f.projfile, f.projname, std::string());
            gis::displaypointdata(f, ctx_.map, window_, !locks.refusal(f.projname));
        }
    } catch (const std::exception&) {
        window_.clearTree();
        ctx_.map.clearLayers();
        window_.disablecontrols();
        ctx_.messages.message(kDisplayCorrupted, MessageIcon::Critical);
    }
}

std::optional<InterrogationProposal> ProjectCommands::reiBathymetryShown(const pg::Raster& raster) {
    // The exact extremes take a whole reading of the raster: a minute for
    // the largest, which must not look like a hung window.
    platform::NullProgress none;
    platform::Progress& progress = ctx_.progress ? *ctx_.progress : none;
    progress.show();
    progress.setMaximum(1, 100);
    progress.setValue(1, 0);
    progress.setLabel(1, "Reading the bathymetry " + ctx_.form.bathyname);
    struct Hide {
        platform::Progress& p;
        ~Hide() { p.hide(); }
    } hide{progress};
    return reiBathymetryProposal(raster, ctx_.form, &progress);
}

void ProjectCommands::bathydist() {
    auto& f = ctx_.form;
    std::shared_ptr<pg::Raster> raster;
    try {
        raster = openProjectBathymetry(f);
    } catch (const std::exception&) {
        // The layers' display, which always comes first, has said why.
        return;
    }
    std::optional<InterrogationProposal> proposal;
    try {
        proposal = reiBathymetryShown(*raster);
    } catch (const std::exception& e) {
        ctx_.messages.message(gis::kBathymetryUnreadable + std::string(e.what()), MessageIcon::Critical);
        return;
    }
    if (!proposal) return;
    if (!ctx_.messages.question(proposal->question())) return;
    f.dist_bathy = proposal->distance;
    ctx_.settings.write("Quor3", "Settings", "Bathy_dist", std::to_string(proposal->distance));
    window_.setStatusPanel(2, "F= " + platform::formatNumber(f.Fetch) + " B I= " + platform::formatNumber(f.dist_bathy));
}

}  // namespace quor::project
