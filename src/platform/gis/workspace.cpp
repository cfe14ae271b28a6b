#include "platform/gis/workspace.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/ascii_case.h"
#include "platform/disk_writes.h"
#include "platform/folders.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/replaced_table.h"
#include "platform/gis/shapefile_files.h"
#include "platform/gis/shapefile_table.h"
#include "platform/file_replacement.h"

namespace fs = std::filesystem;

namespace quor::platform::gis {

namespace {

// Every open workspace by its canonical path. Guarded, so that opening
// from a worker thread cannot corrupt it.
std::map<std::string, std::weak_ptr<Workspace>>& registry() {
    static std::map<std::string, std::weak_ptr<Workspace>> r;
    return r;
}
std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

DatasetHandle openDataset(const std::string& path, unsigned flags, const char* const* drivers = nullptr) {
    return DatasetHandle(
        static_cast<GDALDataset*>(GDALOpenEx(path.c_str(), flags, drivers, nullptr, nullptr)));
}

DatasetHandle createDataset(GDALDriver& driver, const std::string& path) {
    return DatasetHandle(driver.Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
}

std::string keyOf(const std::string& path) {
    std::error_code ec;
    auto p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? path : p.string();
}

// Another program's short write into a GeoPackage is waited for, as
// SQLite's users expect; one held longer is reported rather than waited
// for without end.
void limitBusyWait(GDALDataset& ds) {
    detail::SqlResult pragma(ds, "PRAGMA busy_timeout = " + std::to_string(detail::kBusyWaitSeconds * 1000));
}

// The attribute columns of a geodatabase's layer as its table now has
// them, in order (nothing when they cannot be read); GDAL's fields of the
// layer are the same while it knows the table as it is.
std::optional<std::vector<std::string>> columnsOnDisk(GDALDataset& ds, OGRLayer& layer) {
    detail::ErrorCapture err;
    const detail::SqlResult info(ds, "PRAGMA table_info(" + detail::sqlName(layer.GetName()) + ")");
    if (!info.layer()) return std::nullopt;
    std::vector<std::string> columns;
    while (OGRFeatureUniquePtr row{info.layer()->GetNextFeature()}) {
        const std::string name = row->GetFieldAsString("name");
        if (!EQUAL(name.c_str(), layer.GetFIDColumn()) && !EQUAL(name.c_str(), layer.GetGeometryColumn()))
            columns.push_back(name);
    }
    return columns;
}

std::vector<std::string> fieldsKnown(OGRLayer& layer) {
    std::vector<std::string> names;
    const OGRFeatureDefn* defn = layer.GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i) names.emplace_back(defn->GetFieldDefn(i)->GetNameRef());
    return names;
}

// Whether a GeoPackage and its folder (where SQLite keeps its journal) can
// be written, as the system answers: a read-only disk says no even to an
// administrator, whom permission bits never stop.
bool geoPackageWritable(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    const std::string dir = folder.empty() ? "." : folder.string();
    return ::access(path.c_str(), W_OK) == 0 && ::access(dir.c_str(), W_OK) == 0;
}

bool hasShpExtension(const fs::path& p) { return lowerExtension(p.string()) == ".shp"; }

bool hasShapefile(const fs::path& dir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (hasShpExtension(e.path())) return true;
    return false;
}

const char* const kShapefileDrivers[] = {"ESRI Shapefile", nullptr};

// A folder of shapefiles for writing; a folder without any yet GDAL opens
// only as a new data source.
DatasetHandle openFolderForWriting(const std::string& path) {
    DatasetHandle ds = openDataset(path, GDAL_OF_VECTOR | GDAL_OF_UPDATE, kShapefileDrivers);
    if (!ds && !hasShapefile(path))
        if (auto* drv = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile")) ds = createDataset(*drv, path);
    return ds;
}

bool isCoverageFolder(const fs::path& dir) {
    std::error_code ec;
    for (const char* f : {"arc.adf", "pal.adf", "ARC.ADF", "PAL.ADF", "arc", "pal"})
        if (fs::is_regular_file(dir / f, ec)) return true;
    return false;
}

}  // namespace

Workspace::Workspace(std::string path, WorkspaceKind kind, DatasetHandle ds, bool readOnly, bool writing)
    : path_(std::move(path)), kind_(kind), ds_(std::move(ds)), readOnly_(readOnly), writing_(writing) {}

Workspace::~Workspace() {
    // Closing may report; the capture keeps that off the console.
    detail::ErrorCapture err;
    if (ds_ && transactionDepth_ > 0) ds_->RollbackTransaction();
    // Nothing is left to write: GDAL's own writes into shapefiles went to
    // disk as they were made, and values went straight into the tables.
    rowWriters_.clear();
    readOnlyClasses_.clear();
    geoPackageRows_.reset();
    ds_.reset();
}

std::shared_ptr<Workspace> Workspace::shared(const std::string& key) {
    std::lock_guard lock(registryMutex());
    auto& r = registry();
    auto it = r.find(key);
    if (it == r.end()) return nullptr;
    auto ws = it->second.lock();
    if (!ws) r.erase(it);
    return ws;
}

void Workspace::remember(const std::string& key, const std::shared_ptr<Workspace>& ws) {
    std::lock_guard lock(registryMutex());
    registry()[key] = ws;
}

std::shared_ptr<Workspace> Workspace::openGeoPackage(const std::string& path) {
    detail::ensureGdal();
    const std::string key = keyOf(path);
    if (auto ws = shared(key); ws && !ws->readOnly()) return ws;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) throw GisError("The geodatabase " + path + " does not exist.");
    if (!geoPackageWritable(path))
        throw GisError("The geodatabase " + path + " is read-only; it cannot be opened for writing.");
    detail::ErrorCapture err;
    const char* drivers[] = {"GPKG", nullptr};
    // Read only until this program writes: GDAL writes into a file opened
    // for writing as it reads it (a count of rows another tool left out),
    // and a run refused, or stopped before it wrote, changes no byte.
    DatasetHandle ds = openDataset(path, GDAL_OF_VECTOR, drivers);
    // GDAL reads a GeoPackage without any table only through a handle that
    // may write: there is nothing in it for a run to refuse.
    const bool writing = !ds;
    if (!ds) ds = openDataset(path, GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers);
    if (!ds) {
        const std::string why = err.message("");
        if (why.find("locked") != std::string::npos || why.find("busy") != std::string::npos)
            throw GisError("The geodatabase " + path + " is locked by another program: " + why);
        throw GisError(why.empty() ? "The file " + path + " is not a valid geodatabase."
                                   : "The geodatabase " + path + " cannot be opened (" + why + ").");
    }
    limitBusyWait(*ds);
    auto ws = std::shared_ptr<Workspace>(new Workspace(path, WorkspaceKind::GeoPackage, std::move(ds), false, writing));
    remember(key, ws);
    return ws;
}

std::shared_ptr<Workspace> Workspace::createGeoPackage(const std::string& path) {
    detail::ensureGdal();
    std::error_code ec;
    if (fs::exists(path, ec)) throw GisError("The geodatabase " + path + " already exists.");
    detail::ErrorCapture err;
    auto* drv = GetGDALDriverManager()->GetDriverByName("GPKG");
    if (!drv) throw GisError("GeoPackage support is missing from GDAL.");
    DatasetHandle ds = createDataset(*drv, path);
    if (!ds) throw GisError(err.message("The geodatabase " + path + " cannot be created."));
    limitBusyWait(*ds);
    auto ws = std::shared_ptr<Workspace>(new Workspace(path, WorkspaceKind::GeoPackage, std::move(ds), false, true));
    remember(keyOf(path), ws);
    return ws;
}

std::shared_ptr<Workspace> Workspace::open(const std::string& pathIn) {
    detail::ensureGdal();
    std::error_code ec;
    fs::path p(pathIn);
    const std::string ext = lowerExtension(pathIn);
    // A GeoPackage that may only be read (a shoreline on read-only media)
    // still serves as input; the project geodatabase goes through
    // openGeoPackage, which insists on writing.
    const bool readOnlyGpkg = fs::is_regular_file(p, ec) && ext == ".gpkg" && !geoPackageWritable(pathIn);
    if (fs::is_regular_file(p, ec) && ext == ".gpkg" && !readOnlyGpkg) return openGeoPackage(pathIn);
    // A shapefile opens its folder. Projects record the name with ".shp",
    // which on a case-sensitive disk need not be how the file is spelt
    // ("Coast.SHP"): the folder finds the class either way.
    if (ext == ".shp" && !fs::is_directory(p, ec)) p = p.parent_path().empty() ? fs::path(".") : p.parent_path();
    const std::string path = p.string();
    if (!fs::exists(p, ec)) throw GisError("The workspace " + path + " does not exist.");
    const std::string key = keyOf(path);
    if (auto ws = shared(key)) return ws;

    detail::ErrorCapture err;
    DatasetHandle ds;
    WorkspaceKind kind = WorkspaceKind::Other;
    bool readOnly = true;
    bool writing = false;
    if (fs::is_directory(p, ec) && isCoverageFolder(p)) {
        const char* drivers[] = {"AVCBin", nullptr};
        ds = openDataset(path, GDAL_OF_VECTOR, drivers);
        kind = WorkspaceKind::Coverage;
    } else if (fs::is_directory(p, ec)) {
        const bool writable = ::access(path.c_str(), W_OK) == 0;
        // Read only: opening a user's folder writes nothing, and neither
        // does letting it go.
        ds = openDataset(path, GDAL_OF_VECTOR, kShapefileDrivers);
        if (!ds && writable && !hasShapefile(p)) {
            ds = openFolderForWriting(path);
            writing = ds != nullptr;
        }
        kind = WorkspaceKind::ShapefileFolder;
        readOnly = !writable;
    } else {
        ds = openDataset(path, GDAL_OF_VECTOR);
        if (readOnlyGpkg) kind = WorkspaceKind::GeoPackage;
    }
    if (!ds) throw GisError(err.message("The workspace " + path + " cannot be opened."));
    auto ws = std::shared_ptr<Workspace>(new Workspace(path, kind, std::move(ds), readOnly, writing));
    if (kind == WorkspaceKind::ShapefileFolder) ws->rememberListing();
    remember(key, ws);
    return ws;
}

std::shared_ptr<Workspace> Workspace::createMemory(const std::string& name) {
    detail::ensureGdal();
    detail::ErrorCapture err;
    auto* drv = GetGDALDriverManager()->GetDriverByName("Memory");
    if (!drv) throw GisError("In-memory feature classes are missing from GDAL.");
    DatasetHandle ds = createDataset(*drv, name);
    if (!ds) throw GisError(err.message("The in-memory workspace " + name + " cannot be created."));
    // Not shared through the registry: every caller gets a workspace of its own.
    return std::shared_ptr<Workspace>(new Workspace("memory:" + name, WorkspaceKind::Memory, std::move(ds), false));
}

std::vector<std::string> Workspace::featureClassNames() const {
    detail::ErrorCapture err;  // shapefiles are opened lazily; a damaged one is left out
    std::vector<std::string> names;
    for (int i = 0; i < ds_->GetLayerCount(); ++i) names.emplace_back(ds_->GetLayer(i)->GetName());
    return names;
}

bool Workspace::hasFeatureClass(const std::string& name) const {
    detail::ErrorCapture err;
    for (int i = 0; i < ds_->GetLayerCount(); ++i)
        if (name == ds_->GetLayer(i)->GetName()) return true;
    return false;
}

std::string Workspace::shapefilePath(const std::string& name) const {
    std::error_code ec;
    std::string shp = path_ + "/" + name + ".shp";
    if (fs::exists(shp, ec)) return shp;
    for (const auto& e : fs::directory_iterator(path_, ec))
        if (hasShpExtension(e.path()) && e.path().stem().string() == name) shp = e.path().string();
    return shp;
}

OGRLayer* Workspace::folderLayer(const std::string& name) const {
    detail::ErrorCapture err;
    for (int i = 0; i < ds_->GetLayerCount(); ++i)
        if (name == ds_->GetLayer(i)->GetName()) return ds_->GetLayer(i);
    return nullptr;
}

void Workspace::rememberListing() {
    detail::ErrorCapture err;
    ds_->GetLayerCount();  // opens every shapefile of the folder now
    listedFiles_.clear();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(path_, ec))
        if (hasShpExtension(e.path())) listedFiles_[e.path().stem().string()] = detail::shapefileStamp(e.path().string());
}

