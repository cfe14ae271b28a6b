#include "gis/shorebathy.h"

#include <gdal_priv.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/file_digest.h"
#include "platform/file_stamp.h"
#include "platform/folders.h"
#include "platform/gis/dataset_identity.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster_readings.h"
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

// What tells a changed raster: the stamp of its file, or of every file of
// a grid folder, in name order.
using RasterStamp = std::vector<platform::FileStamp>;

RasterStamp stampOf(const std::string& path) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return {platform::stampOfFile(path)};
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(path, ec))
        if (e.is_regular_file(ec)) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    RasterStamp stamp;
    for (const auto& f : files) stamp.push_back(platform::stampOfFile(f));
    return stamp;
}

// The raster last read whole for a run, and its file as it was before the
// reading. Held by whoever uses it (the command line's checks, a run); the
// record alone keeps nothing in memory.
struct RunReading {
    std::string path;
    std::weak_ptr<pg::Raster> raster;
    RasterStamp stamp;
};

std::mutex& readingMutex() {
    static std::mutex m;
    return m;
}

RunReading& lastReading() {
    static RunReading reading;
    return reading;
}

std::shared_ptr<pg::Raster> heldReading(const std::string& path) {
    std::lock_guard<std::mutex> lock(readingMutex());
    const RunReading& last = lastReading();
    if (last.path != path) return nullptr;
    auto raster = last.raster.lock();
    if (raster && stampOf(path) == last.stamp) return raster;
    return nullptr;
}

// The digest a raster's whole reading is remembered by: that of its
// files' bytes. Empty when it has no file or one cannot be read.
std::string readingKey(pg::Raster& raster) {
    try {
        const auto files = pg::datasetFiles(*raster.dataset());
        return files.empty() ? std::string() : platform::filesDigest(files);
    } catch (const std::exception&) {
        return {};
    }
}

// Opens a raster and reads every block of its first band once, so that a
// truncated or damaged file is refused with GDAL's own words at the start
// rather than passing for cells without data in the middle of a run. A
// raster only chosen keeps nothing of the reading. A raster read for a run
// keeps its extremes and decoded blocks, and while it is held, opening the
// same unchanged file for a run again hands it back: the checks before a
// run and the run itself decode the cells once. What a reading for a run
// found is remembered across runs by the digest of the raster's bytes:
// the same bytes again are known whole and their extremes known, and a
// run decodes only the blocks its sites need, as they need them.
std::shared_ptr<pg::Raster> openReadableRaster(const std::string& path, std::optional<int> runThreads) {
    if (runThreads)
        if (auto held = heldReading(path)) return held;
    const RasterStamp before = stampOf(path);
    auto raster = pg::Raster::open(path);
    if (!runThreads) {
        raster->checkBlocks();
        return raster;
    }
    const std::string digest = readingKey(*raster);
    std::optional<std::pair<double, double>> known;
    if (!digest.empty()) known = pg::rememberedExtremes(digest);
    if (known) {
        raster->takeExtremes(*known);
    } else {
        raster->readWhole(*runThreads, pg::kSharedBlockBytes);
        // Bytes that changed during the reading may not be the digested ones.
        const auto found = raster->knownExtremes();
        if (!digest.empty() && found && stampOf(path) == before) pg::rememberExtremes(digest, *found);
    }
    std::lock_guard<std::mutex> lock(readingMutex());
    lastReading() = RunReading{path, raster, before};
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
                                          platform::Messages& messages, std::optional<int> runThreads) {
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
        raster = openReadableRaster(item.path, runThreads);
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

std::shared_ptr<pg::Raster> heldBathymetry(const model::MainFormState& mainform) {
    return heldReading(mainform.bathycov);
}

}  // namespace quor::gis
