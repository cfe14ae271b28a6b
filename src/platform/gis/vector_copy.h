#pragma once
// Copying one layer of a vector dataset into a new dataset with GDAL's own
// writers (those of ogr2ogr), the source opened only for reading.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quor::platform::gis {

// The features of a layer in their order, from `first` on, `count` of them.
struct FeatureRange {
    std::int64_t first = 0;
    std::int64_t count = 0;
};

struct LayerCopy {
    std::string source;       // a dataset GDAL reads (a shapefile, a GeoPackage...)
    std::string layer;        // the layer's name in it
    std::string destination;  // the new dataset's file
    std::string driver;       // GDAL's name of its format ("GPKG", "CSV"...)
    std::vector<std::string> layerOptions;  // its layer creation options ("GEOMETRY=AS_XY")
    std::optional<FeatureRange> range;      // every feature when empty
};

// The number of features of a layer, each read whole as GDAL reads it.
// GisError, naming the dataset, when it cannot be read, has no such layer,
// holds no feature, or a feature cannot be read or fewer can than it
// counts (a file cut short or damaged).
std::int64_t layerFeatureCount(const std::string& source, const std::string& layer);

// Copies the layer under its own name, fields, widths and spatial
// reference as they are. `goOn` is told the share done (0 to 1) and ends
// the copy when it answers false. GisError with GDAL's reason (its first
// words, the cause), also when the copy was ended; DiskFullError when the
// destination's disk has no room for it. A half-made destination is the
// caller's to remove.
void copyLayer(const LayerCopy& copy, const std::function<bool(double)>& goOn = {});

// Copies a GeoPackage that holds the layer and nothing else as SQLite
// copies a database, its spatial index included, which GDAL would build
// anew row by row. False, having written nothing, when the dataset is no
// GeoPackage or holds anything beside the layer. GisError with SQLite's
// reason, DiskFullError as copyLayer(); a half-made destination is the
// caller's to remove.
bool copyGeoPackageOfLayer(const std::string& source, const std::string& layer, const std::string& destination);

}  // namespace quor::platform::gis
