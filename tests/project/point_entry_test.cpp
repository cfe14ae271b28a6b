// The point-entry wizard: its pages, its refusals, and the points it
// places, compared with PROJ's own transformation of the same EPSG pair.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#ifdef QUOR_HAVE_PROJ
#include <proj.h>
#endif

#include "platform/numbers.h"
#include "project/point_entry.h"
#include "project/ui/enter_pt_dialog.h"
#include "project_fixture.h"

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;

namespace {

struct WizardBench : Workbench {
    ProjectContext ctx{state, form, holder, wind, settings, messages, map, {}};
    WizardBench() {
        newProject();  // shoreline and bathymetry in EPSG:32755
        messages.entries.clear();
    }
    // Points typed in the wizard on the given system, datum and zone.
    std::shared_ptr<pg::FeatureClass> enter(const std::string& system, const std::string& datum, const std::string& zone,
                                            const std::vector<pg::Point>& pts) {
        const auto before = form.ptworkspace->featureClassNames().size();
        EnterPointWizard w(ctx);
        w.Form_Load();
        w.Text1 = std::to_string(pts.size());
        w.Combo1 = system;
        w.Combo1_Change();
        w.Combo2 = zone;
        w.Combo3 = datum;
        w.Command1_Click();
        for (const auto& p : pts) {
            w.Text2 = platform::formatNumber(p.x);
            w.Text3 = platform::formatNumber(p.y);
            w.Command1_Click();
        }
        EXPECT_TRUE(w.closed);
        const auto names = form.ptworkspace->featureClassNames();
        if (names.size() == before) return nullptr;  // nothing created
        return form.ptworkspace->openFeatureClass(names.back());
    }
    void useShoreline(int epsg) {
        gis::testdata::writeShoreline(data + "/shore" + std::to_string(epsg), "coast",
                                      {{{{0, 0}, {10, 0}, {10, 10}}}}, epsg);
        form.shorecov = data + "/shore" + std::to_string(epsg);
    }
};

#ifdef QUOR_HAVE_PROJ
// PROJ's own answer, in the traditional axis order.
pg::Point projAnswer(int fromEpsg, int toEpsg, pg::Point p) {
    PJ_CONTEXT* c = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(c, ("EPSG:" + std::to_string(fromEpsg)).c_str(),
                                     ("EPSG:" + std::to_string(toEpsg)).c_str(), nullptr);
    PJ* pj = proj_normalize_for_visualization(c, raw);
    PJ_COORD out = proj_trans(pj, PJ_FWD, proj_coord(p.x, p.y, 0, 0));
    proj_destroy(pj);
    proj_destroy(raw);
    proj_context_destroy(c);
    return {out.xy.x, out.xy.y};
}
#endif

}  // namespace

TEST(PointEntry, DatumsAndZonesMapToEpsgCodes) {
    EXPECT_EQ(enteredPointsEpsg("Lat/Long", "NAD 1983", 0), 4269);
    EXPECT_EQ(enteredPointsEpsg("lat/long", "NAD 1927", 0), 4267);
    EXPECT_EQ(enteredPointsEpsg("LAT/LONG", "wgs 1984", 0), 4326);
    EXPECT_EQ(enteredPointsEpsg("UTM", "NAD 1983", 10), 26910);
    EXPECT_EQ(enteredPointsEpsg("utm", "NAD 1927", 3), 26703);
    EXPECT_EQ(enteredPointsEpsg("UTM", "WGS 1984", 20), 32620);
    EXPECT_EQ(enteredPointsEpsg("UTM", "WGS 1984", 21), std::nullopt);
    EXPECT_EQ(enteredPointsEpsg("UTM", "ED 1950", 10), std::nullopt);
    EXPECT_EQ(enteredPointsEpsg("Mercator", "WGS 1984", 10), std::nullopt);

    EXPECT_EQ(nextPointdataExtNumber({}), 1);
    EXPECT_EQ(nextPointdataExtNumber({"Pointdata_ext1", "Pointdata_ext2"}), 3);
    EXPECT_EQ(nextPointdataExtNumber({"Pointdata_ext2"}), 1);
    EXPECT_EQ(nextPointdataExtNumber({"Pointdata1", "POINTDATA_EXT1"}), 2);
}

