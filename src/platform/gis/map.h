#pragma once
// The map as a model, without widgets: an ordered list of layers, index 0
// on top. A new layer is always added on top. The map view draws this
// model; the ray pipeline and the runs use only the model.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gis/feature_class.h"
#include "platform/gis/geometry.h"
#include "platform/gis/raster.h"
#include "platform/gis/spatial_reference.h"

namespace quor::platform::gis {

enum class LayerKind { Feature, Raster };

class Layer {
public:
    static std::shared_ptr<Layer> featureLayer(std::shared_ptr<FeatureClass> fc, std::string name = {});
    static std::shared_ptr<Layer> rasterLayer(std::shared_ptr<Raster> raster, std::string name = {});

    LayerKind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    bool visible() const { return visible_; }
    void setVisible(bool v) { visible_ = v; }

    // The class of a feature layer (null for a raster layer, or before one is set).
    const std::shared_ptr<FeatureClass>& featureClass() const { return fc_; }
    void setFeatureClass(std::shared_ptr<FeatureClass> fc);
    const std::shared_ptr<Raster>& raster() const { return raster_; }

    // Object ids selected in a feature layer.
    const std::vector<std::int64_t>& selection() const { return selection_; }
    void setSelection(std::vector<std::int64_t> oids) { selection_ = std::move(oids); }
    // Selects the features intersecting the area (a new selection) and returns them.
    const std::vector<std::int64_t>& selectIntersecting(const Geometry& area);

    // The bounds of the classes a run's "Index" is drawn in, lowest first
    // (one more than the classes; none when no site has a value), unset
    // while the layer keeps its plain symbol. The model keeps them so that
    // every drawing made afresh of the layer shows the run's colours.
    const std::optional<std::vector<double>>& indexClasses() const { return indexClasses_; }
    void setIndexClasses(std::optional<std::vector<double>> bounds) { indexClasses_ = std::move(bounds); }

    Envelope extent() const;
    SpatialReference spatialReference() const;

private:
    Layer() = default;
    LayerKind kind_ = LayerKind::Feature;
    std::string name_;
    bool visible_ = true;
    std::shared_ptr<FeatureClass> fc_;
    std::shared_ptr<Raster> raster_;
    std::vector<std::int64_t> selection_;
    std::optional<std::vector<double>> indexClasses_;
};

class Map {
public:
    int layerCount() const { return static_cast<int>(layers_.size()); }
    // GisError for an index out of range.
    const std::shared_ptr<Layer>& layer(int index) const;
    const std::vector<std::shared_ptr<Layer>>& layers() const { return layers_; }

    // Puts the layer on top (index 0). The first layer added gives the map
    // its spatial reference when it has none.
    void addLayer(std::shared_ptr<Layer> layer);
    void deleteLayer(int index);  // GisError out of range
    // Removes this layer object; false when it is not in the map.
    bool deleteLayer(const std::shared_ptr<Layer>& layer);
    void moveLayer(int fromIndex, int toIndex);  // GisError out of range
    void clearLayers();
    // Index of the first layer (from the top) with exactly this name, -1 when none.
    int findLayer(const std::string& name) const;

    // The visible area; the full extent of the layers until set.
    Envelope extent() const;
    void setExtent(const Envelope& e);
    Envelope fullExtent() const;
    const SpatialReference& spatialReference() const { return sr_; }
    void setSpatialReference(const SpatialReference& sr) { sr_ = sr; }

    // Views register here to hear of every change (layers, extent, refresh).
    using Listener = std::function<void()>;
    int addListener(Listener l);
    void removeListener(int id);
    // Asks the views to draw the map again.
    void refresh() const { notify(); }
    // Whether a view draws the map (a window's).
    bool viewed() const { return !listeners_.empty(); }

private:
    void notify() const;
    std::vector<std::shared_ptr<Layer>> layers_;
    Envelope extent_;
    bool extentSet_ = false;
    SpatialReference sr_;
    std::vector<std::pair<int, Listener>> listeners_;
    int nextListener_ = 1;
};

}  // namespace quor::platform::gis
