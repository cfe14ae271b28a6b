// One site's work-class cycle in a GeoPackage: create "rays", insert 32
// two-point 10 km lines, clip them against a shoreline of 100,000 vertices
// over about 200 x 200 km, split, select the attached pieces into
// "orp_rays", delete the four classes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

#include "gis/load_features.h"
#include "platform/feedback.h"
#include "platform/gis/gis.h"

namespace pg = quor::platform::gis;

namespace {

class SilentMessages final : public quor::platform::Messages {
public:
    void message(const std::string&, quor::platform::MessageIcon, const std::string&) override { ++count; }
    bool question(const std::string&, const std::string&) override { return true; }
    int count = 0;
};

// A water polygon of 100,000 vertices: a 200 x 200 km frame holding a
// wiggly coast of about 100 km radius with three islands.
pg::Geometry shoreline() {
    std::vector<pg::Path> rings;
    const int n = 99000;
    pg::Path coast;
    for (int i = 0; i <= n; ++i) {
        const double a = (i % n) * 2 * M_PI / n;
        const double r = 80000 + 6000 * std::sin(9 * a) + 2500 * std::sin(57 * a) + 400 * std::sin(911 * a);
        coast.push_back({400000 + r * std::cos(a), 5800000 + r * std::sin(a)});
    }
    rings.push_back(coast);
    for (int k = 0; k < 3; ++k) {
        pg::Path island;
        for (int i = 0; i <= 300; ++i) {
            const double a = -(i % 300) * 2 * M_PI / 300;
            island.push_back({400000 + 3000.0 * (k - 1) * 4 + 1500 * std::cos(a), 5803000 + 900 * std::sin(a)});
        }
        rings.push_back(island);
    }
    return pg::Geometry::polygons({rings});
}

struct Fixture {
    std::filesystem::path dir;
    std::shared_ptr<pg::Workspace> ws;
    pg::ClipPolygons clip = pg::ClipPolygons::fromGeometries({shoreline()});
    pg::Point site{400000 + 4000, 5803000 + 200};
    std::vector<pg::Geometry> rays;

    Fixture() {
        dir = std::filesystem::temp_directory_path() / ("quor-bench-cycle-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        ws = pg::Workspace::createGeoPackage((dir / "bay1.gpkg").string());
        for (int d = 0; d < 32; ++d) {
            const double a = d * (360.0 / 32) * 3.14159 / 180;
            rays.push_back(pg::Geometry::line(site, {site.x + 10000 * std::sin(a), site.y + 10000 * std::cos(a)}));
        }
    }
    ~Fixture() {
        ws.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Fixture& fixture() {
    static Fixture fx;
    return fx;
}

const std::vector<pg::FieldDef> kRayFields = {{"Dir", pg::FieldType::Integer, "Direction"}};

void BM_SiteWorkClassCycle(benchmark::State& state) {
    Fixture& fx = fixture();
    SilentMessages msgs;
    std::int64_t pieces = 0;
    for (auto _ : state) {
        pg::Workspace::Transaction tx(*fx.ws);
        auto rays = fx.ws->createFeatureClass("rays", pg::GeometryType::Polyline, kRayFields);
        {
            auto ins = rays->insertCursor(true);
            pg::Feature f = ins.createFeatureBuffer();
            for (int d = 0; d < 32; ++d) {
                f.setShape(fx.rays[static_cast<std::size_t>(d)]);
                f.setValue(2, std::int64_t{d});
                ins.insert(f);
            }
            ins.flush();
        }
        auto inter = pg::clipAnalysis(*rays, fx.clip, *fx.ws, "Inter_ray");
        auto single = pg::multipartToSinglepart(*inter, *fx.ws, "Inter_rays");
        auto orp = fx.ws->createFeatureClass("orp_rays", pg::GeometryType::Polyline, kRayFields);
        const pg::Geometry square = pg::Geometry::polygon({{fx.site.x + 2, fx.site.y + 2},
                                                           {fx.site.x - 2, fx.site.y + 2},
                                                           {fx.site.x - 2, fx.site.y - 2},
                                                           {fx.site.x + 2, fx.site.y - 2}});
        auto cursor = single->search(single->selectIntersecting(square));
        quor::gis::LoadFeatures(orp, cursor, nullptr, msgs);
        pieces = orp->featureCount();
        for (const char* n : {"rays", "Inter_ray", "Inter_rays", "orp_rays"}) fx.ws->deleteFeatureClass(n);
        tx.commit();
    }
    state.counters["attached"] = static_cast<double>(pieces);
    state.counters["messages"] = msgs.count;
}
BENCHMARK(BM_SiteWorkClassCycle)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The clipping arithmetic alone: 32 rays against the 100,000-vertex shore.
void BM_ClipFanArithmetic(benchmark::State& state) {
    Fixture& fx = fixture();
    std::size_t parts = 0;
    for (auto _ : state) {
        parts = 0;
        for (const auto& r : fx.rays) parts += fx.clip.clip(r).partCount();
        benchmark::DoNotOptimize(parts);
    }
    state.counters["pieces"] = static_cast<double>(parts);
    state.counters["edges"] = static_cast<double>(fx.clip.edgeCount());
}
BENCHMARK(BM_ClipFanArithmetic)->Unit(benchmark::kMicrosecond);

}  // namespace
