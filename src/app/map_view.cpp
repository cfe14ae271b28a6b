#include "app/map_view.h"

#include <qgsapplication.h>
#include <qgsmapmouseevent.h>
#include <qgsmaptool.h>
#include <qgsrubberband.h>
#include <qgsvertexmarker.h>

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>
#include <QWheelEvent>

#include "app/map_layers.h"
#include "app/map_style.h"
#include "platform/gis/workspace.h"

namespace quor::app {

namespace {

// A run changes the map once per site, dozens of times a second. The view
// follows such a burst at most this often: the first change of a quiet
// map is drawn at the next turn of the event loop, later ones wait for
// the interval, and the last state is always drawn.
constexpr qint64 kMinSyncIntervalMs = 200;

// A superseded draw is only told to stop, and nearly always stops within
// this time; one that does not (a slow block read, a style that waits on
// something) is looked at again this often instead of being waited for.
constexpr int kAbandonedDrawWaitMs = 20;
constexpr int kAbandonedDrawCheckMs = 20;

int buttonCode(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton: return 1;
        case Qt::RightButton: return 2;
        case Qt::MiddleButton: return 4;
        default: return 0;
    }
}

int shiftCode(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

QCursor cursorFor(int pointer) {
    switch (pointer) {
        case kPointerCross: return QgsApplication::getThemeCursor(QgsApplication::Cursor::CrossHair);
        case kPointerZoom: return QgsApplication::getThemeCursor(QgsApplication::Cursor::Select);
        case kPointerZoomIn: return QgsApplication::getThemeCursor(QgsApplication::Cursor::ZoomIn);
        case kPointerZoomOut: return QgsApplication::getThemeCursor(QgsApplication::Cursor::ZoomOut);
        case kPointerPan: return Qt::OpenHandCursor;
        case kPointerIdentify: return QgsApplication::getThemeCursor(QgsApplication::Cursor::Identify);
        default: return Qt::ArrowCursor;
    }
}

QgsRectangle qrect(const pg::Envelope& e) { return QgsRectangle(e.minX, e.minY, e.maxX, e.maxY); }

bool inTransaction(const pg::Layer& l) {
    const auto& fc = l.featureClass();
    if (!fc) return false;
    auto ws = fc->workspace();
    return ws && ws->inTransaction();
}

}  // namespace

// Hands every mouse event of the canvas to the view; it stays the canvas's
// tool for the view's whole life.
class MapView::EventTool final : public QgsMapTool {
public:
    explicit EventTool(MapView* view) : QgsMapTool(view), view_(view) {}
    void canvasPressEvent(QgsMapMouseEvent* e) override { view_->pressed(convert(e, e->button())); }
    void canvasMoveEvent(QgsMapMouseEvent* e) override {
        // A move reports the buttons held, the leftmost first.
        Qt::MouseButton b = e->buttons() & Qt::LeftButton    ? Qt::LeftButton
                            : e->buttons() & Qt::RightButton ? Qt::RightButton
                            : e->buttons() & Qt::MiddleButton ? Qt::MiddleButton
                                                             : Qt::NoButton;
        view_->moved(convert(e, b), e);
    }
    void canvasReleaseEvent(QgsMapMouseEvent* e) override { view_->released(convert(e, e->button()), e); }

private:
    static MapMouse convert(QgsMapMouseEvent* e, Qt::MouseButton b) {
        const QgsPointXY p = e->originalMapPoint();
        return {buttonCode(b), shiftCode(e->modifiers()), e->pos().x(), e->pos().y(), p.x(), p.y()};
    }
    MapView* view_;
};

MapView::MapView(QWidget* parent) : QgsMapCanvas(parent) {
    setObjectName(QStringLiteral("MapControl2"));
    setCanvasColor(kCanvasColour);
    setParallelRenderingEnabled(true);
    setCachingEnabled(true);
    setPreviewJobsEnabled(false);
    tool_ = new EventTool(this);
    setMapTool(tool_);
    setMousePointer(kPointerArrow);
    listener_ = map_.addListener([this] { onModelChanged(); });
    connect(this, &QgsMapCanvas::mapCanvasRefreshed, this, &MapView::onDrawn);
    connect(this, &QgsMapCanvas::mapRefreshCanceled, this, &MapView::finishAbandonedDraw);
    abandonedCheck_ = new QTimer(this);
    abandonedCheck_->setInterval(kAbandonedDrawCheckMs);
    connect(abandonedCheck_, &QTimer::timeout, this, [this] { settleAbandonedDraws(0); });
}

MapView::~MapView() {
    map_.removeListener(listener_);
    // Stopping a draw only lets it go on to its end without the view, and
    // at its end it files its images into the view's cache, gone by then:
    // the draw is ended here, waiting for its threads. So are the draws QGIS
    // superseded that are still going: however long they take, none may
    // outlive the view.
    cancelJobs();
    if (abandonedDraws_) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::FutureCallOut);
    }
    unsetMapTool(tool_);
    delete tool_;
    setLayers({});
    for (auto& [key, m] : mirrored_) delete m.layer;
    for (QgsMapLayer* layer : retired_) delete layer;
}

