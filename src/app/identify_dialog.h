#pragma once
// Identify: for every layer of the map at a place, the attributes of the
// features there or the pixel value of the raster.
#include <string>
#include <utility>
#include <vector>

#include "platform/gis/map.h"

class QDialog;
class QWidget;

namespace quor::app {

class MapView;

struct IdentifyResult {
    std::string layer;
    // One entry per feature found, or one for a raster pixel.
    std::vector<std::vector<std::pair<std::string, std::string>>> items;
};

// Layers from the top down; features within `tolerance` map units of the
// point, the pixel under it for rasters. Layers with nothing there, and
// layers whose data is gone, are left out.
std::vector<IdentifyResult> identifyAt(const platform::gis::Map& map, double x, double y, double tolerance);

// A dialog listing the results (the caller shows it).
QDialog* makeIdentifyDialog(const std::vector<IdentifyResult>& results, QWidget* parent);

// Identify at a pixel of the view, three pixels of tolerance; the dialog
// is shown without being modal and deletes itself when closed.
void showIdentifyDialog(MapView& view, int x, int y);

}  // namespace quor::app
