#pragma once
// What an --output records of itself, so that its parts can be told
// apart and put together only when they make one whole: the program and
// its version, the model, part K of N and its sites' range, a digest of
// its own rows as written, the source sites (their file, count and a
// digest of their ids, values and geometries), a digest of each input
// file and every setting the results depend on.
// A GeoPackage keeps it inside, in GDAL's metadata; every output also
// keeps it in the metadata file beside it (the RWE run's, or an REI
// one), so that it travels with formats that keep no metadata.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/run_inputs.h"
#include "cli/run_options.h"
#include "cli/sites_dataset.h"
#include "model/model_state.h"
#include "platform/gis/layer_sequence.h"

namespace quor::cli {

struct InputDigest {
    std::string name;    // "bathymetry", "shoreline", "wind"
    std::string path;
    std::string digest;  // SHA-256 of the file, or of sha256sum's lines for a dataset of several files
};

struct PartRecord {
    std::string program = kProgramName;
    std::string version;
    Model model = Model::Rwe;
    int part = 1, parts = 1;
    std::int64_t firstSite = 0, sites = 0;
    std::string rowsDigest;  // of the output's rows as readRows takes them; none in an earlier version's record
    std::string source, sourceLayer;
    std::int64_t sourceCount = 0;
    std::string sourceDigest;
    std::vector<InputDigest> inputs;
    std::vector<std::pair<std::string, std::string>> settings;  // by option name, in --help's order
};

// The record of a run over `range` of the sites, its inputs and settings
// taken. BadInput when a file cannot be read for its digest.
PartRecord runRecord(const RunOptions& options, const model::ApplicationState& app, const SitesSource& source,
                     std::int64_t sourceCount, const SiteRange& range);

// The record as name/value pairs, in a fixed order, and back; nothing
// when an item is missing or unreadable.
std::vector<std::pair<std::string, std::string>> recordItems(const PartRecord& record);
std::optional<PartRecord> recordOf(const std::vector<std::pair<std::string, std::string>>& items);

// How an output's one layer is read: as GDAL reads it, and a CSV file as
// the runs write it (GEOMETRY=AS_XY), its X and Y as the points, numbers
// as numbers of their width, quoted text as text, so that each value
// reads as the run wrote it.
platform::gis::LayerSource outputLayer(const std::string& output);

// The digest of an output's rows, to be recorded: platform::gis::readRows'.
// GisError when it cannot be read.
std::string rowsDigestOf(const std::string& output);

// The metadata file beside an output of the model.
// The metadata file beside an output of the model whose sites' layer is
// `layer` (which names it when the output is a GeoPackage).
std::string metadataFileOf(const std::string& output, const std::string& layer, Model model);

// Writes the record into an output being made: inside it when `driver`
// keeps metadata, and at the end of its metadata file (made when there is
// none). GisError or FileError.
void writeRecord(const PartRecord& record, const std::string& output, const std::string& driver);

// The record an output keeps: inside a GeoPackage, in the metadata file
// beside any other. Nothing when there is none.
std::optional<PartRecord> readRecord(const std::string& output);

// The metadata file's lines without the record.
std::vector<std::string> withoutRecord(const std::vector<std::string>& lines);

// The --json line's object with the record's fields added.
std::string jsonWithRecord(const std::string& json, const PartRecord& record);

}  // namespace quor::cli
