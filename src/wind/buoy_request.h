#pragma once
// What the wind analysis dialog hands to a buoy analysis, and the hooks
// through which an analysis shows its progress in that dialog.
#include <cstdint>
#include <functional>
#include <string>

#include "model/model_state.h"

namespace quor::wind {

struct BuoyWindRequest {
    std::string stationEntry;  // the list entry as shown ("clkn7, Cape Lookout NC")
    std::string stationId;     // its first five characters
    int16_t startYear = 0, endYear = 0;
    int16_t startMonth = 0, endMonth = 0;
    int16_t startDay = 0, endDay = 0;
    int16_t startHour = 0, endHour = 0;
    int16_t topPercent = 0;
};

// How an analysis ended, for the dialog that started it.
enum class WindRunOutcome {
    Done,      // results are saved and shown
    Reported,  // stopped after telling the user why
    Failed,    // stopped on bad input or a fault; the dialog shows its failure message
};

struct WindDialogHooks {
    std::function<void(const std::string&)> status;  // the dialog's status line
    std::function<void()> stopBusy;                  // stops and hides the busy animation
    std::function<void()> closeDialog;               // closes the dialog once its handler has returned

    void setStatus(const std::string& text) const {
        if (status) status(text);
    }
    void busyOff() const {
        if (stopBusy) stopBusy();
    }
};

// Both buoy analyses start by recording the station and years they were
// asked for and forgetting the last analysis's record count.
inline void startBuoyAnalysis(model::ModelState& s, const WindDialogHooks& hooks, const BuoyWindRequest& rq) {
    hooks.setStatus("Downloading Wind Data.....");
    s.wind_source = rq.stationEntry;
    s.buoy_station = rq.stationEntry;
    s.wind_startyear = rq.startYear;
    s.wind_endyear = rq.endYear;
    s.wind_reccount = 0;
}

}  // namespace quor::wind
