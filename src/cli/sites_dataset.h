#pragma once
// A run with --output computes a copy of the sites (all of them, or one
// part of them), made in their own format in a folder of its own, where
// the run writes exactly as it would in place; the sites' own files are
// only ever read. GDAL's writers then put the copy, results and all, into
// the output dataset, which appears whole or not at all.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "cli/run_inputs.h"
#include "cli/run_options.h"

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
// GDAL's reason.
SitesSource copySites(const SitesSource& sites, const std::optional<SiteRange>& range, const std::string& folder);

// Where --output writes, checked before the run starts: a format known by
// its extension, a folder that exists, not the sites themselves, and no
// existing dataset (or metadata file of an RWE run) unless --overwrite.
struct OutputTarget {
    std::string path;
    std::string driver;       // GDAL's name of the format
    std::string metadata;     // the run's metadata file beside it
};
OutputTarget outputTarget(const RunOptions& options, const SitesSource& sites);

// Writes the computed copy into the output, in place of an existing one;
// `stop` is asked as it goes and, when it answers true, nothing is
// written. `finish` is given the output as made, before it takes its
// place; `progress` the share copied. std::runtime_error with GDAL's
// reason; nothing is left behind.
void writeOutput(const SitesSource& computed, const std::string& computedMetadata, const OutputTarget& target,
                 const std::function<bool()>& stop,
                 const std::function<void(const std::string& made)>& finish = {},
                 const std::function<void(double)>& progress = {});

}  // namespace quor::cli
