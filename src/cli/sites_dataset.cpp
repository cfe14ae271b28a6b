#include "cli/sites_dataset.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "cli/output_move.h"
#include "platform/ascii_case.h"
#include "platform/disk_writes.h"
#include "platform/file_stamp.h"
#include "platform/folders.h"
#include "platform/gis/format_keeping.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/vector_copy.h"
#include "platform/textfile.h"
#include "project/metadata_file.h"

namespace quor::cli {

namespace {

namespace fs = std::filesystem;
namespace pg = platform::gis;
using platform::endsWithNoCase;

// The layer a shapefile is read as: its file's name without ".shp".
std::string layerOf(const SitesSource& sites) {
    return sites.geodatabase() ? sites.layer : fs::path(sites.path).stem().string();
}

// What may stand at one of the output's names: a file (or a link), which
// --overwrite replaces, or a folder, which no output ever replaces.
enum class Entry { File, Folder };

bool present(const fs::path& path, Entry entry = Entry::File) {
    std::error_code ec;
    const auto status = fs::symlink_status(path, ec);
    return fs::exists(status) && fs::is_directory(status) == (entry == Entry::Folder);
}

// The files (or the folders) of the shapefile at `path` that exist:
// "x.shp" and the companions GDAL and other programs keep beside it, in
// either case.
std::vector<fs::path> filesOf(const fs::path& path, Entry entry = Entry::File) {
    static const char* const kCompanions[] = {".shp", ".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx", ".qpj"};
    std::vector<fs::path> files;
    std::error_code ec;
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    const std::string stem = path.stem().string();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0) continue;
        std::error_code ignored;
        if (it->is_directory(ignored) != (entry == Entry::Folder)) continue;
        const std::string rest = name.substr(stem.size());
        bool member = endsWithNoCase(rest, ".shp.xml") && rest.size() == 8;
        for (const char* companion : kCompanions) member = member || (rest.size() == 4 && endsWithNoCase(rest, companion));
        if (member) files.push_back(it->path());
    }
    return files;
}

// The files an input is read from: a shapefile's companions, a
// GeoPackage's journals, the files of a folder (a raster grid's).
std::vector<fs::path> filesRead(const std::string& input) {
    std::error_code ec;
    if (fs::is_directory(input, ec)) {
        std::vector<fs::path> files;
        int left = 10000;  // a grid's folder holds a few dozen
        for (fs::recursive_directory_iterator it(input, ec), end; !ec && it != end && left-- > 0; it.increment(ec))
            files.push_back(it->path());
        return files;
    }
    const std::string ext = platform::lowerExtension(input);
    if (ext == ".shp" || ext == ".shx" || ext == ".dbf") {
        auto files = filesOf(fs::path(input).replace_extension(".shp"));
        files.emplace_back(input);
        return files;
    }
    if (ext == ".gpkg") return {input, input + "-wal", input + "-shm", input + "-journal"};
    return {input};
}

// The first of `files` that is one of the files the inputs are read
// from, and that input; nothing when none is.
std::optional<std::pair<std::string, std::string>> inputAmong(const std::vector<std::string>& files,
                                                               const std::vector<std::string>& inputs) {
    std::vector<std::pair<platform::FileStamp, std::string>> read;
    for (const auto& input : inputs)
        for (const auto& f : filesRead(input))
            if (const auto id = platform::stampOfFile(f.string()); id.exists) read.emplace_back(id, input);
    for (const auto& file : files) {
        const platform::FileStamp id = platform::stampOfFile(file);
        for (const auto& [inputId, input] : read)
            if (platform::sameFile(id, inputId)) return std::make_pair(file, input);
    }
    return std::nullopt;
}

std::string inputRefusal(const std::pair<std::string, std::string>& clash) {
    return clash.first + " is " + (clash.first == clash.second ? "" : "a file of ") + "the run's input " +
           clash.second + ", which no output replaces, --overwrite or not.";
}

// Text and shapefiles keep text as UTF-8 whatever GDAL's default; a
// FlatGeobuf keeps the sites' order rather than one sorted for an index.
std::vector<std::string> layerOptions(const std::string& driver) {
    if (driver == "CSV") return {"GEOMETRY=AS_XY"};
    if (driver == "FlatGeobuf") return {"SPATIAL_INDEX=NO"};
    if (driver == "ESRI Shapefile") return {"ENCODING=UTF-8"};
    return {};
}

