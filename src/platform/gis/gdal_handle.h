#pragma once
// The owning handle of a GDAL dataset, closed with GDALClose when it goes:
// GDAL's own GDALDatasetUniquePtr, declared here without GDAL's headers so
// that the layer's public headers stay free of them.
#include <memory>

class GDALDataset;

namespace quor::platform::gis {

struct DatasetCloser {
    void operator()(GDALDataset* ds) const noexcept;
};
using DatasetHandle = std::unique_ptr<GDALDataset, DatasetCloser>;

}  // namespace quor::platform::gis
