#include "gis/selorphans.h"

#include "gis/lineprofile.h"
#include "gis/ray_geometry.h"
#include "platform/gis/gis_error.h"

namespace quor::gis {

namespace {

// Copies every feature of the cursor into the target, attributes by name,
// in one transaction, and shows the target on the map.
std::shared_ptr<pg::FeatureClass> loadPieces(RayContext& ctx, const std::shared_ptr<pg::FeatureClass>& target,
                                             pg::FeatureCursor& cursor) {
    auto ws = target->workspace();
    pg::Workspace::Transaction tx(*ws);
    auto ins = target->insertCursor(true);
    const auto targetFields = target->fields();
    while (auto f = cursor.next()) {
        pg::Feature buf = ins.createFeatureBuffer();
        buf.setShape(f->shape());
        for (int i = 2; i < targetFields->count(); ++i) {
            const int from = f->findField(targetFields->field(i).name);
            if (from >= 2) buf.setValue(i, f->value(from));
        }
        ins.insert(buf);
    }
    ins.flush();
    tx.commit();
    ctx.showLayer(pg::Layer::featureLayer(target, target->aliasName()));
    return target;
}

}  // namespace

std::shared_ptr<pg::FeatureClass> keepAttachedPieces(RayContext& ctx, const pg::Point& spoint,
                                                     const std::shared_ptr<pg::FeatureClass>& pieces,
                                                     const std::shared_ptr<pg::FeatureClass>& target, int progressBefore,
                                                     int progressAfter) {
    if (!pieces) throw pg::GisError("There are no ray pieces to choose from.");
    if (!target) throw pg::GisError("Object variable not set: there is no class for the kept pieces.");
    const auto sq = siteSquare({spoint.x, spoint.y});
    pg::Path ring;
    for (const XY& p : sq) ring.push_back({p.x, p.y});
    const pg::Geometry square = pg::Geometry::polygon(ring);

    ctx.progress.setValue(1, progressBefore);
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
