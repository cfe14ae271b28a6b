// Adding a run's result fields to a real point table, as the REI fast run
// with ray lengths does before its first site (41 fields): on the 1,015
// sites of Port Phillip Bay and on a table of ten times as many. Only the
// change itself is timed; each repetition works on a fresh copy of the
// user's shapefile.
//
// The data set is read from $QUOR_SHARED_DATA/portphillip, else from the
// shared data folder beside the checkout; without it every case is skipped
// with a message.
#include <benchmark/benchmark.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

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
        state.SkipWithError("The Port Phillip data set is not there (set QUOR_SHARED_DATA).");
        return;
    }
    const std::string source = sitesTable(*bay, static_cast<int>(state.range(0)));
    const auto defs = reiFastFields();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path copy = scratch() / ("run" + std::to_string(round++));
        fs::create_directories(copy);
        for (const char* ext : {".shp", ".shx", ".dbf", ".prj"})
            if (fs::exists(source + "/sites" + ext)) fs::copy_file(source + "/sites" + ext, copy / (std::string("sites") + ext));
        {
            auto points = pg::Workspace::open(copy.string())->openFeatureClass("sites");
            state.ResumeTiming();
            points->addFields(defs);
            state.PauseTiming();
        }
        fs::remove_all(copy);
        state.ResumeTiming();
    }
    state.counters["sites"] = static_cast<double>(1015 * state.range(0));
}
BENCHMARK(BM_AddResultFields)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
