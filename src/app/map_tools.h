#pragma once
// What the map view does with the mouse: the map tools applied to a
// press, the coordinate readout, zooming about a point and the
// "Bathymetry on top" swap of the two lowest layers.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/map_view.h"
#include "platform/gis/geometry.h"
#include "platform/gis/map.h"

namespace quor::app {

inline constexpr int kProjectToolbarId = 1;
inline constexpr int kMapToolbarId = 2;

// Half to even, to whole map units; nothing outside the 32-bit range.
std::optional<int32_t> roundToWhole(double v);

// The visible bounds halved in width and height and centred on (x, y).
pg::Envelope zoomInAbout(const pg::Envelope& visible, double x, double y);
// The visible bounds doubled and centred on (x, y), never larger than the
// full extent's width and height; nothing when the current extent already
// covers the full extent in both width and height (the view stays as it is).
std::optional<pg::Envelope> zoomOutAbout(const pg::Envelope& visible, const pg::Envelope& current,
                                         const pg::Envelope& full, double x, double y);

// Panel 1 of the status bar: both values to 5 decimals (half to even) in
// their shortest form, two blanks between.
std::string coordinateText(double mapX, double mapY);

// "Bathymetry on top" was clicked and now shows `ticked`. Swaps the two
// lowest layers; with fewer than four tree nodes (no project) it changes
// nothing and returns false: the box must be cleared again.
bool bathymetryOnTop(pg::Map& map, int treeNodeCount, bool ticked);

// The toolbar buttons as the map reads them: pressed (down) or not.
class ToolButtons {
public:
    virtual ~ToolButtons() = default;
    virtual bool pressed(int toolbar, const std::string& key) const = 0;
    virtual void setPressed(int toolbar, const std::string& key, bool pressed) = 0;
};

// Point entry as the map's events reach it.
class MapPointEntry {
public:
    virtual ~MapPointEntry() = default;
    virtual void enterPoint(double mapX, double mapY) = 0;
    virtual void showCoordinates(double mapX, double mapY) = 0;
    virtual void redrawPoints() = 0;
};

// The main window's handlers of the map's events.
class MapMouseHandler {
public:
    MapMouseHandler(MapView& view, ToolButtons& buttons, std::function<void(const std::string&)> setPanel1);

    void setPointEntry(MapPointEntry* entry) { entry_ = entry; }
    // Replaces the identify dialog (tests); receives the pixel position.
    void setIdentify(std::function<void(int, int)> identify) { identify_ = std::move(identify); }

    void mousedown(const MapMouse& m);
    void mousemove(const MapMouse& m);
    void afterdraw();

    void zoominpt(int32_t x, int32_t y);
    void zoomoutpt(int32_t x, int32_t y);
    void identify(int x, int y);

private:
    MapView& view_;
    ToolButtons& buttons_;
    std::function<void(const std::string&)> setPanel1_;
    std::function<void(int, int)> identify_;
    MapPointEntry* entry_ = nullptr;
};

}  // namespace quor::app
