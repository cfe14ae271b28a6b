// A test program's life with QGIS, started as the test programs start it
// (a plain QApplication), with the one ordering that load makes possible
// made certain: a thread-pool thread that used PROJ is still finishing
// when main has returned and the exit handlers have destroyed QGIS's
// statics. Ends with status 0 when that thread ended without touching
// them; a crash otherwise.
#include <qgscoordinatereferencesystem.h>
#include <qgscoordinatetransform.h>
#include <qgspointxy.h>

#include <QApplication>
#include <QStandardPaths>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "qgis_support.h"

namespace {

std::atomic<bool> staticsDestroyed{false};
std::atomic<bool> poolThreadEnded{false};

bool waitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 1000 && !flag; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return flag;
}

// Made before the thread's PROJ context, so gone after it: the thread has
// then ended all it keeps.
struct EndOfThread {
    ~EndOfThread() { poolThreadEnded = true; }
};

// Made after the thread's PROJ context, so gone before it: holds the
// thread back until the exit handlers have run.
struct HoldUntilStaticsAreGone {
    ~HoldUntilStaticsAreGone() { waitFor(staticsDestroyed); }
};

}  // namespace

int main(int argc, char** argv) {
    // Registered before QGIS makes its statics, so run after they are gone.
    std::atexit([] {
        staticsDestroyed = true;
        if (!waitFor(poolThreadEnded)) std::_Exit(3);
    });
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    quor::test::requireQgis();

    QThreadPool::globalInstance()->start([] {
        thread_local EndOfThread end;
        (void)end;
        // As the map view's drawing does on its threads.
        const QgsCoordinateTransform toLonLat(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:28355")),
                                              QgsCoordinateReferenceSystem(QStringLiteral("EPSG:4326")),
                                              QgsCoordinateTransformContext());
        (void)toLonLat.transform(QgsPointXY(320000, 5800000));
        thread_local HoldUntilStaticsAreGone hold;
        (void)hold;
    });
    QThreadPool::globalInstance()->waitForDone();
    return 0;
}
