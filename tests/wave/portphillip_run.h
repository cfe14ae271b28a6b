#pragma once
// An RWE project on the Port Phillip data set with a chosen subset of its
// sites, run through the driver as the Run command runs it.
#include <functional>
#include <set>
#include <string>

#include "platform/gis/gis.h"
#include "test_support.h"
#include "wave/wave_main.h"

namespace quor::wave {

namespace pg = platform::gis;

struct PortPhillipRun {
    model::ModelState state;
    model::SettingsHolder fm;
    model::MainFormState mf;
    model::WindSummary wind;
    pg::Map map;
    test::RecordingMessages messages;
    test::RecordingProgress progress;
    gis::RayContext rays{state, fm, mf, wind, map, messages, progress};
    std::shared_ptr<pg::FeatureClass> points;
    std::set<std::int64_t> chosen;

    // Keeps the sites for which `keep` holds, in the data set's order.
    PortPhillipRun(const std::string& data, const std::string& folder, const std::string& raster,
                   const std::string& units, const std::function<bool(std::int64_t id)>& keep) {
        mf.projname = "bay1";
        mf.ptworkspace = pg::Workspace::createGeoPackage(folder + "/bay1.gpkg");
        mf.shorecov = data;
        mf.shorename = "water_portphillip.shp";
        mf.bathycov = data + "/" + raster;
        mf.bathyname = raster;
        mf.bathyunits = units;
        mf.windpath = data + "/sample_56.Wind_RWE";
        mf.Fetch = 10000;
        mf.dist_bathy = 100;
        state.Fetch_first = 1000;
        state.Depth_intg_first = 100;
        state.Depth_intg_second = 100;
        state.Eps = 1000;
        state.A_goda = 0.17;
        state.goda_slope = 1.909;
        state.orbvel_on = 1;
        state.velocity_method = 1;
        state.sea_temp = 20;
        state.sea_salinity = 34.84f;
        fm.refreshmap = 1;
        auto src = pg::Workspace::open(data + "/sites_portphillip.shp")->openFeatureClass("sites_portphillip");
        points = mf.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point,
                                                    {{"SITE_ID", pg::FieldType::Integer}}, src->spatialReference());
        auto cur = src->search();
        while (auto f = cur.next()) {
            const std::int64_t id = pg::toInt(f->value("SITE_ID"));
            if (!keep(id)) continue;
            pg::Feature g = points->createFeature();
            g.setShape(f->shape());
            g.setValue("SITE_ID", pg::FieldValue{id});
            points->store(g);
            chosen.insert(id);
        }
    }

    RunOutcome run(int16_t fast, int16_t option) {
        state.wv_indexcheck = fast;
        WaveRunContext ctx{rays};
        ctx.shpdir = "/nonexistent-folder";  // the metadata file is not wanted here
        ctx.shpname1 = "Pointdata1";
        return wave_main_cls(ctx).WaveMain(points, 1, option);
    }
};

}  // namespace quor::wave