bool Workspace::listedAsOnDisk(const std::string& name) const {
    std::error_code ec;
    const std::string shp = shapefilePath(name);
    if (!fs::exists(shp, ec)) return true;
    const auto it = listedFiles_.find(name);
    return it != listedFiles_.end() && it->second == detail::shapefileStamp(shp);
}

void Workspace::noteOnDisk(const std::string& name) {
    if (kind_ != WorkspaceKind::ShapefileFolder) return;
    listedFiles_[name] = detail::shapefileStamp(shapefilePath(name));
}

bool Workspace::reopenFolder() {
    detail::ErrorCapture err;
    DatasetHandle fresh = openDataset(path_, GDAL_OF_VECTOR, kShapefileDrivers);
    bool writing = false;
    if (!fresh && !readOnly_ && !hasShapefile(path_)) {
        fresh = openFolderForWriting(path_);
        writing = fresh != nullptr;
    }
    const bool opened = fresh != nullptr;
    if (!fresh) {
        // The old handle must go all the same; an empty stand-in answers
        // that the folder's classes cannot be found.
        if (auto* drv = GetGDALDriverManager()->GetDriverByName("Memory")) fresh = createDataset(*drv, path_);
    }
    // Shapefiles opened on their own are opened again when next asked for.
    readOnlyClasses_.clear();
    if (fresh) {
        ds_ = std::move(fresh);
        writing_ = writing;
    }
    return opened;
}

