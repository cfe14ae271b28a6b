#include "wave/rwe_results.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>
#include <cstdio>
#include <variant>

#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "platform/textfile.h"
#include "project/metadata_file.h"
#include "project/run_sites.h"

namespace quor::wave {

namespace {

constexpr double kSwitchedOff = -999;
// The decimals the wave values and the depth are stored with, and those of
// the bottom values.
constexpr int kWaveDecimals = 2;
constexpr int kBottomDecimals = 3;
// A site whose sediment motion is not told has no value there: what a
// shapefile's blank text reads as, and so the same in every format and
// route.
const pg::FieldValue kNoMotion{};

pg::FieldDef doubleField(const std::string& name) { return pg::FieldDef(name, pg::FieldType::Double, {}, 30); }

double r(double v, int decimals) {
    const double out = platform::roundHalfEven(v, decimals);
    return out == 0 ? 0.0 : out;  // never "-0" in a field
}

bool allFinite(const std::vector<pg::FieldValue>& values) {
    for (const auto& v : values)
        if (const double* d = std::get_if<double>(&v); d && !std::isfinite(*d)) return false;
    return true;
}

}  // namespace

std::vector<pg::FieldDef> rweResultFieldDefs() {
    std::vector<pg::FieldDef> defs;
    for (std::size_t i = 0; i + 1 < kRweResultFields.size(); ++i) defs.push_back(doubleField(kRweResultFields[i]));
    defs.emplace_back("Sed_Motion", pg::FieldType::String, std::string(), 5);
    return defs;
}

std::vector<pg::FieldDef> rayFieldDefs() {
    std::vector<pg::FieldDef> defs;
    for (int i = 1; i <= kRayFieldCount; ++i) defs.push_back(doubleField("Ray" + std::to_string(i)));
    return defs;
}

std::optional<std::string> rweFieldProblem(const pg::FeatureClass& points, const model::ModelState& state) {
    using Kind = project::ResultValues::Kind;
    const project::ResultValues wave{Kind::Reals, kWaveDecimals, "RWE values"};
    const project::ResultValues bottom{Kind::Reals, kBottomDecimals, "RWE values"};
    const project::ResultValues switchedOff{Kind::Wholes, 0, "RWE values"};
    const bool velocity = state.orbvel_on == 1;
    const bool motion = velocity && state.sediment_on == 1;
    // As rweFieldValues() gives them, field by field; a "Sed_Motion" whose
    // motion is not told gets no value, which any field holds.
    std::vector<project::ResultValues> values(7, wave);
    values.insert(values.end(), 3, velocity ? bottom : switchedOff);
    values.push_back(motion ? bottom : switchedOff);
    if (motion) values.push_back({Kind::Texts, 0, "the texts \"Yes\" and \"No\""});
    for (std::size_t i = 0; i < values.size(); ++i)
        if (auto problem = project::resultFieldProblem(points, kRweResultFields[i], values[i])) return problem;
    return std::nullopt;
}

bool add_rwe_fields(const model::ModelState& state, const model::MainFormState& mainform, pg::FeatureClass& points,
                    platform::Messages& messages) {
    if (state.batch_mode != 0) return false;
    const auto defs = rweResultFieldDefs();
    const auto rays = mainform.fetchlength == 1 ? rayFieldDefs() : std::vector<pg::FieldDef>{};
    // The ray fields are added empty: the run writes none of their values.
    std::vector<std::string> written;
    for (const auto& d : defs) written.push_back(d.name);
    // One question, before anything changes, naming every field whose
    // values go: a re-run is asked as it always was, then told what it
    // replaces; any other field of a result's name is the user's own.
    const bool rerun = points.findField(kRweResultFields[0]) >= 0;
    const std::vector<std::string> held = project::fieldsHeld(points, written);
    if (!held.empty() && !messages.question(rerun ? project::replaceRunQuestion(kReplaceRweQuestion, held)
                                                  : project::replaceFieldsQuestion(points.name(), held)))
        return true;
    // All in one go: a shapefile gets every missing field or none. Each ray
    // field on its own: a dataset holding some of them gets the rest.
    std::vector<pg::FieldDef> missing;
    for (const auto& d : defs)
        if (points.findField(d.name) == -1) missing.push_back(d);
    for (const auto& d : rays)
        if (points.findField(d.name) == -1) missing.push_back(d);
    // Values that are replaced go in the same change, so that however the
    // run ends no site keeps a value of the earlier run, nor one of the
    // user's that the user agreed to replace.
    points.changeFields(missing, rerun ? kRweResultFields : held);
    project::requireFields(points, written);
    return false;
}

std::vector<pg::FieldValue> rweFieldValues(const model::ModelState& s, const RweSiteResult& site) {
    std::vector<pg::FieldValue> v;
    v.emplace_back(r(site.rwe, kWaveDecimals));
    v.emplace_back(r(site.max_wvht, kWaveDecimals));
    v.emplace_back(r(site.avg_wvht, kWaveDecimals));
    v.emplace_back(r(site.max_wvdir, kWaveDecimals));
    v.emplace_back(r(site.avg_wvpd, kWaveDecimals));
    v.emplace_back(r(site.max_wvpd, kWaveDecimals));
    // The depth is held in single precision; it is stored as the decimal it
    // reads as (-31.84, not -31.840000152587891).
    v.emplace_back(platform::asWritten(static_cast<float>(r(s.pt_depth, kWaveDecimals))));
    if (s.orbvel_on != 1) {
        for (int i = 0; i < 4; ++i) v.emplace_back(kSwitchedOff);
        v.emplace_back(kNoMotion);
        return v;
    }
    const bool spectral = s.velocity_method == 1;
    v.emplace_back(r(spectral ? s.esa_orbvel : s.lwt_orbvel, kBottomDecimals));
    v.emplace_back(r(spectral ? s.esa_shearvel : s.lwt_shearvel, kBottomDecimals));
    v.emplace_back(r(spectral ? s.esa_shearstress : s.lwt_shearstress, kBottomDecimals));
    if (s.sediment_on != 1) {
        v.emplace_back(kSwitchedOff);
        v.emplace_back(kNoMotion);
    } else if (site.failed) {
        // A failed site says so in every value; whether its sediment moves is unknown.
        v.emplace_back(r(site.rwe, kBottomDecimals));
        v.emplace_back(kNoMotion);
    } else {
        v.emplace_back(r(s.crit_shearstress, kBottomDecimals));
        v.emplace_back(std::string(s.sed_motion == 1 ? "Yes" : "No"));
    }
    return v;
}

RweStoredValues rweStoredValues(const model::ModelState& state, const RweSiteResult& site) {
    RweStoredValues out{rweFieldValues(state, site), true};
    out.finite = allFinite(out.values);
    // No half a site: a value that is no number empties all of them.
    if (!out.finite) out.values.assign(out.values.size(), pg::FieldValue{});
    return out;
}

RweFieldPlaces RweFieldPlaces::of(std::shared_ptr<const pg::Fields> fields) {
    RweFieldPlaces out{std::move(fields), {}};
    for (const auto& name : kRweResultFields) out.places.push_back(out.fields ? out.fields->findField(name) : -1);
    return out;
}

int RweFieldPlaces::in(const pg::Feature& f, std::size_t i) const {
    return fields && f.fieldsPtr() == fields ? places[i] : f.findField(kRweResultFields[i]);
}

namespace {

void putStoredValues(pg::Feature& feature, const RweStoredValues& stored, const RweFieldPlaces* places) {
    for (std::size_t i = 0; i < stored.values.size(); ++i) {
        const int idx = places ? places->in(feature, i) : feature.findField(kRweResultFields[i]);
        if (idx >= 2) feature.setValue(idx, stored.values[i]);
    }
}

}  // namespace

std::optional<pg::SpeltRow> spellRweRow(pg::RowsAhead::Speller& speller, std::shared_ptr<const pg::Fields> fields,
                                        const RweStoredValues& stored) {
    try {
        pg::Feature f(std::move(fields));
        putStoredValues(f, stored, nullptr);
        return speller.spell(pg::valuesToStore(f));
    } catch (const pg::GisError&) {
        return std::nullopt;  // the commit spells it, and tells what fails
    }
}

bool write_rwe_results(pg::FeatureClass& points, pg::Feature& feature, const RweStoredValues& stored,
                       const pg::SpeltRow* ahead, const RweFieldPlaces* places) {
    putStoredValues(feature, stored, places);
    pg::Workspace::Transaction tx(*points.workspace());
    points.store(feature, ahead);
    tx.commit();
    return stored.finite;
}

bool write_rwe_results(pg::FeatureClass& points, pg::Feature& feature, const model::ModelState& state,
                       const RweSiteResult& site) {
    return write_rwe_results(points, feature, rweStoredValues(state, site));
}

std::string rweMetadataPath(const std::string& shpdir, const std::string& shpname1) {
    return shpdir + "/" + shpname1 + project::kRweMetadataEnd;
}

std::string generalNumber(double value, int digits) {
    if (!std::isfinite(value)) return platform::formatNumber(value);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    std::string s(buf);
    if (s.find_first_of("eE") != std::string::npos) {
        // Shortest plain form of the value cut to its significant digits.
        std::snprintf(buf, sizeof buf, "%.*e", digits - 1, value);
        return platform::formatNumber(std::strtod(buf, nullptr));
    }
    return s == "-0" ? "0" : s;
}

std::vector<std::string> rweMetadataLines(const model::ModelState& s, const model::MainFormState& mf,
                                          const RweMetadataInputs& in) {
    auto single = [](float v) { return generalNumber(v, 7); };
    auto dbl = [](double v) { return generalNumber(v, 15); };
    std::vector<std::string> l = {"Quor RWE Metadata File",
                                  "",
                                  "Created on: " + in.createdOn,
                                  "",
                                  "Input data",
                                  "",
                                  "Bathymetry:    " + mf.bathycov,
                                  "Bathymetry unit:    " + in.bathyunits,
                                  std::string("Bathymetry Sign:   ") + (s.bathy_positive != 0 ? "Positive" : "Negative"),
                                  "Shoreline data:    " + mf.shorecov,
                                  mf.shorename,
                                  "Wind data:    " + in.windPath,
                                  project::kPointDataLabel + in.pointData,
                                  ""};
    if (s.orbvel_on != 1) {
        l.emplace_back("Bottom velocity mode: Off");
    } else {
        l.emplace_back("Bottom velocity mode: On");
        l.push_back("Sea Temperature (Degree C):  " + single(s.sea_temp));
        l.push_back("Sea Salinity (g/Kg):  " + single(s.sea_salinity));
        l.push_back("Sea Dynamic Viscosity (Pascal second Pa.s):  " + single(s.sea_visc));
        l.push_back("Sea Density (kg/m3):  " + single(s.sea_dens));
        if (s.sediment_on != 1) {
            l.emplace_back("Sediment motion mode: Off");
        } else {
            l.emplace_back(s.velocity_method == 1
                               ? "Method used to calculate orbital velocity: Estimated Spectral Analysis"
                               : "Method used to calculate orbital velocity: Linear Wave Theory");
            l.emplace_back("Sediment motion mode: On");
            l.push_back("Sediment diameter (m):  " + single(s.sed_diameter));
            l.push_back("Sediment density (Kg/m3):  " + single(s.sed_density));
        }
    }
    l.emplace_back("");
    l.emplace_back("Quor parameters");
    l.emplace_back("");
    l.emplace_back("Quor Mode used:    RWE");
    l.push_back("Number of rays used:    " + std::to_string(in.rays));
    l.push_back("Fetch (meter):    " + dbl(mf.Fetch));
    l.push_back("Fetch segment length (meter):      " + dbl(s.Fetch_first));
    l.push_back("Fetch segment interrogation distance (meter):      " + dbl(s.Depth_intg_first));
    l.emplace_back("");
    l.emplace_back("Wave breaking parameters");
    l.emplace_back("");
    l.push_back("Alpha (Goda's Formula):    " + dbl(s.A_goda));
    l.push_back("Beach slope (Goda's formula):    " + dbl(s.goda_slope));
    l.push_back("Sensitivity eps:    " + dbl(s.Eps));
    return l;
}

void writeRweMetadata(const std::string& path, const std::vector<std::string>& lines) {
    platform::replaceTextLines(path, lines);
}

std::string currentDateTimeText() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale loc = QLocale::system();
    return loc.toString(now.date(), QLocale::ShortFormat).toStdString() + " " +
           loc.toString(now.time(), QLocale::ShortFormat).toStdString();
}

}  // namespace quor::wave
