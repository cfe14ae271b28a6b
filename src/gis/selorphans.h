#pragma once
// Keeping the pieces attached to a site: the pieces that meet the small
// square around the site (touching counts) are copied into "orp_rays".
#include <memory>

#include "gis/ray_site.h"
#include "platform/gis/raster.h"

namespace quor::gis {

// REI variant: keeps the pieces (unless the fast algorithm is on, which
// profiles the whole rays) and runs the ray profile over them. Failures
// of the selection or copy are thrown to the caller.
class selorphan_cls {
public:
    explicit selorphan_cls(RayContext& ctx) : ctx_(ctx) {}
    void selorphans(const pg::Point& spoint, const std::shared_ptr<pg::FeatureClass>& pieces,
                    const std::shared_ptr<pg::Workspace>& pworkspace,
                    const std::shared_ptr<pg::FeatureClass>& nfeatureclass,
                    const std::shared_ptr<pg::Raster>& prasterlayer);

private:
    RayContext& ctx_;
};

// RWE variant: returns the filled "orp_rays" class. Failures are thrown.
class wave_selorphan_cls {
public:
    explicit wave_selorphan_cls(RayContext& ctx) : ctx_(ctx) {}
    std::shared_ptr<pg::FeatureClass> selorphans(const pg::Point& spoint,
                                                 const std::shared_ptr<pg::FeatureClass>& pieces,
                                                 const std::shared_ptr<pg::Workspace>& pworkspace,
                                                 const std::shared_ptr<pg::FeatureClass>& nfeatureclass);

private:
    RayContext& ctx_;
};

// The shared selection and copy, with the two progress values of the variant.
std::shared_ptr<pg::FeatureClass> keepAttachedPieces(RayContext& ctx, const pg::Point& spoint,
                                                     const std::shared_ptr<pg::FeatureClass>& pieces,
                                                     const std::shared_ptr<pg::FeatureClass>& target, int progressBefore,
                                                     int progressAfter);

}  // namespace quor::gis