bool Workspace::readFolderAgain() {
    const bool opened = reopenFolder();
    bumpGeneration();
    rememberListing();
    return opened;
}

void Workspace::openForWriting() {
    if ((kind_ != WorkspaceKind::ShapefileFolder && kind_ != WorkspaceKind::GeoPackage) || writing_) return;
    if (readOnly_) throw GisError("The workspace " + path_ + " is read-only.");
    if (kind_ == WorkspaceKind::GeoPackage) {
        // Once for the workspace's life: the handle that writes then reads as well.
        writing_ = true;
        try {
            openAgain();
        } catch (const GisError&) {
            writing_ = false;
            throw;
        }
        return;
    }
    detail::ErrorCapture err;
    DatasetHandle fresh = openFolderForWriting(path_);
    if (!fresh) throw GisError(err.message("The folder " + path_ + " cannot be opened for writing."));
    ds_ = std::move(fresh);
    writing_ = true;
    readOnlyClasses_.clear();
    bumpGeneration();
}

void Workspace::written(const std::string& name) {
    if (kind_ != WorkspaceKind::ShapefileFolder) return;
    detail::ErrorCapture err;
    if (OGRLayer* layer = folderLayer(name))
        if (layer->SyncToDisk() != OGRERR_NONE || err.failed())
            throw GisError(err.message("The changes to " + shapefilePath(name) + " cannot be written to disk."));
    noteOnDisk(name);
    // GDAL writes a changed shapefile's headers again whenever it lets the
    // handle go: it goes now (or as the writes grouped with it end), while
    // the files are still the ones it wrote, never later over files another
    // program may have put in their place.
    if (transactionDepth_ > 0)
        closeWritingAfterTransaction_ = true;
    else
        stopWriting();
}

