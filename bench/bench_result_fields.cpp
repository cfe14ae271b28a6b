// Adding a run's result fields to a real point table, as the REI fast run
// with ray lengths does before its first site (41 fields): on the 1,015
// sites of Port Phillip Bay, on a table of ten times as many, and on
// 200,000 narrow rows (one field of ten bytes). Only the change itself is
// timed; each repetition works on a fresh copy of the user's shapefile.
// "peak_MB" is the most memory the change took at once, through new.
//
// Then a site's values written, as a run stores each site's 41 results,
// on every row of the ten-fold table: the time per site.
//
// The data set is the checkout's example (examples/portphillip); without it
// every case is skipped with a message.
#include <benchmark/benchmark.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <new>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bay_data.h"
#include "platform/gis/gis.h"

namespace fs = std::filesystem;
namespace pg = quor::platform::gis;

namespace {

// Made once, and gone when the program ends.
struct Scratch {
    fs::path dir = fs::temp_directory_path() / ("quor-bench-fields-" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(dir); }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

const fs::path& scratch() {
    static const Scratch s;
    return s.dir;
}

// The bay's sites, each `copies` times over, as a shapefile of its own.
std::string sitesTable(const std::string& bay, int copies) {
    const fs::path folder = scratch() / ("sites" + std::to_string(copies));
    if (fs::exists(folder / "sites.shp")) return folder.string();
    fs::create_directories(folder);
    GDALAllRegister();
    GDALDataset* in = static_cast<GDALDataset*>(
        GDALOpenEx((bay + "/sites_portphillip.shp").c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr));
    GDALDataset* out = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile")
                           ->Create(folder.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    OGRLayer* from = in->GetLayer(0);
    OGRLayer* to = out->CreateLayer("sites", from->GetSpatialRef(), wkbPoint, nullptr);
    for (int i = 0; i < from->GetLayerDefn()->GetFieldCount(); ++i) (void)to->CreateField(from->GetLayerDefn()->GetFieldDefn(i));
    for (int c = 0; c < copies; ++c) {
        from->ResetReading();
        while (OGRFeature* f = from->GetNextFeature()) {
            OGRFeature g(to->GetLayerDefn());
            g.SetFrom(f);
            const OGRErr stored = to->CreateFeature(&g);
            OGRFeature::DestroyFeature(f);
            if (stored != OGRERR_NONE) std::abort();
        }
    }
    GDALClose(out);
    GDALClose(in);
    return folder.string();
}

// 200,000 rows whose only field is ten bytes wide.
std::string narrowTable() {
    const fs::path folder = scratch() / "narrow";
    if (fs::exists(folder / "sites.shp")) return folder.string();
    fs::create_directories(folder);
    GDALAllRegister();
    GDALDataset* out = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile")
                           ->Create(folder.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    OGRLayer* to = out->CreateLayer("sites", nullptr, wkbPoint, nullptr);
    OGRFieldDefn name("NAME", OFTString);
    name.SetWidth(9);
    if (to->CreateField(&name) != OGRERR_NONE) std::abort();
    for (int i = 0; i < 200000; ++i) {
        OGRFeature g(to->GetLayerDefn());
        g.SetField(0, ("S" + std::to_string(i)).c_str());
        OGRPoint at(1000.0 + i, 2000.0);
        g.SetGeometry(&at);
        if (to->CreateFeature(&g) != OGRERR_NONE) std::abort();
    }
    GDALClose(out);
    return folder.string();
}

// The bytes this program holds through new and delete, and the most it
// held since the count was last started over.
std::atomic<std::int64_t> heldBytes{0}, peakBytes{0};

void startPeak() { peakBytes = heldBytes.load(); }

// A fresh copy of the shapefile in `source`, in a folder of this name.
fs::path copyOf(const std::string& source, const std::string& name) {
    const fs::path copy = scratch() / name;
    fs::create_directories(copy);
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj"})
        if (fs::exists(source + "/sites" + ext)) fs::copy_file(source + "/sites" + ext, copy / (std::string("sites") + ext));
    return copy;
}

std::vector<pg::FieldDef> reiFastFields() {
    std::vector<pg::FieldDef> defs;
    for (const char* n : {"Indexne", "Indexnn", "Indexnw", "Indexww", "Indexsw", "Indexss", "Indexse", "Indexee", "Index"})
        defs.emplace_back(n, pg::FieldType::Double, std::string(), 30);
    for (int i = 1; i <= 32; ++i) defs.emplace_back("Ray" + std::to_string(i), pg::FieldType::Double, std::string(), 30);
    return defs;
}

void BM_AddResultFields(benchmark::State& state) {
    const auto bay = bayFolder();
    if (!bay) {
        state.SkipWithError(kBayMissing);
        return;
    }
    const bool narrow = state.range(0) == 0;
    const std::string source = narrow ? narrowTable() : sitesTable(*bay, static_cast<int>(state.range(0)));
    const auto defs = reiFastFields();
    int round = 0;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path copy = copyOf(source, "run" + std::to_string(round++));
        {
            auto points = pg::Workspace::open(copy.string())->openFeatureClass("sites");
            startPeak();
            const auto before = heldBytes.load();
            state.ResumeTiming();
            points->addFields(defs);
            state.PauseTiming();
            peak = std::max(peak, static_cast<double>(peakBytes - before));
        }
        fs::remove_all(copy);
        state.ResumeTiming();
    }
    state.counters["sites"] = narrow ? 200000.0 : static_cast<double>(1015 * state.range(0));
    state.counters["peak_MB"] = peak / (1024 * 1024);
}
// 0: the 200,000 narrow rows; otherwise the bay's sites that many times over.
BENCHMARK(BM_AddResultFields)->Arg(1)->Arg(10)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every site of the ten-fold table gets its 41 values, one site at a time
// as a run stores them, then the values are put on disk.
void BM_StoreSiteValues(benchmark::State& state) {
    const auto bay = bayFolder();
    if (!bay) {
        state.SkipWithError(kBayMissing);
        return;
    }
    const std::string source = sitesTable(*bay, 10);
    const auto defs = reiFastFields();
    int round = 0;
    std::int64_t sites = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path copy = copyOf(source, "store" + std::to_string(round++));
        {
            auto points = pg::Workspace::open(copy.string())->openFeatureClass("sites");
            points->addFields(defs);
            std::vector<int> positions;
            for (const auto& d : defs) positions.push_back(points->findField(d.name));
            auto cursor = points->search();
            std::vector<pg::Feature> rows;
            while (auto f = cursor.next()) rows.push_back(std::move(*f));
            // With 1, each site's computation is stood in for by what it does
            // to the heap: buffers of many sizes made and let go, some kept
            // a while, between the writes.
            std::vector<std::vector<char>> held(state.range(0) ? 64 : 0);
            std::size_t turn = 0;
            state.ResumeTiming();
            for (auto& f : rows) {
                if (!held.empty()) {
                    for (int k = 0; k < 8; ++k) held[(turn * 8 + k) % held.size()].assign(512 + (turn * 7919 + k * 104729) % 16384, 'x');
                    ++turn;
                }
                for (std::size_t k = 0; k < positions.size(); ++k) f.setValue(positions[k], 0.125 * static_cast<double>(k + 1));
                pg::Workspace::Transaction tx(*points->workspace());
                points->store(f);
                tx.commit();
            }
            points->flush();
            state.PauseTiming();
            sites += static_cast<std::int64_t>(rows.size());
        }
        fs::remove_all(copy);
        state.ResumeTiming();
    }
    // Seconds of the timed writes over millions of sites: microseconds a site.
    state.counters["per_site_us"] = benchmark::Counter(static_cast<double>(sites) / 1e6,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// 0: the writes alone; 1: with the heap used between them as a run uses it.
BENCHMARK(BM_StoreSiteValues)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// Every allocation of the program is counted, with the size it asked for
// kept in front of it.
void* operator new(std::size_t n) {
    auto* p = static_cast<std::size_t*>(std::malloc(n + sizeof(std::max_align_t)));
    if (!p) throw std::bad_alloc();
    *p = n;
    const auto now = heldBytes += static_cast<std::int64_t>(n);
    for (auto peak = peakBytes.load(); now > peak && !peakBytes.compare_exchange_weak(peak, now);) {
    }
    return reinterpret_cast<char*>(p) + sizeof(std::max_align_t);
}

void operator delete(void* p) noexcept {
    if (!p) return;
    auto* start = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
    heldBytes -= static_cast<std::int64_t>(*start);
    std::free(start);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
