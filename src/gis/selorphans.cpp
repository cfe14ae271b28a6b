#include "gis/selorphans.h"

#include "gis/lineprofile.h"
#include "gis/load_features.h"
#include "gis/ray_geometry.h"
#include "platform/gis/gis_error.h"

namespace quor::gis {

namespace {

// The copy that fills "orp_rays"; a piece that could not be copied fails
// the step, so that the site is not measured with a ray missing.
std::shared_ptr<pg::FeatureClass> loadPieces(RayContext& ctx, const std::shared_ptr<pg::FeatureClass>& target,
                                             pg::FeatureCursor& cursor) {
    const auto result = LoadFeatures(target, cursor, &ctx.map, ctx.messages);
    // The copy shows the class on top of the map; the site takes it back.
    if (ctx.siteLayers && ctx.map.layerCount() > 0 && ctx.map.layer(0)->featureClass() == target)
        ctx.siteLayers->adopt(ctx.map.layer(0));
    if (!result.ok())
        throw pg::GisError(result.firstError.empty() ? "The kept pieces could not be copied." : result.firstError);
    return result.target;
}

}  // namespace

std::shared_ptr<pg::FeatureClass> keepAttachedPieces(RayContext& ctx, const pg::Point& spoint,
                                                     const std::shared_ptr<pg::FeatureClass>& pieces,
                                                     const std::shared_ptr<pg::FeatureClass>& target, int progressBefore,
                                                     int progressAfter) {
    if (!pieces) throw pg::GisError("There are no ray pieces to choose from.");
    if (!target) throw pg::GisError("There is no class for the kept pieces.");
    const auto sq = siteSquare(spoint);
    const pg::Geometry square = pg::Geometry::polygon(pg::Path(sq.begin(), sq.end()));

    ctx.progress.setValue(1, progressBefore);
    ctx.showSiteSquare(spoint);
    ctx.progress.setValue(1, progressAfter);

    const std::vector<std::int64_t> oids = pieces->selectIntersecting(square);
    // The selection shows on the layers of the pieces.
    for (const auto& layer : layersShowing(ctx, pieces.get())) layer->setSelection(oids);

    pg::FeatureCursor cursor = pieces->search(oids);
    return loadPieces(ctx, target, cursor);
}

void selorphan_cls::selorphans(const pg::Point& spoint, const std::shared_ptr<pg::FeatureClass>& pieces,
                               const std::shared_ptr<pg::Workspace>&,
                               const std::shared_ptr<pg::FeatureClass>& nfeatureclass,
                               const std::shared_ptr<pg::Raster>& prasterlayer) {
    std::shared_ptr<pg::FeatureClass> result;
    if (ctx_.fm_property.indexcheck != 0)
        result = pieces;
    else
        result = keepAttachedPieces(ctx_, spoint, pieces, nfeatureclass, 75, 80);
    lineprofile_cls(ctx_).lineprofile(result, spoint, prasterlayer);
}

std::shared_ptr<pg::FeatureClass> wave_selorphan_cls::selorphans(const pg::Point& spoint,
                                                                 const std::shared_ptr<pg::FeatureClass>& pieces,
                                                                 const std::shared_ptr<pg::Workspace>&,
                                                                 const std::shared_ptr<pg::FeatureClass>& nfeatureclass) {
    return keepAttachedPieces(ctx_, spoint, pieces, nfeatureclass, 40, 42);
}

}  // namespace quor::gis
