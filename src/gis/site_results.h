#pragma once
// What the model runs share about the results they keep in a point
// dataset: emptying the earlier run's before a re-run, and the words that
// tell how many sites hold results when a run did not get through.
#include <cstdint>
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

// Why a re-run did not start: the earlier values of `model` ("RWE",
// "REI") in the dataset could not be emptied.
std::string notEmptiedText(const std::string& model, const std::string& dataset, const std::string& why);

// "S of N sites have stored results; the result fields of the other sites are empty."
std::string storedResultsText(std::int64_t stored, std::int64_t sites);

}  // namespace quor::gis
