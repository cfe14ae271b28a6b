// Ten years of ten-minute wind records (525,600 lines): the RWE wind text
// analysis into a ".Wind_RWE" file, and the batch cutting into 95 files.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "wind/batch_wind.h"
#include "wind/wind_text_analysis.h"

using namespace quor;
using namespace quor::wind;

namespace {

class SilentMessages final : public platform::Messages {
public:
    void message(const std::string&, platform::MessageIcon, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return true; }
};

class FixedSaveDialog final : public SavePathChooser {
public:
    explicit FixedSaveDialog(std::string path) : path_(std::move(path)) {}
    std::optional<std::string> chooseSavePath(const std::string&, const std::string&, const std::string&) override {
        return path_;
    }

private:
    std::string path_;
};

// A scratch folder removed when the benchmark ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        auto p = std::filesystem::temp_directory_path() / ("quor_bench_wind_" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        path = p.string();
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& folder() {
    static const ScratchFolder scratch;
    return scratch.path;
}

// year, month, day, hour, minute, direction, speed; comma separated under
// one row of names (the batch layout). Speeds with one decimal, many ties.
const std::string& tenYearRecord() {
    static const std::string path = [] {
        const std::string p = folder() + "/wind_cstgd201.txt";
        std::ofstream out(p, std::ios::binary);
        out << "YY,MM,DD,hh,mm,WDIR,WSPD\r\n";
        const int64_t origin = *windMinutes(2010, 1, 1);
        uint32_t seed = 12345;
        char line[80];
        for (int64_t i = 0; i < 525600; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const auto d = minutesToDateTime(origin + i * 10);
            const double speed = (seed >> 8) % 250 / 10.0;
            const int dir = static_cast<int>((seed >> 4) % 360);
            const int n = std::snprintf(line, sizeof line, "%d,%d,%d,%d,%d,%d,%.1f\r\n", d.year, d.month, d.day,
                                        d.hour, d.minute, dir, speed);
            out.write(line, n);
        }
        return p;
    }();
    return path;
}

}  // namespace

static void BM_WindTextAnalysisTenYears(benchmark::State& st) {
    const std::string input = tenYearRecord();
    model::ModelState state;
    model::WindSummary holder;
    model::MainFormState main;
    SilentMessages messages;
    FixedSaveDialog dialog(folder() + "/tenyears.Wind_RWE");
    WindAnalysisContext ctx{{state, holder, main, messages, &dialog}};
    WindTextQuery q;
    q.path = input;
    q.station = "BENCH";
    q.start = {2010, 1, 1, 0};
    q.end = {2019, 12, 31, 23};
    q.percent_wind = 25;
    q.delimiter = ",";
    q.columns = {0, 1, 2, 3, 4, 6, 5};
    for (auto _ : st) {
        const WindTextResult r = wind_wv(ctx, q);
        if (r.outcome != WindTextOutcome::Done) st.SkipWithError("analysis did not finish");
        benchmark::DoNotOptimize(r.counts.topRecords);
    }
}
BENCHMARK(BM_WindTextAnalysisTenYears)->Unit(benchmark::kMillisecond);

static void BM_BatchWindCuttingTenYears(benchmark::State& st) {
    tenYearRecord();
    model::ModelState state;
    model::WindSummary holder;
    model::MainFormState main;
    SilentMessages messages;
    WindFileContext ctx{state, holder, main, messages, nullptr};
    const BatchWindRequest req = fixedBatchRequest(folder());
    for (auto _ : st) {
        const BatchWindSummary s = batch_wind_process(ctx, req);
        if (s.written() != 95) st.SkipWithError("not every window was written");
    }
}
BENCHMARK(BM_BatchWindCuttingTenYears)->Unit(benchmark::kMillisecond);
