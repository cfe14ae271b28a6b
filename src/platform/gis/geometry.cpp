#include "platform/gis/geometry.h"

#include <algorithm>
#include <cmath>

#include "platform/gis/gis_error.h"

namespace quor::platform::gis {

void Envelope::expand(const Point& p) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
}

void Envelope::expand(const Envelope& e) {
    if (e.isEmpty()) return;
    minX = std::min(minX, e.minX);
    minY = std::min(minY, e.minY);
    maxX = std::max(maxX, e.maxX);
    maxY = std::max(maxY, e.maxY);
}

bool Envelope::intersects(const Envelope& e) const {
    if (isEmpty() || e.isEmpty()) return false;
    return !(e.minX > maxX || e.maxX < minX || e.minY > maxY || e.maxY < minY);
}

bool Envelope::contains(const Point& p) const {
    return !isEmpty() && p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY;
}

Geometry Geometry::point(double x, double y) {
    Geometry g;
    g.type_ = GeometryType::Point;
    g.paths_.push_back(Path{{x, y}});
    return g;
}

Geometry Geometry::line(const Point& a, const Point& b) {
    Geometry g;
    g.type_ = GeometryType::Polyline;
    g.paths_.push_back(Path{a, b});
    return g;
}

Geometry Geometry::polyline(std::vector<Path> paths) {
    Geometry g;
    g.type_ = GeometryType::Polyline;
    for (auto& p : paths)
        if (!p.empty()) g.paths_.push_back(std::move(p));
    return g;
}

static void closeRing(Path& ring) {
    if (ring.size() >= 1 && !(ring.front() == ring.back())) ring.push_back(ring.front());
}

Geometry Geometry::polygon(Path ring) {
    Geometry g;
    g.type_ = GeometryType::Polygon;
    if (ring.empty()) return g;
    closeRing(ring);
    g.paths_.push_back(std::move(ring));
    g.ringsPerPolygon_.push_back(1);
    return g;
}

Geometry Geometry::polygons(std::vector<std::vector<Path>> polygons) {
    Geometry g;
    g.type_ = GeometryType::Polygon;
    for (auto& rings : polygons) {
        std::size_t n = 0;
        for (auto& r : rings) {
            if (r.empty()) continue;
            closeRing(r);
            g.paths_.push_back(std::move(r));
            ++n;
        }
        if (n) g.ringsPerPolygon_.push_back(n);
    }
    return g;
}

std::size_t Geometry::pointCount() const {
    std::size_t n = 0;
    for (const auto& p : paths_) n += p.size();
    return n;
}

Point Geometry::asPoint() const {
    if (type_ != GeometryType::Point || paths_.empty() || paths_[0].empty())
        throw GisError("The geometry is not a point.");
    return paths_[0][0];
}

Path Geometry::firstSegment() const {
    if (paths_.empty() || paths_[0].size() < 2) throw GisError("The geometry has no segment.");
    return Path{paths_[0][0], paths_[0][1]};
}

double pathLength(const Path& path) {
    double len = 0;
    for (std::size_t i = 1; i < path.size(); ++i) len += std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
    return len;
}

double Geometry::length() const {
    double len = 0;
    for (const auto& p : paths_) len += pathLength(p);
    return len;
}

Envelope Geometry::envelope() const {
    Envelope e;
    for (const auto& p : paths_)
        for (const auto& v : p) e.expand(v);
    return e;
}

namespace {

// The pieces a segment of length `len` is cut into.
long long piecesOf(double len, double maxLength) {
    // The tolerance keeps a segment whose computed length is a hair
    // above a whole multiple of maxLength from getting an extra piece.
    return static_cast<long long>(std::max(1.0, std::ceil(len / maxLength - 1e-9)));
}

}  // namespace

void densifyInto(const Path& path, double maxLength, Path& out) {
    if (!(maxLength > 0)) throw GisError("The densify length must be greater than zero.");
    out.clear();
    if (path.empty()) return;
    // Sized once: a long ray would otherwise be copied on every growth.
    std::size_t total = 1;
    for (std::size_t i = 1; i < path.size(); ++i)
        total += static_cast<std::size_t>(
            piecesOf(std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y), maxLength));
    out.reserve(total);
    out.push_back(path.front());
    for (std::size_t i = 1; i < path.size(); ++i) {
        const Point a = path[i - 1], b = path[i];
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len = std::hypot(dx, dy);
        const long long n = piecesOf(len, maxLength);
        for (long long k = 1; k < n; ++k) {
            const double t = static_cast<double>(k) / static_cast<double>(n);
            out.push_back({a.x + dx * t, a.y + dy * t});
        }
        out.push_back(b);
    }
}

Path densify(const Path& path, double maxLength) {
    Path out;
    densifyInto(path, maxLength, out);
    return out;
}

}  // namespace quor::platform::gis
