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

double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// The orientation of p against the line a→b (1 to its left, -1 to its
// right, 0 on it), exactly as GEOS decides it, so that a point tells the
// same inside or outside GEOS's own point location tells. Each thread asks
// through a context of its own.
int orientation(const Point& a, const Point& b, const Point& p) {
    struct Context {
        GEOSContextHandle_t handle = GEOS_init_r();
        ~Context() {
            if (handle) GEOS_finish_r(handle);
        }
    };
    thread_local Context context;
    if (!context.handle) throw GisError("The geometry engine cannot be started.");
    const int r = GEOSOrientationIndex_r(context.handle, a.x, a.y, b.x, b.y, p.x, p.y);
    if (r == 2) throw GisError("A point cannot be tested against the clip polygons.");
    return r;
}

}  // namespace

// The clip polygons' edges in a uniform grid (for the crossings of a line)
// and in a packed tree of their vertical extents (for the inside test of a
// point). Built once and never changed after: any number of threads may
// query one at the same time.
struct ClipPolygons::Impl {
    std::vector<Edge> edges;  // every ring's edges, each from a vertex to the next
    std::vector<std::uint32_t> edgePart;  // the polygon each edge bounds
    std::vector<Envelope> partEnv;
    Envelope env;
    int nx = 1, ny = 1;
    double cellW = 1, cellH = 1;
    std::vector<std::uint32_t> cellStart;  // nx*ny+1 offsets into cellEdges
    std::vector<std::uint32_t> cellEdges;
    // The edges by their vertical extent: leaves in tree order, and above
    // them levels of nodes over kFanOut nodes (or leaves) of the level below.
    static constexpr std::size_t kFanOut = 8;
    struct Span {
        double low, high;
    };
    std::vector<std::uint32_t> leafEdge;
    std::vector<Span> leafSpan;
    std::vector<std::vector<Span>> levels;  // levels[0] over the leaves; the last holds the root

    void addPolygon(const Geometry& g) {
        const auto part = static_cast<std::uint32_t>(partEnv.size());
        partEnv.push_back(g.envelope());
        env.expand(partEnv.back());
        for (const auto& ring : g.parts()) {
            for (std::size_t i = 1; i < ring.size(); ++i)
                if (!(ring[i - 1] == ring[i])) edges.push_back({ring[i - 1], ring[i]}), edgePart.push_back(part);
            // A ring is closed whether or not its last vertex repeats its first.
            if (ring.size() > 2 && !(ring.back() == ring.front()))
                edges.push_back({ring.back(), ring.front()}), edgePart.push_back(part);
        }
    }

    int cellX(double x) const { return std::clamp(static_cast<int>((x - env.minX) / cellW), 0, nx - 1); }
    int cellY(double y) const { return std::clamp(static_cast<int>((y - env.minY) / cellH), 0, ny - 1); }

    void buildIndex() {
        buildGrid();
        buildSpans();
    }

    void buildGrid() {
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
    }

    void buildSpans() {
        leafEdge.resize(edges.size());
        for (std::uint32_t i = 0; i < edges.size(); ++i) leafEdge[i] = i;
        auto middle = [&](std::uint32_t i) { return edges[i].a.y + edges[i].b.y; };
        std::sort(leafEdge.begin(), leafEdge.end(), [&](std::uint32_t l, std::uint32_t r) { return middle(l) < middle(r); });
        leafSpan.resize(edges.size());
        for (std::size_t i = 0; i < edges.size(); ++i) {
            const Edge& e = edges[leafEdge[i]];
            leafSpan[i] = {std::min(e.a.y, e.b.y), std::max(e.a.y, e.b.y)};
        }
        const std::vector<Span>* below = &leafSpan;
        while (below->size() > 1) {
            std::vector<Span> level((below->size() + kFanOut - 1) / kFanOut, Span{HUGE_VAL, -HUGE_VAL});
            for (std::size_t i = 0; i < below->size(); ++i) {
                Span& n = level[i / kFanOut];
                n.low = std::min(n.low, (*below)[i].low);
                n.high = std::max(n.high, (*below)[i].high);
            }
            levels.push_back(std::move(level));
            below = &levels.back();
        }
    }

