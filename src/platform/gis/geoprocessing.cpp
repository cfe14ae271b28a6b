#include "platform/gis/geoprocessing.h"

#include <geos_c.h>
#include <ogr_geometry.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"

namespace quor::platform::gis {

namespace {

struct Edge {
    Point a, b;
};

// Destroys a GEOS geometry of one context.
struct GeometryDestroyer {
    GEOSContextHandle_t ctx;
    void operator()(GEOSGeometry* g) const { GEOSGeom_destroy_r(ctx, g); }
};

double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

}  // namespace

// The clip polygons as GEOS prepared geometries (for the inside test of a
// point) and their edges in a uniform grid (for the crossings of a line).
struct ClipPolygons::Impl {
    GEOSContextHandle_t ctx = nullptr;
    struct Part {
        GEOSGeometry* geom = nullptr;
        const GEOSPreparedGeometry* prep = nullptr;
        Envelope env;
    };
    std::vector<Part> parts;
    std::string lastGeosError;  // what GEOS last reported on this context
    std::vector<Edge> edges;
    Envelope env;
    int nx = 1, ny = 1;
    double cellW = 1, cellH = 1;
    std::vector<std::uint32_t> cellStart;  // nx*ny+1 offsets into cellEdges
    std::vector<std::uint32_t> cellEdges;
    mutable std::vector<std::uint32_t> stamp;
    mutable std::uint32_t query = 0;

    ~Impl() {
        for (auto& p : parts) {
            if (p.prep) GEOSPreparedGeom_destroy_r(ctx, p.prep);
            if (p.geom) GEOSGeom_destroy_r(ctx, p.geom);
        }
        if (ctx) GEOS_finish_r(ctx);
    }

    void addPolygon(const Geometry& g) {
        auto ogr = detail::toOgr(g);
        if (!ogr) return;
        lastGeosError.clear();
        GEOSGeometry* geom = ogr->exportToGEOS(ctx);
        if (!geom) throw GisError(failure("A clip polygon cannot be prepared."));
        Part p;
        p.geom = geom;
        p.env = g.envelope();
        parts.push_back(p);  // owned from here on, whatever follows
        parts.back().prep = GEOSPrepare_r(ctx, geom);
        if (!parts.back().prep) throw GisError(failure("A clip polygon cannot be prepared for clipping."));
        env.expand(p.env);
        for (const auto& ring : g.parts())
            for (std::size_t i = 1; i < ring.size(); ++i)
                if (!(ring[i - 1] == ring[i])) edges.push_back({ring[i - 1], ring[i]});
    }

    int cellX(double x) const { return std::clamp(static_cast<int>((x - env.minX) / cellW), 0, nx - 1); }
    int cellY(double y) const { return std::clamp(static_cast<int>((y - env.minY) / cellH), 0, ny - 1); }

    void buildIndex() {
        const double target = std::max<double>(1, static_cast<double>(edges.size()) / 2.0);
        const double w = std::max(env.width(), 1e-9), h = std::max(env.height(), 1e-9);
        const double cell = std::sqrt(w * h / target);
        nx = std::clamp(static_cast<int>(std::ceil(w / cell)), 1, 4096);
        ny = std::clamp(static_cast<int>(std::ceil(h / cell)), 1, 4096);
        cellW = w / nx;
        cellH = h / ny;
        std::vector<std::uint32_t> counts(static_cast<std::size_t>(nx) * ny + 1, 0);
        auto forCells = [&](const Edge& e, auto&& fn) {
            const int x0 = cellX(std::min(e.a.x, e.b.x)), x1 = cellX(std::max(e.a.x, e.b.x));
            const int y0 = cellY(std::min(e.a.y, e.b.y)), y1 = cellY(std::max(e.a.y, e.b.y));
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x) fn(static_cast<std::size_t>(y) * nx + x);
        };
        for (const auto& e : edges) forCells(e, [&](std::size_t c) { ++counts[c + 1]; });
        for (std::size_t i = 1; i < counts.size(); ++i) counts[i] += counts[i - 1];
        cellStart = counts;
        cellEdges.resize(cellStart.back());
        std::vector<std::uint32_t> fill(cellStart.begin(), cellStart.end() - 1);
        for (std::uint32_t i = 0; i < edges.size(); ++i) forCells(edges[i], [&](std::size_t c) { cellEdges[fill[c]++] = i; });
        stamp.assign(edges.size(), 0);
    }

    // The description of a GEOS failure: what GEOS said, else the fallback.
    std::string failure(const std::string& fallback) const {
        return lastGeosError.empty() ? fallback : fallback + " " + lastGeosError;
    }

    bool covers(const Point& p) const {
        for (const auto& part : parts) {
            if (!part.env.contains(p)) continue;
            const std::unique_ptr<GEOSGeometry, GeometryDestroyer> pt(GEOSGeom_createPointFromXY_r(ctx, p.x, p.y),
                                                                     GeometryDestroyer{ctx});
            if (!pt) throw GisError(failure("A point cannot be tested against the clip polygons."));
            const char r = GEOSPreparedIntersects_r(ctx, part.prep, pt.get());
            if (r == 2) throw GisError(failure("A point cannot be tested against the clip polygons."));
            if (r == 1) return true;
        }
        return false;
    }

