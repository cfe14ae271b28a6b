#include "wind/rwe_wind_file.h"

#include <filesystem>

#include "platform/ascii_case.h"
#include "platform/folders.h"
#include "platform/numbers.h"
#include "platform/textfile.h"
#include "wind/rei_wind_file.h"
#include "wind/wind_record.h"

namespace quor::wind {

using platform::endsWithNoCase;

namespace {

constexpr const char* kTitle = "Winddata File Quor Project";

std::string createdText(const platform::DateTime& t) {
    return "Created on: " + platform::formatShortDate(t) + " " + platform::formatLongTime(t);
}

std::string dateText(int64_t minutes) { return platform::formatDateTime(minutesToDateTime(minutes)); }

std::string stemOf(const std::string& chosen) {
    const std::string ext = kRweExtension;
    return endsWithNoCase(chosen, ext) ? chosen.substr(0, chosen.size() - ext.size()) : chosen;
}

RweWindText resultsText(WindFileContext& ctx, int sectors, int64_t endMinutes,
                        const std::function<std::string(int)>& percentage) {
    const model::ModelState& s = ctx.state;
    RweWindText t;
    t.created = createdText(ctx.now ? ctx.now() : platform::DateTime::now());
    t.source = lineText(s.wind_source);
    t.start = dateText(daysToMinutes(s.wind_start));
    t.end = dateText(endMinutes);
    t.cutoff = platform::formatSignificant(s.wind_cutspeed);
    for (int i = 0; i < sectors; ++i) {
        t.speeds.push_back(twoDecimals(s.wind_dirspeed(i)));
        t.percentages.push_back(percentage(i));
    }
    return t;
}

void fillHolder(WindFileContext& ctx) {
    const model::ModelState& s = ctx.state;
    ctx.holder.wind_station = s.wind_source;
    ctx.holder.wind_startdate = dateText(daysToMinutes(s.wind_start));
    ctx.holder.wind_enddate = dateText(daysToMinutes(s.wind_end));
    ctx.holder.wind_cutoff = platform::formatSignificant(s.wind_cutspeed);
}

}  // namespace

std::vector<std::string> rweWindFileLines(const RweWindText& t) {
    std::vector<std::string> lines = {kTitle, "", t.created, t.source, t.start, t.end, t.cutoff + "m/s",
                                      std::to_string(t.speeds.size()), ""};
    lines.insert(lines.end(), t.speeds.begin(), t.speeds.end());
    lines.insert(lines.end(), t.percentages.begin(), t.percentages.end());
    return lines;
}

std::vector<std::string> rweTemporaryLines(const RweWindText& t) {
    std::vector<std::string> lines = {kTitle, "", t.created, ""};
    lines.insert(lines.end(), t.speeds.begin(), t.speeds.end());
    lines.insert(lines.end(), t.percentages.begin(), t.percentages.end());
    lines.push_back("Station ID" + t.source);
    lines.push_back("Start Date:" + t.start);
    lines.push_back("End Date:" + t.end);
    lines.push_back("Cutoff Speed: " + t.cutoff + " m/s");
    return lines;
}

std::string twoDecimals(double value) { return platform::formatSignificant(platform::roundHalfEven(value, 2)); }

// A tie is decided on the digits the single shows (12.345f rounds to 12.34).
std::string twoDecimals(float value) { return twoDecimals(platform::asWritten(value)); }

WindFileWritten save_windfile(WindFileContext& ctx, double total, int sectors) {
    model::ModelState& s = ctx.state;
    auto percentage = [&](int i) { return twoDecimals(static_cast<double>(s.wind_dircount(i)) / total * 100.0); };
    const int64_t end = daysToMinutes(s.wind_end);

    ctx.messages.message("Please save wind data in a text file", platform::MessageIcon::Information);
    std::string failure, path;
    if (ctx.dialog) {
        while (true) {
            auto chosen = ctx.dialog->chooseSavePath("Save wind data in text file", "Wind data(*.Wind_RWE)|*.Wind_RWE",
                                                     platform::joinPath(s.app_folder, "Project"));
            if (!chosen || chosen->empty()) break;
            const std::string candidate = stemOf(*chosen) + kRweExtension;
            std::error_code ec;
            if (std::filesystem::exists(candidate, ec) &&
                !ctx.messages.question("File already exist, do you want to replace it?"))
                continue;
            path = candidate;
            break;
        }
    }
    if (!path.empty()) {
        try {
            platform::replaceTextLines(path, rweWindFileLines(resultsText(ctx, sectors, end, percentage)));
            s.wind_name = stemOf(path);
            fillHolder(ctx);
            ctx.holder.wind_file = path;
            return {path, false};
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }

    const std::string folder = !ctx.main.projfile.empty() ? ctx.main.projfile : platform::joinPath(s.app_folder, "Project");
    const std::string temporary = platform::joinPath(folder, "temporary_wind.txt");
    try {
        platform::replaceTextLines(temporary, rweTemporaryLines(resultsText(ctx, sectors, end, percentage)));
    } catch (const std::exception& e) {
        ctx.messages.message("The wind data could not be saved: " + std::string(e.what()),
                             platform::MessageIcon::Critical);
        return {};
    }
    fillHolder(ctx);
    ctx.holder.wind_file = "temporary";
    if (!failure.empty())
        ctx.messages.message("The wind file could not be written (" + failure + "). The wind data were saved in " +
                                 temporary + " instead.",
                             platform::MessageIcon::Exclamation);
    return {temporary, true};
}

void putSectors(model::ModelState& s, const SectorSummary& sectors) {
    s.wind_dirspeed.erase();
    s.wind_dircount.erase();
    for (int i = 0; i < kRweSectors; ++i) {
        s.wind_dirspeed(i) = sectors.speed[static_cast<size_t>(i)];
        s.wind_dircount(i) = sectors.count[static_cast<size_t>(i)];
    }
}

std::string windbatch_ok_wv(WindFileContext& ctx, int32_t tot, int norays, const std::string& windname) {
    const model::ModelState& s = ctx.state;
    const std::string path = windname + kRweExtension;
    auto percentage = [&](int i) {
        float share = s.wind_dircount(i) / static_cast<float>(tot);
        share = share * 100.0f;
        return twoDecimals(share);
    };
    try {
        const int64_t shownEnd = daysToMinutes(s.wind_end) - 60;
        platform::replaceTextLines(path, rweWindFileLines(resultsText(ctx, norays, shownEnd, percentage)));
    } catch (const std::exception& e) {
        return e.what();
    }
    fillHolder(ctx);
    ctx.holder.wind_file = path;
    return {};
}

}  // namespace quor::wind
