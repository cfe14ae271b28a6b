#pragma once
// The result fields of a REI point dataset: for the fast mode the eight
// directional class values "Indexne" ... "Indexee" and "Index", for the
// clip mode "Index" alone, and on request the ray lengths "Ray1" to
// "Ray32". Every field is a double of length 30, appended after the
// dataset's own fields; only the missing ones are added, all at once,
// and the values a re-run replaces are emptied in the same change.
#include <optional>
#include <string>
#include <vector>

#include "platform/feedback.h"
#include "platform/gis/feature_class.h"

namespace quor::rei {

namespace pg = platform::gis;

inline constexpr const char* kReplaceReiQuestion = "Point coverage already has REI values, do you want to replace them?";

enum class FieldsResult {
    Ready,     // every field the run writes is in place
    Declined,  // the user kept the existing values; nothing was added
};

inline constexpr const char* kIIndexField = "IIndex";

// Names of the fields a run writes, in the order they are created.
std::vector<std::string> reiFieldNames(bool fastMode, bool rayLengths);

// The fields whose earlier values a run empties before its first site:
// those it writes, so that however it ends no field holds values of two
// runs, and, when it writes the directional values, "IIndex", which was
// weighed from the earlier ones. Every other result field keeps the
// earlier run's values. Only real-number fields count; a text field of
// the same name is the user's own.
std::vector<std::string> reiFieldsToEmpty(const pg::FeatureClass& fc, bool fastMode, bool rayLengths);

// Why the dataset cannot take the run's values (an existing result field
// that is not a real-number field, or one that keeps fewer decimals than
// the run's own fields), or nothing when it can.
std::optional<std::string> reiFieldProblem(const pg::FeatureClass& fc, bool fastMode, bool rayLengths);

// Before anything changes, each asks once when the dataset has a field
// the run writes or empties (in any letter case), naming those fields: in
// the re-run's words when the mode's own fields are there (the
// directional values, or for the clip mode "Index"); No declines the run.
//
// Fast mode. Asks, then adds the missing fields and empties the replaced
// values in one change. A dataset that refuses the change throws
// pg::GisError with the reason, and one whose disk has no room
// pg::DiskFullError; either way it is as it was. pg::GisError too when a
// field the run writes is missing after the change (another program's
// table put in place meanwhile).
FieldsResult addREIfields_dir(pg::FeatureClass& fc, bool rayLengths, platform::Messages& messages);
// Clip mode. Asks, then changes the fields as the fast mode does; pg::GisError when they cannot be changed.
FieldsResult addREIfields(pg::FeatureClass& fc, bool rayLengths, platform::Messages& messages);

}  // namespace quor::rei
