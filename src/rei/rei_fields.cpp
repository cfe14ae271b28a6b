#include "rei/rei_fields.h"

#include "platform/gis/gis_error.h"
#include "project/run_sites.h"
#include "rei/rei_index.h"

namespace quor::rei {

namespace {

// A field the run adds, as every one of them is made.
pg::FieldDef reiFieldDef(const std::string& name) { return {name, pg::FieldType::Double, std::string(), 30}; }

std::vector<std::string> rayFieldNames() {
    std::vector<std::string> names;
    for (int i = 1; i <= 32; ++i) names.push_back("Ray" + std::to_string(i));
    return names;
}

// All in one change: the dataset gets every missing field and loses every
// earlier value the run replaces, or nothing changes.
void prepareFields(pg::FeatureClass& fc, bool fastMode, bool rayLengths) {
    std::vector<pg::FieldDef> missing;
    for (const auto& name : reiFieldNames(fastMode, rayLengths))
        if (fc.findField(name) < 0) missing.push_back(reiFieldDef(name));
    fc.changeFields(missing, reiFieldsToEmpty(fc, fastMode, rayLengths));
    project::requireFields(fc, reiFieldNames(fastMode, rayLengths));
}

// The run's one question, before anything changes, naming every field
// the run writes or empties that the dataset has: a re-run (`rerun`
// holds) is asked as it always was, then told what it replaces; any other
// such field is the user's own. True to go on.
bool replaceAgreed(pg::FeatureClass& fc, bool fastMode, bool rayLengths, bool rerun, platform::Messages& messages) {
    const std::vector<std::string> held = project::fieldsHeld(fc, reiFieldsToEmpty(fc, fastMode, rayLengths));
    if (held.empty()) return true;
    return messages.question(rerun ? project::replaceRunQuestion(kReplaceReiQuestion, held)
                                   : project::replaceFieldsQuestion(fc.name(), held));
}

}  // namespace

std::vector<std::string> reiFieldNames(bool fastMode, bool rayLengths) {
    std::vector<std::string> names;
    if (fastMode) names.assign(kDirectionalFields.begin(), kDirectionalFields.end());
    names.push_back("Index");
    if (rayLengths)
        for (auto& n : rayFieldNames()) names.push_back(n);
    return names;
}

std::vector<std::string> reiFieldsToEmpty(const pg::FeatureClass& fc, bool fastMode, bool rayLengths) {
    std::vector<std::string> names = reiFieldNames(fastMode, rayLengths);
    if (fastMode) names.emplace_back(kIIndexField);
    const auto fields = fc.fields();
    std::vector<std::string> held;
    for (const auto& name : names) {
        const int pos = fields->findField(name);
        if (pos < 0) continue;
        const auto type = fields->field(pos).type;
        if (type == pg::FieldType::Double || type == pg::FieldType::Single) held.push_back(name);
    }
    return held;
}

std::optional<std::string> reiFieldProblem(const pg::FeatureClass& fc, bool fastMode, bool rayLengths) {
    for (const auto& name : reiFieldNames(fastMode, rayLengths)) {
        // The values go in unrounded: a field holds them as the run's own does.
        const project::ResultValues values{project::ResultValues::Kind::Reals, reiFieldDef(name).decimals(),
                                           "REI values"};
        if (auto problem = project::resultFieldProblem(fc, name, values)) return problem;
    }
    return std::nullopt;
}

FieldsResult addREIfields_dir(pg::FeatureClass& fc, bool rayLengths, platform::Messages& messages) {
    const std::vector<std::string> directional(kDirectionalFields.begin(), kDirectionalFields.end());
    const bool rerun = !project::fieldsHeld(fc, directional).empty();
    if (!replaceAgreed(fc, true, rayLengths, rerun, messages)) return FieldsResult::Declined;
    prepareFields(fc, true, rayLengths);
    return FieldsResult::Ready;
}

FieldsResult addREIfields(pg::FeatureClass& fc, bool rayLengths, platform::Messages& messages) {
    if (!replaceAgreed(fc, false, rayLengths, fc.findField("Index") >= 0, messages)) return FieldsResult::Declined;
    prepareFields(fc, false, rayLengths);
    return FieldsResult::Ready;
}

}  // namespace quor::rei