    // Calls fn(edge) for every edge whose vertical extent holds y.
    template <class Fn>
    void edgesAtHeight(double y, Fn&& fn) const {
        if (leafSpan.empty()) return;
        if (levels.empty()) {
            if (leafSpan[0].low <= y && y <= leafSpan[0].high) fn(leafEdge[0]);
            return;
        }
        // Depth first, nodes as (level, index); level -1 is a leaf.
        struct At {
            int level;
            std::size_t index;
        };
        At stack[64 * kFanOut];
        int top = 0;
        stack[top++] = {static_cast<int>(levels.size()) - 1, 0};
        while (top > 0) {
            const At at = stack[--top];
            const std::size_t from = at.index * kFanOut;
            if (at.level == 0) {
                const std::size_t to = std::min(from + kFanOut, leafSpan.size());
                for (std::size_t i = from; i < to; ++i)
                    if (leafSpan[i].low <= y && y <= leafSpan[i].high) fn(leafEdge[i]);
                continue;
            }
            const auto& below = levels[static_cast<std::size_t>(at.level) - 1];
            const std::size_t to = std::min(from + kFanOut, below.size());
            for (std::size_t i = from; i < to; ++i)
                if (below[i].low <= y && y <= below[i].high) stack[top++] = {at.level - 1, i};
        }
    }

    // Inside or on the boundary of any polygon: the crossings of a ray from
    // p towards +x counted per polygon, with GEOS's rules for a ray through
    // a vertex, so that every point is told as GEOS's point location tells it.
    bool covers(const Point& p) const {
        if (!env.contains(p)) return false;
        // Polygons crossed an odd number of times so far (few: a ray meets
        // few polygons; more spill into the vector).
        std::uint32_t odd[16];
        std::size_t oddCount = 0;
        std::vector<std::uint32_t> more;
        bool onBoundary = false;
        auto toggle = [&](std::uint32_t part) {
            for (std::size_t i = 0; i < oddCount; ++i)
                if (odd[i] == part) {
                    odd[i] = odd[--oddCount];
                    return;
                }
            for (std::size_t i = 0; i < more.size(); ++i)
                if (more[i] == part) {
                    more[i] = more.back();
                    more.pop_back();
                    return;
                }
            if (oddCount < std::size(odd))
                odd[oddCount++] = part;
            else
                more.push_back(part);
        };
        edgesAtHeight(p.y, [&](std::uint32_t ei) {
            if (onBoundary) return;
            const std::uint32_t part = edgePart[ei];
            if (!partEnv[part].contains(p)) return;
            const Point& p1 = edges[ei].a;
            const Point& p2 = edges[ei].b;
            if (p1.x < p.x && p2.x < p.x) return;
            if (p == p2) {
                onBoundary = true;
                return;
            }
            if (p1.y == p.y && p2.y == p.y) {
                if (p.x >= std::min(p1.x, p2.x) && p.x <= std::max(p1.x, p2.x)) onBoundary = true;
                return;
            }
            // An upward edge holds its first vertex and not its last; a
            // downward edge its last and not its first.
            if ((p1.y > p.y && p2.y <= p.y) || (p2.y > p.y && p1.y <= p.y)) {
                int side = orientation(p1, p2, p);
                if (side == 0) {
                    onBoundary = true;
                    return;
                }
                if (p2.y < p1.y) side = -side;
                if (side > 0) toggle(part);
            }
        });
        return onBoundary || oddCount > 0 || !more.empty();
    }

    // Parameters t in [0, 1] where segment ab meets a polygon edge. An edge
    // in several of the cells walked is met in each: its t comes again,
    // equal to the bit, and the caller keeps one of equal values.
    void crossings(const Point& a, const Point& b, std::vector<double>& ts) const {
        Envelope se;
        se.expand(a);
        se.expand(b);
        if (!se.intersects(env)) return;
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        auto test = [&](std::uint32_t ei) {
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

ClipPolygons::ClipPolygons() : impl_(std::make_unique<Impl>()) {}
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
