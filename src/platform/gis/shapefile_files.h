#pragma once
// The files of one shapefile as the GIS layer looks at them from outside
// GDAL: which they are and whether they changed.
#include <cstdint>
#include <string>
#include <vector>

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
// unchanged: device, inode, size and modification time (to the
// nanosecond) of each. A copy put in their place, or written over them
// as cp does, changes it.
std::string shapefileStamp(const std::string& shp);

// What any write into a file changes, whoever makes it: the file's
// identity, its size, and its modification and change times to the
// nanosecond. The change time cannot be set back, so a copy written over
// the file in place changes the stamp even when it keeps the size and
// puts the old modification time back.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0, changed = 0;  // nanoseconds since the epoch
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp stampOfFile(const std::string& path);
FileStamp stampOfOpenFile(int fd);

}  // namespace quor::platform::gis::detail