#ifdef QUOR_HAVE_PROJ
TEST(PointEntry, PointsLandWhereProjPutsThem) {
    WizardBench wb;
    // Longitude first: central Melbourne in the bay's UTM zone 55S.
    auto fc = wb.enter("Lat/Long", "WGS 1984", "0", {{144.9631, -37.8136}});
    ASSERT_TRUE(fc);
    EXPECT_EQ(fc->name(), "Pointdata_ext1");
    auto f = fc->feature(1);
    const auto p = f.shape().asPoint();
    const auto expect = projAnswer(4326, 32755, {144.9631, -37.8136});
    EXPECT_NEAR(p.x, expect.x, 1e-6);
    EXPECT_NEAR(p.y, expect.y, 1e-6);
    EXPECT_NEAR(p.x, 320700, 1000);  // a sanity check against the map
    EXPECT_NEAR(p.y, 5812600, 1000);
    EXPECT_EQ(std::get<double>(f.value(2)), 144.9631);  // as typed
    EXPECT_EQ(std::get<double>(f.value(3)), -37.8136);
    EXPECT_TRUE(fc->spatialReference().isSame(pg::SpatialReference::fromEpsg(32755)));
    EXPECT_EQ(wb.map.layer(0)->name(), "Pointdata_ext1");

    // Each datum and several zones, into a geographic shoreline.
    wb.useShoreline(4326);
    for (const char* datum : {"NAD 1927", "NAD 1983", "WGS 1984"}) {
        for (int zone : {3, 10, 17, 20}) {
            SCOPED_TRACE(std::string(datum) + " zone " + std::to_string(zone));
            const pg::Point typed{500000 + 1000 * zone, 4000000 + 20000 * zone};
            auto cls = wb.enter("UTM", datum, std::to_string(zone), {typed});
            ASSERT_TRUE(cls);
            const auto got = cls->feature(1).shape().asPoint();
            const auto want = projAnswer(*enteredPointsEpsg("UTM", datum, zone), 4326, typed);
            EXPECT_NEAR(got.x, want.x, 1e-9);
            EXPECT_NEAR(got.y, want.y, 1e-9);
        }
    }
    for (const char* datum : {"NAD 1927", "NAD 1983"}) {
        auto cls = wb.enter("Lat/Long", datum, "0", {{-122.5, 37.7}});
        const auto want = projAnswer(*enteredPointsEpsg("Lat/Long", datum, 0), 4326, {-122.5, 37.7});
        EXPECT_NEAR(cls->feature(1).shape().asPoint().x, want.x, 1e-9);
        EXPECT_NEAR(cls->feature(1).shape().asPoint().y, want.y, 1e-9);
    }
}
#endif

TEST(PointEntry, PagesNextPreviousAndFinish) {
    WizardBench wb;
    EnterPointWizard w(wb.ctx);
    w.Form_Load();
    EXPECT_EQ(w.Label3_0, "Longitude");
    EXPECT_FALSE(w.Combo2Visible);
    w.Text1 = "3";
    w.Combo3 = "WGS 1984";
    w.Command1_Click();  // the settings page
    EXPECT_FALSE(w.settingsEnabled);
    EXPECT_EQ(w.Label4, "Entering point 1");
    w.Command2_Click();  // previous on page 1 stays there
    EXPECT_EQ(w.pt_count, 1);
    EXPECT_FALSE(w.Command2Enabled);
    const std::vector<std::pair<std::string, std::string>> typed = {
        {"144.90", "-37.90"}, {"144.95", "-37.95"}, {"145.00", "-38.00"}};
    w.Text2 = "1";  // overwritten after "previous"
    w.Text3 = "1";
    w.Command1_Click();
    w.Command2_Click();
    EXPECT_EQ(w.Label4, "Entering point 1");
    for (const auto& [x, y] : typed) {
        w.Text2 = x;
        w.Text3 = y;
        if (&x == &typed.back().first) {
            EXPECT_EQ(w.Command1, "Finish");
        }
        w.Command1_Click();
    }
    ASSERT_TRUE(w.closed);
    auto fc = wb.form.ptworkspace->openFeatureClass("Pointdata_ext1");
    ASSERT_EQ(fc->featureCount(), 3);
    EXPECT_EQ(std::get<double>(fc->feature(1).value(2)), 144.90);
    EXPECT_EQ(std::get<double>(fc->feature(3).value(3)), -38.00);

    // One point: the first "next" already shows Finish.
    EnterPointWizard one(wb.ctx);
    one.Form_Load();
    one.Combo3 = "WGS 1984";
    one.Command1_Click();
    EXPECT_EQ(one.Command1, "Finish");
    EXPECT_EQ(one.Label4, "Entering point 1");
}

