#include "project/run_sites.h"

#include <exception>

#include "platform/gis/gis_error.h"

namespace quor::project {

std::optional<std::string> sitesNotWhole(const platform::gis::FeatureClass& points, bool noneIsWhole) {
    try {
        points.wholeFeatureCount(noneIsWhole);
    } catch (const platform::gis::DiskFullError&) {
        throw;  // no fault of the dataset's: the run fails, saying why
    } catch (const std::exception& e) {
        return "The point dataset " + points.name() + ": " + e.what() + " Nothing was written.";
    }
    return std::nullopt;
}

std::vector<std::string> fieldsHeld(const platform::gis::FeatureClass& points, const std::vector<std::string>& names) {
    const auto fields = points.fields();
    std::vector<std::string> held;
    for (const auto& name : names) {
        const int pos = fields->findField(name);
        if (pos < 2) continue;
        const std::string& spelt = fields->field(pos).name;
        bool named = false;
        for (const auto& h : held) named = named || h == spelt;
        if (!named) held.push_back(spelt);
    }
    return held;
}

namespace {

// What `values` need of a field, or nothing when `kind` gives it.
std::optional<std::string> unheld(const platform::gis::FieldKind& kind, const ResultValues& values) {
    using Kind = ResultValues::Kind;
    if (values.kind == Kind::Texts) return kind.texts ? std::nullopt : std::optional<std::string>("a text field");
    if (values.kind == Kind::Wholes) return kind.wholes ? std::nullopt : std::optional<std::string>("a number field");
    return kind.reals ? std::nullopt : std::optional<std::string>("a real-number field");
}

std::string decimalsText(int decimals) {
    if (decimals == 0) return "no decimals";
    return std::to_string(decimals) + (decimals == 1 ? " decimal" : " decimals");
}

}  // namespace

std::optional<std::string> resultFieldProblem(const platform::gis::FeatureClass& points, const std::string& name,
                                              const ResultValues& values) {
    const int pos = points.findField(name);
    if (pos < 2) return std::nullopt;
    const platform::gis::FieldKind kind = points.fieldKind(pos);
    const std::string field = "The field \"" + points.fields()->field(pos).name + "\" of " + points.name() + " is ";
    const std::string remedy = " Please remove or rename it, or run the model on another point dataset.";
    if (auto needed = unheld(kind, values))
        return field + kind.words + ", not " + *needed + ", so " + values.words + " cannot be written into it." +
               remedy;
    if (values.kind == ResultValues::Kind::Reals && kind.decimals && *kind.decimals < values.decimals)
        return field + kind.words + " with " + decimalsText(*kind.decimals) + ", so " + values.words +
               ", which have " + std::to_string(values.decimals) + ", cannot be written into it whole." + remedy;
    return std::nullopt;
}

void requireFields(const platform::gis::FeatureClass& points, const std::vector<std::string>& names) {
    std::string missing;
    for (const auto& name : names)
        if (points.findField(name) < 2) missing += (missing.empty() ? "" : ", ") + name;
    if (!missing.empty())
        throw platform::gis::GisError("The point dataset " + points.name() + " lacks the fields " + missing +
                                      " after they were added: another program has changed it meanwhile.");
}

namespace {

// "field Depth", "fields MaxWvH, Depth".
std::string namedFields(const std::vector<std::string>& fields) {
    std::string list;
    for (const auto& f : fields) list += (list.empty() ? "" : ", ") + f;
    return (fields.size() == 1 ? "field " : "fields ") + list;
}

}  // namespace

std::string replaceFieldsQuestion(const std::string& dataset, const std::vector<std::string>& fields) {
    return "The point dataset " + dataset + " already has the " + namedFields(fields) + kReplaceFieldsQuestionEnd;
}

std::string replaceRunQuestion(const std::string& asked, const std::vector<std::string>& fields) {
    return asked + " This replaces the " + namedFields(fields) + ".";
}

}  // namespace quor::project
