#include "qgis_support.h"

#include <QTest>

#include <openssl/crypto.h>

#include "app/map_view.h"
#include "app/qgis_runtime.h"

namespace quor::test {

void requireQgis() {
    // QGIS's authentication manager has QCA load OpenSSL's legacy provider,
    // which nothing unloads; OpenSSL's own clean-up at exit would free the
    // store that holds it and leave the provider's state unreachable. The
    // test programs end without closing QGIS, and OpenSSL keeps its state
    // to the end as well.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
    app::startQgis();
}

bool drawAndWait(app::MapView& view, int timeoutMs) {
    // The view starts its draw at a later turn of the event loop: a draw
    // already going on may end first, showing the map as it was before.
    bool started = false, finished = false;
    const auto onStart = QObject::connect(&view, &QgsMapCanvas::renderStarting, [&] { started = true; });
    const auto onEnd = QObject::connect(&view, &QgsMapCanvas::mapCanvasRefreshed, [&] { finished = started; });
    view.refreshView();
    const bool drawn = QTest::qWaitFor([&] { return finished; }, timeoutMs);
    QObject::disconnect(onStart);
    QObject::disconnect(onEnd);
    return drawn;
}

}  // namespace quor::test
