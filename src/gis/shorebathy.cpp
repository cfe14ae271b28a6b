#include "gis/shorebathy.h"

#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "gis/input_references.h"
#include "platform/file_digest.h"
#include "platform/file_stamp.h"
#include "platform/folders.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster_files.h"
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

// What tells a changed raster: the stamps of its files.
using RasterStamp = std::vector<platform::FileStamp>;

RasterStamp stampOf(const std::vector<std::string>& files) {
    RasterStamp stamp;
    for (const auto& f : files) stamp.push_back(platform::stampOfFile(f));
    return stamp;
}

// The raster last read whole for a run, its files and their stamps from
// before the reading, and the digest they were known by. Held by whoever
// uses it (the command line's checks, a run); the record alone keeps
// nothing in memory.
struct RunReading {
    std::string path;
    std::weak_ptr<pg::Raster> raster;
    std::vector<std::string> files;
    RasterStamp stamp;
    std::string digest;
};

std::mutex& readingMutex() {
    static std::mutex m;
    return m;
}

RunReading& lastReading() {
    static RunReading reading;
    return reading;
}

// The last reading when it was of `path`, its raster is held and its files
// are unchanged.
std::optional<RunReading> heldRunReading(const std::string& path) {
    std::lock_guard<std::mutex> lock(readingMutex());
    const RunReading& last = lastReading();
    if (last.path != path || last.raster.expired() || stampOf(last.files) != last.stamp) return std::nullopt;
    return last;
}

std::shared_ptr<pg::Raster> heldReading(const std::string& path) {
    const auto held = heldRunReading(path);
    return held ? held->raster.lock() : nullptr;
}

// What is remembered of a raster read for a run, by the digest of every
// file it is read from; nothing when they cannot all be named or read, and
// the raster is read whole.
std::optional<pg::RememberedReading> remembered(const std::string& path, const pg::RasterFiles& files) {
    if (!files.complete) return std::nullopt;
    try {
        return pg::rememberedReading(files.files, folderOf(path));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Opens a raster and reads every block of its first band once, so that a
// truncated or damaged file is refused with GDAL's own words at the start
// rather than passing for cells without data in the middle of a run. A
// raster only chosen keeps nothing of the reading. A raster read for a run
// keeps its extremes and decoded blocks, and while it is held, opening the
// same unchanged files for a run again hands it back: the checks before a
// run and the run itself decode the cells once. What a reading for a run
// found is remembered across runs by the digest of the raster's bytes:
// the same bytes again are known whole and their extremes known, and a
// run decodes only the blocks its sites need, as they need them.
std::shared_ptr<pg::Raster> openReadableRaster(const std::string& path, std::optional<int> runThreads) {
    if (runThreads)
        if (auto held = heldReading(path)) return held;
    const platform::FileStamp opened = platform::stampOfFile(path);
    auto raster = pg::Raster::open(path);
    if (!runThreads) {
        raster->checkBlocks();
        return raster;
    }
    const pg::RasterFiles files = pg::rasterFiles(*raster->dataset());
    const RasterStamp before = stampOf(files.files);
    const auto known = remembered(path, files);
    if (known && known->extremes) {
        raster->takeExtremes(*known->extremes);
    } else {
        raster->readWhole(*runThreads, pg::kSharedBlockBytes);
        // Bytes that changed during the reading may not be the digested ones.
        const auto found = raster->knownExtremes();
        if (known && found && stampOf(files.files) == before && platform::stampOfFile(path) == opened)
            pg::rememberExtremes(known->digest, *found);
    }
    std::lock_guard<std::mutex> lock(readingMutex());
    lastReading() = RunReading{path, raster, files.files, before, known ? known->digest : std::string()};
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
    try {
        auto ws = pg::Workspace::open(item.path);
        fc = ws->openFeatureClass(filter == DatasetFilter::FeatureClasses ? item.className
                                                                          : fs::path(item.path).stem().string());
        if (const pg::SpatialReference sr = fc->spatialReference(); sr.isNone()) {
            messages.message(sr.unreadableFile().empty() ? kShorelineNoReference
                                                         : unreadableReference("shoreline dataset", sr.unreadableFile()),
                             platform::MessageIcon::Critical);
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
    recordShoreline(mainform, option_arccov, item);
    return fc;
}

void recordShoreline(model::MainFormState& mainform, int option_arccov, const DatasetItem& item) {
    mainform.shorecov = folderOf(item.path);
    if (option_arccov == 1) {
        mainform.shorename = fs::path(item.path).stem().string() + ".shp";
    } else if (option_arccov == 2) {
        mainform.shorename = lastName(item.path);
        mainform.shorefeature = item.className;
    }
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
    if (const pg::SpatialReference sr = raster->spatialReference(); sr.isNone()) {
        messages.message(sr.unreadableFile().empty() ? kBathymetryNoReference
                                                     : unreadableReference("bathymetry raster", sr.unreadableFile()),
                         platform::MessageIcon::Critical);
        return nullptr;
    }
    mainform.bathyname = raster->name();
    mainform.bathycov = raster->path();
    return raster;
}

std::shared_ptr<pg::FeatureClass> openShoreline(const model::MainFormState& mainform) {
    if (mainform.shorename.empty()) throw pg::GisError(kProjectWithoutShoreline);
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

std::string bathymetryDigest(const model::MainFormState& mainform) {
    const std::string& path = mainform.bathycov;
    if (const auto held = heldRunReading(path); held && !held->digest.empty()) return held->digest;
    const pg::RasterFiles files = pg::rasterFiles(*pg::Raster::open(path)->dataset());
    if (const auto known = remembered(path, files)) return known->digest;
    return platform::filesDigest(files.files, folderOf(path));
}

}  // namespace quor::gis
