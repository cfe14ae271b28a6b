// The REI wind analysis of ten years of hourly buoy records (about 88,000
// lines) once they have arrived: format check, saved copies, parsing,
// window, cleansing, cut-off, class statistics and the wind file.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdio>
#include <map>

#include "wind/rei_wind_analysis.h"

namespace {

std::string hourlyYear(int year) {
    const bool minute = year >= 2005;
    std::string t = minute ? "#YY  MM DD hh mm WDIR WSPD GST  WVHT\n#yr  mo dy hr mn degT m/s  m/s     m\n"
                           : "YYYY MM DD hh  WD WSPD GST  WVHT\nyr   mo dy hr degT m/s m/s     m\n";
    static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    char buf[128];
    unsigned seed = static_cast<unsigned>(year);
    for (int m = 1; m <= 12; ++m)
        for (int d = 1; d <= len[m - 1]; ++d)
            for (int h = 0; h < 24; ++h) {
                seed = seed * 1103515245u + 12345u;
                const int dir = static_cast<int>(seed >> 8) % 370;  // some 999-like out of range values
                const double spd = (seed >> 4) % 250 / 10.0;
                if (minute)
                    std::snprintf(buf, sizeof buf, "%d %02d %02d %02d 50 %3d %4.1f 9.0 99.00\n", year, m, d, h, dir, spd);
                else
                    std::snprintf(buf, sizeof buf, "%d %02d %02d %02d %3d %4.1f 9.0 99.00\n", year, m, d, h, dir, spd);
                t += buf;
            }
    return t;
}

class MemoryFetcher final : public quor::wind::YearFetcher {
public:
    std::map<int, std::string> years;
    quor::platform::HttpResult fetch(const std::string& url) override {
        quor::platform::HttpResult r;
        r.status = quor::platform::HttpResult::Status::Ok;
        r.httpCode = 200;
        r.body = years.at(std::stoi(url.substr(url.find(".txt.gz") - 4, 4)));
        return r;
    }
};

class SilentMessages final : public quor::platform::Messages {
public:
    void message(const std::string&, quor::platform::MessageIcon, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return true; }
};

class FixedChooser final : public quor::wind::SavePathChooser {
public:
    std::string path;
    std::optional<std::string> chooseSavePath(const std::string&, const std::string&, const std::string&) override {
        return path;
    }
};

}  // namespace

static void BM_ReiAnalysisTenHourlyYears(benchmark::State& st) {
    MemoryFetcher fetcher;
    for (int y = 1997; y <= 2006; ++y) fetcher.years[y] = hourlyYear(y);
    QTemporaryDir dir;
    FixedChooser chooser;
    chooser.path = dir.path().toStdString() + "/bench.Wind_REI";
    SilentMessages messages;
    quor::model::ModelState state;
    state.app_folder = dir.path().toStdString();
    quor::model::WindSummary holder;
    quor::model::MainFormState form;
    form.projfile = dir.path().toStdString();
    quor::wind::BuoyWindRequest rq{"clkn7, Cape Lookout NC", "clkn7", 1997, 2006, 1, 12, 1, 31, 0, 23, 5};
    for (auto _ : st) {
        quor::wind::ReiAnalysisContext ctx{state, holder, form, messages, fetcher, chooser, "http://bench", {}, {}, {}};
        auto outcome = quor::wind::windanalysis_rei(ctx, rq);
        if (outcome != quor::wind::WindRunOutcome::Done) st.SkipWithError("analysis failed");
        benchmark::DoNotOptimize(state.wind_cutspeed);
    }
    st.counters["records"] = state.wind_reccount;
}
BENCHMARK(BM_ReiAnalysisTenHourlyYears)->Unit(benchmark::kMillisecond);
