#include "qgis_support.h"

#include <QSignalSpy>

#include "app/map_view.h"
#include "app/qgis_runtime.h"

namespace quor::test {

void requireQgis() { app::startQgis(); }

bool drawAndWait(app::MapView& view, int timeoutMs) {
    QSignalSpy drawn(&view, &QgsMapCanvas::mapCanvasRefreshed);
    view.refreshView();
    return drawn.wait(timeoutMs);
}

}  // namespace quor::test
