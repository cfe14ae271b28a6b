#include "gis/createrays.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "gis/cliprays.h"
#include "gis/lineprofile.h"
#include "gis/ray_geometry.h"
#include "gis/selorphans.h"
#include "platform/gis/gis_error.h"
#include "platform/log.h"

namespace quor::gis {

namespace {

const char* const kRaysMessage = "Error in creating rays";

struct Fan {
    std::shared_ptr<pg::FeatureClass> rays;
    std::shared_ptr<pg::Layer> layer;  // for the eye; null in background runs
};

// What every fan needs first: somewhere to cast, a fetch to cast, and a
// clean start.
void beforeFan(RayContext& ctx, const std::shared_ptr<pg::Workspace>& ws) {
    if (!ws) throw pg::GisError("There is no project geodatabase to cast the rays in.");
    if (!(ctx.mainform.Fetch > 0))
        throw std::invalid_argument("The maximum fetch must be greater than 0 to cast rays.");
    // What a failed earlier site left behind would block the new classes.
    deleteWorkClasses(ws);
}

// The fan as plain lines, for a run that draws nothing and so reads the
// rays as no class: the same lines, in the same order, as castFan's features.
std::vector<FanRay> plainFan(RayContext& ctx, const std::shared_ptr<pg::Workspace>& ws, const pg::Point& spoint,
                             int n, const std::function<XY(XY site, double fetch, int i)>& endOf) {
    beforeFan(ctx, ws);
    std::vector<FanRay> fan;
    fan.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) fan.push_back({i, {pg::Path{spoint, endOf(spoint, ctx.mainform.Fetch, i)}}});
    return fan;
}

// Steps shared by both casters: a clean start, the class, one feature per
// ray and the fan's layer.
Fan castFan(RayContext& ctx, const std::shared_ptr<pg::Workspace>& ws, const pg::Point& spoint, int n,
            const std::function<XY(XY site, double fetch, int i)>& endOf) {
    beforeFan(ctx, ws);

    Fan fan;
    pg::Workspace::Transaction tx(*ws);
    fan.rays = createRayWorkClass(ctx, ws, "rays");
    {
        auto ins = fan.rays->insertCursor(true);
        const int dirField = fan.rays->findField("Dir");
        for (int i = 0; i < n; ++i) {
            pg::Feature f = ins.createFeatureBuffer();
            f.setShape(pg::Geometry::line(spoint, endOf(spoint, ctx.mainform.Fetch, i)));
            f.setValue(dirField, std::int64_t{i});
            ins.insert(f);
        }
        ins.flush();
    }
    tx.commit();

    if (ctx.fm_property.refreshmap == 0) {
        ctx.progress.setValue(1, 5);
        fan.layer = pg::Layer::featureLayer(fan.rays, "rays");
        ctx.showLayer(fan.layer);
    }
    return fan;
}

// The rays take the spatial reference of the shoreline dataset itself. A
// shoreline that cannot be opened is left for the clipping step, which
// reports it as a clipping failure.
void giveShorelineReference(RayContext& ctx, pg::FeatureClass& rays) {
    const Shoreline* shore = nullptr;
    try {
        shore = &ctx.shore();
    } catch (const std::exception& e) {
        platform::logCause("Rays keep no shoreline reference", e.what());
        return;
    }
    rays.alterSpatialReference(shore->spatialReference());
}

}  // namespace

