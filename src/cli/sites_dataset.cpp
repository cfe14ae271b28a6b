#include "cli/sites_dataset.h"

#include <QTemporaryDir>

#include <filesystem>
#include <vector>

#include "platform/folders.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/vector_copy.h"

namespace quor::cli {

namespace {

namespace fs = std::filesystem;
namespace pg = platform::gis;

// The layer a shapefile is read as: its file's name without ".shp".
std::string layerOf(const SitesSource& sites) {
    return sites.geodatabase() ? sites.layer : fs::path(sites.path).stem().string();
}

// The files of the shapefile at `path`: "x.shp" and the companions GDAL
// and other programs keep beside it.
std::vector<fs::path> filesOf(const fs::path& path) {
    static const char* const kCompanions[] = {".shp", ".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx", ".qpj"};
    std::vector<fs::path> files;
    std::error_code ec;
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (e.path().stem() != path.stem() || !e.is_regular_file(ec)) continue;
        const std::string ext = platform::lowerExtension(e.path().string());
        for (const char* companion : kCompanions)
            if (ext == companion) files.push_back(e.path());
    }
    return files;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

// Text and shapefiles keep text as UTF-8 whatever GDAL's default; a
// FlatGeobuf keeps the sites' order rather than one sorted for an index.
std::vector<std::string> layerOptions(const std::string& driver) {
    if (driver == "CSV") return {"GEOMETRY=AS_XY"};
    if (driver == "FlatGeobuf") return {"SPATIAL_INDEX=NO"};
    if (driver == "ESRI Shapefile") return {"ENCODING=UTF-8"};
    return {};
}

}  // namespace

std::int64_t siteCount(const SitesSource& sites) {
    try {
        return pg::layerFeatureCount(sites.path, layerOf(sites));
    } catch (const std::exception& e) {
        throw badOption(sites.geodatabase() ? "--layer" : "--sites", sites.geodatabase() ? sites.layer : sites.path,
                        e.what());
    }
}

SiteRange partRange(std::int64_t sites, const std::optional<Part>& part) {
    if (!part) return {0, sites};
    // Equal to within one site, and together every site once, in order.
    const std::int64_t first = sites * (part->k - 1) / part->n, end = sites * part->k / part->n;
    return {first, end - first};
}

SitesSource copySites(const SitesSource& sites, const std::optional<SiteRange>& range, const std::string& folder) {
    const std::string layer = layerOf(sites);
    SitesSource copy;
    pg::LayerCopy request;
    request.source = sites.path;
    request.layer = layer;
    if (sites.geodatabase()) {
        copy = {folder + "/" + fs::path(sites.path).filename().string(), layer};
        request.driver = "GPKG";
    } else {
        copy = {folder + "/" + layer + ".shp", ""};
        request.driver = "ESRI Shapefile";
        request.layerOptions = layerOptions(request.driver);
    }
    request.destination = copy.path;
    if (range) request.range = pg::FeatureRange{range->first, range->count};
    pg::copyLayer(request);
    return copy;
}

OutputTarget outputTarget(const RunOptions& o, const SitesSource& sites) {
    OutputTarget t;
    t.path = *o.value("--output");
    const std::string ext = platform::lowerExtension(t.path);
    if (ext == ".gpkg")
        t.driver = "GPKG";
    else if (ext == ".csv")
        t.driver = "CSV";
    else if (ext == ".fgb")
        t.driver = "FlatGeobuf";
    else if (ext == ".shp")
        t.driver = "ESRI Shapefile";
    else
        throw badOption("--output", t.path, "the format is told by the extension: .gpkg, .csv, .fgb or .shp.");
    std::error_code ec;
    const fs::path folder = fs::absolute(t.path).parent_path();
    if (!fs::is_directory(folder, ec)) throw badOption("--output", t.path, "the folder " + folder.string() + " does not exist.");
    if (sameFile(t.path, sites.path) || fs::absolute(t.path) == fs::absolute(sites.path))
        throw badOption("--output", t.path, "this is the sites' own file, which --output leaves as it is.");
    if (o.model == Model::Rwe) t.metadata = t.path + ".Metadata_RWE";
    if (!o.has("--overwrite"))
        for (const std::string& existing : {t.path, t.metadata})
            if (!existing.empty() && fs::exists(existing, ec))
                throw badOption("--output", t.path, existing + " exists; --overwrite replaces it.");
    return t;
}

void writeOutput(const SitesSource& computed, const std::string& computedMetadata, const OutputTarget& target,
                 const std::function<bool()>& stop) {
    const fs::path out = fs::absolute(target.path);
    // Made beside the output and moved into its place once whole.
    QTemporaryDir making(QString::fromStdString((out.parent_path() / ".quor-run-XXXXXX").string()));
    if (!making.isValid())
        throw std::runtime_error("The output cannot be made in " + out.parent_path().string() + ": " +
                                 making.errorString().toStdString());
    const fs::path made = fs::path(making.path().toStdString()) / out.filename();
    pg::LayerCopy request{computed.path, layerOf(computed), made.string(), target.driver, layerOptions(target.driver), {}};
    pg::copyLayer(request, [&stop](double) { return !stop(); });
    if (stop()) throw std::runtime_error("The output was not written: the run was stopped.");
    std::error_code ec;
    if (!target.metadata.empty() && fs::exists(computedMetadata, ec))
        fs::copy_file(computedMetadata, fs::path(making.path().toStdString()) / (out.filename().string() + ".Metadata_RWE"));
    // What the output replaces goes first (a shapefile's companions the new one lacks among them).
    if (target.driver == "ESRI Shapefile")
        for (const auto& old : filesOf(out)) fs::remove(old, ec);
    std::vector<fs::path> madeFiles;
    for (const auto& e : fs::directory_iterator(making.path().toStdString())) madeFiles.push_back(e.path());
    for (const auto& file : madeFiles) {
        fs::rename(file, out.parent_path() / file.filename(), ec);
        if (ec) throw std::runtime_error("The output cannot be put in place: " + ec.message());
    }
}

}  // namespace quor::cli