void MapView::onModelChanged() {
    if (writingExtent_) return;
    // A notice that leaves the layers as they were asks for a new draw (or
    // moved the extent); layers added and taken off again before the view
    // looks need none, so a run's sites do not restart the drawing.
    const auto& layers = map_.layers();
    if (layers == notifiedLayers_) redrawAsked_ = true;
    notifiedLayers_ = layers;
    if (syncPending_) return;
    syncPending_ = true;
    const qint64 since = lastSync_.isValid() ? lastSync_.elapsed() : kMinSyncIntervalMs;
    QTimer::singleShot(static_cast<int>(std::max<qint64>(0, kMinSyncIntervalMs - since)), this, [this] {
        if (syncPending_) sync();
    });
}

void MapView::syncNow() {
    if (syncPending_) sync();
}

MapView::Mirrored& MapView::mirror(const std::shared_ptr<pg::Layer>& layer) {
    auto it = mirrored_.find(layer.get());
    // The same address may come back for a new layer after the old one died.
    if (it != mirrored_.end() && it->second.source.lock() != layer) {
        dropLayer(it->second.layer);
        mirrored_.erase(it);
        it = mirrored_.end();
    }
    if (it == mirrored_.end()) {
        Mirrored m;
        m.source = layer;
        m.fromTransaction = inTransaction(*layer);
        m.layer = makeQgisLayer(*layer);
        it = mirrored_.emplace(layer.get(), m).first;
    }
    return it->second;
}

void MapView::dropLayer(QgsMapLayer* layer) {
    if (!layer) return;
    // A draw in progress works on its own copies of the layer's data, but
    // as it finishes it files its images under the layer object itself: the
    // object is kept until no draw refers to it any more.
    retired_.push_back(layer);
    if (!isDrawing() && !abandonedDraws_) releaseRetiredLayers();
}

void MapView::finishAbandonedDraw() {
    // QGIS lets a superseded draw run on by itself, out of the view's sight:
    // it could still be reading a layer the view lets go when the next draw
    // ends, and at its end it files its images into the view's cache, which
    // may be gone by then. Its end is delivered while the view and its
    // layers are all still there: at once when it stops within a short
    // wait, else as soon as it is over, the layers let go kept until then.
    abandonedDraws_ = true;
    settleAbandonedDraws(kAbandonedDrawWaitMs);
}

bool MapView::settleAbandonedDraws(int waitMs) {
    if (!abandonedDraws_) return true;
    // QGIS draws on the shared pool and hands out no handle on a draw it
    // has superseded: the draws are over when the pool is idle. The
    // program gives that pool no other work.
    if (!QThreadPool::globalInstance()->waitForDone(waitMs)) {
        abandonedCheck_->start();
        return false;
    }
    abandonedCheck_->stop();
    abandonedDraws_ = false;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::FutureCallOut);
    if (!isDrawing()) releaseRetiredLayers();
    return true;
}

void MapView::releaseRetiredLayers() {
    for (QgsMapLayer* layer : retired_) layer->deleteLater();
    retired_.clear();
}

