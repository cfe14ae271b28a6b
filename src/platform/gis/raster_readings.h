#pragma once
// What reading a raster whole found, remembered across runs: a raster
// whose every block once decoded, and whose files still hold the same
// bytes, need not be decoded whole again for its extremes. Kept per user
// in a small file of the cache folder (platform/folders.h), keyed by the
// digest of the raster's files (platform/file_digest.h); never beside the
// raster. The digest of each file is remembered by the file's stamp
// (platform/file_stamp.h): a file is read for its digest only when it is
// new or changed, and a copy of a raster takes its original's reading.
//
// Only a matter of speed: a file that cannot be read or written, or an
// entry that is damaged or was made by another GDAL, is as if nothing
// were remembered. The file is the program's own and nothing else: a link
// or anything but a plain file in its place is left as it is, neither
// read nor written through, and nothing is remembered. Runs side by side
// each add their entries to what the others added.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quor::platform::gis {

struct RememberedReading {
    // filesDigest's of the raster's files (platform/file_digest.h).
    std::string digest;
    // The exact extremes of band 1 (low above high: no cell holds a value)
    // that a whole reading without damage found in files of that digest.
    std::optional<std::pair<double, double>> extremes;
};

// What is remembered of the raster made of `files` (all of them,
// platform/gis/raster_files.h), named from `folder`: their digest, each
// file read only when its stamp is not remembered (and its digest then
// remembered), and the extremes remembered for the digest. FileError when
// a file cannot be read.
RememberedReading rememberedReading(const std::vector<std::string>& files, const std::string& folder);

// The extremes remembered for files of `digest`; nothing when none are.
std::optional<std::pair<double, double>> rememberedExtremes(const std::string& digest);

// Remembers them, in place of what was remembered for `digest`. Nothing
// is said when they cannot be kept.
void rememberExtremes(const std::string& digest, std::pair<double, double> extremes);

// The file they are kept in; empty when there is no cache folder, and
// then nothing is remembered.
std::string readingsFile();

}  // namespace quor::platform::gis
