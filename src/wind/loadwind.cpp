#include "wind/loadwind.h"

#include "model/wind_classes.h"
#include "wind/rei_wind_file.h"
#include "wind/wind_summary.h"

namespace quor::wind {

bool loadwind(const std::string& windpath, model::ModelState& state, model::WindSummary& winddata,
              const model::SettingsHolder& fm_property, platform::Messages& messages) {
    ReiWindFileContents file;
    try {
        file = readReiWindFile(windpath);
    } catch (const ReiWindFileError& e) {
        state.dlg_cancel = true;
        // The line at fault (or the file's own trouble) is named, so the user can mend it.
        messages.message(std::string(kWindFileNotAvailable) + "\n" + e.what(), platform::MessageIcon::Exclamation);
        return false;
    }
    for (int k = 0; k < model::kWindClassCount; ++k) {
        model::setWindSpeed(winddata, k, file.climate.speed[k]);
        model::setWindPercent(winddata, k, file.climate.percent[k]);
    }
    winddata.wind_station = file.station;
    winddata.wind_startdate = file.startdate;
    winddata.wind_enddate = file.enddate;
    winddata.wind_cutoff = file.cutoff;
    winddata.wind_file = windpath;
    assgn_code(winddata);
    assgn_power(winddata, fm_property, messages);
    return true;
}

std::optional<std::string> reiWindFileProblem(const std::string& windpath) {
    try {
        readReiWindFile(windpath);
    } catch (const ReiWindFileError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

bool reloadProjectWind(model::ModelState& state, model::WindSummary& winddata,
                       const model::SettingsHolder& fm_property, platform::Messages& messages) {
    if (state.wind_path.empty()) {
        messages.message(model::kNoProjectWind, platform::MessageIcon::Exclamation);
        return false;
    }
    // A failure here belongs to the run, not to a New Project in progress.
    const bool dlgCancel = state.dlg_cancel;
    const bool ok = loadwind(state.wind_path, state, winddata, fm_property, messages);
    state.dlg_cancel = dlgCancel;
    return ok;
}

}  // namespace quor::wind
