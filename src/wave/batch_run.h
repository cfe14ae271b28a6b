#pragma once
// RWE batch runs: the model over one point dataset once per "Wind_RWE"
// file of a folder, each with its water-level term, every site of every
// run one line of the batch log. The old log is kept as ".bak", and each
// line is in the new one as soon as it is written; a batch that stops
// early says why on its last line, and one stopped by an error says it in
// its message as well. A wind file the reader refuses
// ends only its own run: the log names it and the batch goes on. The
// project's wind file is the run's again afterwards.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wave/wave_main.h"

namespace quor::wave {

inline constexpr const char* kBatchLogTitle = "Quor RWE Batch Mode Log File    ";
inline constexpr const char* kBatchLogColumns =
    "Counter RWE WvHt_max WvHt_avg WvDir WvPr_max WvPr_avg tideheight windfilename Orbital_vel shear_vel "
    "shear_stress crit_shear_stress sediment_motion";
inline constexpr const char* kBatchError = "Error occurred while running batch process";

// What the batch set-up gives: the folder of wind files and the optional
// water-level file (first line a title, then one term per wind file;
// positive makes the water shallower).
struct BatchSetup {
    std::string folder;
    std::string tide_file;
};

struct BatchOutcome {
    int runs = 0;
    std::vector<std::string> skipped;  // wind files whose run the wind reader refused
    bool completed = false;
    std::string stoppedBecause;  // empty when every file was run
    int threads = 0;             // threads the runs computed their sites on
};

// The batch log's path under the data folder.
std::string batchLogPath(const std::string& app_folder);

// A water-level line as a term: empty or 0 gives 0.0000001. Nothing for
// a line that is no number.
std::optional<float> waterLevelTerm(const std::string& line);

class batch_processing_cls {
public:
    explicit batch_processing_cls(WaveRunContext& ctx) : ctx_(ctx) {}

    // Runs the batch; the date and time of the log's first line come from
    // ctx.clock when set. Reports its error through the run's Messages.
    BatchOutcome batch_processing(const std::shared_ptr<pg::FeatureClass>& pFeatClass, int16_t counterstart,
                                  const BatchSetup& setup);

private:
    WaveRunContext& ctx_;
};

}  // namespace quor::wave
