#pragma once
// Plain-value geometries: points, polylines (one or more paths) and
// polygons (one or more polygons, each an exterior ring and its holes).
// The layer converts them to and from GDAL/GEOS only at its edges.
#include <cstddef>
#include <limits>
#include <vector>

namespace quor::platform::gis {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

using Path = std::vector<Point>;  // a chain of vertices; a ring repeats its first vertex last

struct Envelope {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    bool isEmpty() const { return minX > maxX || minY > maxY; }
    double width() const { return isEmpty() ? 0 : maxX - minX; }
    double height() const { return isEmpty() ? 0 : maxY - minY; }
    void expand(const Point& p);
    void expand(const Envelope& e);
    bool intersects(const Envelope& e) const;
    bool contains(const Point& p) const;
    friend bool operator==(const Envelope&, const Envelope&) = default;
};

enum class GeometryType { None, Point, Polyline, Polygon };

class Geometry {
public:
    Geometry() = default;  // empty, type None

    static Geometry point(double x, double y);
    static Geometry point(const Point& p) { return point(p.x, p.y); }
    // A two-point line from a to b.
    static Geometry line(const Point& a, const Point& b);
    // A polyline of one or more paths (parts); empty paths are dropped.
    static Geometry polyline(std::vector<Path> paths);
    // A polygon from one ring; the ring is closed when it is not.
    static Geometry polygon(Path ring);
    // One or more polygons, each given as its rings: exterior first, then holes.
    static Geometry polygons(std::vector<std::vector<Path>> polygons);

    GeometryType type() const { return type_; }
    bool isEmpty() const { return paths_.empty(); }

    // Parts: for a point one path of one vertex; for a polyline its paths;
    // for polygons every ring in order (see ringsPerPolygon).
    std::size_t partCount() const { return paths_.size(); }
    const Path& part(std::size_t i) const { return paths_.at(i); }
    const std::vector<Path>& parts() const { return paths_; }
    // For polygons: how many consecutive rings belong to each polygon.
    const std::vector<std::size_t>& ringsPerPolygon() const { return ringsPerPolygon_; }
    std::size_t pointCount() const;

    // The point of a point geometry; throws GisError for other types.
    Point asPoint() const;
    // The first segment of the first part (its vertices 0 and 1); throws
    // GisError when the geometry has no segment.
    Path firstSegment() const;
    // Sum of the lengths of all parts (polygon: perimeter).
    double length() const;
    Envelope envelope() const;

    friend bool operator==(const Geometry&, const Geometry&) = default;

private:
    GeometryType type_ = GeometryType::None;
    std::vector<Path> paths_;
    std::vector<std::size_t> ringsPerPolygon_;
};

// Length of a path (sum of its segment lengths).
double pathLength(const Path& path);

// Densifies a path: every segment of length L is split into
// n = max(1, ceil(L / maxLength - 1e-9)) equal pieces, with new vertices at
// k * L / n along it. Both end points are kept; no piece is longer than
// maxLength (up to the 1e-9 tolerance that absorbs rounding of L).
// maxLength must be positive (GisError otherwise).
Path densify(const Path& path, double maxLength);
// The same into `out` (replacing what it held), so that a loop over many
// rays reuses one buffer.
void densifyInto(const Path& path, double maxLength, Path& out);

}  // namespace quor::platform::gis