void Workspace::stopWriting() {
    closeWritingAfterTransaction_ = false;
    if (writing_) readFolderAgain();
}

std::string Workspace::tableOf(const std::string& name) const {
    const std::string dbf = detail::tablePart(detail::shapefileParts(shapefilePath(name)));
    if (dbf.empty()) throw GisError("The shapefile " + name + " has no table.");
    return dbf;
}

std::string Workspace::shapefileFieldTypes(const std::string& name) const {
    const detail::TableFile table(tableOf(name));
    std::string types;
    for (const auto& c : detail::readLayout(table).columns) types += c.type;
    return types;
}

std::shared_ptr<RowsAhead> Workspace::rowsAhead(const std::string& name) {
    auto& ahead = rowsAhead_[name];
    if (!ahead) ahead = std::make_shared<RowsAhead>();
    if (const auto it = rowWriters_.find(name); it != rowWriters_.end() && it->second.writer)
        ahead->publish(it->second.writer->shape());
    return ahead;
}

void Workspace::writerOpened(const std::string& name, const detail::TableRowWriter& writer) {
    if (const auto it = rowsAhead_.find(name); it != rowsAhead_.end()) it->second->publish(writer.shape());
}

void Workspace::writeRowValues(const std::string& name, std::int64_t oid, const detail::ColumnValues& values,
                               const SpeltRow* ahead) {
    auto it = rowWriters_.find(name);
    if (it != rowWriters_.end() && it->second.lost) throw *it->second.lost;
    if (it == rowWriters_.end()) {
        auto writer = std::make_unique<detail::TableRowWriter>(tableOf(name));
        // The values' places are those GDAL read in the table; a table
        // another program rewrote since may hold other fields there.
        try {
            if (OGRLayer* layer = layerOf(name)) writer->requireFields(*layer->GetLayerDefn());
        } catch (const TableReplacedError& e) {
            rowWriters_.emplace(name, RowWrites{nullptr, e});
            throw;
        }
        it = rowWriters_.emplace(name, RowWrites{std::move(writer)}).first;
        writerOpened(name, *it->second.writer);
    }
    // Each widening makes every field the values need as wide as GDAL
    // would; one more try at most is for a table another program changed.
    for (int tries = 0;; ++tries) {
        try {
            it->second.writer->write(oid, values, ahead);
            return;
        } catch (const detail::FieldsWidened& widened) {
            if (tries == 2) throw GisError("The fields of " + name + " cannot be made wide enough for its values.");
            widenFields(name, widened);
            it = rowWriters_.find(name);
        } catch (const TableReplacedError& e) {
            // Nothing more goes into it; the run's end hears of it again.
            it->second.writer.reset();
            it->second.lost = e;
            throw;
        }
    }
}

