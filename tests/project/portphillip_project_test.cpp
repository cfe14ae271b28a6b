// A project on the real bay: created, saved, and opened again into a fresh
// state, member by member.
#include "project_fixture.h"

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;

namespace {

void expectSameProject(const Workbench& a, const Workbench& b) {
    EXPECT_EQ(a.form.projfile, b.form.projfile);
    EXPECT_EQ(a.form.projname, b.form.projname);
    EXPECT_EQ(a.form.geodatabasename, b.form.geodatabasename);
    ASSERT_TRUE(a.form.ptworkspace && b.form.ptworkspace);
    EXPECT_TRUE(fs::equivalent(a.form.ptworkspace->path(), b.form.ptworkspace->path()));
    EXPECT_EQ(a.form.bathycov, b.form.bathycov);
    EXPECT_EQ(a.form.bathyname, b.form.bathyname);
    EXPECT_EQ(a.state.bathy_positive, b.state.bathy_positive);
    EXPECT_EQ(a.form.shorecov, b.form.shorecov);
    EXPECT_EQ(a.form.shorename, b.form.shorename);
    EXPECT_EQ(a.form.shorefeature, b.form.shorefeature);
    EXPECT_EQ(a.form.option_arccov, b.form.option_arccov);
    EXPECT_EQ(a.state.wind_path, b.state.wind_path);
    EXPECT_EQ(a.state.wind_name, b.state.wind_name);
    EXPECT_EQ(a.state.wind_pathcopy, b.state.wind_pathcopy);
    EXPECT_EQ(a.form.windpath, b.form.windpath);
    EXPECT_EQ(a.form.bathyunits, b.form.bathyunits);
    EXPECT_EQ(a.wind.windunits, b.wind.windunits);
    EXPECT_EQ(a.form.depthno, b.form.depthno);
    EXPECT_EQ(a.form.dist_bathy, b.form.dist_bathy);
}

}  // namespace

TEST(PortPhillipProject, CreatedSavedAndReopenedWhole) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    for (uint8_t mode : {model::RWE_MODE, model::REI_MODE}) {
        SCOPED_TRACE(mode == model::REI_MODE ? "REI" : "RWE");
        Workbench wb;
        wb.state.model_mode = mode;
        wb.window.datasets.pick(bay + "/bathy_portphillip_m.tif");
        wb.window.datasets.pick(bay + "/water_portphillip.shp");
        wb.window.files = {bay + (mode == model::REI_MODE ? "/sample.Wind_REI" : "/sample_56.Wind_RWE")};
        wb.window.newProjectUser = [](NewProjectForm& f) {
            f.Command1_Click();
            f.Command2_Click();
            f.Command3_Click();
            f.Combo1 = "Centimeter";
            f.Check1 = true;
            f.newpro_ok_Click();
        };
        wb.wind.windunits = "M/S";
        wb.messages.answers = {true};  // the proposed interrogation distance
        wb.commands->NewPr_Click();
        ASSERT_EQ(wb.window.tree.size(), 4u) << (wb.messages.entries.empty() ? "" : wb.messageTexts().front());
        EXPECT_EQ(wb.layerNames(), "water_portphillip.shp,bathy_portphillip_m.tif");
        if (mode == model::REI_MODE) {
            EXPECT_EQ(wb.form.dist_bathy, 19);  // 20 m cells
            EXPECT_EQ(wb.form.depthno, 1);      // depths of one sign
        }
        // A point class of the project survives the round trip.
        wb.form.ptworkspace->createFeatureClass("Pointdata1", pg::GeometryType::Point, {});
        wb.commands->Savepr_Click();

        Workbench reopened;
        reopened.state.model_mode = mode;
        reopened.form.dist_bathy = wb.form.dist_bathy;
        reopened.form.depthno = wb.form.depthno;
        reopened.window.files = {projectFilePath(wb.form.projfile, wb.form.projname, mode)};
        reopened.commands->OpenPr_Click();
        EXPECT_TRUE(reopened.messages.entries.empty()) << reopened.messageTexts().front();
        expectSameProject(wb, reopened);
        EXPECT_EQ(reopened.layerNames(), "Pointdata1,water_portphillip.shp,bathy_portphillip_m.tif");
        EXPECT_EQ(reopened.state.bathy_positive, 1);
        EXPECT_EQ(reopened.form.bathyunits, "Centimeter");
    }
}
