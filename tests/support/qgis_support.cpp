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

namespace {

// Every test of a program that links QGIS runs with QGIS started, as the
// program starts it before its window: a window made without it would
// use QGIS's coordinate caches without the switch that keeps the pool's
// threads off them as the program ends.
struct QgisStarted final : ::testing::Environment {
    void SetUp() override { requireQgis(); }
};
[[maybe_unused]] ::testing::Environment* const qgisStarted = ::testing::AddGlobalTestEnvironment(new QgisStarted);

}  // namespace

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
