#pragma once
// A consistent copy of an open GeoPackage, taken through SQLite itself so
// that what GDAL or a half-finished write holds in memory cannot tear it.
#include <string>

namespace quor::platform::gis {
class Workspace;
}

namespace quor::project {

// Writes a copy of the workspace's GeoPackage to `target` (which must not
// exist). Throws platform::gis::GisError when the copy fails; a partial
// target is removed.
void copyGeoPackage(platform::gis::Workspace& source, const std::string& target);

}  // namespace quor::project
