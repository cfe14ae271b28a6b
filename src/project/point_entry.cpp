#include "project/point_entry.h"

#include <cmath>

#include "gis/geodatabase.h"
#include "platform/ascii_case.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/map.h"
#include "platform/gis/projection.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "gis/shorebathy.h"

namespace quor::project {

namespace pg = platform::gis;
using platform::MessageIcon;

namespace {

std::string upperTrimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const std::string t = s.substr(b, s.find_last_not_of(" \t") - b + 1);
    return platform::upperAscii(t);
}

std::optional<int> zoneOf(const std::string& text) {
    try {
        const auto z = platform::parseInt16(text);
        if (z && *z >= 3 && *z <= 20) return *z;
    } catch (const platform::OverflowError&) {
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> enteredPointsEpsg(const std::string& system, const std::string& datum, int zone) {
    const std::string s = upperTrimmed(system), d = upperTrimmed(datum);
    if (s == "LAT/LONG") {
        if (d == "NAD 1983") return 4269;
        if (d == "NAD 1927") return 4267;
        if (d == "WGS 1984") return 4326;
        return std::nullopt;
    }
    if (s != "UTM" || zone < 3 || zone > 20) return std::nullopt;
    if (d == "NAD 1983") return 26900 + zone;
    if (d == "NAD 1927") return 26700 + zone;
    if (d == "WGS 1984") return 32600 + zone;
    return std::nullopt;
}

int nextPointdataExtNumber(const std::vector<std::string>& classNames) {
    int n = 1;
    for (const auto& name : classNames)
        if (upperTrimmed(name) == "POINTDATA_EXT" + std::to_string(n)) ++n;
    return n;
}

pg::SpatialReference enteredPointsTarget(const model::MainFormState& form) {
    const pg::SpatialReference sr = gis::mapDataSpatialReference(form);
    if (sr.isNone()) throw pg::GisError(form.shorecov.empty() ? kNoReferenceForPoints : kShorelineNoReference);
    return sr;
}

std::shared_ptr<pg::FeatureClass> createEnteredPoints(ProjectContext& ctx, int epsg, const std::vector<pg::Point>& typed) {
    auto ws = ctx.form.ptworkspace;
    std::vector<std::string> names;
    try {
        if (!ws) throw pg::GisError("No project geodatabase is open.");
        names = ws->featureClassNames();
    } catch (const pg::GisError&) {
        ctx.messages.message(kCheckCoordinates, MessageIcon::Critical);
        return nullptr;
    }
    try {
        const pg::SpatialReference target = enteredPointsTarget(ctx.form);
        const pg::CoordinateTransform toTarget(pg::SpatialReference::fromEpsg(epsg), target);
        // Every point is projected before anything is written.
        std::vector<pg::Point> projected;
        for (size_t i = 0; i < typed.size(); ++i) {
            try {
                projected.push_back(toTarget.transform(typed[i]));
            } catch (const pg::GisError& e) {
                throw pg::GisError("Point " + std::to_string(i + 1) + ": " + e.description());
            }
        }
        const std::string name = "Pointdata_ext" + std::to_string(nextPointdataExtNumber(names));
        std::shared_ptr<pg::FeatureClass> fc;
        {
            pg::Workspace::Transaction tx(*ws);
            fc = ws->createFeatureClass(name, pg::GeometryType::Point, gis::standardFields(pg::GeometryType::Point), target);
            for (size_t i = 0; i < typed.size(); ++i) {
                pg::Feature f = fc->createFeature();
                f.setValue(2, typed[i].x);
                f.setValue(3, typed[i].y);
                f.setShape(pg::Geometry::point(projected[i]));
                fc->store(f);
            }
            tx.commit();
        }
        ctx.map.addLayer(pg::Layer::featureLayer(fc, fc->aliasName()));
        return fc;
    } catch (const std::exception& e) {
        ctx.messages.message(e.what(), MessageIcon::Critical);
        return nullptr;
    }
}

EnterPointWizard::EnterPointWizard(ProjectContext& context) : ctx_(context) {}

std::vector<std::string> EnterPointWizard::systems() { return {"Lat/Long", "UTM"}; }
std::vector<std::string> EnterPointWizard::zones() {
    std::vector<std::string> z;
    for (int i = 3; i <= 20; ++i) z.push_back(std::to_string(i));
    return z;
}
std::vector<std::string> EnterPointWizard::datums() { return {"NAD 1927", "NAD 1983", "WGS 1984"}; }

bool EnterPointWizard::isUtm() const { return upperTrimmed(Combo1) == "UTM"; }

int EnterPointWizard::count() const {
    const auto n = platform::parseNumber(Text1);
    return n ? static_cast<int>(*n) : 0;
}

void EnterPointWizard::Form_Load() {
    pt_count = 0;
    Text1 = "1";
    Combo1 = "lat/long";
    Combo2 = "0";
    Combo3.clear();
    Text2 = Text3 = "0";
    Label4 = "Entering point 0";
    Command1 = "next";
    Command2 = "previous";
    Command2Enabled = false;
    settingsEnabled = true;
    closed = false;
    Combo1_Change();
}

void EnterPointWizard::Combo1_Change() {
    // The same comparison as the projection's: "utm" is UTM too.
    Combo2Visible = isUtm();
    Label3_0 = Combo2Visible ? "X" : "Longitude";
    Label3_1 = Combo2Visible ? "Y" : "Latitude";
}

bool EnterPointWizard::validate_ptentry() {
    auto refuse = [this](const char* text) {
        ctx_.messages.message(text, MessageIcon::Exclamation);
        return false;
    };
    if (settingsEnabled) {
        if (upperTrimmed(Text1).empty()) return refuse(kEnterPointCount);
        const auto n = platform::parseNumber(Text1);
        if (!n || *n != std::floor(*n) || *n < 1 || *n > kMaxEnteredPoints) return refuse(kEnterPointCountRange);
        const std::string system = upperTrimmed(Combo1);
        if (system != "LAT/LONG" && system != "UTM") return refuse(kSelectSystem);
        if (system == "UTM" && !zoneOf(Combo2)) return refuse(kSelectZone);
        if (!enteredPointsEpsg(Combo1, Combo3, system == "UTM" ? *zoneOf(Combo2) : 3)) return refuse(kSelectDatum);
    }
    if (!platform::parseNumber(Text2) || !platform::parseNumber(Text3)) return refuse(kEnterNumericCoordinates);
    return true;
}

void EnterPointWizard::Command1_Click() {
    if (!validate_ptentry()) return;
    settingsEnabled = false;
    const int n = count();
    auto storePage = [this] {
        pt_x[pt_count] = *platform::parseNumber(Text2);
        pt_y[pt_count] = *platform::parseNumber(Text3);
    };
    if (Command1 == "Finish") {
        storePage();
        create_ptdata();
        closed = true;
        return;
    }
    if (pt_count == n - 1) {
        Command1 = "Finish";
    } else {
        Command1 = "next";
        Command2 = "previous";
    }
    storePage();
    ++pt_count;
    Label4 = "Entering point " + std::to_string(pt_count);
    Command2Enabled = true;
}

void EnterPointWizard::Command2_Click() {
    --pt_count;
    if (pt_count <= 1) {
        pt_count = 1;
        Command2Enabled = false;
    } else {
        Command2Enabled = true;
    }
    if (pt_count == count()) {
        Command1 = "Finish";
    } else {
        Command2 = "previous";
        Command1 = "next";
    }
    Label4 = "Entering point " + std::to_string(pt_count);
}

void EnterPointWizard::create_ptdata() {
    const int zone = isUtm() ? zoneOf(Combo2).value_or(0) : 3;
    const auto epsg = enteredPointsEpsg(Combo1, Combo3, zone);
    if (!epsg) return;
    std::vector<pg::Point> typed;
    for (int i = 1; i <= pt_count; ++i) typed.push_back({pt_x[i], pt_y[i]});
    createEnteredPoints(ctx_, *epsg, typed);
}

}  // namespace quor::project
