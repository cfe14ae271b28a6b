#include "wind/wind_entry.h"

#include <QFileInfo>
#include <QString>

#include <cctype>
#include <filesystem>

#include "model/wind_classes.h"
#include "model/wind_values.h"
#include "platform/ascii_case.h"
#include "platform/folders.h"
#include "platform/numbers.h"
#include "wind/rei_wind_file.h"
#include "wind/wind_summary.h"

namespace quor::wind {

const std::array<std::string, 16> kWindEntryCaptions = {
    "Mean Easterly Wind Speed",       "Percent Easterly Wind Duration",
    "Mean South Easterly Wind Speed", "Percent South Easterly Wind Duration",
    "Mean Southerly Wind Speed",      "Percent Southerly Wind Duration",
    "Mean South Westerly Wind Speed", "Percent South Westerly Wind Duration",
    "Mean Westerly Wind Speed",       "Percent Westerly Wind Duration",
    "Mean North Westerly Wind Speed", "Percent North Westerly Wind Duration",
    "Mean Northerly Wind Speed",      "Percent Northerly Wind Duration",
    "Mean North Easterly Wind Speed", "Percent North Easterly Wind Duration"};

namespace {

ReiWindClimate climateOf(const model::WindSummary& w) {
    ReiWindClimate c;
    for (int k = 0; k < 8; ++k) {
        c.speed[k] = w.class_speed(k);
        c.percent[k] = w.class_percent(k);
    }
    return c;
}

// Reads the boxes into the class tables; false (the user told, the tables
// untouched) on the first box that holds no number or an impossible value.
bool readBoxes(const WindEntryInput& in, bool mph, WindEntryContext& ctx) {
    std::array<double, 16> values{};
    for (int k = 0; k < 8; ++k) {
        for (int part = 0; part < 2; ++part) {
            const int box = 2 * k + part;
            const auto v = platform::parseDecimal(in.boxes[box]);
            if (!v) {
                const std::string why = in.boxes[box].empty()
                                            ? "The box \"" + kWindEntryCaptions[box] + "\" is empty."
                                            : "\"" + in.boxes[box] + "\" in \"" + kWindEntryCaptions[box] +
                                                  "\" is not a number.";
                ctx.messages.message(" Error in Data Entry. " + why + "  Please enter numerical values. ",
                                     platform::MessageIcon::Critical);
                return false;
            }
            const double value = part == 0 && mph ? *v * kMphToMs : *v;
            // The readers refuse what no wind climate can hold; so does the form.
            if (auto problem = part == 0 ? model::windSpeedProblem(value) : model::windPercentProblem(value)) {
                ctx.messages.message(" Error in Data Entry. \"" + in.boxes[box] + "\" in \"" +
                                         kWindEntryCaptions[box] + "\": " + *problem + ".",
                                     platform::MessageIcon::Critical);
                return false;
            }
            values[box] = value;
        }
    }
    double total = 0;
    for (int k = 0; k < 8; ++k) total += values[2 * k + 1];
    if (auto problem = model::windPercentTotalProblem(total)) {
        problem->front() = static_cast<char>(std::toupper(static_cast<unsigned char>(problem->front())));
        ctx.messages.message(" Error in Data Entry. " + *problem + ".", platform::MessageIcon::Critical);
        return false;
    }
    for (int k = 0; k < 8; ++k) {
        ctx.winddata.class_speed(k) = values[2 * k];
        ctx.winddata.class_percent(k) = values[2 * k + 1];
    }
    return true;
}

// The failure path: the climate goes to the temporary wind file so that
// nothing typed is lost. `failure` is empty when the user cancelled.
WindEntryResult saveTemporary(const WindEntryInput& in, WindEntryContext& ctx, const std::string& failure) {
    const std::string folder = temporaryWindFolder(ctx.mainform, ctx.state);
    const std::string path = folder.empty() ? std::string(kTemporaryWindFile) : platform::joinPath(folder, kTemporaryWindFile);
    try {
        if (folder.empty()) throw std::runtime_error("no project is open and the data folder is unknown");
        std::filesystem::create_directories(folder);
        writeReiWindHandTemporary(path, climateOf(ctx.winddata), in.station, in.startdate, in.enddate);
    } catch (const std::exception& e) {
        ctx.messages.message((failure.empty() ? std::string() : failure + "\n") +
                                 "The wind data could not be saved in the temporary wind file \"" + path +
                                 "\" either: " + e.what(),
                             platform::MessageIcon::Critical);
        return WindEntryResult::StayOpen;
    }
    ctx.state.wind_path = path;
    ctx.state.wind_name = "Temporary_wind";
    if (ctx.setProjectWindBox) ctx.setProjectWindBox("Temporary_wind");
    if (!failure.empty())
        ctx.messages.message(failure + "\nThe wind data were saved in the temporary wind file \"" + path + "\".",
                             platform::MessageIcon::Exclamation);
    else if (ctx.mainform.projfile.empty())
        ctx.messages.message("No project is open: the wind data were saved in \"" + path + "\".",
                             platform::MessageIcon::Information);
    return WindEntryResult::SavedTemporary;
}

}  // namespace

std::string withWindEntryExtension(const std::string& path) {
    if (!QFileInfo(QString::fromStdString(path)).suffix().isEmpty()) return path;
    return path + kWindEntryExtension;
}

std::string windNameFromPath(const std::string& path) {
    std::string name = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
    if (name.size() > 4 && platform::upperAscii(name.substr(name.size() - 4)) == ".TXT") name.resize(name.size() - 4);
    return name;
}

WindEntryResult winddata_ok(const WindEntryInput& in, WindEntryContext& ctx) {
    const std::string unit = platform::upperAscii(in.unit);
    if (unit != "MPH" && unit != "M/S") {
        ctx.messages.message("Please choose wind speed units from the selection.");
        return WindEntryResult::StayOpen;
    }
    if (!readBoxes(in, unit == "MPH", ctx)) return WindEntryResult::StayOpen;
    assgn_array(ctx.winddata);
    assgn_power(ctx.winddata, ctx.fm_property, ctx.messages);

    ctx.messages.message("Please save wind data in text file", platform::MessageIcon::Information);
    std::optional<std::string> path;
    for (;;) {
        path = ctx.chooseSavePath ? ctx.chooseSavePath(ctx.mainform.projfile) : std::nullopt;
        if (!path || path->empty()) return saveTemporary(in, ctx, {});
        *path = withWindEntryExtension(*path);
        if (!std::filesystem::exists(*path) ||
            ctx.messages.question("File already exist, do you want to replace it?"))
            break;
    }
    try {
        if (ctx.setProjectWindBox) ctx.setProjectWindBox(*path);
        ctx.state.wind_path = *path;
        ctx.state.wind_name = windNameFromPath(*path);
        writeReiWindHandEntry(*path, climateOf(ctx.winddata));
        if (ctx.setWeightingWindBox) ctx.setWeightingWindBox(*path);
        ctx.winddata.windunits = in.unit;
    } catch (const std::exception& e) {
        return saveTemporary(in, ctx, std::string("The wind data could not be saved in \"") + *path + "\": " + e.what());
    }
    return WindEntryResult::Saved;
}

}  // namespace quor::wind
