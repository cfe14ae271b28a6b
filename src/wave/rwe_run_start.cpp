#include "wave/rwe_run_start.h"

#include <filesystem>
#include <system_error>
#include <tuple>

#include "gis/shorebathy.h"
#include "model/setting_checks.h"
#include "model/wind_values.h"

namespace quor::wave {

namespace {

namespace fs = std::filesystem;

// What tells a changed raster file: its size and time, or those of every
// file of a grid folder.
struct FileStamp {
    std::uintmax_t size = 0;
    fs::file_time_type newest = fs::file_time_type::min();
    std::size_t files = 0;
    bool operator==(const FileStamp& o) const {
        return std::tie(size, newest, files) == std::tie(o.size, o.newest, o.files);
    }
};

FileStamp stampOf(const std::string& path) {
    FileStamp st;
    std::error_code ec;
    auto add = [&](const fs::path& p) {
        const auto size = fs::file_size(p, ec);
        if (!ec) st.size += size;
        const auto time = fs::last_write_time(p, ec);
        if (!ec && time > st.newest) st.newest = time;
        ++st.files;
    };
    if (fs::is_directory(path, ec)) {
        for (const auto& e : fs::directory_iterator(path, ec))
            if (e.is_regular_file(ec)) add(e.path());
    } else {
        add(path);
    }
    return st;
}

// The raster the last run opened here and the file as it was then.
struct Opened {
    std::weak_ptr<pg::Raster> raster;
    FileStamp stamp;
};

Opened& lastOpened() {
    static Opened opened;
    return opened;
}

}  // namespace

std::optional<std::string> rweRunRangeProblem(const model::MainFormState& mainform, const model::ModelState& state) {
    if (auto problem = model::fetchProblem(mainform.Fetch)) return problem;
    return model::segmentDistanceProblem(state.Depth_intg_first);
}

std::optional<std::string> rweRunStartProblem(const model::MainFormState& mainform, const model::ModelState& state) {
    if (mainform.windpath.empty()) return std::string(model::kNoProjectWind);
    return rweRunRangeProblem(mainform, state);
}

RunOutcome singleRun(gis::RayContext& ctx, model::RunShell* shell, const std::shared_ptr<pg::FeatureClass>& points,
                     int16_t counterstart, const project::PointDatasetChoice& choice) {
    if (auto problem = rweRunStartProblem(ctx.mainform, ctx.state)) {
        ctx.messages.message(*problem, platform::MessageIcon::Exclamation);
        if (shell) shell->runEnded();
        RunOutcome refused;
        refused.end = RunEnd::Refused;
        return refused;
    }
    WaveRunContext run{ctx, shell, choice.shpdir, choice.shpname1};
    return wave_main_cls(run).WaveMain(points, counterstart, ctx.fm_property.optionindex, 0, 0);
}

void installWaveMain(project::RunDrivers& drivers, gis::RayContext& ctx, model::RunShell* shell) {
    drivers.WaveMain = [&ctx, shell](const std::shared_ptr<pg::FeatureClass>& fc, int16_t counterstart,
                                     const project::PointDatasetChoice& choice) {
        singleRun(ctx, shell, fc, counterstart, choice);
    };
}

std::shared_ptr<pg::Raster> runBathymetry(model::ModelState& state, const model::MainFormState& mainform) {
    Opened& last = lastOpened();
    const FileStamp now = stampOf(mainform.bathycov);
    if (state.bathy_raster && state.bathy_raster == last.raster.lock() &&
        state.bathy_raster->path() == mainform.bathycov && now == last.stamp)
        return state.bathy_raster;
    state.bathy_raster.reset();
    auto raster = gis::openBathymetry(mainform);
    last = Opened{raster, now};
    return raster;
}

}  // namespace quor::wave
