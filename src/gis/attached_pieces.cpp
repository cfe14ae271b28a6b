#include "gis/attached_pieces.h"

#include <algorithm>
#include <stdexcept>

#include "gis/lineprofile.h"
#include "platform/gis/gis_error.h"
#include "platform/log.h"

namespace quor::gis {

namespace {

const char* const kRaysMessage = "Error in creating rays";
const char* const kClipMessage = "Clipping error. Please check that points should lie inside the shoreline coverage extent.";

double orient(const XY& a, const XY& b, const XY& c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

bool onSegment(const XY& a, const XY& b, const XY& p) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

bool segmentsMeet(const XY& a, const XY& b, const XY& c, const XY& d) {
    const double d1 = orient(c, d, a), d2 = orient(c, d, b), d3 = orient(a, b, c), d4 = orient(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return true;
    return (d1 == 0 && onSegment(c, d, a)) || (d2 == 0 && onSegment(c, d, b)) || (d3 == 0 && onSegment(a, b, c)) ||
           (d4 == 0 && onSegment(a, b, d));
}

}  // namespace

double AttachedPiece::length() const { return pg::Geometry::line(start, end).length(); }

bool meetsSiteSquare(const XY& a, const XY& b, const pg::Point& site) {
    const auto sq = siteSquare(site);
    // sq[2] is the lower left corner, sq[0] the upper right.
    auto inside = [&](const XY& p) { return sq[2].x <= p.x && p.x <= sq[0].x && sq[2].y <= p.y && p.y <= sq[0].y; };
    if (inside(a) || inside(b)) return true;
    for (std::size_t i = 1; i < sq.size(); ++i)
        if (segmentsMeet(a, b, sq[i - 1], sq[i])) return true;
    return false;
}

std::vector<FanRay> fanRays(const pg::FeatureClass& rays) {
    std::vector<FanRay> out;
    const int dirField = rays.findField("Dir");
    if (dirField < 0) throw pg::GisError("The ray class has no field \"Dir\".");
    auto cursor = rays.search();
    while (auto f = cursor.next()) {
        const pg::Geometry& shape = f->shape();
        if (shape.partCount() == 0 || shape.part(0).empty()) continue;
        out.push_back({pg::toInt(f->value(dirField)), shape.parts()});
    }
    return out;
}

std::vector<AttachedPiece> attachedPieces(const pg::ClipPolygons& water, const std::vector<FanRay>& rays,
                                          const pg::Point& site) {
    std::vector<AttachedPiece> out;
    for (const FanRay& ray : rays) {
        if (ray.parts.empty() || ray.parts.front().empty()) continue;
        // The pieces as the clip leaves them, measured from the ray's own start.
        std::vector<pg::Path> inside;
        for (const pg::Path& path : ray.parts)
            for (pg::Path& part : water.clip(path)) inside.push_back(std::move(part));
        const auto pieces = mergeRayParts(inside, ray.parts.front().front());
        for (const RayPiece& piece : pieces) {
            if (!meetsSiteSquare(piece.start, piece.end, site)) continue;
            out.push_back({ray.dir, piece.start, piece.end});
        }
    }
    return out;
}

void profileAttachedRays(RayContext& ctx, const pg::Point& spoint, const std::shared_ptr<pg::Workspace>& pworkspace,
                         const std::shared_ptr<pg::Raster>& prasterlayer) {
    try {
        if (!pworkspace) throw pg::GisError("There is no project geodatabase to cast the rays in.");
        if (!(ctx.mainform.Fetch > 0))
            throw std::invalid_argument("The maximum fetch must be greater than 0 to cast rays.");
        deleteWorkClasses(pworkspace);
        std::vector<FanRay> rays;
        for (int i = 0; i < kReiRayCount; ++i)
            rays.push_back({i, {pg::Path{spoint, reiRayEnd(spoint, ctx.mainform.Fetch, i)}}});
        std::vector<AttachedPiece> pieces;
        try {
            pieces = attachedPieces(ctx.shore().polygons(), rays, spoint);
        } catch (const std::exception& e) {
            platform::logCause("Clipping the rays", e.what());
            ctx.messages.message(kClipMessage, platform::MessageIcon::Critical);
            return;
        }
        ctx.progress.setValue(1, 70);
        ctx.progress.setValue(1, 75);
        ctx.progress.setValue(1, 80);
        // Nothing reads the kept pieces as a class: they stay plain lines.
        std::vector<FanRay> kept;
        kept.reserve(pieces.size());
        for (const AttachedPiece& p : pieces) kept.push_back({p.dir, {pg::Path{p.start, p.end}}});
        lineprofile_cls(ctx).lineprofile(kept, spoint, prasterlayer);
    } catch (const std::invalid_argument& e) {
        ctx.messages.message(e.what(), platform::MessageIcon::Critical);
    } catch (const std::exception& e) {
        platform::logCause(kRaysMessage, e.what());
        ctx.messages.message(kRaysMessage, platform::MessageIcon::Critical);
    }
}

}  // namespace quor::gis