void Workspace::widenFields(const std::string& name, const detail::FieldsWidened& widened) {
    detail::TableChange change;
    change.widen = widened.descriptions();
    std::string failure;
    try {
        replaceShapefileTable(name, change);
    } catch (const detail::TableNoRoom& e) {
        failure = e.what();
    } catch (const GisError& e) {
        failure = e.what();
    }
    if (!failure.empty())
        throw GisError("A value needs a wider field in " + name + ", and its table cannot be widened (" + failure + ").");
}

bool Workspace::rowWritten(const std::string& name, std::int64_t oid) const {
    const auto it = rowWriters_.find(name);
    return it != rowWriters_.end() && (it->second.lost || (it->second.writer && it->second.writer->wrote(oid)));
}

void Workspace::settleRows(const std::string& name) {
    const auto it = rowWriters_.find(name);
    if (it == rowWriters_.end()) return;
    RowWrites writes = std::move(it->second);
    rowWriters_.erase(it);
    std::optional<TableReplacedError> lost = std::move(writes.lost);
    std::string failure;
    try {
        if (writes.writer) writes.writer->sync();
    } catch (const TableReplacedError& e) {
        lost = e;
    } catch (const platform::FileError& e) {
        failure = e.what();
    }
    writes.writer.reset();
    // GDAL's handle may still hold rows as they were before the values.
    readFolderAgain();
    if (lost) throw *lost;
    if (!failure.empty())
        throw GisError("The values written into " + name + " cannot be put on disk (" + failure + ").");
}

void Workspace::endWrites(const std::string& name) {
    std::string kept;
    if (const auto it = replacedTables_.find(name); it != replacedTables_.end()) {
        for (const auto& table : it->second)
            if (const auto told = table->keepEdit()) kept += " " + *told;
        replacedTables_.erase(it);
    }
    if (kept.empty()) {
        settleRows(name);
        return;
    }
    try {
        settleRows(name);
    } catch (const TableReplacedError& e) {
        throw TableReplacedError(e.what() + kept, e.held());
    } catch (const GisError& e) {
        throw GisError(e.what() + kept);
    }
    throw EditKeptError(kept.substr(1));
}

void Workspace::listAgain(const std::string& name) {
    // Another program wrote the files: they are read as they now are, and
    // nothing of this program's goes into them.
    rowWriters_.erase(name);
    readFolderAgain();
}

void Workspace::clearUnfinishedTable(const std::string& name) const {
    const std::string dbf = detail::tablePart(detail::shapefileParts(shapefilePath(name)));
    if (!dbf.empty()) platform::FileReplacement::clearPartial(dbf);
}

void Workspace::replaceShapefileTable(const std::string& name, const detail::TableChange& change) {
    if (change.nothing()) {
        clearUnfinishedTable(name);
        return;
    }
    const std::string dbf = tableOf(name);
    if (::access(dbf.c_str(), W_OK) != 0) throw GisError("The shapefile " + name + " may only be read.");
    // Values written so far are in the table the new one is made from; the
    // writer would go on writing into the old one. The rows it wrote stay
    // written, in whichever table is there after the change.
    std::unique_ptr<detail::WrittenRows> rows;
    if (const auto it = rowWriters_.find(name); it != rowWriters_.end()) {
        if (it->second.lost) throw *it->second.lost;
        rows = it->second.writer->takeRows();
        rowWriters_.erase(it);
    }
    const auto writeOnIntoTheTableThere = [&] {
        if (!rows) return;
        const auto it = rowWriters_.emplace(name, RowWrites{std::make_unique<detail::TableRowWriter>(dbf, std::move(rows))});
        writerOpened(name, *it.first->second.writer);
    };
    std::string unconfirmed, writtenMeanwhile;
    FileStamp made;
    std::unique_ptr<detail::ReplacedTable> old;
    try {
        detail::replaceTable(dbf, change, &made, &old);
    } catch (const platform::UnconfirmedError& e) {
        unconfirmed = e.what();
    } catch (const platform::WrittenMeanwhileError& e) {
        writtenMeanwhile = e.what();
    } catch (...) {
        writeOnIntoTheTableThere();
        throw;
    }
    // The new table as it now is, once it is surely the one renamed into
    // place: another program's table moved over it at once is not.
    const FileStamp placed = stampOfFile(dbf);
    writeOnIntoTheTableThere();
    // A change that fails here ends the writer's work: the table it took
    // out of place is let go, and an edit kept beside is told with it.
    const auto failure = [&](std::string text) {
        if (const auto kept = old ? old->keepEdit() : std::nullopt) text += " " + *kept;
        old.reset();
        return text;
    };
    // GDAL's handle still reads the table that was replaced.
    if (!readFolderAgain())
        throw PartlyChangedError(failure("The table of " + name + " was changed, but its folder " + path_ +
                                         " cannot be opened again."));
    // GDAL now reads whatever is at the path: unless that is still the new
    // table, the fields it was made for are not those read.
    if (!writtenMeanwhile.empty()) throw detail::TableChangedError(failure(writtenMeanwhile));
    if (placed.device != made.device || placed.inode != made.inode || stampOfFile(dbf) != placed)
        throw detail::TableChangedError(failure("The table " + dbf +
                                                " was replaced or written by another program just as this program put "
                                                "its new version in place; the other program's table is kept as it is."));
    if (!unconfirmed.empty()) throw PartlyChangedError(failure("The table of " + name + " was changed. " + unconfirmed));
    replacedTables_[name].push_back(std::move(old));
}

