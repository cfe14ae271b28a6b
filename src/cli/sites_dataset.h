#pragma once
// A run with --output computes a copy of the sites (all of them, or one
// part of them), made in their own format in a folder of its own, where
// the run writes exactly as it would in place; the sites' own files are
// only ever read. The copy, results and all, then becomes the output as it
// is when it is in the output's format, else through GDAL's writers; the
// output appears whole or not at all.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/run_inputs.h"
#include "cli/run_options.h"
#include "platform/gis/layer_sequence.h"

namespace quor::cli {

// How many sites the layer holds, read without a handle that could write.
// BadInput when the layer is missing or the file cannot be read.
std::int64_t siteCount(const SitesSource& sites);

// The sites of part K of N: [first, first + count) in their order.
struct SiteRange {
    std::int64_t first = 0;
    std::int64_t count = 0;
};
SiteRange partRange(std::int64_t sites, const std::optional<Part>& part);

// Copies the sites (those of `range`, or all) into `folder`, in their
// format and under the layer's name; the copy's place. GisError with
// GDAL's reason; BadInput naming $TMPDIR (the folder's parent) when its
// disk has no room for the copy.
SitesSource copySites(const SitesSource& sites, const std::optional<SiteRange>& range, const std::string& folder);
// What the user is told when the working copy in `temp` ($TMPDIR) runs out
// of room, at the copy or later, as the run writes its results into it.
std::string workingCopyDoesNotFit(const std::string& temp);

// Where --output writes, checked before the run starts: a format known by
// its extension, a folder that exists, no file of the output's set that
// exists (unless --overwrite) and none that is one of the run's inputs
// (even with --overwrite).
struct OutputTarget {
    std::string path;
    std::string driver;       // GDAL's name of the format
    std::string layer;        // the sites' layer name, which a GeoPackage output keeps
    std::string metadata;     // the run's metadata file beside it
    bool overwrite = false;
    std::vector<std::string> inputs;  // every file the run reads, which the output never replaces
};
// `inputs` are the files (or folders) the run reads. BadInput naming
// --output and the file in the way.
OutputTarget outputTarget(const RunOptions& options, const SitesSource& sites, std::vector<std::string> inputs);

// Why the output would not keep every name and value of the rows of
// `layers` (copies of layers of the format GDAL names `declaredIn`; of one
// layer only those of `range`, when given) as they are, naming each field
// it would change and the formats that keep them all; nothing when it
// keeps them. GisError when a layer cannot be read.
std::optional<std::string> unkeptByOutput(const OutputTarget& target,
                                          const std::vector<platform::gis::LayerSource>& layers,
                                          const std::optional<SiteRange>& range = {},
                                          const std::string& declaredIn = {});

// The files of the output's set that exist: for a shapefile its .shp .shx
// .dbf .prj .cpg .qix .sbn .sbx .shp.xml (either case), for a GeoPackage
// the file and its -wal -shm -journal, else the file; and the metadata file.
std::vector<std::string> existingOutputFiles(const OutputTarget& target);

// Writes the computed copy into the output, made in `staging` (a folder
// of the run's own beside it) and moved into place once whole: the old
// set (with --overwrite) stays until then, and goes back when the move
// fails, or at the next run when this one is killed during the move
// (output_move.h); without --overwrite, a file of the set that appeared meanwhile
// is never renamed over. `stop` is asked as it goes and, when it answers
// true, nothing is written. The output's metadata file holds the computed
// copy's lines (when there is one) with the line naming the dataset naming
// the output. `finish` is given the output as made, before
// it takes its place; `progress` the share copied. std::runtime_error with
// the reason; nothing is left behind.
void writeOutput(const SitesSource& computed, const std::string& computedMetadata, const OutputTarget& target,
                 const std::string& staging, const std::function<bool()>& stop,
                 const std::function<void(const std::string& made)>& finish = {},
                 const std::function<void(double)>& progress = {});

}  // namespace quor::cli
