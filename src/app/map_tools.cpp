#include "app/map_tools.h"

#include <cmath>
#include <limits>

#include "app/identify_dialog.h"
#include "platform/numbers.h"

namespace quor::app {

std::optional<int32_t> roundToWhole(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    const double r = platform::roundHalfEven(v, 0);
    if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(r);
}

namespace {

pg::Envelope centred(double width, double height, double x, double y) {
    return {x - width / 2, y - height / 2, x + width / 2, y + height / 2};
}

}  // namespace

pg::Envelope zoomInAbout(const pg::Envelope& visible, double x, double y) {
    return centred(visible.width() / 2, visible.height() / 2, x, y);
}

std::optional<pg::Envelope> zoomOutAbout(const pg::Envelope& visible, const pg::Envelope& current,
                                         const pg::Envelope& full, double x, double y) {
    if (full.isEmpty()) return std::nullopt;
    if (!(current.width() < full.width() || current.height() < full.height())) return std::nullopt;
    double w = visible.width() * 2;
    double h = visible.height() * 2;
    if (w > full.width()) {
        w = full.width();
        h = full.height();
    }
    if (h > full.height()) {
        w = full.width();
        h = full.height();
    }
    return centred(w, h, x, y);
}

std::string coordinateText(double mapX, double mapY) {
    return platform::formatNumber(platform::roundHalfEven(mapX, 5)) + "  " +
           platform::formatNumber(platform::roundHalfEven(mapY, 5));
}

bool bathymetryOnTop(pg::Map& map, int treeNodeCount, bool ticked) {
    const int n = map.layerCount() - 1;
    if (treeNodeCount < 4) return false;
    if (n < 1) return true;  // nothing to swap
    if (ticked)
        map.moveLayer(n - 1, n);
    else
        map.moveLayer(n, n - 1);
    return true;
}

MapMouseHandler::MapMouseHandler(MapView& view, ToolButtons& buttons, std::function<void(const std::string&)> setPanel1)
    : view_(view), buttons_(buttons), setPanel1_(std::move(setPanel1)) {}

void MapMouseHandler::mousedown(const MapMouse& m) {
    auto map = [this](const char* key) { return buttons_.pressed(kMapToolbarId, key); };
    const bool left = m.button == 1;
    // Only the first case that holds acts.
    try {
        if (map("zoomselect") && left) {
            view_.trackRectangle(m);
        } else if (map("zoomin") && left) {
            auto x = roundToWhole(m.mapX), y = roundToWhole(m.mapY);
            if (x && y) zoominpt(*x, *y);
        } else if (map("zoomout") && left) {
            auto x = roundToWhole(m.mapX), y = roundToWhole(m.mapY);
            if (x && y) zoomoutpt(*x, *y);
        } else if (map("pan") && left) {
            view_.startPan(m);
        } else if (buttons_.pressed(kProjectToolbarId, "addpoint") && left) {
            if (entry_) entry_->enterPoint(m.mapX, m.mapY);
        } else if (buttons_.pressed(kProjectToolbarId, "addpoint") && m.button == 2) {
            if (entry_) entry_->showCoordinates(m.mapX, m.mapY);
        } else if (map("identify") && left) {
            identify(m.x, m.y);
        }
    } catch (const std::exception&) {
        // A failing step is skipped silently; the press ends here.
    }
}

void MapMouseHandler::mousemove(const MapMouse& m) {
    if (setPanel1_) setPanel1_(coordinateText(m.mapX, m.mapY));
}

void MapMouseHandler::afterdraw() {
    if (entry_ && buttons_.pressed(kProjectToolbarId, "addpoint")) entry_->redrawPoints();
}

void MapMouseHandler::zoominpt(int32_t x, int32_t y) {
    view_.setVisibleBounds(zoomInAbout(view_.visibleBounds(), x, y));
    view_.refreshView();
}

void MapMouseHandler::zoomoutpt(int32_t x, int32_t y) {
    const pg::Envelope visible = view_.visibleBounds();
    auto e = zoomOutAbout(visible, visible, view_.fullMapExtent(), x, y);
    if (!e) return;
    view_.setVisibleBounds(*e);
    view_.refreshView();
}

void MapMouseHandler::identify(int x, int y) {
    if (identify_) {
        identify_(x, y);
        return;
    }
    showIdentifyDialog(view_, x, y);
}

}  // namespace quor::app
