#pragma once
// The RWE results of a run in the point dataset: the twelve result fields
// (and the 32 ray fields when asked), each site's values written into its
// feature, and the run's metadata file beside the dataset.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/feature.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/fields.h"
#include "platform/gis/row_spelling.h"

namespace quor::wave {

namespace pg = platform::gis;

// The result fields in the order they are created and written.
inline const std::vector<std::string> kRweResultFields = {"RWE",     "MaxWvH",   "AvgWvH",    "MaxWvDr",
                                                          "AvgWvPr", "MaxWvPr",  "Depth",     "HorVel",
                                                          "ShearVel", "ShearStrs", "CShearStrs", "Sed_Motion"};
inline constexpr int kRayFieldCount = 32;
inline constexpr const char* kReplaceRweQuestion = "Point coverage already has RWE values, do you want to replace them?";

// The definitions of the twelve result fields (eleven doubles of length
// 30, then "Sed_Motion", text of length 5).
std::vector<pg::FieldDef> rweResultFieldDefs();
// "Ray1" .. "Ray32", doubles of length 30.
std::vector<pg::FieldDef> rayFieldDefs();

// Why the point class cannot take the run's values (a result field that
// cannot hold them as the run computes them: one of integers, texts or
// dates for real numbers, a real-number field of fewer decimals, or a
// number field "Sed_Motion" when the run writes its texts), or nothing
// when it can.
std::optional<std::string> rweFieldProblem(const pg::FeatureClass& points, const model::ModelState& state);

// Makes the result fields ready on the run's point class. Batch runs: the
// class is left alone. When any result field exists (in any letter case),
// the user is asked once whether to replace the values, naming those
// fields: in the re-run's words when "RWE" exists; true means No (the
// run ends without touching anything). Otherwise every missing result
// field is added, and with `fetchlength` 1 every missing ray field, each
// on its own (they stay empty: the run writes no ray values), and the
// replaced values are emptied (a re-run's result fields, or the fields
// named), all in one change of the class. A refused change reaches the
// caller as GisError with the class as it was, as does a class that lacks
// a result field after the change (another program's table put in place
// meanwhile).
bool add_rwe_fields(const model::ModelState& state, const model::MainFormState& mainform, pg::FeatureClass& points,
                    platform::Messages& messages);

// One site's values as the driver hands them over.
struct RweSiteResult {
    double rwe = 0;
    double max_wvht = 0;
    double avg_wvht = 0;
    double max_wvdir = 0;
    double avg_wvpd = 0;
    double max_wvpd = 0;
    // True when rwe is a status code: every bottom value then holds the
    // code too and "Sed_Motion" stays empty.
    bool failed = false;
};

// The twelve values in field order, rounded as stored: the wave values to
// 2 decimals, the depth to 2 decimals (as the decimal its single
// precision value reads as), the bottom
// values to 3 decimals, -999 for parts switched off, and no value (NULL)
// in "Sed_Motion" when the motion is not told.
std::vector<pg::FieldValue> rweFieldValues(const model::ModelState& state, const RweSiteResult& site);

// The values a site's result fields take: rweFieldValues(), or every one
// empty (and `finite` false) when one of them is no finite number, so that
// no half of a site is stored.
struct RweStoredValues {
    std::vector<pg::FieldValue> values;
    bool finite = true;
};
RweStoredValues rweStoredValues(const model::ModelState& state, const RweSiteResult& site);

// Where the result fields are among a field list (-1 where one is
// missing), looked up once for a run rather than by name for every value.
struct RweFieldPlaces {
    std::shared_ptr<const pg::Fields> fields;
    std::vector<int> places;
    static RweFieldPlaces of(std::shared_ptr<const pg::Fields> fields);
    // Result field `i`'s place in `f`: looked up only when `f` has other fields.
    int in(const pg::Feature& f, std::size_t i) const;
};

// The row of a shapefile holding a site's stored values, spelt ahead of its
// commit on the thread that computed the site; nothing when the commit must
// spell it (see RowsAhead::Speller).
std::optional<pg::SpeltRow> spellRweRow(pg::RowsAhead::Speller& speller, std::shared_ptr<const pg::Fields> fields,
                                        const RweStoredValues& stored);

// Writes the site's values into its feature and stores it once, in one
// transaction of the dataset (its row as `ahead` spelt it, when it holds
// these values). Answers `stored.finite`. GisError when the store fails;
// nothing of the site is then saved.
bool write_rwe_results(pg::FeatureClass& points, pg::Feature& feature, const RweStoredValues& stored,
                       const pg::SpeltRow* ahead = nullptr, const RweFieldPlaces* places = nullptr);
// The same for the values rweStoredValues() gives.
bool write_rwe_results(pg::FeatureClass& points, pg::Feature& feature, const model::ModelState& state,
                       const RweSiteResult& site);

// Where the run's metadata file goes: the dataset's folder and the name
// it is named after (project::metadataName) with ".Metadata_RWE".
std::string rweMetadataPath(const std::string& shpdir, const std::string& shpname1);

// What the metadata file records besides the model state.
struct RweMetadataInputs {
    std::string createdOn;   // date and time, in the system's short formats
    std::string bathyunits;  // "Meter", "Feet" or "Centimeter"
    std::string windPath;    // the wind file the run read
    std::string pointData;   // the point dataset, as project::pointDataText names it
    int rays = 0;
};

// The lines of the metadata file.
std::vector<std::string> rweMetadataLines(const model::ModelState& state, const model::MainFormState& mainform,
                                          const RweMetadataInputs& inputs);

// Writes the metadata file (CR LF lines), replacing an earlier one.
// platform::FileError when it cannot be written.
void writeRweMetadata(const std::string& path, const std::vector<std::string>& lines);

// Now, in the system's short date and time formats.
std::string currentDateTimeText();

// A number in general form with at most `digits` significant digits, no
// exponent, no thousands separator: 34.84, 10000, 0.001.
std::string generalNumber(double value, int digits);

}  // namespace quor::wave
