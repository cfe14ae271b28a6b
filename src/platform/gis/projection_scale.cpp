#include "platform/gis/projection_scale.h"

#include <proj.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

namespace quor::platform::gis {

namespace {

struct ContextFree {
    void operator()(PJ_CONTEXT* c) const { proj_context_destroy(c); }
};
struct ProjFree {
    void operator()(PJ* p) const { proj_destroy(p); }
};

}  // namespace

std::optional<ScaleRange> scaleOver(const SpatialReference& sr, const Envelope& area, int perSide) {
    if (!sr.isProjected() || area.isEmpty() || perSide < 2) return std::nullopt;
    // The projection alone, as a PROJ string, from longitude and latitude
    // in radians to easting and northing: the factors PROJ gives for a
    // projected CRS object are no scales when its base is not in degrees
    // (a French grid in grads, say).
    const std::string definition = sr.proj4();
    if (definition.empty()) return std::nullopt;
    // A context of its own: PROJ's default one is not for several threads.
    const std::unique_ptr<PJ_CONTEXT, ContextFree> context(proj_context_create());
    if (!context) return std::nullopt;
    const std::unique_ptr<PJ, ProjFree> projection(proj_create(context.get(), definition.c_str()));
    if (!projection) return std::nullopt;

    ScaleRange range{HUGE_VAL, -HUGE_VAL, {}};
    for (int i = 0; i < perSide; ++i) {
        for (int j = 0; j < perSide; ++j) {
            const double x = area.minX + area.width() * i / (perSide - 1);
            const double y = area.minY + area.height() * j / (perSide - 1);
            const PJ_COORD lp = proj_trans(projection.get(), PJ_INV, proj_coord(x, y, 0, 0));
            if (!std::isfinite(lp.lp.lam) || !std::isfinite(lp.lp.phi)) return std::nullopt;
            const PJ_FACTORS f = proj_factors(projection.get(), lp);
            if (proj_errno(projection.get()) != 0) return std::nullopt;
            for (const double scale : {f.meridional_scale, f.parallel_scale}) {
                if (!std::isfinite(scale) || !(scale > 0)) return std::nullopt;
                range.least = std::min(range.least, scale);
                range.most = std::max(range.most, scale);
            }
        }
    }
    const PJ_COORD centre = proj_trans(projection.get(), PJ_INV,
                                       proj_coord((area.minX + area.maxX) / 2, (area.minY + area.maxY) / 2, 0, 0));
    if (!std::isfinite(centre.lp.lam) || !std::isfinite(centre.lp.phi)) return std::nullopt;
    range.centre = {centre.lp.lam * 180 / std::numbers::pi, centre.lp.phi * 180 / std::numbers::pi};
    return range;
}

}  // namespace quor::platform::gis