// The names of the output's set where a file (or a folder) stands.
std::vector<std::string> outputSetEntries(const OutputTarget& t, Entry entry) {
    const fs::path out = fs::absolute(t.path);
    std::vector<std::string> files;
    if (t.driver == "ESRI Shapefile") {
        // The .shp first: it is the file that names the set.
        for (const auto& f : filesOf(out, entry))
            files.insert(f.filename() == out.filename() ? files.begin() : files.end(), f.string());
    } else {
        for (const char* end : {"", "-wal", "-shm", "-journal"})
            if ((*end == '\0' || t.driver == "GPKG") && present(out.string() + end, entry))
                files.push_back(out.string() + end);
    }
    if (!t.metadata.empty() && present(fs::absolute(t.metadata), entry))
        files.push_back(fs::absolute(t.metadata).string());
    return files;
}

std::string folderRefusal(const std::string& folder) {
    return folder + " is a folder where a file of the output goes; no output replaces a folder, --overwrite or not.";
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

namespace {

SitesSource copyOf(const SitesSource& sites, const std::optional<SiteRange>& range, const std::string& folder) {
    const std::string layer = layerOf(sites);
    SitesSource copy;
    pg::LayerCopy request;
    request.source = sites.path;
    request.layer = layer;
    if (sites.geodatabase()) {
        copy = {folder + "/" + fs::path(sites.path).filename().string(), layer};
        if (!range && pg::copyGeoPackageOfLayer(sites.path, layer, copy.path)) return copy;
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

}  // namespace

SitesSource copySites(const SitesSource& sites, const std::optional<SiteRange>& range, const std::string& folder) {
    try {
        return copyOf(sites, range, folder);
    } catch (const pg::DiskFullError&) {
        throw BadInput(workingCopyDoesNotFit(fs::path(folder).parent_path().string()));
    }
}

std::string workingCopyDoesNotFit(const std::string& temp) {
    return "the working copy of the sites does not fit in $TMPDIR (" + temp + "): " + platform::kDiskFullText +
           "; TMPDIR may name a folder with more room.";
}

OutputTarget outputTarget(const RunOptions& o, const SitesSource& sites, std::vector<std::string> inputs) {
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
    if (fs::is_directory(t.path, ec)) throw badOption("--output", t.path, "this is a folder, not a file.");
    if (fs::equivalent(t.path, sites.path, ec) || fs::absolute(t.path) == fs::absolute(sites.path))
        throw badOption("--output", t.path, "this is the sites' own file, which --output leaves as it is.");
    t.layer = layerOf(sites);
    t.metadata = project::metadataPath(t.path, t.layer, o.model == Model::Rwe ? project::kRweMetadataEnd
                                                                             : project::kReiMetadataEnd);
    t.overwrite = o.has("--overwrite");
    inputs.push_back(sites.path);
    t.inputs = std::move(inputs);
    if (const auto folders = outputSetEntries(t, Entry::Folder); !folders.empty())
        throw badOption("--output", t.path, folderRefusal(folders.front()));
    const auto existing = existingOutputFiles(t);
    if (const auto clash = inputAmong(existing, t.inputs)) throw badOption("--output", t.path, inputRefusal(*clash));
    if (!t.overwrite && !existing.empty())
        throw badOption("--output", t.path, existing.front() + " exists; --overwrite replaces it.");
    return t;
}

std::vector<std::string> existingOutputFiles(const OutputTarget& t) { return outputSetEntries(t, Entry::File); }

std::optional<std::string> unkeptByOutput(const OutputTarget& target, const std::vector<pg::LayerSource>& layers,
                                          const std::optional<SiteRange>& range, const std::string& declaredIn) {
    std::optional<pg::FeatureRange> rows;
    if (range) rows = pg::FeatureRange{range->first, range->count};
    std::string said;
    for (const auto& u : pg::unkeptFields(target.driver, layers, rows, declaredIn))
        said += (said.empty() ? "" : "; ") + ("the field " + u.field + " " + u.why);
    if (said.empty()) return std::nullopt;
    return said + ". A GeoPackage (.gpkg) or a FlatGeobuf (.fgb) output keeps them as they are.";
}

namespace {

// The computed copy's files when they already are the output as GDAL
// would write it: a copy in the output's own format, which then needs no
// second spelling of every row. Nothing when the output is another format,
// or the copy is not one file set GDAL has closed.
std::optional<std::vector<fs::path>> filesAsOutput(const SitesSource& computed, const OutputTarget& target) {
    const std::string ext = fs::path(target.path).extension().string();
    const std::string made = platform::lowerExtension(computed.path);
    if (target.driver == "GPKG" && made == ".gpkg") {
        for (const char* journal : {"-wal", "-journal"})
            if (present(computed.path + journal)) return std::nullopt;
        return std::vector<fs::path>{computed.path};
    }
    // GDAL names a shapefile's companions in the case of its extension: a
    // lower-case one keeps the copy's names as they are.
    if (target.driver == "ESRI Shapefile" && made == ".shp" && ext == ".shp") return filesOf(computed.path);
    return std::nullopt;
}

// Puts the copy's files into `making` under the output's name: moved when
// the disk is the same, else copied.
void takeFiles(const std::vector<fs::path>& files, const fs::path& computedMain, const fs::path& made) {
    const std::string stem = computedMain.stem().string();
    for (const auto& file : files) {
        const std::string name = file.filename().string();
        const fs::path to = made.parent_path() / (made.stem().string() + name.substr(stem.size()));
        if (::rename(file.c_str(), to.c_str()) == 0) continue;
        if (errno != EXDEV)
            throw std::runtime_error("The output cannot be made from " + file.string() + ": " + std::strerror(errno));
        std::error_code ec;
        if (!fs::copy_file(file, to, ec))
            throw std::runtime_error("The output cannot be made from " + file.string() + ": " + ec.message());
    }
}

}  // namespace

void writeOutput(const SitesSource& computed, const std::string& computedMetadata, const OutputTarget& target,
                 const std::string& staging, const std::function<bool()>& stop,
                 const std::function<void(const std::string& made)>& finish, const std::function<void(double)>& progress) {
    const fs::path out = fs::absolute(target.path);
    const fs::path making = fs::path(staging) / "new";
    std::error_code ec;
    if (!fs::create_directory(making, ec) && ec)
        throw std::runtime_error("The output cannot be made in " + staging + ": " + ec.message());
    const fs::path made = making / out.filename();
    if (const auto files = filesAsOutput(computed, target)) {
        if (!stop()) takeFiles(*files, computed.path, made);
    } else {
        pg::LayerCopy request{computed.path, layerOf(computed), made.string(), target.driver,
                              layerOptions(target.driver), {}};
        pg::copyLayer(request, [&](double done) {
            if (progress) progress(done);
            return !stop();
        });
    }
    if (stop()) throw std::runtime_error("The output was not written: the run was stopped.");
    const fs::path metadataName = fs::path(target.metadata).filename();
    std::vector<std::string> metadata;
    if (!computedMetadata.empty() && fs::exists(computedMetadata, ec))
        metadata = platform::readTextLines(computedMetadata);
    platform::writeTextLines((making / metadataName).string(),
                             project::withPointData(metadata, out.string(), target.layer));
    if (finish) finish(made.string());
    // The main file first: a second run to the same output meets it first.
    // The metadata file last, once the files it describes are in place.
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(making)) files.push_back(e.path());
    const auto rank = [&](const fs::path& f) {
        return f.filename() == out.filename() ? 0 : f.filename() == metadataName ? 2 : 1;
    };
    std::sort(files.begin(), files.end(), [&](const fs::path& a, const fs::path& b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : a < b;
    });
    // Checked again at the move: an input, or a folder, may have come into
    // the output's place meanwhile.
    for (const auto& f : files)
        if (present(out.parent_path() / f.filename(), Entry::Folder))
            throw std::runtime_error((out.parent_path() / f.filename()).string() +
                                     " appeared as a folder while the run computed, where a file of the output goes; "
                                     "no output replaces a folder.");
    std::vector<std::string> there = existingOutputFiles(target);
    for (const auto& f : files) there.push_back((out.parent_path() / f.filename()).string());
    if (const auto clash = inputAmong(there, target.inputs)) throw std::runtime_error(inputRefusal(*clash));
    std::vector<fs::path> old;
    if (target.overwrite) {
        for (const auto& f : existingOutputFiles(target)) old.emplace_back(f);
        for (const auto& f : files)
            if (const fs::path there = out.parent_path() / f.filename();
                present(there) && std::find(old.begin(), old.end(), there) == old.end())
                old.push_back(there);
    } else if (const auto appeared = existingOutputFiles(target); !appeared.empty()) {
        // A file of the set that appeared meanwhile (an index, a journal)
        // would be read with the new output: it stays, and so does
        // everything else.
        throw std::runtime_error(appeared.front() + " appeared while the run computed; --overwrite replaces it.");
    }
    moveOutputIn(files, out.parent_path(), old, staging, target.overwrite);
}

}  // namespace quor::cli
