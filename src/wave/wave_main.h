#pragma once
// The RWE run driver: one run of the wave model over every site of a
// point dataset. Per site it samples the depth, casts the fan, measures
// the effective fetch (clipping at the shoreline or stepping over the
// bathymetry), grows the waves, sums the exposure and writes the site's
// results; a site whose step fails gets its status code and the run goes
// on. Whatever ends the run, its clean-up runs.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gis/ray_site.h"
#include "model/run_shell.h"
#include "platform/gis/feature_class.h"

namespace quor::wave {

namespace pg = platform::gis;

inline constexpr const char* kCancelQuestion = "Are you sure to cancel the process?";
inline constexpr const char* kCouldNotRun = " Could not run the model";
inline constexpr const char* kProcessingDone = "Processing Done";


struct WaveRunContext {
    gis::RayContext& rays;
    model::RunShell* shell = nullptr;
    // Folder and name of the run's metadata file (see PointDatasetChoice).
    std::string shpdir;
    std::string shpname1;
    // The date and time written into the metadata file.
    std::function<std::string()> clock = {};
    // Batch runs hand their per-site log lines here.
    std::function<void(const std::string& line)> batchLog = {};
    // The point dataset as the metadata file names it.
    std::string pointData = {};
    // The point dataset is a working copy, which the caller keeps only once
    // the run has completed: a run that ends otherwise leaves it to the
    // caller to say what was kept, and never counts what the copy holds.
    bool workingCopy = false;
};

enum class RunEnd {
    Completed,  // every site processed
    Declined,   // the user kept the existing RWE values
    Cancelled,  // the user confirmed Cancel
    Refused,    // an input cannot give correct results; nothing was touched
    Failed,     // the wind file was unusable, the run broke off, or sites could not be read
};

// What is found under the metadata file's name once a write of it failed.
enum class MetadataLeft {
    None,         // no file of that name
    PreviousRun,  // the file from before this run, as it was
    EarlierSite,  // this run's file of an earlier site, which could not be removed
};

struct RunOutcome {
    RunEnd end = RunEnd::Failed;
    int sites = 0;             // sites of the point dataset
    int sitesDone = 0;
    int storedSites = 0;       // sites whose results are in the dataset
    // Of those, the sites stored with a status code, by their code (a dry
    // site of the fast algorithm by the direction it holds), as stored.
    std::map<double, int> storedCodes;
    // Of the stored sites, those whose results the dataset still holds at
    // the end (fewer when another program put its own table in place).
    std::int64_t heldSites = 0;
    int writeErrors = 0;       // sites whose results could not be stored
    int notFinite = 0;         // sites with a result that is no finite number (stored empty)
    std::string writeError;    // why the first store failed
    std::vector<std::int64_t> partlyStored;  // sites whose fields the disk took only in part
    std::optional<MetadataLeft> metadataFailed;  // set when the metadata file could not be written
    bool windUnusable = false;  // the wind file was refused: only this run failed
    int threads = 0;            // threads the sites were computed on
    // Processor time spent, in seconds: ray steps (cast, clip, fetch),
    // waves, output.
    double raySeconds = 0, waveSeconds = 0, writeSeconds = 0;
};

// 0 -> 16, 1 -> 32, 2 -> 40, 3 -> 48, 4 -> 56 rays; anything else 32.
int16_t rayCountOf(int16_t nrays);

// The site depth the model uses from a pixel value, water level applied,
// rounded to 2 decimals; raster units are turned into metres.
double siteDepth(double pixel, int16_t bathy_positive, float tidedepth, float unitfactor);

// The RWE energy sum of a site: energy times percent duration over the
// n directions.
double rweSum(const model::ModelState& state, int n);

// What the end of a single run tells the user beyond "Processing Done":
// results that could not be stored or were no numbers, sites that could
// not be read, and, when the run stopped early or lost sites, how many
// sites have results (never of a working copy). Empty when there is
// nothing to tell.
std::vector<std::string> runEndReport(const RunOutcome& out, const std::string& pointsName,
                                      bool workingCopy = false);

// The warning of a metadata file that could not be written, saying what
// is left under its name.
std::string metadataFailureText(const std::string& path, MetadataLeft left);

// One batch-log line of the current site; with bottom velocity off its
// bottom columns hold -999 and its sediment motion 0.
std::string batchLogLine(const model::ModelState& state, int16_t counter, double rwe, double depth);

class wave_main_cls {
public:
    explicit wave_main_cls(WaveRunContext& ctx) : ctx_(ctx) {}

    // Runs the model over every feature of pFeatClass. nrays is the
    // ray-count option; tidedepth the water-level term of a batch run (a
    // single run takes the negated water_level); batch_fieldcounter the
    // batch step written into the log lines. Reports through the run's
    // Messages and Progress and returns how the run ended.
    RunOutcome WaveMain(const std::shared_ptr<pg::FeatureClass>& pFeatClass, int16_t counterstart, int16_t nrays,
                        float tidedepth = 0, int16_t batch_fieldcounter = 0);

    // Why the project's inputs cannot give correct results, or nothing.
    // Also sets unitfactor from bathyunits, depthno and cell_step.
    std::optional<std::string> startProblem(const pg::FeatureClass& points);

private:
    // The run itself; what it throws (a dataset that cannot be read or
    // changed) WaveMain tells as the run's failure.
    RunOutcome run(const std::shared_ptr<pg::FeatureClass>& pFeatClass, int16_t nrays, float tidedepth,
                   int16_t batch_fieldcounter);
    // Gives the event loop its turn between sites (unless the run is in
    // the background) and asks about a Cancel clicked meanwhile; true when
    // the user confirmed it.
    bool confirmedCancel();

    WaveRunContext& ctx_;
};

}  // namespace quor::wave
