#pragma once
// What a model run makes sure of in its point dataset before it writes
// anything: that every site reads whole, and that no value of the user's
// is replaced without the user's word.
#include <optional>
#include <string>
#include <vector>

#include "platform/gis/feature_class.h"

namespace quor::project {

// Why a run cannot write into `points`: one of its sites cannot be read
// (a file cut short or damaged), fewer can than the dataset counts, or it
// holds none. The words name the dataset and its file. Nothing when every
// site reads whole. DiskFullError when it cannot be read for want of room
// on its disk, which is no fault of the dataset's.
std::optional<std::string> sitesNotWhole(const platform::gis::FeatureClass& points);

// The fields among `names` that `points` has, as GDAL matches names (in
// any letter case), spelt as the dataset spells them, in the order of
// `names`.
std::vector<std::string> fieldsHeld(const platform::gis::FeatureClass& points, const std::vector<std::string>& names);

// GisError naming the dataset unless it has every field of `names`: a
// run checks that its fields are there once it has added them, since
// another program may have put its own table in place meanwhile, and
// values for fields that are not there would go nowhere.
void requireFields(const platform::gis::FeatureClass& points, const std::vector<std::string>& names);

// How every question about replacing the values of fields a run writes
// ends, whichever fields it names.
inline constexpr const char* kReplaceFieldsQuestionEnd = " that this run writes; replace their values?";

// "The point dataset sites already has the fields Depth, MaxWvH that this
// run writes; replace their values?"
std::string replaceFieldsQuestion(const std::string& dataset, const std::vector<std::string>& fields);

// A re-run's question: the model's own (`asked`), then every field of the
// dataset whose values it replaces, whoever put them there: "Point
// coverage already has RWE values, do you want to replace them? This
// replaces the fields RWE, MaxWvH, Depth."
std::string replaceRunQuestion(const std::string& asked, const std::vector<std::string>& fields);

}  // namespace quor::project
