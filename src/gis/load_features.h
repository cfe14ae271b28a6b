#pragma once
// Copying every feature a cursor delivers into an existing class,
// attributes matched by name, then showing the class on the map.
#include <memory>
#include <string>

#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/map.h"

namespace quor::gis {

namespace pg = platform::gis;

struct LoadFeaturesResult {
    std::shared_ptr<pg::FeatureClass> target;  // the target class, or null when none was given
    int failures = 0;                          // failed steps (features lost or copied incompletely)
    std::string firstError;                    // the description of the first failure
    bool ok() const { return target && failures == 0; }
};

// Copies the features of pfeaturecursor into sfeatureclass through a
// buffered insert cursor flushed every 100 features and at the end, then
// adds the class as a layer on top of the map (when a map is given).
// Every failure shows its description and the copy goes on with the next
// feature; the failures are counted in the result so that the caller can
// give the site a status. A cursor that fails to deliver its next feature
// ends the copy. Without a target class nothing is read and nothing added.
LoadFeaturesResult LoadFeatures(const std::shared_ptr<pg::FeatureClass>& sfeatureclass, pg::FeatureCursor& pfeaturecursor,
                                pg::Map* map, platform::Messages& messages);

// Copies the attribute values of source into buffer: every source field
// that is neither the shape nor the object id and that the buffer has
// (by name, case ignored).
void copyattributes(pg::Feature& buffer, const pg::Feature& source);

}  // namespace quor::gis
