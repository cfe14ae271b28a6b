#pragma once
// Drawing a site's effective fetches as its set of rays, "EffF_rays": one
// line per direction from the site, as long as the direction's effective
// fetch, on the bearing of the RWE fan. The wave stages read these rays.
#include <memory>

#include "model/bounded_array.h"
#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/geometry.h"
#include "platform/gis/workspace.h"

namespace quor::gis {

// The line of direction d of n: from the site outward for its effective fetch.
platform::gis::Path effectiveFetchLine(const platform::gis::Point& site, const model::BoundedArray<double, 60>& fetcharray,
                                       int d, int n);

// Creates "EffF_rays" in `ws` with one feature per direction d = 0..n-1
// (object ids 1..n, "Dir" = d) and returns it. The class creation tells
// the user why it failed (for example a leftover class); every failure
// then reaches the caller as GisError.
std::shared_ptr<platform::gis::FeatureClass> drawEffectiveFetchRays(
    const std::shared_ptr<platform::gis::Workspace>& ws, const platform::gis::Point& site,
    const model::BoundedArray<double, 60>& fetcharray, int n, platform::Messages& messages);

}  // namespace quor::gis
