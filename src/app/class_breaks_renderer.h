#pragma once
// Draws the top layer of the map in 15 graded colours by its field
// "Index" (the REI result): natural breaks, a pale-to-dark red ramp,
// circles of size 4, legend heading "REI". Sites without a value are
// drawn in a grey class "no value" of their own.
#include <memory>
#include <vector>

#include <QColor>

class QgsVectorLayer;

namespace quor::platform::gis {
class Layer;
}

namespace quor::app {

class MapView;

class renderer_cls {
public:
    static constexpr int kClasses = 15;

    // Renders the view's top layer. Throws (nothing is trapped) when the
    // top layer is not a feature layer or has no field "Index".
    void CB(MapView& view);
    // Renders one layer of the view's map, as CB does the top one. The
    // bounds go into the model's layer, so that the layer keeps its colours
    // whenever the view draws it afresh.
    void render(MapView& view, const std::shared_ptr<platform::gis::Layer>& layer);
    // Draws the layer in the classes of "Index" between these bounds, under
    // the legend heading "REI".
    static void drawInClasses(QgsVectorLayer& layer, const std::vector<double>& bounds);

    // The 15 colours, from red 255, green 225, blue 225 to 140, 0, 0.
    static std::vector<QColor> rampColours();
    // Natural breaks of the values into at most 15 classes: the bounds
    // b0 < b1 < ... (one more than the classes).
    static std::vector<double> classBreaks(const std::vector<double>& values);
};

}  // namespace quor::app
