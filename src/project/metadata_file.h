#pragma once
// The metadata file a run leaves beside its point dataset. Each dataset
// has its own: the file is named after the dataset's file and, in a
// GeoPackage, which holds many, after its layer as well
// (sites.shp.Metadata_RWE, coast.gpkg.sites.Metadata_RWE), and it names
// the dataset it describes on a line of its own. The window, quor-run (in
// place and with --output) and the merge all name it here.
#include <string>
#include <vector>

namespace quor::project {

inline constexpr const char* kRweMetadataEnd = ".Metadata_RWE";
inline constexpr const char* kReiMetadataEnd = ".Metadata_REI";
// The label of the line that names the dataset.
inline constexpr const char* kPointDataLabel = "Point data:    ";

// What the metadata file of the dataset in `file` (its layer `layer`, which
// counts only in a GeoPackage) is named after: "sites.shp", "coast.gpkg.sites".
std::string metadataName(const std::string& file, const std::string& layer);

// The metadata file ending in `end` beside that dataset.
std::string metadataPath(const std::string& file, const std::string& layer, const char* end);

// The dataset as the line names it: "/data/sites.shp", "/data/coast.gpkg (layer sites)".
std::string pointDataText(const std::string& file, const std::string& layer);

// The lines of a metadata file with the line naming the dataset naming
// that one: in place of the line there, or first when there is none.
std::vector<std::string> withPointData(std::vector<std::string> lines, const std::string& file,
                                       const std::string& layer);

}  // namespace quor::project