void MapView::rebuildTransactionCopies() {
    for (auto& [key, m] : mirrored_) {
        auto source = m.source.lock();
        if (!source || !m.fromTransaction) continue;
        // The results' colours come with it from the model's layer.
        QgsMapLayer* fresh = makeQgisLayer(*source);
        dropLayer(m.layer);
        m.layer = fresh;
        m.fromTransaction = inTransaction(*source);
    }
}

void MapView::sync() {
    syncPending_ = false;
    ++syncs_;
    lastSync_.restart();
    const auto& layers = map_.layers();
    std::vector<bool> visible;
    visible.reserve(layers.size());
    for (const auto& l : layers) visible.push_back(l->visible());
    const bool layersChanged = layers != shown_ || visible != shownVisible_;

    if (!layersChanged && redrawAsked_) {
        // Copies of classes still inside a transaction may have gained rows
        // since they were made.
        rebuildTransactionCopies();
    }
    QList<QgsMapLayer*> drawn;
    for (std::size_t i = 0; i < layers.size(); ++i) {
        Mirrored& m = mirror(layers[i]);
        if (visible[i]) drawn.append(m.layer);
    }
    for (auto it = mirrored_.begin(); it != mirrored_.end();) {
        auto source = it->second.source.lock();
        if (!source || std::find(layers.begin(), layers.end(), source) == layers.end()) {
            dropLayer(it->second.layer);
            it = mirrored_.erase(it);
        } else {
            ++it;
        }
    }
    shown_ = layers;
    shownVisible_ = visible;

    // The view draws in the map's spatial reference, also when a project in
    // another one replaces the first.
    if (const auto& sr = map_.spatialReference(); !sr.isNone() && (shownSr_.isNone() || !sr.isSame(shownSr_))) {
        shownSr_ = sr;
        setDestinationCrs(sr.epsgCode() > 0 ? QgsCoordinateReferenceSystem::fromEpsgId(sr.epsgCode())
                                            : QgsCoordinateReferenceSystem::fromWkt(QString::fromStdString(sr.wkt())));
    }
    if (layersChanged || redrawAsked_) setLayers(drawn);
    const pg::Envelope e = map_.extent();
    const bool extentChanged = !(e == lastModelExtent_);
    if (extentChanged) applyModelExtent(e);
    if (layersChanged || extentChanged || redrawAsked_) refresh();
    redrawAsked_ = false;
}

void MapView::applyModelExtent(const pg::Envelope& e) {
    lastModelExtent_ = e;
    if (!e.isEmpty()) setExtent(qrect(e));
}

pg::Envelope MapView::visibleBounds() const {
    const QgsRectangle r = extent();
    return {r.xMinimum(), r.yMinimum(), r.xMaximum(), r.yMaximum()};
}

void MapView::setVisibleBounds(const pg::Envelope& e) {
    if (e.isEmpty()) return;
    syncNow();
    setExtent(qrect(e));
    // The model keeps the asked-for area, so that a view of another size
    // shows the same place.
    writingExtent_ = true;
    map_.setExtent(e);
    writingExtent_ = false;
    lastModelExtent_ = e;
}

void MapView::refreshView() {
    syncNow();
    refresh();
}

void MapView::setMousePointer(int pointer) {
    pointer_ = pointer;
    const QCursor c = cursorFor(pointer);
    tool_->setCursor(c);
    viewport()->setCursor(c);
}

void MapView::trackRectangle(const MapMouse& press) {
    tracking_ = Tracking::Rectangle;
    trackStart_ = QgsPointXY(press.mapX, press.mapY);
    if (!rubber_) {
        rubber_ = new QgsRubberBand(this, QgsWkbTypes::PolygonGeometry);
        rubber_->setStrokeColor(Qt::black);
        rubber_->setFillColor(QColor(0, 0, 0, 30));
        rubber_->setWidth(1);
    }
    rubber_->reset(QgsWkbTypes::PolygonGeometry);
}

void MapView::startPan(const MapMouse& press) { tracking_ = Tracking::Pan; }

void MapView::pressed(const MapMouse& m) {
    if (mouseDown) mouseDown(m);
}

