#pragma once
// What both shallow-water stages share: their context, the growth,
// equivalent-fetch, local-wave and breaking formulas, the depth-profile
// reader, and the buffered per-direction debug files.
#include <cstdint>
#include <string>
#include <vector>

#include "model/constants.h"
#include "model/model_state.h"
#include "platform/feedback.h"
#include "wave/debug_files.h"
#include "wave/depth_sampler.h"

namespace quor::wave {

// Everything a stage reads or writes besides its arguments.
struct StageContext {
    model::ModelState& state;
    const DepthSampler& bathy;    // over the run's bathymetry raster
    float unitfactor;             // raster units per metre (1, 100 or 3.281)
    platform::Messages& messages;
    DebugFileReporter& debug;     // one per run: reports the first failed debug file
};

namespace stage {

using model::kFormulaPi;
using model::kGravity;

// Height grown over `fetch` metres by wind speed U (deep-water growth law).
double grownHeight(double fetch, double U);

// Fetch that would have grown height H, with H/U^2 capped at 0.01, rounded
// half to even to 2 decimals.
double equivalentFetch(double H, double U);

// Wave number, wavelength, phase speed and group ratio at depth h.
struct LocalWave {
    double k = 0, L = 0, c = 0, n = 0;
};
LocalWave localWave(double h, double k0, double Eps);

// Goda's breaking height at depth h, never above 0.7 h.
double godaBreakingHeight(double h, double L0, double A_goda, double goda_slope);

// One position of the march toward the site, shared by both shallow-water
// stages: the wave regrows from its equivalent fetch; in shallow water
// (h/L0 < 0.5) over `shallowIncrement`, then shoals from w1 to w2 and breaks
// at Goda's height (setting `broke`); in deep water over `deepIncrement`
// with the steepness capped. w2 receives the local wave at h; Ks the
// shoaling coefficient (left as it was in deep water).
double marchHeight(double H, double U, double h, double k0, double L0, double shallowIncrement,
                   double deepIncrement, const model::ModelState& st, const LocalWave& w1, LocalWave& w2,
                   double& Ks, int& broke);

// A pixel value in metres: the raster value divided by the unit factor
// (0, i.e. none set, counts as 1).
double pixelMetres(double value, float unitfactor);

// One vertex of a depth profile as both shallow-water stages classify it:
// no sample (off the raster, "NoData"), land, or water of a depth in metres.
struct ProfileDepth {
    enum class Kind { NoSample, Land, Water };
    Kind kind = Kind::NoSample;
    double depth = 0;  // water depth below the tide level, when kind is Water
};

// Classifies one sample. A pixel exactly at the tide level is lifted to
// 0.01; `levelIsLand` says whether a pixel that still lies at the level
// counts as land (the fine stage) or as water (the coarse stage).
ProfileDepth profileDepth(const DepthSample& sample, float unitfactor, double tideheight, int16_t bathyPositive,
                          bool levelIsLand);

// Rounded to 2 decimals, shortest form, never "-0".
std::string r2(double v);

}  // namespace stage

// Lines of one per-direction debug file, kept while the stage runs and
// written when it closes (also when the stage ends in an error), so that a
// file that cannot be written costs nothing but the reporter's one notice.
class DebugTextFile {
public:
    DebugTextFile(DebugFileReporter& reporter, std::string path, bool enabled)
        : reporter_(reporter), path_(std::move(path)), open_(enabled) {}
    ~DebugTextFile() { close(); }
    DebugTextFile(const DebugTextFile&) = delete;
    DebugTextFile& operator=(const DebugTextFile&) = delete;

    bool isOpen() const { return open_; }
    void line(std::string text) {
        if (open_) lines_.push_back(std::move(text));
    }
    void close() noexcept;

private:
    DebugFileReporter& reporter_;
    std::string path_;
    bool open_;
    std::vector<std::string> lines_;
};

// The column line of both height files.
inline constexpr const char* kHeightColumns =
    "    waveht  depth  breaking_flag  shoaling_coef    k1     k2     n1     n2";

}  // namespace quor::wave
