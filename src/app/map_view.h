#pragma once
// The map view of the main window: QGIS's map canvas drawing our own map
// model. The model is the source of truth; the view mirrors it (layers
// added, removed, moved, shown or hidden, the extent) at the next turn of
// the event loop, so that work adding and removing many layers in a row
// costs one redraw, and drawing always runs in the background. While the
// map keeps changing (a run's sites) the view follows a few times a
// second; the canvas keeps each layer's last picture, so a redraw renders
// only the layers that changed.
#include <qgsmapcanvas.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/gis/map.h"

class QgsMapLayer;
class QgsRubberBand;
class QgsVertexMarker;

namespace quor::app {

namespace pg = platform::gis;

// A mouse event as the map delivers it: button 1 left, 2 right, 4 middle;
// shift 1 Shift, 2 Ctrl, 4 Alt; pixels of the view; map units.
struct MapMouse {
    int button = 0;
    int shift = 0;
    int x = 0, y = 0;
    double mapX = 0, mapY = 0;
};

// Cursor numbers the map tools use.
enum MapPointer {
    kPointerArrow = 1,
    kPointerCross = 2,
    kPointerZoom = 50,
    kPointerZoomIn = 51,
    kPointerZoomOut = 52,
    kPointerPan = 53,
    kPointerIdentify = 55,
};

class MapView final : public QgsMapCanvas {
    Q_OBJECT
public:
    explicit MapView(QWidget* parent = nullptr);
    ~MapView() override;

    pg::Map& map() { return map_; }
    const pg::Map& map() const { return map_; }

    // The visible area in map units (what the view shows, its aspect
    // included) and the area the view is asked to show.
    pg::Envelope visibleBounds() const;
    void setVisibleBounds(const pg::Envelope& e);
    // The extent of every layer of the model.
    pg::Envelope fullMapExtent() const { return map_.fullExtent(); }
    // Draws the map again (in the background).
    void refreshView();

    // The cursor, by the tools' numbers (unknown numbers give the arrow).
    void setMousePointer(int pointer);
    int mousePointer() const { return pointer_; }

    // Press-and-drag interactions started from a press: a rubber-band
    // rectangle that becomes the extent at release, and a pan that follows
    // the pointer until release.
    void trackRectangle(const MapMouse& press);
    void startPan(const MapMouse& press);
    bool isTracking() const { return tracking_ != Tracking::None; }

    // A size-6 cross drawn straight onto the view, not into a layer: the
    // next completed draw wipes it (the after-draw handler draws again
    // what should stay).
    void drawMarker(double x, double y);
    std::vector<pg::Point> screenMarkers() const;
    // An outlined polygon drawn the same way; a new one replaces the last.
    void drawOutline(const std::vector<pg::Point>& ring);
    std::vector<pg::Point> screenOutline() const;

    // The QGIS layer that draws this model layer (null when not mirrored yet).
    QgsMapLayer* qgisLayer(const pg::Layer& layer) const;
    // Makes the layer's QGIS layer afresh from its class, so that it knows
    // the fields and rows written since it was made (a file layer keeps the
    // fields it read when it was opened). Null when the layer is not on the map.
    QgsMapLayer* remakeQgisLayer(const std::shared_ptr<pg::Layer>& layer);
    // Applies pending model changes now instead of at the next event loop turn.
    void syncNow();
    int syncCount() const { return syncs_; }

    // The map's events. Press, move and release carry the six values;
    // after-draw runs after every completed draw.
    std::function<void(const MapMouse&)> mouseDown;
    std::function<void(const MapMouse&)> mouseMove;
    std::function<void(const MapMouse&)> mouseUp;
    std::function<void()> afterDraw;

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    class EventTool;
    enum class Tracking { None, Rectangle, Pan };
    struct Mirrored {
        std::weak_ptr<pg::Layer> source;
        QgsMapLayer* layer = nullptr;
        bool fromTransaction = false;
    };

    void onModelChanged();
    void sync();
    Mirrored& mirror(const std::shared_ptr<pg::Layer>& layer);
    void rebuildTransactionCopies();
    void dropLayer(QgsMapLayer* layer);
    void releaseRetiredLayers();
    void finishAbandonedDraw();
    bool settleAbandonedDraws(int waitMs);
    void onDrawn();
    void pressed(const MapMouse& m);
    void moved(const MapMouse& m, QMouseEvent* raw);
    void released(const MapMouse& m, QMouseEvent* raw);
    void applyModelExtent(const pg::Envelope& e);

    pg::Map map_;
    int listener_ = 0;
    bool syncPending_ = false;
    bool writingExtent_ = false;
    int syncs_ = 0;
    QElapsedTimer lastSync_;
    std::map<const pg::Layer*, Mirrored> mirrored_;
    // QGIS layers no longer shown that a draw in progress may still refer to.
    std::vector<QgsMapLayer*> retired_;
    // Draws QGIS has superseded and let run on by themselves may still be
    // going; the timer looks again until they are over.
    bool abandonedDraws_ = false;
    QTimer* abandonedCheck_ = nullptr;
    std::vector<std::shared_ptr<pg::Layer>> shown_;
    std::vector<bool> shownVisible_;
    std::vector<std::shared_ptr<pg::Layer>> notifiedLayers_;
    bool redrawAsked_ = false;
    pg::Envelope lastModelExtent_;
    pg::SpatialReference shownSr_;
    EventTool* tool_ = nullptr;
    int pointer_ = kPointerArrow;
    Tracking tracking_ = Tracking::None;
    QgsPointXY trackStart_;
    QgsRubberBand* rubber_ = nullptr;
    std::vector<QgsVertexMarker*> markers_;
    QgsRubberBand* outline_ = nullptr;
};

}  // namespace quor::app
