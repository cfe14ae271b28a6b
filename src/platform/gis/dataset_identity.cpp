#include "platform/gis/dataset_identity.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>

#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/rows_digest.h"

namespace quor::platform::gis {

namespace {

DatasetHandle openVector(const std::string& path, unsigned flags) {
    detail::ensureGdal();
    detail::ErrorCapture err;
    DatasetHandle ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | flags));
    if (!ds) throw GisError(err.message("The dataset " + path + " cannot be read."));
    return ds;
}

}  // namespace

std::vector<std::string> datasetFiles(const std::string& path) {
    detail::ensureGdal();
    detail::ErrorCapture quiet;
    DatasetHandle ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_VECTOR | GDAL_OF_READONLY));
    std::vector<std::string> files;
    if (ds) files = datasetFiles(*ds);
    if (files.empty()) files.push_back(path);
    return files;
}

std::vector<std::string> datasetFiles(GDALDataset& dataset) {
    detail::ErrorCapture quiet;
    CPLStringList list(dataset.GetFileList(), TRUE);
    std::vector<std::string> files;
    for (int i = 0; i < list.size(); ++i) files.emplace_back(list[i]);
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

std::string layerDigest(const std::string& source, const std::string& layer) {
    RowsAsked asked;
    asked.ids = true;
    return readRows({source, layer, {}}, asked).digest;
}

OnlyLayer onlyLayer(const std::string& source) {
    DatasetHandle ds = openVector(source, GDAL_OF_READONLY);
    if (ds->GetLayerCount() != 1)
        throw GisError("The dataset " + source + " holds " + std::to_string(ds->GetLayerCount()) +
                       " layers, not one.");
    OGRLayer* l = ds->GetLayer(0);
    return {l->GetName(), l->GetFeatureCount(TRUE)};
}

std::map<std::string, std::string> datasetMetadata(const std::string& path, const std::string& domain) {
    DatasetHandle ds = openVector(path, GDAL_OF_READONLY);
    std::map<std::string, std::string> items;
    CSLConstList list = ds->GetMetadata(domain.c_str());
    for (int i = 0; list && list[i]; ++i) {
        char* key = nullptr;
        const char* value = CPLParseNameValue(list[i], &key);
        if (key && value) items[key] = value;
        CPLFree(key);
    }
    return items;
}

void setDatasetMetadata(const std::string& path, const std::string& domain,
                        const std::vector<std::pair<std::string, std::string>>& items) {
    DatasetHandle ds = openVector(path, GDAL_OF_UPDATE);
    CPLStringList list;
    for (const auto& [key, value] : items) list.SetNameValue(key.c_str(), value.c_str());
    detail::ErrorCapture err;
    if (ds->SetMetadata(list.List(), domain.c_str()) != CE_None || err.failed())
        throw GisError(err.message("The metadata of " + path + " cannot be written."));
    // Closing writes it; a failure there is a failed write.
    ds.reset();
    if (err.failed()) throw GisError(err.message("The metadata of " + path + " cannot be written."));
}

}  // namespace quor::platform::gis
