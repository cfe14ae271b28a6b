#pragma once
// What reading a raster whole found, remembered across runs: a raster
// whose every block once decoded, and whose files still hold the same
// bytes, need not be decoded whole again for its extremes. Kept per user
// in a small file of the cache folder (platform/folders.h), keyed by the
// digest of the raster's files (platform/file_digest.h); never beside the
// raster. Only a matter of speed: a file that cannot be read or written,
// or an entry that is damaged or was made by another GDAL, is as if
// nothing were remembered.
#include <optional>
#include <string>
#include <utility>

namespace quor::platform::gis {

// The exact extremes of band 1 (low above high: no cell holds a value)
// that a whole reading without damage found in a raster whose files
// digest to `digest`; nothing when none is remembered.
std::optional<std::pair<double, double>> rememberedExtremes(const std::string& digest);

// Remembers them, in place of what was remembered for `digest`. Nothing
// is said when they cannot be kept.
void rememberExtremes(const std::string& digest, std::pair<double, double> extremes);

// The file they are kept in.
std::string readingsFile();

}  // namespace quor::platform::gis