void createrays_cls::createrays(const pg::Point& spoint, const std::shared_ptr<pg::Workspace>& pworkspace,
                                const std::string& projname, int, const std::shared_ptr<pg::Raster>& prasterlayer) {
    try {
        if (ctx_.fm_property.indexcheck != 0 && !ctx_.raysAsClasses()) {
            // Fast algorithm, nothing drawn: the whole rays are profiled as plain lines.
            const auto fan = plainFan(ctx_, pworkspace, spoint, kReiRayCount,
                                      [](XY site, double fetch, int i) { return reiRayEnd(site, fetch, i); });
            lineprofile_cls(ctx_).lineprofile(fan, spoint, prasterlayer);
            return;
        }
        const Fan fan = castFan(ctx_, pworkspace, spoint, kReiRayCount,
                                [](XY site, double fetch, int i) { return reiRayEnd(site, fetch, i); });

        if (ctx_.fm_property.indexcheck != 0) {
            // Fast algorithm: the whole rays are profiled, nothing is clipped.
            selorphan_cls(ctx_).selorphans(spoint, fan.rays, pworkspace, nullptr, prasterlayer);
            return;
        }

        auto orpRays = createRayWorkClass(ctx_, pworkspace, "orp_rays");
        giveShorelineReference(ctx_, *fan.rays);

        auto pieces = cliprays_cls(ctx_).cliprays(projname, fan.rays);
        if (!pieces) return;  // the clipping step has told the user

        std::shared_ptr<pg::Layer> piecesLayer;
        if (ctx_.fm_property.refreshmap == 0) {
            piecesLayer = pg::Layer::featureLayer(pieces, pieces->aliasName());
            ctx_.showLayer(piecesLayer);
            ctx_.hideLayer(fan.layer);
        }

        selorphan_cls(ctx_).selorphans(spoint, pieces, pworkspace, orpRays, prasterlayer);
        ctx_.hideLayer(piecesLayer);
    } catch (const std::invalid_argument& e) {
        ctx_.messages.message(e.what(), platform::MessageIcon::Critical);
    } catch (const std::exception& e) {
        // The user sees the step's message; the cause goes to the log.
        platform::logCause(kRaysMessage, e.what());
        ctx_.messages.message(kRaysMessage, platform::MessageIcon::Critical);
    }
}

std::shared_ptr<pg::FeatureClass> wave_createrays_cls::WaveCreaterays(const pg::Point& spoint,
                                                                      const std::shared_ptr<pg::Workspace>& pworkspace,
                                                                      const std::string&, int, int norays) {
    ctx_.state.err_rays = 0;
    try {
        const Fan fan = castFan(ctx_, pworkspace, spoint, norays, [norays](XY site, double fetch, int d) {
            return rweRayEnd(site, fetch, d, norays);
        });
        if (fan.layer) ctx_.refreshMap();
        if (ctx_.state.wv_indexcheck == 0) giveShorelineReference(ctx_, *fan.rays);
        return fan.rays;
    } catch (const std::invalid_argument& e) {
        ctx_.state.err_rays = 1;
        ctx_.messages.message(e.what(), platform::MessageIcon::Critical);
        return nullptr;
    } catch (const std::exception& e) {
        ctx_.state.err_rays = 1;
        platform::logCause(kRaysMessage, e.what());
        ctx_.messages.message(kRaysMessage, platform::MessageIcon::Critical);
        return nullptr;
    }
}

std::optional<std::vector<FanRay>> wave_createrays_cls::WaveCastPlain(const pg::Point& spoint,
                                                                      const std::shared_ptr<pg::Workspace>& pworkspace,
                                                                      int norays) {
    ctx_.state.err_rays = 0;
    try {
        auto fan = plainFan(ctx_, pworkspace, spoint, norays, [norays](XY site, double fetch, int d) {
            return rweRayEnd(site, fetch, d, norays);
        });
        // The clipping step opens the shoreline; opening it here tells the log as the drawn fan does.
        if (ctx_.state.wv_indexcheck == 0) {
            try {
                ctx_.shore();
            } catch (const std::exception& e) {
                platform::logCause("Rays keep no shoreline reference", e.what());
            }
        }
        return fan;
    } catch (const std::invalid_argument& e) {
        ctx_.state.err_rays = 1;
        ctx_.messages.message(e.what(), platform::MessageIcon::Critical);
        return std::nullopt;
    } catch (const std::exception& e) {
        ctx_.state.err_rays = 1;
        platform::logCause(kRaysMessage, e.what());
        ctx_.messages.message(kRaysMessage, platform::MessageIcon::Critical);
        return std::nullopt;
    }
}

}  // namespace quor::gis