std::shared_ptr<FeatureClass> Workspace::openFeatureClass(const std::string& name) {
    // A shapefile copied into the folder after it was listed, or in place of
    // one listed then, is the file the user means: it is read as it now is.
    if (kind_ == WorkspaceKind::ShapefileFolder) {
        if (rowWriters_.count(name))
            settleRows(name);  // the files changed by this program's own values
        else if (!listedAsOnDisk(name))
            listAgain(name);
    }
    // So is a geodatabase's layer whose fields another program changed (a
    // field added by a desktop GIS while the project is open).
    if (kind_ == WorkspaceKind::GeoPackage && transactionDepth_ == 0)
        if (OGRLayer* layer = layerOf(name))
            if (const auto columns = columnsOnDisk(*ds_, *layer); columns && *columns != fieldsKnown(*layer)) openAgain();
    detail::ErrorCapture err;
    if (!layerOf(name)) {
        std::error_code ec;
        const std::string shp = shapefilePath(name);
        if (kind_ == WorkspaceKind::ShapefileFolder && fs::exists(shp, ec))
            throw GisError(err.message("The shapefile " + shp + " is damaged or incomplete."));
        throw GisError("The feature class " + name + " does not exist.");
    }
    return std::make_shared<FeatureClass>(shared_from_this(), name);
}

OGRLayer* Workspace::layerOf(const std::string& name) const {
    if (OGRLayer* layer = folderLayer(name)) return layer;
    for (const auto& [n, ds] : readOnlyClasses_)
        if (n == name) return ds->GetLayer(0);
    if (kind_ != WorkspaceKind::ShapefileFolder) return nullptr;
    std::error_code ec;
    const std::string shp = shapefilePath(name);
    if (!fs::exists(shp, ec)) return nullptr;
    detail::ErrorCapture err;
    DatasetHandle alone = openDataset(shp, GDAL_OF_VECTOR);
    OGRLayer* layer = alone && alone->GetLayerCount() == 1 ? alone->GetLayer(0) : nullptr;
    if (!layer || name != layer->GetName()) return nullptr;
    readOnlyClasses_.emplace_back(name, std::move(alone));
    return layer;
}

std::shared_ptr<FeatureClass> Workspace::createFeatureClass(const std::string& name, GeometryType type,
                                                            const std::vector<FieldDef>& attributeFields,
                                                            const SpatialReference& sr) {
    if (name.empty()) throw GisError("A feature class needs a name.");
    if (readOnly_) throw GisError("The workspace " + path_ + " is read-only.");
    openForWriting();
    detail::ErrorCapture err;
    // The stores compare table names without regard to case.
    for (int i = 0; i < ds_->GetLayerCount(); ++i)
        if (equalsIgnoreCase(name, ds_->GetLayer(i)->GetName()))
            throw GisError("The table " + name + " already exists.");
    {
        std::vector<std::string> seen;
        for (const auto& f : attributeFields) {
            for (const auto& s : seen)
                if (equalsIgnoreCase(s, f.name)) throw GisError("Field " + f.name + " is given twice.");
            seen.push_back(f.name);
        }
    }
    OGRwkbGeometryType gt = wkbNone;
    switch (type) {
        case GeometryType::Point: gt = wkbPoint; break;
        case GeometryType::Polyline: gt = wkbLineString; break;
        case GeometryType::Polygon: gt = wkbPolygon; break;
        case GeometryType::None: gt = wkbUnknown; break;
    }
    CPLStringList opts;
    if (kind_ == WorkspaceKind::GeoPackage) {
        opts.SetNameValue("FID", "OBJECTID");
        opts.SetNameValue("GEOMETRY_NAME", "shape");
        // Work classes live for one site: an index would cost more than it saves.
        opts.SetNameValue("SPATIAL_INDEX", "NO");
    }
    OGRLayer* layer = ds_->CreateLayer(name.c_str(), const_cast<OGRSpatialReference*>(sr.ogr()), gt, opts.List());
    if (!layer) throw GisError(err.message("The feature class " + name + " cannot be created in " + path_ + "."));
    for (const auto& f : attributeFields) {
        auto fd = detail::makeOgrField(f);
        if (layer->CreateField(fd.get()) != OGRERR_NONE) {
            const std::string msg = err.message("Field " + f.name + " cannot be created in " + name + " in " + path_ + ".");
            // Leave nothing half-made behind.
            for (int i = 0; i < ds_->GetLayerCount(); ++i)
                if (ds_->GetLayer(i) == layer) ds_->DeleteLayer(i);
            bumpGeneration();
            throw GisError(msg);
        }
    }
    // Make the table now, not at the first write, so that a class made
    // before a transaction outlives the transaction's rollback.
    layer->SyncToDisk();
    if (kind_ == WorkspaceKind::ShapefileFolder) {
        // GDAL writes a new shapefile's table only as it lets it go: a
        // handle that still holds it would write it later, over whatever
        // the files then are.
        readFolderAgain();
    }
    noteOnDisk(name);
    if (transactionDepth_ > 0) schemaChangedInTransaction_ = true;
    bumpGeneration();
    return std::make_shared<FeatureClass>(shared_from_this(), name);
}

