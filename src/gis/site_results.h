#pragma once
// What the model runs share about the results they keep in a point
// dataset: emptying the earlier run's before a re-run.
#include <string>
#include <vector>

#include "platform/gis/feature_class.h"

namespace quor::gis {

namespace pg = platform::gis;

// Empties these fields (those the class has) of every site, all or none
// (a shapefile is put back as it was): a re-run does this before its
// first site, so that however it ends no site keeps a value of the
// earlier run. GisError when that fails; nothing is then changed.
void emptyResultFields(pg::FeatureClass& points, const std::vector<std::string>& names);

}  // namespace quor::gis
