#include "gis/ray_site.h"

#include <algorithm>
#include <exception>

#include "gis/deleterays.h"
#include "gis/geodatabase.h"
#include "gis/ray_geometry.h"
#include "gis/shorebathy.h"
#include "platform/gis/gis_error.h"
#include "platform/log.h"

namespace quor::gis {

std::shared_ptr<const Shoreline> Shoreline::open(const model::MainFormState& mainform) {
    const auto fc = openShoreline(mainform);
    return std::make_shared<const Shoreline>(pg::ClipPolygons::fromFeatureClass(*fc), fc->spatialReference());
}

std::shared_ptr<const Shoreline> Shoreline::forAnotherThread() const {
    return std::shared_ptr<const Shoreline>(new Shoreline(polygons_, pg::SpatialReference::fromOgr(sr_.ogr())));
}

SiteLayers::~SiteLayers() {
    try {
        removeAll();
    } catch (...) {
        // A destructor must not throw; the layers are off the map already.
    }
}

void SiteLayers::mirror(const std::shared_ptr<pg::Layer>& layer, bool added) {
    if (!deferred_ || !shownOn_) return;
    deferred_->later([map = shownOn_, layer, added] {
        if (added)
            map->addLayer(layer);
        else
            map->deleteLayer(layer);
    });
}

void SiteLayers::add(const std::shared_ptr<pg::Layer>& layer) {
    // Remembered first: a listener that fails after the layer went on the
    // map must not leave it there untracked.
    layers_.push_back(layer);
    map_.addLayer(layer);
    mirror(layer, true);
}

void SiteLayers::adopt(const std::shared_ptr<pg::Layer>& layer) {
    if (!layer || std::find(layers_.begin(), layers_.end(), layer) != layers_.end()) return;
    layers_.push_back(layer);
    // It reached only the worker's own map: the window's gets it now.
    mirror(layer, true);
}

void SiteLayers::remove(const std::shared_ptr<pg::Layer>& given) {
    // A copy: `given` may be the map's own element, gone once it is deleted.
    const std::shared_ptr<pg::Layer> layer = given;
    map_.deleteLayer(layer);
    mirror(layer, false);
    layers_.erase(std::remove(layers_.begin(), layers_.end(), layer), layers_.end());
}

void SiteLayers::removeAll() {
    // A map listener that fails must not leave the remaining layers behind.
    std::exception_ptr failure;
    for (auto it = layers_.rbegin(); it != layers_.rend(); ++it) {
        try {
            map_.deleteLayer(*it);
            mirror(*it, false);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    layers_.clear();
    if (failure) std::rethrow_exception(failure);
}

const Shoreline& RayContext::shore() {
    if (!shoreline) shoreline = Shoreline::open(mainform);
    return *shoreline;
}

void RayContext::showSiteSquare(const pg::Point& site) const {
    if (!drawSiteSquare) return;
    const auto sq = siteSquare(site);
    atCommit([draw = drawSiteSquare, square = std::vector<pg::Point>(sq.begin(), sq.end())] { draw(square); });
}

void RayContext::refreshMap() const {
    map.refresh();
    if (deferred && windowMap) deferred->later([m = windowMap] { m->refresh(); });
}

void RayContext::atCommit(std::function<void()> action) const {
    if (deferred)
        deferred->later(std::move(action));
    else
        action();
}

void RayContext::showLayer(const std::shared_ptr<pg::Layer>& layer) {
    if (siteLayers)
        siteLayers->add(layer);
    else
        map.addLayer(layer);
}

void RayContext::hideLayer(const std::shared_ptr<pg::Layer>& layer) {
    if (!layer) return;
    if (siteLayers)
        siteLayers->remove(layer);
    else
        map.deleteLayer(layer);
}

std::shared_ptr<pg::FeatureClass> createRayWorkClass(RayContext& ctx, const std::shared_ptr<pg::Workspace>& ws,
                                                     const std::string& name) {
    return createRayClass(ws, name, ctx.messages);
}

std::vector<std::shared_ptr<pg::Layer>> layersShowing(const RayContext& ctx, const pg::FeatureClass* fc) {
    std::vector<std::shared_ptr<pg::Layer>> out;
    if (!fc) return out;
    const auto& candidates = ctx.siteLayers ? ctx.siteLayers->layers() : ctx.map.layers();
    for (const auto& layer : candidates)
        if (layer && layer->featureClass().get() == fc) out.push_back(layer);
    return out;
}

void deleteWorkClasses(const std::shared_ptr<pg::Workspace>& ws) {
    if (!ws) return;
    for (const std::string& name : kRayWorkClasses) deleterays(ws, name);
}

std::shared_ptr<pg::Workspace> RayContext::workClasses() const {
    return workspace ? workspace : mainform.ptworkspace;
}

RaySite::RaySite(RayContext& ctx) : ctx_(ctx), layers_(ctx.map, ctx.deferred, ctx.windowMap), outer_(ctx.siteLayers) {
    deleteWorkClasses(ctx_.workClasses());
    ctx_.siteLayers = &layers_;
}

RaySite::~RaySite() {
    // Layers go first, so that nothing on the map shows a deleted class.
    try {
        layers_.removeAll();
    } catch (...) {
        platform::logCause("Taking the site's layers off the map", platform::currentCause());
    }
    ctx_.siteLayers = outer_;
    if (ctx_.deferred) return;
    try {
        deleteWorkClasses(ctx_.workClasses());
    } catch (...) {
        platform::logCause("Deleting the site's work classes", platform::currentCause());
    }
}

}  // namespace quor::gis