void Workspace::deleteFeatureClass(const std::string& name) {
    if (readOnly_) throw GisError("The workspace " + path_ + " is read-only.");
    openForWriting();
    rowWriters_.erase(name);
    for (int i = 0; i < ds_->GetLayerCount(); ++i) {
        if (name == ds_->GetLayer(i)->GetName()) {
            detail::ErrorCapture err;
            if (ds_->DeleteLayer(i) != OGRERR_NONE)
                throw GisError(err.message("The feature class " + name + " cannot be deleted from " + path_ + "."));
            if (transactionDepth_ > 0) schemaChangedInTransaction_ = true;
            bumpGeneration();
            for (auto it = altered_.begin(); it != altered_.end(); ++it)
                if (it->first == name) {
                    altered_.erase(it);
                    break;
                }
            return;
        }
    }
    throw GisError("The feature class " + name + " does not exist.");
}

std::optional<SpatialReference> Workspace::alteredSpatialReference(const std::string& name) const {
    for (const auto& [n, sr] : altered_)
        if (n == name) return sr;
    return std::nullopt;
}

void Workspace::setAlteredSpatialReference(const std::string& name, const SpatialReference& sr) {
    // A rollback undoes the change in the file; reopening then shows the old reference.
    if (transactionDepth_ > 0) schemaChangedInTransaction_ = true;
    for (auto& [n, s] : altered_)
        if (n == name) {
            s = sr;
            return;
        }
    altered_.emplace_back(name, sr);
}

void Workspace::stampRowsWritten() {
    if (geoPackageRows_) geoPackageRows_->stampChanges();
}

detail::GeoPackageRows::Outcome Workspace::updateRowValues(OGRLayer& layer, std::int64_t oid,
                                                           const detail::ColumnValues& values) {
    if (kind_ != WorkspaceKind::GeoPackage || readOnly_) return detail::GeoPackageRows::Outcome::NotHandled;
    return rowsOnFile().write(layer, oid, values);
}

detail::GeoPackageRows& Workspace::rowsOnFile() {
    if (!geoPackageRows_ || geoPackageRowsGeneration_ != generation_) {
        geoPackageRows_.reset();
        geoPackageRows_ = std::make_unique<detail::GeoPackageRows>(*ds_);
        geoPackageRowsGeneration_ = generation_;
    }
    return *geoPackageRows_;
}

Workspace::Transaction::Transaction(Workspace& ws) : ws_(ws) {
    if (ws_.transactionDepth_ == 0) {
        if (ws_.kind_ == WorkspaceKind::GeoPackage && !ws_.readOnly_) ws_.openForWriting();
        detail::ErrorCapture err;
        if (ws_.ds_->StartTransaction(FALSE) == OGRERR_NONE) {
            owner_ = true;
            if (ws_.kind_ == WorkspaceKind::GeoPackage) {
                try {
                    ws_.rowsOnFile().lockForWriting(ws_.path_);
                } catch (const GisError&) {
                    ws_.ds_->RollbackTransaction();
                    throw;
                }
            }
        } else if (ws_.kind_ == WorkspaceKind::GeoPackage) {
            throw GisError(err.message("The geodatabase " + ws_.path_ + " cannot start a transaction."));
        }
    }
    ++ws_.transactionDepth_;
}

Workspace::Transaction::~Transaction() {
    --ws_.transactionDepth_;
    if (ws_.transactionDepth_ == 0 && ws_.closeWritingAfterTransaction_) {
        try {
            ws_.stopWriting();
        } catch (const std::exception&) {
            // The folder is opened again by the next use of the workspace.
        }
    }
    if (owner_ && !done_) {
        detail::ErrorCapture err;
        ws_.ds_->RollbackTransaction();
        try {
            ws_.afterRollback();
        } catch (const GisError&) {
            // Reported by the next use of the workspace.
        }
    }
    if (owner_) ws_.schemaChangedInTransaction_ = false;
}