void MapView::moved(const MapMouse& m, QMouseEvent* raw) {
    if (tracking_ == Tracking::Rectangle && rubber_) {
        rubber_->setToGeometry(QgsGeometry::fromRect(QgsRectangle(trackStart_, QgsPointXY(m.mapX, m.mapY))), nullptr);
    } else if (tracking_ == Tracking::Pan) {
        panAction(raw);
    }
    if (mouseMove) mouseMove(m);
}

void MapView::released(const MapMouse& m, QMouseEvent* raw) {
    const Tracking t = tracking_;
    tracking_ = Tracking::None;
    if (t == Tracking::Rectangle) {
        if (rubber_) rubber_->reset(QgsWkbTypes::PolygonGeometry);
        QgsRectangle r(trackStart_, QgsPointXY(m.mapX, m.mapY));
        r.normalize();
        // A click without a drag gives no rectangle and leaves the view.
        if (r.width() > 0 && r.height() > 0) {
            setVisibleBounds({r.xMinimum(), r.yMinimum(), r.xMaximum(), r.yMaximum()});
            refresh();
        }
    } else if (t == Tracking::Pan) {
        panActionEnd(raw->pos());
        writingExtent_ = true;
        map_.setExtent(visibleBounds());
        writingExtent_ = false;
        lastModelExtent_ = visibleBounds();
    }
    if (mouseUp) mouseUp(m);
}

void MapView::wheelEvent(QWheelEvent* event) {
    // The map zooms only through its tools.
    event->accept();
}

void MapView::drawMarker(double x, double y) {
    auto* marker = new QgsVertexMarker(this);
    marker->setIconType(QgsVertexMarker::ICON_CROSS);
    marker->setIconSize(qRound(6.0 * logicalDpiX() / 72.0));
    marker->setColor(kMarkerColour);
    marker->setPenWidth(1);
    marker->setCenter(QgsPointXY(x, y));
    markers_.push_back(marker);
}

std::vector<pg::Point> MapView::screenMarkers() const {
    std::vector<pg::Point> out;
    for (const QgsVertexMarker* m : markers_) out.push_back({m->center().x(), m->center().y()});
    return out;
}

void MapView::drawOutline(const std::vector<pg::Point>& ring) {
    if (!outline_) {
        outline_ = new QgsRubberBand(this, QgsWkbTypes::PolygonGeometry);
        outline_->setStrokeColor(kMarkerColour);
        outline_->setFillColor(Qt::transparent);
        outline_->setWidth(1);
    }
    outline_->reset(QgsWkbTypes::PolygonGeometry);
    for (std::size_t i = 0; i < ring.size(); ++i)
        outline_->addPoint(QgsPointXY(ring[i].x, ring[i].y), i + 1 == ring.size());
    outline_->show();
}

std::vector<pg::Point> MapView::screenOutline() const {
    std::vector<pg::Point> out;
    if (!outline_ || !outline_->isVisible()) return out;
    for (int i = 0; i < outline_->partSize(0); ++i) {
        const QgsPointXY* p = outline_->getPoint(0, i);
        if (p) out.push_back({p->x(), p->y()});
    }
    return out;
}

void MapView::onDrawn() {
    if (settleAbandonedDraws(0)) releaseRetiredLayers();
    for (QgsVertexMarker* m : markers_) delete m;
    markers_.clear();
    if (outline_) outline_->reset(QgsWkbTypes::PolygonGeometry);
    if (afterDraw) afterDraw();
}

QgsMapLayer* MapView::remakeQgisLayer(const std::shared_ptr<pg::Layer>& layer) {
    syncNow();
    auto it = mirrored_.find(layer.get());
    if (!layer || it == mirrored_.end() || it->second.source.lock() != layer) return nullptr;
    dropLayer(it->second.layer);
    it->second.layer = makeQgisLayer(*layer);
    it->second.fromTransaction = inTransaction(*layer);
    // The canvas still holds the old layer: hand it the new one.
    redrawAsked_ = true;
    sync();
    return it->second.layer;
}

QgsMapLayer* MapView::qgisLayer(const pg::Layer& layer) const {
    auto it = mirrored_.find(&layer);
    if (it == mirrored_.end() || it->second.source.lock().get() != &layer) return nullptr;
    return it->second.layer;
}

}  // namespace quor::app
