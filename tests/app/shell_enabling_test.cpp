// The enabling of the main window's commands, checked as whole tables, and
// the run lock that greys them during a run.
#include <gtest/gtest.h>

#include <QCloseEvent>

#include <QTreeWidget>

#include "app/command_enabling.h"
#include "app/progress_form.h"
#include "shell_fixture.h"

using namespace quor;
using test::allEnabledBut;

namespace {

const std::set<std::string> kNeverEnabled = {"T1.printt", "Printt", "Printset", "enterpt", "batchwind",
                                             "Opencov",   "Expcov", "Opensur",  "Expsur"};

std::set<std::string> unite(std::set<std::string> a, const std::set<std::string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

const std::set<std::string> kNoProject = unite(
    kNeverEnabled, {"T1.delete", "T1.bathy", "T1.shore", "T1.wind", "T1.addpoint", "T1.drawpoly", "T1.run",
                    "T2.zoomin", "T2.zoomout", "T2.zoomselect", "T2.pan", "T2.fullextent", "T2.identify",
                    "RemPr", "Savepr", "Savepra", "Addbathy", "Addshore", "addshape", "Addpointc", "projprop",
                    "Tide", "wind_pt_mnu", "Addwind", "zoomin", "Zoomout", "Fullext"});

struct Enabling : ::testing::Test, test::Shell {};

TEST_F(Enabling, TableThroughStartUpProjectRemovalPointEntryAndModes) {
    const auto startUp = enabledTable();
    // RWE at start-up: batch mode offered, the REI index tool not.
    EXPECT_EQ(startUp, allEnabledBut(startUp, unite(kNoProject, {"PIIndex"})));

    openProject();
    const auto open = enabledTable();
    EXPECT_EQ(open, allEnabledBut(open, unite(kNeverEnabled, {"PIIndex"})));
    EXPECT_TRUE(window.projectOpen());

    // Point entry takes away the project commands but leaves the zoom tools.
    window.setcontrols(false);
    EXPECT_EQ(enabledTable(),
              allEnabledBut(open, unite(kNeverEnabled,
                                        {"PIIndex", "T1.bathy", "T1.shore", "T1.wind", "T1.drawpoly", "T1.run",
                                         "T1.delete", "T1.new", "T1.open", "T1.save", "T1.addpoint", "T2.identify",
                                         "Addbathy", "Addshore", "Addwind", "addshape", "Addpointc", "projprop",
                                         "Zoomout", "zoomin", "Fullext", "RemPr", "Savepr", "Savepra", "Openpr",
                                         "Newpr", "del", "Chgset", "Tide"})));
    window.setcontrols(true);
    EXPECT_EQ(enabledTable(), open);

    // Removing the project leaves "Wind Parameter Display..." usable.
    window.projectTree().clear();
    window.disablecontrols();
    auto removed = kNoProject;
    removed.erase("wind_pt_mnu");
    removed.insert("PIIndex");
    EXPECT_EQ(enabledTable(), allEnabledBut(open, removed));

    // Each mode offers its own tool.
    app::applyModeCommands(window, model::REI_MODE);
    auto rei = removed;
    rei.erase("PIIndex");
    rei.insert("batch");
    EXPECT_EQ(enabledTable(), allEnabledBut(open, rei));
    app::applyModeCommands(window, model::RWE_MODE);
    EXPECT_EQ(enabledTable(), allEnabledBut(open, removed));
}

TEST_F(Enabling, CommandsWithoutAHandlerStayGreyAndSaySoWhenReached) {
    // A window whose subsystems have not connected anything yet.
    test::RecordingMessages bare;
    model::ModelState s;
    model::MainFormState f;
    model::SettingsHolder h;
    app::MainForm w(s, f, h, store, &bare);
    for (const auto& e : app::CommandTable::entries()) w.commands().connect(e.name, nullptr);
    w.refreshCommandStates();
    EXPECT_FALSE(w.menuItem("Newpr")->isEnabled());
    EXPECT_FALSE(w.toolbarButton(1, "new")->isEnabled());
    EXPECT_FALSE(w.menuItem("Chgset")->isEnabled());
    EXPECT_TRUE(w.menuItem("QuorMode")->isEnabled());
    EXPECT_TRUE(w.menuItem("Exit")->isEnabled());

    w.commands().run("NewPr_Click", bare);
    EXPECT_EQ(bare.texts(), (std::vector<std::string>{"New Project is not available yet."}));

    // Connecting one model's settings is enough for the shared item.
    w.commands().connect("fm_property", [] {});
    w.refreshCommandStates();
    EXPECT_TRUE(w.menuItem("Chgset")->isEnabled());
    w.commands().connect("NewPr_Click", [] {});
    w.refreshCommandStates();
    EXPECT_TRUE(w.toolbarButton(1, "new")->isEnabled());
    // The enabling table still decides for connected commands.
    EXPECT_FALSE(w.toolbarButton(1, "delete")->isEnabled());
}

TEST_F(Enabling, ARunBlocksEveryCommandAndGivesBackExactlyWhatWasEnabled) {
    openProject();
    window.setcontrols(false);
    const auto before = enabledTable();
    {
        model::RunLock::Scope run(state.run_lock);
        const auto during = enabledTable();
        for (const auto& [name, on] : during) EXPECT_FALSE(on) << name;
        EXPECT_FALSE(window.TreeView1->isEnabled());

        // Commands reached another way do nothing.
        window.Toolbar1_ButtonClick("save");
        window.menuItem_Click("Savepr");
        window.menuItem_Click("QuorMode");
        window.Toolbar2_ButtonClick("pan");
        EXPECT_TRUE(ran.empty());
        EXPECT_EQ(window.toolbarValue(2, "pan"), 0);
        EXPECT_TRUE(messages.entries.empty());

        // The drivers' own changes during a run are kept for afterwards.
        window.setcontrols(true);
        EXPECT_FALSE(window.toolbarButton(1, "save")->isEnabled());
    }
    auto after = enabledTable();
    EXPECT_TRUE(after["T1.save"]);
    window.setcontrols(false);
    EXPECT_EQ(enabledTable(), before);
    EXPECT_TRUE(window.TreeView1->isEnabled());
}

TEST_F(Enabling, ClosingTheMainOrProgressWindowDuringARunCancelsIt) {
    openProject();
    window.show();
    app::Form1& progress = window.progressForm();
    {
        model::RunLock::Scope run(state.run_lock);
        progress.show();
        EXPECT_FALSE(window.close());
        EXPECT_TRUE(state.cancel_flag);
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(messages.entries.empty());  // no save question while running

        state.cancel_flag = false;
        EXPECT_FALSE(progress.close());
        EXPECT_TRUE(state.cancel_flag);
        EXPECT_TRUE(progress.isVisible());
    }
    progress.hide();
    // After the run the close box asks its question again.
    messages.answers = {false};
    EXPECT_TRUE(window.close());
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Do you want to save the project?"}));
}

}  // namespace