    // Parameters t in [0, 1] where segment ab meets a polygon edge.
    void crossings(const Point& a, const Point& b, std::vector<double>& ts) const {
        Envelope se;
        se.expand(a);
        se.expand(b);
        if (!se.intersects(env)) return;
        if (++query == 0) {
            std::fill(stamp.begin(), stamp.end(), 0);
            query = 1;
        }
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        auto test = [&](std::uint32_t ei) {
            if (stamp[ei] == query) return;
            stamp[ei] = query;
            const Edge& e = edges[ei];
            const double ex = e.b.x - e.a.x, ey = e.b.y - e.a.y;
            const double cx = e.a.x - a.x, cy = e.a.y - a.y;
            const double d = cross(dx, dy, ex, ey);
            const double scale = std::sqrt(len2 * (ex * ex + ey * ey));
            if (std::abs(d) > 1e-12 * scale) {
                const double t = cross(cx, cy, ex, ey) / d;
                const double u = cross(cx, cy, dx, dy) / d;
                if (t >= 0 && t <= 1 && u >= 0 && u <= 1) ts.push_back(t);
            } else if (len2 > 0 && std::abs(cross(cx, cy, dx, dy)) <= 1e-12 * scale + 1e-300) {
                // Collinear: the edge's end points bound an overlap.
                for (const Point& q : {e.a, e.b}) {
                    const double t = ((q.x - a.x) * dx + (q.y - a.y) * dy) / len2;
                    if (t > 0 && t < 1) ts.push_back(t);
                }
            }
        };
        // Walk the grid rows the segment passes and, in each, only the cells
        // between the segment's x at the row's lower and upper bound.
        const int r0 = cellY(std::min(a.y, b.y)), r1 = cellY(std::max(a.y, b.y));
        for (int r = r0; r <= r1; ++r) {
            double xlo, xhi;
            if (dy == 0) {
                xlo = std::min(a.x, b.x);
                xhi = std::max(a.x, b.x);
            } else {
                const double yb = env.minY + r * cellH, yt = yb + cellH;
                double t0 = (yb - a.y) / dy, t1 = (yt - a.y) / dy;
                if (t0 > t1) std::swap(t0, t1);
                t0 = std::clamp(t0, 0.0, 1.0);
                t1 = std::clamp(t1, 0.0, 1.0);
                if (r == r0 || r == r1) {  // the end rows hold the end points
                    const double ta = (a.y <= b.y) ? 0.0 : 1.0, tb = 1.0 - ta;
                    if (r == r0) t0 = std::min(t0, ta), t1 = std::max(t1, ta);
                    if (r == r1) t0 = std::min(t0, tb), t1 = std::max(t1, tb);
                }
                const double xa = a.x + dx * t0, xb = a.x + dx * t1;
                xlo = std::min(xa, xb);
                xhi = std::max(xa, xb);
            }
            const int c0 = cellX(xlo - cellW * 1e-9), c1 = cellX(xhi + cellW * 1e-9);
            for (int c = c0; c <= c1; ++c) {
                const std::size_t cell = static_cast<std::size_t>(r) * nx + c;
                for (std::uint32_t k = cellStart[cell]; k < cellStart[cell + 1]; ++k) test(cellEdges[k]);
            }
        }
    }
};

ClipPolygons::ClipPolygons() : impl_(std::make_unique<Impl>()) {
    impl_->ctx = GEOS_init_r();
    if (!impl_->ctx) throw GisError("The geometry engine cannot be started.");
    // GEOS reports through this handler instead of the console; the text
    // becomes part of the failure's description.
    GEOSContext_setErrorMessageHandler_r(
        impl_->ctx,
        [](const char* message, void* userdata) {
            if (message) static_cast<Impl*>(userdata)->lastGeosError = message;
        },
        impl_.get());
}
ClipPolygons::ClipPolygons(ClipPolygons&&) noexcept = default;
ClipPolygons& ClipPolygons::operator=(ClipPolygons&&) noexcept = default;
ClipPolygons::~ClipPolygons() = default;

ClipPolygons ClipPolygons::fromGeometries(const std::vector<Geometry>& polygons) {
    ClipPolygons c;
    for (const auto& g : polygons)
        if (g.type() == GeometryType::Polygon && !g.isEmpty()) c.impl_->addPolygon(g);
    c.impl_->buildIndex();
    return c;
}

ClipPolygons ClipPolygons::fromFeatureClass(const FeatureClass& fc) {
    if (fc.geometryType() != GeometryType::Polygon)
        throw GisError("The clip features of " + fc.name() + " are not polygons.");
    std::vector<Geometry> polys;
    auto cur = fc.search();
    while (auto f = cur.next())
        if (f->shape().type() == GeometryType::Polygon && !f->shape().isEmpty()) polys.push_back(f->shape());
    if (polys.empty()) throw GisError("The clip features of " + fc.name() + " hold no polygon.");
    return fromGeometries(polys);
}

