#pragma once
// Choosing the project's shoreline (a polygon shapefile or a polygon class
// of a coverage) and bathymetry (a raster) and recording where they lie.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/raster.h"

namespace quor::gis {

namespace pg = platform::gis;

enum class DatasetFilter {
    Shapefiles,       // any shapefile
    PointShapefiles,  // point shapefiles
    FeatureClasses,   // a feature class inside a workspace (coverage, GeoPackage, folder)
    Rasters,          // raster files and grid folders
};

// One chosen item.
struct DatasetItem {
    // Shapefiles: the .shp file. FeatureClasses: the workspace (the coverage
    // folder, the GeoPackage file). Rasters: the raster's complete name (a
    // file, or the folder of a grid).
    std::string path;
    // FeatureClasses: the class inside the workspace; empty otherwise.
    std::string className;
};

// The dataset chooser; the application shows a dialog, tests answer from a list.
class DatasetChooser {
public:
    virtual ~DatasetChooser() = default;
    // The selected items, or nothing when the user cancelled.
    virtual std::optional<std::vector<DatasetItem>> choose(DatasetFilter filter, const std::string& title) = 0;
};

inline constexpr const char* kShorelineTitle = "Select a shoreline dataset";
inline constexpr const char* kBathymetryTitle = "Select a Bathymetry Coverage";
inline constexpr const char* kShorelineNoReference =
    "No spatial reference attached with the dataset. Please attach suitable spatial reference using a GIS tool.";
inline constexpr const char* kBathymetryNoReference =
    "No spatial reference attached with the bathymetry. Please attach suitable spatial reference using a GIS tool.";
// The program's words before the reason (GDAL's own text among it) when a
// chosen or recorded shoreline or bathymetry cannot be read.
inline constexpr const char* kShorelineUnreadable = "The shoreline dataset cannot be read. ";
inline constexpr const char* kBathymetryUnreadable = "The bathymetry raster cannot be read. ";
inline constexpr const char* kProjectWithoutShoreline = "The project has no shoreline.";
inline constexpr const char* kShorelineNotPolygon =
    "The selected shoreline dataset does not hold polygons. Please select a polygon dataset.";

// Lets the user choose the shoreline; option_arccov is the shoreline kind
// (1 shapefile, 2 coverage class). On success records shorecov, shorename
// and (kind 2) shorefeature and returns the class. Cancelled, refused or
// unreadable: nothing, and the project's shoreline members keep their values.
std::shared_ptr<pg::FeatureClass> Getshoreline(model::MainFormState& mainform, int option_arccov, DatasetChooser& chooser,
                                               platform::Messages& messages);

// Records where `item` lies as Getshoreline records a checked choice,
// without opening it: the shoreline a run with the faster algorithm is
// given, which it never reads.
void recordShoreline(model::MainFormState& mainform, int option_arccov, const DatasetItem& item);

// Lets the user choose the bathymetry raster; on success records bathyname
// and bathycov (its complete name) and returns the raster. Otherwise
// nothing, and the members keep their values; a raster that cannot be
// read, a damaged one included, is refused with GDAL's reason. With
// `runThreads`, the raster is read as openBathymetry reads it for a run
// about to start, and handed to that run while it is held.
std::shared_ptr<pg::Raster> Getbathymetry(model::MainFormState& mainform, DatasetChooser& chooser,
                                          platform::Messages& messages, std::optional<int> runThreads = std::nullopt);

// Opens the project's shoreline as recorded: the shapefile shorecov/shorename
// (a name ending in ".shp"), else the class shorefeature of the coverage
// shorecov/shorename. GisError when the project has no shoreline or it
// cannot be opened.
std::shared_ptr<pg::FeatureClass> openShoreline(const model::MainFormState& mainform);

// The raster bathyname in bathycov's folder (the text before its last "/"
// or "\"). GisError when it cannot be located or opened.
std::shared_ptr<pg::Raster> openBathymetryInFolder(const model::MainFormState& mainform);

// The spatial reference of the project's map data, which points entered
// by hand or on the map take: the shoreline's when the project has one
// (GisError when it cannot be opened), else the bathymetry's (none when
// it has none or cannot be opened).
pg::SpatialReference mapDataSpatialReference(const model::MainFormState& mainform);

// Opens the raster bathycov for a run. GisError when it cannot be read, a
// damaged file (one whose blocks do not all read) included, with GDAL's
// reason. Read whole on the run's threads: its extremes and, for workers,
// its decoded blocks come with it. While the raster a reading for a run
// gave is held and its file unchanged, that raster is handed back, not
// read again. A raster whose files hold the same bytes as one read whole
// before (platform/gis/raster_readings.h) is not read whole: its extremes
// come from that reading, and its blocks are decoded as sites need them.
// The files are those of the raster and, for a VRT, of every source,
// through to the last; a raster whose files cannot all be named is read
// whole each time.
std::shared_ptr<pg::Raster> openBathymetry(const model::MainFormState& mainform);
// The raster openBathymetry would hand back without reading, or null.
std::shared_ptr<pg::Raster> heldBathymetry(const model::MainFormState& mainform);

// The digest of the files of the raster bathycov (platform/file_digest.h's
// filesDigest, named from its folder): that of the reading held, taken
// when it was read; else a file is read for it only when it is new or
// changed. GisError or FileError when the raster cannot be read.
std::string bathymetryDigest(const model::MainFormState& mainform);

}  // namespace quor::gis
