#include "app/qgis_runtime.h"

#include <gdal.h>
#include <geos_c.h>
#include <proj.h>
#include <qgis.h>
#include <qgsapplication.h>
#include <qgscoordinatereferencesystem.h>
#include <qgscoordinatetransform.h>
#include <qgsellipsoidutils.h>

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>

#include "platform/gis/raster.h"

#include <clocale>

namespace quor::app {

namespace {

// Every thread that used PROJ takes its objects out of QGIS's coordinate
// caches when it ends. Qt ends the thread pool's threads as the
// application object goes, and a thread may still be finishing after main
// has returned and the exit handlers have destroyed the caches' locks.
// Switched off, the caches are never touched again.
void switchOffCoordinateCaches() {
    QgsCoordinateTransform::invalidateCache(true);
    QgsCoordinateReferenceSystem::invalidateCache(true);
    QgsEllipsoidUtils::invalidateCache(true);
}

}  // namespace

void startQgis() {
    static bool started = false;
    if (started) return;
    started = true;
    // Before QGIS's own GDAL provider can open anything.
    quor::platform::gis::startGdal();
    QgsApplication::setPrefixPath(QStringLiteral(QUOR_QGIS_PREFIX), true);
    // Without a QgsApplication (the tests) its paths are set up here, and
    // its end is stood in for: it switches the caches off as it goes.
    if (!QgsApplication::instance()) {
        QgsApplication::init(qgisProfileFolder());
        qAddPostRoutine(switchOffCoordinateCaches);
    }
    QgsApplication::initQgis();
    // QGIS may take the user's locale for the C library; numbers in files,
    // fields and settings are always written with a point.
    std::setlocale(LC_NUMERIC, "C");
}

void keepToolkitSettingsInDataFolder() {
    QCoreApplication::setOrganizationName(QStringLiteral("Quor"));
    QCoreApplication::setApplicationName(QStringLiteral("Quor"));
    for (QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(f, scope, qgisProfileFolder());
    // QGIS's network cache would otherwise make its folders in the user's
    // cache folder at every start, though the program downloads nothing
    // through it. QGIS reads this from its own settings, the file above.
    QSettings().setValue(QStringLiteral("cache/directory"), qgisProfileFolder() + QStringLiteral("/cache"));
}

QString qgisProfileFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Quor/qgis");
}

std::string gisLibraryVersions() {
    const PJ_INFO proj = proj_info();
    return "QGIS " + Qgis::version().toStdString() + ", GDAL " + GDALVersionInfo("RELEASE_NAME") + ", GEOS " +
           GEOSversion() + ", PROJ " + proj.version;
}

}  // namespace quor::app
