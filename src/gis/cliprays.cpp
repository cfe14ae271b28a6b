#include "gis/cliprays.h"

#include "gis/ray_geometry.h"
#include "platform/gis/gis_error.h"
#include "platform/log.h"

namespace quor::gis {

namespace {

const char* const kClipMessage = "Clipping error. Please check that points should lie inside the shoreline coverage extent.";

void copyAttributes(const pg::Feature& from, pg::Feature& to, int fieldCount) {
    for (int i = 2; i < fieldCount; ++i) to.setValue(i, from.value(i));
}

}  // namespace

std::shared_ptr<pg::FeatureClass> clipRaysAtShoreline(RayContext& ctx, const std::shared_ptr<pg::FeatureClass>& rays) {
    if (!rays) throw pg::GisError("There is no ray class to clip.");
    const Shoreline& shore = ctx.shore();
    auto ws = rays->workspace();
    if (!ws) throw pg::GisError("The ray class has no workspace.");

    const auto fields = rays->attributeFields();
    const int fieldCount = static_cast<int>(fields.size()) + 2;
    const pg::SpatialReference sr = rays->spatialReference();

    pg::Workspace::Transaction tx(*ws);
    // The tools overwrite their outputs.
    for (const char* name : {"Inter_ray", "Inter_rays"})
        if (ws->hasFeatureClass(name)) ws->deleteFeatureClass(name);
    auto interRay = ws->createFeatureClass("Inter_ray", pg::GeometryType::Polyline, fields, sr);
    auto interRays = ws->createFeatureClass("Inter_rays", pg::GeometryType::Polyline, fields, sr);
    auto multiCursor = interRay->insertCursor(true);
    auto singleCursor = interRays->insertCursor(true);

    pg::FeatureCursor source = rays->search();
    while (auto ray = source.next()) {
        const pg::Geometry& shape = ray->shape();
        if (shape.partCount() == 0 || shape.part(0).empty()) continue;
        // Every ray of a fan starts at its site.
        const XY site = shape.part(0).front();

        std::vector<pg::Path> parts;
        for (const pg::Path& path : shape.parts())
            for (pg::Path& inside : shore.polygons().clip(path)) parts.push_back(std::move(inside));
        const auto pieces = mergeRayParts(parts, site);
        if (pieces.empty()) continue;

        std::vector<pg::Path> paths;
        paths.reserve(pieces.size());
        for (const RayPiece& piece : pieces) {
            paths.push_back({piece.start, piece.end});
            pg::Feature single = singleCursor.createFeatureBuffer();
            single.setShape(pg::Geometry::line(piece.start, piece.end));
            copyAttributes(*ray, single, fieldCount);
            singleCursor.insert(single);
        }
        pg::Feature multi = multiCursor.createFeatureBuffer();
        multi.setShape(pg::Geometry::polyline(std::move(paths)));
        copyAttributes(*ray, multi, fieldCount);
        multiCursor.insert(multi);
    }
    multiCursor.flush();
    singleCursor.flush();
    tx.commit();

    ctx.refreshMap();
    return interRays;
}

std::shared_ptr<pg::FeatureClass> cliprays_cls::cliprays(const std::string&,
                                                         const std::shared_ptr<pg::FeatureClass>& rays) {
    try {
        auto result = clipRaysAtShoreline(ctx_, rays);
        ctx_.progress.setValue(1, 70);
        return result;
    } catch (const std::exception& e) {
        platform::logCause("Clipping the rays", e.what());
        ctx_.messages.message(kClipMessage, platform::MessageIcon::Critical);
        return nullptr;
    }
}

std::shared_ptr<pg::FeatureClass> wave_cliprays_cls::cliprays(const std::string&,
                                                              const std::shared_ptr<pg::FeatureClass>& rays) {
    try {
        auto result = clipRaysAtShoreline(ctx_, rays);
        // For the eye: the pieces take the place of the fan.
        if (ctx_.fm_property.refreshmap == 0) {
            const auto fanLayers = layersShowing(ctx_, rays.get());
            auto layer = pg::Layer::featureLayer(result, result->aliasName());
            ctx_.showLayer(layer);
            for (const auto& fan : fanLayers) ctx_.hideLayer(fan);
        }
        return result;
    } catch (const std::exception& e) {
        // The run driver reports the site's status; the cause goes to the log.
        platform::logCause("Clipping the rays", e.what());
        ctx_.state.err_clip = 1;
        return nullptr;
    }
}

}  // namespace quor::gis
