#include "gis/ray_geometry.h"

#include <algorithm>
#include <cmath>

namespace quor::gis {

namespace {

double distance(XY a, XY b) { return std::hypot(a.x - b.x, a.y - b.y); }


}  // namespace

XY reiRayEnd(XY site, double fetch, int i) {
    const double a = i * 11.25 * model::kDrawingPi / 180.0;
    return {site.x + fetch * std::cos(a), site.y + fetch * std::sin(a)};
}

XY rweRayEnd(XY site, double fetch, int d, int n) {
    const double a = d * (360.0 / n) * model::kDrawingPi / 180.0;
    return {site.x + fetch * std::sin(a), site.y + fetch * std::cos(a)};
}

std::array<XY, 5> siteSquare(XY site) {
    return {XY{site.x + 2, site.y + 2}, XY{site.x - 2, site.y + 2}, XY{site.x - 2, site.y - 2},
            XY{site.x + 2, site.y - 2}, XY{site.x + 2, site.y + 2}};
}

std::vector<RayPiece> mergeRayParts(const std::vector<std::vector<XY>>& parts, XY site) {
    struct Span {
        XY near, far;
        double t0, t1;
    };
    std::vector<Span> spans;
    spans.reserve(parts.size());
    for (const auto& part : parts) {
        if (part.size() < 2) continue;
        // The far end of a straight part is whichever vertex lies farthest;
        // taking the extremes also covers parts with interior vertices.
        XY near = part.front(), far = part.front();
        double t0 = distance(site, near), t1 = t0;
        for (const XY& p : part) {
            const double t = distance(site, p);
            if (t < t0) { t0 = t; near = p; }
            if (t > t1) { t1 = t; far = p; }
        }
        if (t1 <= t0) continue;
        spans.push_back({near, far, t0, t1});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return a.t0 < b.t0 || (a.t0 == b.t0 && a.t1 < b.t1);
    });

    // Parts produced by one clip share their split points exactly; the
    // tolerance (0.01 mm on a 10 km ray) only absorbs the last bits of
    // recomputed intersections.
    const double reach = spans.empty() ? 0.0 : std::max_element(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
                                                   return a.t1 < b.t1;
                                               })->t1;
    const double tol = 1e-9 * std::max(1.0, reach);
    std::vector<RayPiece> out;
    for (const Span& s : spans) {
        if (!out.empty()) {
            RayPiece& last = out.back();
            const double lastEnd = distance(site, last.end);
            if (s.t0 <= lastEnd + tol) {
                if (s.t1 > lastEnd) last.end = s.far;
                continue;
            }
        }
        out.push_back({s.near, s.far, s.t0});
    }
    return out;
}

}  // namespace quor::gis
