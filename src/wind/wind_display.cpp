#include "wind/wind_display.h"

#include "model/wind_classes.h"
#include "platform/numbers.h"

namespace quor::wind {

namespace {

// The NE members are single precision: shown with the 7 digits they carry.
std::string classNumber(double value, int cls) { return platform::formatSignificant(value, cls == 7 ? 7 : 15); }

// A cut-off read back from an analysis file already carries its unit.
std::string cutoffCaption(std::string cutoff) {
    while (!cutoff.empty() && cutoff.back() == ' ') cutoff.pop_back();
    if (cutoff.size() >= 3 && cutoff.compare(cutoff.size() - 3, 3, "m/s") == 0) {
        cutoff.resize(cutoff.size() - 3);
        while (!cutoff.empty() && cutoff.back() == ' ') cutoff.pop_back();
    }
    return "Cutoff Speed: " + cutoff + " m/s";
}

}  // namespace

int roseClass(int position) { return (8 - position) % 8; }

WindRoseText windRoseText(const model::WindSummary& w) {
    WindRoseText out;
    out.file = w.wind_file;
    out.rose.fill("No Data");
    bool any = false;
    for (int k = 0; k < model::kWindClassCount; ++k) any = any || model::windSpeed(w, k) != 0;
    if (!any) return out;
    for (int pos = 0; pos < 8; ++pos) {
        const int c = roseClass(pos);
        out.rose[pos] = classNumber(model::windPercent(w, c), c) + "%, " + classNumber(model::windSpeed(w, c), c);
    }
    out.info = std::array<std::string, 4>{"Wind Station: " + w.wind_station, "Start Date: " + w.wind_startdate,
                                          "End Date: " + w.wind_enddate, cutoffCaption(w.wind_cutoff)};
    return out;
}

}  // namespace quor::wind
