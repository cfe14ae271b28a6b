#pragma once
// What tells one dataset from another, read as GDAL reads it: the files it
// is made of, a digest of its features (ids, values and geometries), and
// the metadata it keeps inside itself where its format allows.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class GDALDataset;

namespace quor::platform::gis {

// The files GDAL reads for the dataset at `path` (a shapefile's
// companions, a grid's folder...), or `path` alone when GDAL opens no
// dataset there.
std::vector<std::string> datasetFiles(const std::string& path);
// The files GDAL reads for a dataset already open, in the same order;
// none for one that lives in no file.
std::vector<std::string> datasetFiles(GDALDataset& dataset);

// SHA-256 (hex) of the layer's features in their order: each one's id,
// its values and its geometry, as readRows takes them. GisError when the
// layer cannot be read.
std::string layerDigest(const std::string& source, const std::string& layer);

// The one layer of a vector dataset: its name and its feature count.
// GisError when it cannot be read or holds more or fewer layers.
struct OnlyLayer {
    std::string name;
    std::int64_t features = 0;
};
OnlyLayer onlyLayer(const std::string& source);

// The metadata items of `domain` that the dataset keeps inside itself
// (none for a format that keeps none). GisError when it cannot be read.
std::map<std::string, std::string> datasetMetadata(const std::string& path, const std::string& domain);

// Replaces the items of `domain` kept inside the dataset, through GDAL's
// metadata interface (a GeoPackage keeps them in its metadata tables).
// GisError when the dataset cannot be opened for update or keeps none.
void setDatasetMetadata(const std::string& path, const std::string& domain,
                        const std::vector<std::pair<std::string, std::string>>& items);

}  // namespace quor::platform::gis
