#include "wave/attached_fetch.h"

#include "gis/attached_pieces.h"
#include "gis/effective_fetch_rays.h"
#include "platform/gis/gis_error.h"
#include "platform/log.h"
#include "wave/eff_fetch.h"

namespace quor::wave {

namespace {

// The fetches of the pieces attached to the site into fetcharray: 0, or
// the status of the step that failed.
double attachedFetchInto(gis::RayContext& rc, const std::vector<gis::FanRay>& fan, int n,
                         const platform::gis::Point& site) {
    std::vector<gis::AttachedPiece> pieces;
    try {
        pieces = gis::attachedPieces(rc.shore().polygons(), fan, site);
    } catch (const std::exception& e) {
        platform::logCause("Clipping the rays", e.what());
        return model::pt_status::clip_failed;
    }
    // No piece attached to the site: the shoreline puts it on land.
    if (pieces.empty()) return model::pt_status::clip_failed;
    try {
        std::vector<KeptPiece> kept;
        kept.reserve(pieces.size());
        for (const auto& p : pieces) kept.push_back({p.dir, p.length()});
        wave_effFetch_cls fetch(rc.state);
        fetch.directLengths(kept, n);
        fetch.weightFetches(n);
        return 0;
    } catch (const std::exception& e) {
        platform::logCause("Measuring the effective fetch", e.what());
        rc.state.err_fetch = 1;
        return model::pt_status::fetch_failed;
    }
}

}  // namespace

AttachedFetch attachedEffectiveFetch(gis::RayContext& rc, const std::shared_ptr<platform::gis::FeatureClass>& rays,
                                     int n, const platform::gis::Point& site) {
    // The map shows the run: the square marks the site as the clipping path marks it.
    rc.showSiteSquare(site);
    std::vector<gis::FanRay> fan;
    try {
        if (!rays) throw platform::gis::GisError("There is no ray class to clip.");
        fan = gis::fanRays(*rays);
    } catch (const std::exception& e) {
        platform::logCause("Clipping the rays", e.what());
        return {nullptr, model::pt_status::clip_failed};
    }
    const double status = attachedFetchInto(rc, fan, n, site);
    if (status != 0) return {nullptr, status};
    try {
        return {gis::drawEffectiveFetchRays(rays->workspace(), site, rc.state.fetcharray, n, rc.messages), 0};
    } catch (const std::exception& e) {
        platform::logCause("Measuring the effective fetch", e.what());
        rc.state.err_fetch = 1;
        return {nullptr, model::pt_status::fetch_failed};
    }
}

double attachedEffectiveFetch(gis::RayContext& rc, const std::vector<gis::FanRay>& rays, int n,
                              const platform::gis::Point& site) {
    rc.showSiteSquare(site);
    return attachedFetchInto(rc, rays, n, site);
}

}  // namespace quor::wave
