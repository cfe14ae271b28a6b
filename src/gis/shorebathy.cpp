#include "gis/shorebathy.h"

#include <gdal_priv.h>

#include <exception>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/folders.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "platform/run_threads.h"

namespace fs = std::filesystem;

namespace quor::gis {

namespace {

bool endsWithShp(const std::string& s) { return platform::lowerExtension(s) == ".shp"; }

std::string folderOf(const std::string& path) {
    fs::path p(path);
    std::string s = p.parent_path().string();
    return s.empty() ? "." : s;
}

// Opens a raster and reads every block of its first band once, so that a
// truncated or damaged file is refused with GDAL's own words at the start
// rather than passing for cells without data in the middle of a run. A
// raster only chosen keeps nothing of the reading: what a run would keep
// of it is read again by the run's own handle.
std::shared_ptr<pg::Raster> openReadableRaster(const std::string& path, std::optional<int> runThreads) {
    auto raster = pg::Raster::open(path);
    if (runThreads)
        raster->readWhole(*runThreads, pg::kSharedBlockBytes);
    else
        raster->checkBlocks();
    return raster;
}

std::string lastName(const std::string& path) {
    fs::path p(path);
    if (!p.has_filename()) p = p.parent_path();
    return p.filename().string();
}

// Reads every shape once so that a damaged file is refused now rather
// than in the middle of a run.
void readAll(const pg::FeatureClass& fc) {
    auto cur = fc.search();
    while (cur.next()) {
    }
}

}  // namespace

std::shared_ptr<pg::FeatureClass> Getshoreline(model::MainFormState& mainform, int option_arccov, DatasetChooser& chooser,
                                               platform::Messages& messages) {
    const DatasetFilter filter = option_arccov == 2 ? DatasetFilter::FeatureClasses : DatasetFilter::Shapefiles;
    std::optional<std::vector<DatasetItem>> chosen;
    try {
        chosen = chooser.choose(filter, kShorelineTitle);
    } catch (const std::exception&) {
        return nullptr;
    }
    if (!chosen || chosen->empty()) return nullptr;
    const DatasetItem item = chosen->front();

    std::shared_ptr<pg::FeatureClass> fc;
    std::string shorecov, shorename, shorefeature;
    try {
        if (filter == DatasetFilter::FeatureClasses) {
            auto ws = pg::Workspace::open(item.path);
            fc = ws->openFeatureClass(item.className);
            shorecov = folderOf(item.path);
            shorename = lastName(item.path);
            shorefeature = item.className;
        } else {
            auto ws = pg::Workspace::open(item.path);
            const std::string stem = fs::path(item.path).stem().string();
            fc = ws->openFeatureClass(stem);
            shorecov = folderOf(item.path);
            shorename = stem + ".shp";
        }
        if (fc->spatialReference().isNone()) {
            messages.message(kShorelineNoReference, platform::MessageIcon::Critical);
            return nullptr;
        }
        if (fc->geometryType() != pg::GeometryType::Polygon) {
            messages.message(kShorelineNotPolygon, platform::MessageIcon::Critical);
            return nullptr;
        }
        readAll(*fc);
    } catch (const std::exception& e) {
        messages.message(kShorelineUnreadable + std::string(e.what()), platform::MessageIcon::Critical);
        return nullptr;
    }
    // Only a fully checked choice replaces the project's shoreline.
    mainform.shorecov = shorecov;
    if (option_arccov == 1) {
        mainform.shorename = shorename;
    } else if (option_arccov == 2) {
        mainform.shorename = shorename;
        mainform.shorefeature = shorefeature;
    }
    return fc;
}

std::shared_ptr<pg::Raster> Getbathymetry(model::MainFormState& mainform, DatasetChooser& chooser,
                                          platform::Messages& messages) {
    std::optional<std::vector<DatasetItem>> chosen;
    try {
        chosen = chooser.choose(DatasetFilter::Rasters, kBathymetryTitle);
    } catch (const std::exception&) {
        return nullptr;
    }
    if (!chosen || chosen->empty()) return nullptr;
    const DatasetItem item = chosen->front();
    std::shared_ptr<pg::Raster> raster;
    try {
        raster = openReadableRaster(item.path, std::nullopt);
    } catch (const std::exception& e) {
        messages.message(kBathymetryUnreadable + std::string(e.what()), platform::MessageIcon::Critical);
        return nullptr;
    }
    if (raster->spatialReference().isNone()) {
        messages.message(kBathymetryNoReference, platform::MessageIcon::Critical);
        return nullptr;
    }
    mainform.bathyname = raster->name();
    mainform.bathycov = raster->path();
    return raster;
}

std::shared_ptr<pg::FeatureClass> openShoreline(const model::MainFormState& mainform) {
    if (mainform.shorename.empty()) throw pg::GisError("The project has no shoreline.");
    const std::string place = mainform.shorecov + "/" + mainform.shorename;
    auto ws = pg::Workspace::open(place);
    if (endsWithShp(mainform.shorename)) return ws->openFeatureClass(fs::path(mainform.shorename).stem().string());
    // A coverage: the polygon class the user chose inside it. Without one,
    // the name is taken as the shapefile's own.
    return ws->openFeatureClass(mainform.shorefeature.empty() ? mainform.shorename : mainform.shorefeature);
}

std::shared_ptr<pg::Raster> openBathymetryInFolder(const model::MainFormState& f) {
    const auto sep = f.bathycov.find_last_of("/\\");
    if (sep == std::string::npos) throw pg::GisError("The bathymetry path \"" + f.bathycov + "\" names no folder.");
    return pg::Raster::open(f.bathycov.substr(0, sep) + "/" + f.bathyname);
}

pg::SpatialReference mapDataSpatialReference(const model::MainFormState& mainform) {
    if (!mainform.shorecov.empty()) return openShoreline(mainform)->spatialReference();
    try {
        return openBathymetryInFolder(mainform)->spatialReference();
    } catch (const pg::GisError&) {
        return {};
    }
}

std::shared_ptr<pg::Raster> openBathymetry(const model::MainFormState& mainform) {
    return openReadableRaster(mainform.bathycov, platform::runThreads());
}

}  // namespace quor::gis
