#pragma once
// QGIS's libraries: started once per process, before the first map view.
#include <QString>

#include <string>

namespace quor::app {

// Points QGIS at the installation it was built against and loads its
// providers. Later calls do nothing. Works with a plain QApplication (the
// tests) as well as with QgsApplication (the program); with a plain one,
// QGIS's coordinate caches are switched off as the application object
// ends, as QgsApplication does itself.
void startQgis();

// Names the program to Qt and sends the settings that Qt and QGIS keep for
// themselves (file dialogs, QGIS options) and QGIS's network cache into the
// QGIS folder below, so that the only file the program writes among the
// user's configuration is its own settings store and nothing lands in the
// user's cache folder. Call before the application object is made.
void keepToolkitSettingsInDataFolder();

// QGIS's own settings and databases for this program, apart from any
// QGIS installation's profile: "<user data>/Quor/qgis".
QString qgisProfileFolder();

// The GIS libraries actually linked, with their versions, e.g.
// "QGIS 3.22.16, GDAL 3.6.2, GEOS 3.11.1, PROJ 9.1.1".
std::string gisLibraryVersions();

}  // namespace quor::app
