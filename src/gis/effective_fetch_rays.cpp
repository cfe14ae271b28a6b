#include "gis/effective_fetch_rays.h"

#include "gis/geodatabase.h"
#include "gis/ray_geometry.h"
#include "platform/gis/gis_error.h"

namespace quor::gis {

namespace pg = platform::gis;

pg::Path effectiveFetchLine(const pg::Point& site, const model::BoundedArray<double, 60>& fetcharray, int d, int n) {
    return pg::Path{site, rweRayEnd(site, fetcharray(d), d, n)};
}

std::shared_ptr<pg::FeatureClass> drawEffectiveFetchRays(const std::shared_ptr<pg::Workspace>& ws,
                                                         const pg::Point& site,
                                                         const model::BoundedArray<double, 60>& fetcharray, int n,
                                                         platform::Messages& messages) {
    if (!ws) throw pg::GisError("There is no project geodatabase for the effective-fetch rays.");
    pg::Workspace::Transaction tx(*ws);
    auto eff = createRayClass(ws, "EffF_rays", messages);
    {
        auto ins = eff->insertCursor(true);
        const int dirField = eff->findField("Dir");
        for (int d = 0; d < n; ++d) {
            pg::Feature f = ins.createFeatureBuffer();
            const pg::Path line = effectiveFetchLine(site, fetcharray, d, n);
            f.setShape(pg::Geometry::line(line[0], line[1]));
            f.setValue(dirField, std::int64_t{d});
            ins.insert(f);
        }
        ins.flush();
    }
    tx.commit();
    return eff;
}

}  // namespace quor::gis