TEST(PointEntry, RefusalsKeepTheWizardOpen) {
    WizardBench wb;
    EnterPointWizard w(wb.ctx);
    w.Form_Load();
    w.Combo3 = "WGS 1984";
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { w.Text1 = ""; }, kEnterPointCount},
        {[&] { w.Text1 = "0"; }, kEnterPointCountRange},
        {[&] { w.Text1 = "101"; }, kEnterPointCountRange},
        {[&] { w.Text1 = "2.5"; }, kEnterPointCountRange},
        {[&] { w.Text1 = "abc"; }, kEnterPointCountRange},
        {[&] { w.Text1 = "2"; w.Combo1 = ""; }, kSelectSystem},
        {[&] { w.Combo1 = "utm"; w.Combo2 = "0"; }, kSelectZone},  // lower case is UTM, zone checked
        {[&] { w.Combo2 = "21"; }, kSelectZone},
        {[&] { w.Combo2 = "ten"; }, kSelectZone},
        {[&] { w.Combo2 = "10"; w.Combo3 = ""; }, kSelectDatum},
        {[&] { w.Combo3 = "WGS 1984"; w.Text2 = "east"; }, kEnterNumericCoordinates},
    };
    for (const auto& [change, message] : cases) {
        change();
        wb.messages.entries.clear();
        w.Command1_Click();
        ASSERT_EQ(wb.messageTexts(), std::vector<std::string>{message});
        EXPECT_TRUE(w.settingsEnabled);
        EXPECT_EQ(w.pt_count, 0);
    }
    w.Combo1_Change();
    EXPECT_TRUE(w.Combo2Visible);
    EXPECT_EQ(w.Label3_0, "X");
}

TEST(PointEntry, NothingIsCreatedWhenAPointFailsOrNoReferenceExists) {
    WizardBench wb;
    // The second point cannot be projected: no class, no half-filled features.
    EXPECT_EQ(wb.enter("Lat/Long", "WGS 1984", "0", {{144.9, -37.9}, {144.9, 95}}), nullptr);
    EXPECT_FALSE(wb.form.ptworkspace->hasFeatureClass("Pointdata_ext1"));
    ASSERT_EQ(wb.messages.entries.size(), 1u);
    EXPECT_EQ(wb.messageTexts()[0].rfind("Point 2: ", 0), 0u);

    // The layer second from the bottom is not taken for the shoreline: with
    // the bathymetry on top and another layer, points still follow the shoreline.
    wb.map.moveLayer(wb.map.layerCount() - 1, 0);
    wb.useShoreline(4326);
    auto fc = wb.enter("Lat/Long", "WGS 1984", "0", {{144.9, -37.9}});
    ASSERT_TRUE(fc);
    EXPECT_NEAR(fc->feature(1).shape().asPoint().x, 144.9, 1e-9);

    // Fast algorithm, no shoreline: the bathymetry's reference.
    wb.form.shorecov.clear();
    fc = wb.enter("Lat/Long", "WGS 1984", "0", {{144.9, -37.9}});
    ASSERT_TRUE(fc);
    EXPECT_NEAR(fc->feature(1).shape().asPoint().x, 313000, 5000);

    // Neither: a message and nothing created.
    wb.form.bathyname = "gone.tif";
    wb.messages.entries.clear();
    EXPECT_EQ(wb.enter("Lat/Long", "WGS 1984", "0", {{144.9, -37.9}}), nullptr);
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{kNoReferenceForPoints});
}

TEST(PointEntry, TheWindowShowsTheWizard) {
    WizardBench wb;
    EnterPointWizard w(wb.ctx);
    w.Form_Load();
    ui::EnterPointDialog dialog(w);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "  Enter point data");
    EXPECT_EQ(dialog.Combo2->count(), 18);
    EXPECT_FALSE(dialog.Combo2->isVisibleTo(&dialog));
    dialog.Combo1->setCurrentText("UTM");
    EXPECT_TRUE(dialog.Combo2->isVisibleTo(&dialog));
    dialog.Combo2->setCurrentText("55");
    dialog.Combo3->setCurrentText("WGS 1984");
    dialog.Command1->click();
    EXPECT_EQ(wb.messageTexts().back(), kSelectZone);
    dialog.Combo2->setCurrentText("10");
    dialog.Command1->click();
    EXPECT_FALSE(dialog.Text1->isEnabled());
    EXPECT_EQ(dialog.Command1->text().toStdString(), "Finish");
}
