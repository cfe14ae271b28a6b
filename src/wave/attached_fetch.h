#pragma once
// The effective fetch of an RWE site in a run that draws no work classes:
// the pieces attached to the site come straight from the run's prepared
// shoreline instead of the clipped, selected and copied work classes.
// Same lengths, same effective fetches, same "EffF_rays" for the waves,
// and the same square drawn around the site.
#include <memory>
#include <vector>

#include "gis/attached_pieces.h"
#include "gis/ray_site.h"
#include "platform/gis/feature_class.h"

namespace quor::wave {

// The effective-fetch rays of the site, or the status code of the step
// that failed: clip_failed when the shoreline cannot be used or no piece
// is attached to the site, fetch_failed when the fetch cannot be measured.
struct AttachedFetch {
    std::shared_ptr<platform::gis::FeatureClass> eff;
    double status = 0;
};

AttachedFetch attachedEffectiveFetch(gis::RayContext& rc, const std::shared_ptr<platform::gis::FeatureClass>& rays,
                                     int n, const platform::gis::Point& site);

// The same from a fan kept as plain lines: the effective fetches stay in
// fetcharray, nothing is drawn. 0, or the status code as above.
double attachedEffectiveFetch(gis::RayContext& rc, const std::vector<gis::FanRay>& rays, int n,
                              const platform::gis::Point& site);

}  // namespace quor::wave
