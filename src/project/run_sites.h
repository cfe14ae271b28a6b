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
// holds none (unless `noneIsWhole`). The words name the dataset and its
// file. Nothing when every site reads whole. DiskFullError when it cannot
// be read for want of room on its disk, which is no fault of the dataset's.
std::optional<std::string> sitesNotWhole(const platform::gis::FeatureClass& points, bool noneIsWhole = false);

// The fields among `names` that `points` has, as GDAL matches names (in
// any letter case), spelt as the dataset spells them, in the order of
// `names`.
std::vector<std::string> fieldsHeld(const platform::gis::FeatureClass& points, const std::vector<std::string>& names);

// GisError naming the dataset unless it has every field of `names`: a
// run checks that its fields are there once it has added them, since
// another program may have put its own table in place meanwhile, and
// values for fields that are not there would go nowhere.
void requireFields(const platform::gis::FeatureClass& points, const std::vector<std::string>& names);

// What a run writes into one of its result fields.
struct ResultValues {
    enum class Kind {
        Reals,   // real numbers of at most `decimals` decimals
        Wholes,  // whole numbers alone
        Texts,
    };
    Kind kind = Kind::Reals;
    int decimals = 0;
    std::string words;  // the values as the user reads of them: "RWE values"
};

// Why the field `name` of `points` (in any letter case) cannot hold the
// values a run writes into it as the run computes them, so that the run
// refuses before it writes anything: real numbers need a real-number field
// that keeps their decimals, whole numbers one of integers or real
// numbers, texts a text field. The words name the field, the dataset and
// what the field is. Nothing when it holds them, or when there is no such
// field.
std::optional<std::string> resultFieldProblem(const platform::gis::FeatureClass& points, const std::string& name,
                                              const ResultValues& values);

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
