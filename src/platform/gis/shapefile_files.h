#pragma once
// The files of one shapefile as the GIS layer looks at them from outside
// GDAL: which they are and whether they changed.
#include <string>
#include <vector>

#include "platform/file_stamp.h"

namespace quor::platform::gis::detail {

// The files that hold the shapes and the table of the shapefile whose
// ".shp" is `shp`: ".shp", ".shx" and ".dbf", as each is spelt on disk;
// missing ones are left out.
std::vector<std::string> shapefileParts(const std::string& shp);

// The file with the extension `ext` (".cpg") beside `file`, spelt in lower
// or upper case, or empty when there is none.
std::string partBeside(const std::string& file, const std::string& ext);

// The ".dbf" among the parts, or empty.
std::string tablePart(const std::vector<std::string>& parts);

// What tells whether those files are still the ones seen before and
// unchanged: the stamp of ".shp", ".shx" and ".dbf" (platform/file_stamp.h),
// one that does not exist for a missing one. A copy put in their place,
// or written over them as cp does, changes it.
std::vector<FileStamp> shapefileStamp(const std::string& shp);

}  // namespace quor::platform::gis::detail
