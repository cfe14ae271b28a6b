#include "platform/gis/vector_copy.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/disk_writes.h"
#include "platform/folders.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/sqlite_file.h"

namespace quor::platform::gis {

namespace {

namespace fs = std::filesystem;

DatasetHandle openForReading(const std::string& source) {
    detail::ensureGdal();
    detail::ErrorCapture err;
    DatasetHandle ds(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds) throw GisError(err.message("The dataset " + source + " cannot be read."));
    return ds;
}

OGRLayer& layerOf(GDALDataset& ds, const std::string& source, const std::string& layer) {
    OGRLayer* l = ds.GetLayerByName(layer.c_str());
    if (!l) throw GisError("The dataset " + source + " has no layer " + layer + ".");
    return *l;
}

// Tells why a copy failed, in the words of its first failure: DiskFullError
// when the destination's disk has no room left.
[[noreturn]] void failedCopy(const std::string& layer, const std::string& source, const std::string& destination,
                     const detail::ErrorCapture& err) {
    const std::string what = "The layer " + layer + " of " + source + " cannot be written to " + destination;
    const std::string said = err.cause("");
    const fs::path folder = fs::absolute(destination).parent_path();
    const auto free = platform::freeSpace(folder.string());
    constexpr std::uint64_t kNearlyFull = 64 * 1024;
    if ((free && *free < kNearlyFull) || detail::saysDiskFull(said))
        throw DiskFullError(what + ": " + platform::kDiskFullText + ".");
    throw GisError(err.cause(what + "."));
}

struct OptionsCloser {
    void operator()(GDALVectorTranslateOptions* o) const noexcept { GDALVectorTranslateOptionsFree(o); }
};

int progressOf(double done, const char*, void* data) {
    const auto& goOn = *static_cast<const std::function<bool(double)>*>(data);
    return goOn(done) ? TRUE : FALSE;
}

// While it lives, SQLite files GDAL writes on this thread (a GeoPackage)
// keep their rollback journal in memory, with a page cache of 16 MB: a new
// file in a folder of the caller's own, which goes whole when the copy
// fails, has nothing for a journal on disk to protect, and the larger
// cache spares most of the system calls that write and read back its
// pages. The file's bytes are the same.
class SqliteWriting {
public:
    SqliteWriting() : journal_("OGR_SQLITE_JOURNAL", "MEMORY"), cache_("OGR_SQLITE_CACHE", "16") {}

private:
    // A GDAL setting for this thread, given back as it was.
    class Setting {
    public:
        Setting(const char* name, const char* value) : name_(name) {
            if (const char* was = CPLGetThreadLocalConfigOption(name, nullptr)) before_ = was;
            CPLSetThreadLocalConfigOption(name, value);
        }
        ~Setting() { CPLSetThreadLocalConfigOption(name_, before_ ? before_->c_str() : nullptr); }
        Setting(const Setting&) = delete;
        Setting& operator=(const Setting&) = delete;