void Workspace::openAgain() {
    // The new handle is opened before the old one is let go, so that a
    // file that cannot be opened again leaves a handle that still answers.
    detail::ErrorCapture err;
    DatasetHandle fresh = openDataset(path_, GDAL_OF_VECTOR | (writing_ ? GDAL_OF_UPDATE : 0));
    if (!fresh) {
        bumpGeneration();
        const std::string what = "The geodatabase " + path_ + " cannot be opened again";
        if (err.saidDiskFull()) throw DiskFullError(err.message(what + ": " + platform::kDiskFullText + "."));
        throw GisError(err.message(what + "."));
    }
    geoPackageRows_.reset();
    ds_ = std::move(fresh);
    if (kind_ == WorkspaceKind::GeoPackage) limitBusyWait(*ds_);
    bumpGeneration();
}

void Workspace::afterRollback() {
    if (schemaChangedInTransaction_) {
        // GDAL keeps its layer list after a rollback; classes made or deleted
        // inside the transaction are only right again after a reopen.
        schemaChangedInTransaction_ = false;
        openAgain();
        // The reopened file now tells the references itself; changes made
        // before the transaction stay known when nothing was reopened.
        altered_.clear();
    }
    bumpGeneration();
}

void Workspace::Transaction::commit() {
    if (done_) return;
    done_ = true;
    if (!owner_) return;
    detail::ErrorCapture err;
    if (ws_.ds_->CommitTransaction() != OGRERR_NONE) {
        const bool full = err.saidDiskFull();
        const std::string msg = err.message("The changes cannot be saved to " + ws_.path_ +
                                            (full ? std::string(": ") + platform::kDiskFullText : std::string()) + ".");
        ws_.ds_->RollbackTransaction();
        ws_.afterRollback();
        if (full) throw DiskFullError(msg);
        throw GisError(msg);
    }
}

namespace {

std::string pragmaText(GDALDataset& ds, const char* sql) {
    detail::ErrorCapture err;
    std::string out;
    const detail::SqlResult result(ds, sql);
    if (OGRLayer* r = result.layer())
        if (OGRFeatureUniquePtr f{r->GetNextFeature()}) out = f->GetFieldAsString(0);
    return lowerAscii(out);
}

}  // namespace

Workspace::QuickCommits::QuickCommits(Workspace& ws) : ws_(ws) {
    if (ws_.kind_ != WorkspaceKind::GeoPackage || ws_.readOnly_ || ws_.transactionDepth_ > 0) return;
    ws_.openForWriting();
    if (pragmaText(*ws_.ds_, "PRAGMA journal_mode = WAL") != "wal") return;
    pragmaText(*ws_.ds_, "PRAGMA synchronous = NORMAL");
    cacheSize_ = pragmaText(*ws_.ds_, "PRAGMA cache_size");
    checkpointPages_ = pragmaText(*ws_.ds_, "PRAGMA wal_autocheckpoint");
    pragmaText(*ws_.ds_, "PRAGMA cache_size = -32768");
    pragmaText(*ws_.ds_, "PRAGMA wal_autocheckpoint = 8192");
    // A site's update fires the layer's index triggers, for which SQLite
    // keeps a statement journal: in memory it costs no write to disk.
    tempStore_ = pragmaText(*ws_.ds_, "PRAGMA temp_store");
    pragmaText(*ws_.ds_, "PRAGMA temp_store = MEMORY");
    on_ = true;
}

Workspace::QuickCommits::~QuickCommits() {
    if (!on_ || ws_.transactionDepth_ > 0) return;
    const auto whole = [](const std::string& v) {
        return !v.empty() && v.find_first_not_of("-0123456789") == std::string::npos;
    };
    if (whole(cacheSize_)) pragmaText(*ws_.ds_, ("PRAGMA cache_size = " + cacheSize_).c_str());
    if (whole(checkpointPages_)) pragmaText(*ws_.ds_, ("PRAGMA wal_autocheckpoint = " + checkpointPages_).c_str());
    if (whole(tempStore_)) pragmaText(*ws_.ds_, ("PRAGMA temp_store = " + tempStore_).c_str());
    // Back to a single file: the log is checkpointed into it and removed.
    pragmaText(*ws_.ds_, "PRAGMA synchronous = FULL");
    pragmaText(*ws_.ds_, "PRAGMA journal_mode = DELETE");
}

}  // namespace quor::platform::gis
