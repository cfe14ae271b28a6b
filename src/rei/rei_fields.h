#pragma once
// The result fields of a REI point dataset: for the fast mode the eight
// directional class values "Indexne" ... "Indexee" and "Index", for the
// clip mode "Index" alone, and on request the ray lengths "Ray1" to
// "Ray32". Every field is a double of length 30, appended after the
// dataset's own fields; only the missing ones are added, all at once.
#include <optional>
#include <string>
#include <vector>

#include "platform/feedback.h"
#include "platform/gis/feature_class.h"

namespace quor::rei {

namespace pg = platform::gis;

inline constexpr const char* kReplaceReiQuestion = "Point coverage already has REI values, do you want to replace them?";
inline constexpr const char* kShapefileInUse = "Shapefile is in use by other application";

enum class FieldsResult {
    Ready,     // every field the run writes is in place
    Declined,  // the user kept the existing values; nothing was added
};

inline constexpr const char* kIIndexField = "IIndex";

// Names of the fields a run writes, in the order they are created.
std::vector<std::string> reiFieldNames(bool fastMode, bool rayLengths);

// The REI result fields the dataset holds, whichever run or index-file
// weighting wrote them: a re-run empties them all, so that no value of an
// earlier run stands beside the new ones. Only real-number fields count;
// a text field of the same name is the user's own.
std::vector<std::string> earlierReiFields(const pg::FeatureClass& fc);

// Why the dataset cannot take the run's values (an existing result field
// that is not a real-number field), or nothing when it can.
std::optional<std::string> reiFieldProblem(const pg::FeatureClass& fc, bool fastMode, bool rayLengths);

// Fast mode. Asks before reusing existing directional values. A dataset
// that refuses a field throws pg::GisError after telling the user it is
// in use, and one whose disk has no room for them pg::DiskFullError; a
// shapefile is then as it was.
FieldsResult addREIfields_dir(pg::FeatureClass& fc, bool rayLengths, platform::Messages& messages);
// Clip mode. Asks before reusing an existing "Index"; pg::GisError when
// a field cannot be added.
FieldsResult addREIfields(pg::FeatureClass& fc, bool rayLengths, platform::Messages& messages);

}  // namespace quor::rei