bool ClipPolygons::covers(const Point& p) const { return impl_->covers(p); }
Envelope ClipPolygons::envelope() const { return impl_->env; }
std::size_t ClipPolygons::edgeCount() const { return impl_->edges.size(); }

std::vector<Path> ClipPolygons::clip(const Path& line) const {
    std::vector<Path> out;
    Path current;
    std::vector<double> ts;
    auto at = [](const Point& a, const Point& b, double t) {
        if (t <= 0) return a;
        if (t >= 1) return b;
        return Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
    };
    auto closePiece = [&] {
        if (current.size() >= 2) out.push_back(std::move(current));
        current.clear();
    };
    for (std::size_t i = 1; i < line.size(); ++i) {
        const Point a = line[i - 1], b = line[i];
        if (a == b) continue;
        ts.assign({0.0, 1.0});
        impl_->crossings(a, b, ts);
        std::sort(ts.begin(), ts.end());
        ts.erase(std::unique(ts.begin(), ts.end()), ts.end());
        for (std::size_t k = 1; k < ts.size(); ++k) {
            const double t0 = ts[k - 1], t1 = ts[k];
            const Point p0 = at(a, b, t0), p1 = at(a, b, t1);
            if (p0 == p1) continue;
            const Point mid = at(a, b, 0.5 * (t0 + t1));
            if (impl_->covers(mid)) {
                if (current.empty()) current.push_back(p0);
                else if (!(current.back() == p0)) {
                    closePiece();
                    current.push_back(p0);
                }
                current.push_back(p1);
            } else {
                closePiece();
            }
        }
    }
    closePiece();
    return out;
}

Geometry ClipPolygons::clip(const Geometry& g) const {
    if (g.type() == GeometryType::Point) {
        if (!g.isEmpty() && covers(g.asPoint())) return g;
        return {};
    }
    if (g.type() != GeometryType::Polyline) throw GisError("Only lines and points can be clipped.");
    std::vector<Path> parts;
    for (const auto& p : g.parts()) {
        auto pieces = clip(p);
        for (auto& q : pieces) parts.push_back(std::move(q));
    }
    if (parts.empty()) return {};
    return Geometry::polyline(std::move(parts));
}

namespace {

std::shared_ptr<FeatureClass> replaceClass(Workspace& ws, const std::string& name, const FeatureClass& like) {
    if (ws.hasFeatureClass(name)) ws.deleteFeatureClass(name);
    return ws.createFeatureClass(name, like.geometryType(), like.attributeFields(), like.spatialReference());
}

}  // namespace

std::shared_ptr<FeatureClass> clipAnalysis(const FeatureClass& input, const ClipPolygons& clip, Workspace& outWs,
                                           const std::string& outName) {
    if (input.geometryType() != GeometryType::Polyline && input.geometryType() != GeometryType::Point)
        throw GisError("Clip_analysis takes line or point features.");
    Workspace::Transaction tx(outWs);
    auto out = replaceClass(outWs, outName, input);
    auto outFields = out->fields();
    auto cur = input.search();
    while (auto f = cur.next()) {
        Geometry g = clip.clip(f->shape());
        if (g.isEmpty()) continue;
        Feature o(outFields);
        o.setShape(std::move(g));
        for (int i = 2; i < outFields->count() && i < f->fieldCount(); ++i) o.setValue(i, f->value(i));
        out->store(o);
    }
    tx.commit();
    return out;
}

std::shared_ptr<FeatureClass> multipartToSinglepart(const FeatureClass& input, Workspace& outWs,
                                                    const std::string& outName) {
    Workspace::Transaction tx(outWs);
    auto out = replaceClass(outWs, outName, input);
    auto outFields = out->fields();
    auto cur = input.search();
    while (auto f = cur.next()) {
        const Geometry& g = f->shape();
        auto emit = [&](Geometry part) {
            Feature o(outFields);
            o.setShape(std::move(part));
            for (int i = 2; i < outFields->count() && i < f->fieldCount(); ++i) o.setValue(i, f->value(i));
            out->store(o);
        };
        switch (g.type()) {
            case GeometryType::Polyline:
                for (const auto& p : g.parts()) emit(Geometry::polyline({p}));
                break;
            case GeometryType::Point:
                for (const auto& p : g.parts()) emit(Geometry::point(p.at(0)));
                break;
            case GeometryType::Polygon: {
                std::size_t r = 0;
                for (std::size_t n : g.ringsPerPolygon()) {
                    std::vector<Path> rings(g.parts().begin() + static_cast<long>(r),
                                            g.parts().begin() + static_cast<long>(r + n));
                    r += n;
                    emit(Geometry::polygons({std::move(rings)}));
                }
                break;
            }
            case GeometryType::None: break;
        }
    }
    tx.commit();
    return out;
}

}  // namespace quor::platform::gis
