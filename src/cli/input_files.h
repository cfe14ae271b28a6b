#pragma once
// The files a run is given, looked at before anything is opened: one that
// is missing or cannot be read is refused with the option that named it.
#include <string>

namespace quor::cli {

// BadInput unless `path` is a file (or, with `folderToo`, a folder such as
// a raster grid's) that this program may read.
void requireReadableFile(const std::string& option, const std::string& path, bool folderToo = false);

}  // namespace quor::cli