    private:
        const char* name_;
        std::optional<std::string> before_;
    };
    Setting journal_, cache_;
};

}  // namespace

std::int64_t layerFeatureCount(const std::string& source, const std::string& layer) {
    DatasetHandle ds = openForReading(source);
    detail::requireSqlitePagesWhole(*ds, source);
    const bool shapefile = platform::lowerExtension(source) == ".shp";
    return detail::wholeFeatureCount(layerOf(*ds, source, layer), source, shapefile ? source : std::string());
}

void copyLayer(const LayerCopy& copy, const std::function<bool(double)>& goOn) {
    DatasetHandle src = openForReading(copy.source);
    OGRLayer& layer = layerOf(*src, copy.source, copy.layer);
    // GDAL's FlatGeobuf writer leaves a layer without features as an empty
    // file, which nothing reads, unless it indexes it; there is no order
    // of features to keep then.
    const bool unindexable = copy.driver == "FlatGeobuf" &&
                             (copy.range ? copy.range->count == 0 : layer.GetFeatureCount(TRUE) == 0);
    CPLStringList args;
    args.AddString("-f");
    args.AddString(copy.driver.c_str());
    for (const auto& option : copy.layerOptions) {
        if (unindexable && EQUAL(option.c_str(), "SPATIAL_INDEX=NO")) continue;
        args.AddString("-lco");
        args.AddString(option.c_str());
    }
    if (copy.range) {
        // OGR's own SQL reads the layer in its order, as a run reads it.
        args.AddString("-dialect");
        args.AddString("OGRSQL");
        args.AddString("-sql");
        args.AddString(("SELECT * FROM " + detail::sqlName(copy.layer) + " LIMIT " + std::to_string(copy.range->count) +
                        " OFFSET " + std::to_string(copy.range->first))
                           .c_str());
        args.AddString("-nln");
        args.AddString(copy.layer.c_str());
    } else {
        args.AddString(copy.layer.c_str());
    }
    detail::ErrorCapture err;
    std::unique_ptr<GDALVectorTranslateOptions, OptionsCloser> options(GDALVectorTranslateOptionsNew(args.List(), nullptr));
    if (!options) throw GisError(err.message("The copy of " + copy.layer + " cannot be set up."));
    if (goOn) GDALVectorTranslateOptionsSetProgress(options.get(), progressOf, const_cast<std::function<bool(double)>*>(&goOn));
    GDALDatasetH source = GDALDataset::ToHandle(src.get());
    int usageError = FALSE;
    const SqliteWriting sqlite;
    DatasetHandle written(
        GDALDataset::FromHandle(GDALVectorTranslate(copy.destination.c_str(), nullptr, 1, &source, options.get(), &usageError)));
    const bool made = written != nullptr;
    // Closing writes what GDAL still holds; a failure there is a failed copy.
    written.reset();
    if (!made || err.failed()) failedCopy(copy.layer, copy.source, copy.destination, err);
}

namespace {

// The one value of a query's first row, as text; empty without a row.
std::string firstValue(GDALDataset& ds, const std::string& sql) {
    const detail::SqlResult result(ds, sql);
    if (OGRLayer* r = result.layer())
        if (OGRFeatureUniquePtr f{r->GetNextFeature()}) return f->GetFieldAsString(0);
    return {};
}

}  // namespace

bool copyGeoPackageOfLayer(const std::string& source, const std::string& layer, const std::string& destination) {
    DatasetHandle src = openForReading(source);
    if (!src->GetDriver() || !EQUAL(src->GetDriver()->GetDescription(), "GPKG")) return false;
    const std::string name = layerOf(*src, source, layer).GetName();
    // Anything else the file holds (another layer, a table, styles) would
    // come along: only a file of the layer alone is copied whole.
    const std::string others = firstValue(
        *src, "SELECT count(*) FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE 'gpkg%' AND "
              "name NOT LIKE 'sqlite%' AND lower(name) <> lower(" + detail::sqlText(name) + ") AND substr(lower(name), 1, " +
                  std::to_string(name.size() + 7) + ") <> lower(" + detail::sqlText("rtree_" + name + "_") + ")");
    const std::string contents = firstValue(*src, "SELECT count(*) FROM gpkg_contents WHERE lower(table_name) <> lower(" +
                                                      detail::sqlText(name) + ")");
    // A GeoPackage without an extension (the program's own, whose layers
    // have no spatial index) has no table of them to ask.
    const bool extensions =
        firstValue(*src, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'gpkg_extensions'") != "0";
    const std::string indexes =
        extensions ? firstValue(*src, "SELECT count(*) FROM gpkg_extensions WHERE extension_name = 'gpkg_rtree_index' "
                                      "AND lower(table_name) <> lower(" + detail::sqlText(name) + ")")
                   : "0";
    if (others != "0" || contents != "0" || (!indexes.empty() && indexes != "0")) return false;
    detail::ErrorCapture err;
    { const detail::SqlResult vacuum(*src, "VACUUM INTO " + detail::sqlText(destination)); }
    if (err.failed()) failedCopy(layer, source, destination, err);
    return true;
}

}  // namespace quor::platform::gis
