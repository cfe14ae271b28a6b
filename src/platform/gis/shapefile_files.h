#pragma once
// The files of one shapefile as the GIS layer looks at them from outside
// GDAL: which they are, whether they hold the same rows, and whether they
// changed.
#include <cstdint>
#include <optional>
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

// Why the shapes of the shapefile `shp` and the rows of its table (`dbf`,
// whose header counts `tableRows`) are not the same rows: the ".shx"'s
// header gives a length the file does not have, the ".shx" lists another
// number of shapes than the table counts, or the ".shp" holds whole shapes
// beyond those the ".shx" lists. GDAL counts the shapes the ".shx"'s
// header gives and reads as many rows of the table, whatever the table
// holds beyond them. Nothing when they agree, or when the ".shx" is
// missing or cannot be read (GDAL then tells why); shapes the ".shx" lists
// beyond the end of a ".shp" cut short are for GDAL's reading to find.
std::optional<std::string> partsDisagreement(const std::string& shp, const std::string& dbf, std::uint64_t tableRows);

// What tells whether those files are still the ones seen before and
// unchanged: the stamp of ".shp", ".shx" and ".dbf" (platform/file_stamp.h),
// one that does not exist for a missing one. A copy put in their place,
// or written over them as cp does, changes it.
std::vector<FileStamp> shapefileStamp(const std::string& shp);

}  // namespace quor::platform::gis::detail
