#include "platform/gis/map.h"

#include <algorithm>

#include "platform/gis/gis_error.h"

namespace quor::platform::gis {

std::shared_ptr<Layer> Layer::featureLayer(std::shared_ptr<FeatureClass> fc, std::string name) {
    std::shared_ptr<Layer> l(new Layer());
    l->kind_ = LayerKind::Feature;
    if (name.empty() && fc) name = fc->aliasName();
    l->name_ = std::move(name);
    l->fc_ = std::move(fc);
    return l;
}

std::shared_ptr<Layer> Layer::rasterLayer(std::shared_ptr<Raster> raster, std::string name) {
    std::shared_ptr<Layer> l(new Layer());
    l->kind_ = LayerKind::Raster;
    if (name.empty() && raster) name = raster->name();
    l->name_ = std::move(name);
    l->raster_ = std::move(raster);
    return l;
}

void Layer::setFeatureClass(std::shared_ptr<FeatureClass> fc) {
    if (kind_ != LayerKind::Feature) throw GisError("A raster layer has no feature class.");
    fc_ = std::move(fc);
    selection_.clear();
}

const std::vector<std::int64_t>& Layer::selectIntersecting(const Geometry& area) {
    if (!fc_) throw GisError("The layer " + name_ + " has no feature class.");
    selection_ = fc_->selectIntersecting(area);
    return selection_;
}

Envelope Layer::extent() const {
    if (fc_) return fc_->extent();
    if (raster_) return raster_->extent();
    return {};
}

SpatialReference Layer::spatialReference() const {
    if (fc_) return fc_->spatialReference();
    if (raster_) return raster_->spatialReference();
    return {};
}

const std::shared_ptr<Layer>& Map::layer(int index) const {
    if (index < 0 || index >= layerCount()) throw GisError("The layer index " + std::to_string(index) + " is out of range.");
    return layers_[static_cast<std::size_t>(index)];
}

void Map::addLayer(std::shared_ptr<Layer> layer) {
    if (!layer) throw GisError("No layer to add.");
    if (sr_.isNone()) sr_ = layer->spatialReference();
    layers_.insert(layers_.begin(), std::move(layer));
    notify();
}

void Map::deleteLayer(int index) {
    layer(index);  // range check
    layers_.erase(layers_.begin() + index);
    notify();
}

bool Map::deleteLayer(const std::shared_ptr<Layer>& l) {
    auto it = std::find(layers_.begin(), layers_.end(), l);
    if (it == layers_.end()) return false;
    layers_.erase(it);
    notify();
    return true;
}

void Map::moveLayer(int fromIndex, int toIndex) {
    layer(fromIndex);
    layer(toIndex);
    auto l = layers_[static_cast<std::size_t>(fromIndex)];
    layers_.erase(layers_.begin() + fromIndex);
    layers_.insert(layers_.begin() + toIndex, std::move(l));
    notify();
}

void Map::clearLayers() {
    layers_.clear();
    notify();
}

int Map::findLayer(const std::string& name) const {
    for (std::size_t i = 0; i < layers_.size(); ++i)
        if (layers_[i]->name() == name) return static_cast<int>(i);
    return -1;
}

Envelope Map::fullExtent() const {
    Envelope e;
    for (const auto& l : layers_) {
        try {
            e.expand(l->extent());
        } catch (const GisError&) {
            // A layer whose class was deleted adds nothing.
        }
    }
    return e;
}

Envelope Map::extent() const { return extentSet_ ? extent_ : fullExtent(); }

void Map::setExtent(const Envelope& e) {
    extent_ = e;
    extentSet_ = !e.isEmpty();
    notify();
}

int Map::addListener(Listener l) {
    listeners_.emplace_back(nextListener_, std::move(l));
    return nextListener_++;
}

void Map::removeListener(int id) {
    std::erase_if(listeners_, [id](const auto& p) { return p.first == id; });
}

void Map::notify() const {
    for (const auto& [id, l] : listeners_)
        if (l) l();
}

}  // namespace quor::platform::gis
