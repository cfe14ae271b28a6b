#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/startup.h"
#include "platform/settings_store.h"
#include "test_support.h"

using namespace quor;
using app::StartupOutcome;

namespace {

// Records what start-up does to the window; controls named in `missing`
// throw like a control that is not there.
struct FakeWindow final : app::StartupWindow {
    app::PixelSize screen{1920, 1080};
    app::PixelSize size{700, 560};
    bool failGeometry = false;
    std::set<std::string> missing;
    int left = -1, top = -1;
    std::map<int, std::string> panels;
    std::vector<std::pair<std::string, bool>> menuCalls;
    std::map<std::pair<int, std::string>, bool> buttons;
    std::map<std::pair<int, std::string>, std::string> images;
    std::string mapName;

    app::PixelSize screenSize() const override {
        if (failGeometry) throw std::runtime_error("no screen");
        return screen;
    }
    app::PixelSize windowSize() const override { return size; }
    void moveWindow(int l, int t) override { left = l, top = t; }
    void setStatusPanel(int panel, const std::string& text) override { panels[panel] = text; }
    void setMenuItemEnabled(const std::string& name, bool enabled) override {
        if (missing.count(name)) throw std::out_of_range(name);
        menuCalls.emplace_back(name, enabled);
    }
    bool hasToolbarButton(int toolbar, const std::string& key) const override { return key != "stop"; }
    void setToolbarButtonEnabled(int toolbar, const std::string& key, bool enabled) override {
        if (key == "stop") throw std::logic_error("asked for a button the toolbar does not have");
        buttons[{toolbar, key}] = enabled;
    }
    void setToolbarButtonImage(int toolbar, const std::string& key, const std::string& image) override {
        images[{toolbar, key}] = image;
    }
    void setMapName(const std::string& name) override { mapName = name; }
};

bool isDir(const std::string& p) { return QFileInfo(QString::fromStdString(p)).isDir(); }

struct Startup : ::testing::Test {
    test::TempDir home;
    test::TempDir config;
    platform::IniSettingsStore store{config.path()};
    test::RecordingMessages messages;
    FakeWindow window;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    app::StartupEnvironment env;

    Startup() {
        env.documents = {platform::DocumentsFolder::Status::Found, home.path() + "/Documents"};
        QDir(QString::fromStdString(home.path())).mkdir("Documents");
        env.fallbackFolder = home.path() + "/shared/Quor/Quor 4";
    }
    StartupOutcome run() { return app::runStartup({state, form, holder}, store, messages, window, env); }
    std::string stored(const char* key) { return store.read("Quor3", "Settings", key); }
    std::string docs() const { return env.documents.path; }
};

const char* const kOutput[] = {"output_data", "output_data/Wave_depth_first", "output_data/Wave_depth_second",
                               "output_data/Wave_HT_first", "output_data/Wave_HT_second",
                               "Batch_Process_Wind_Data"};

}  // namespace

TEST_F(Startup, FreshDocumentsFolderGetsTheWholeTreeAndTheNoProjectState) {
    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_TRUE(messages.entries.empty());

    const std::string data = docs() + "/Quor/Quor 4";
    EXPECT_EQ(state.app_folder, data);
    EXPECT_TRUE(isDir(docs() + "/Quor"));
    EXPECT_TRUE(isDir(data));
    EXPECT_EQ(form.dir_path, data + "/Project");
    EXPECT_EQ(stored("default"), data + "/Project");
    for (const char* sub : kOutput) EXPECT_TRUE(isDir(data + "/Project/" + sub)) << sub;

    // Window centred on the screen in plain pixels.
    EXPECT_EQ(form.xscreen, 1920);
    EXPECT_EQ(form.yscreen, 1080);
    EXPECT_EQ(window.left, 960 - 350);
    EXPECT_EQ(window.top, 540 - 280);

    // Start values of the switches.
    EXPECT_EQ(state.model_mode, model::RWE_MODE);
    EXPECT_EQ(state.velocity_method, 1);
    EXPECT_EQ(state.debug_mode, 0);
    EXPECT_EQ(state.orbvel_on, 0);
    EXPECT_FLOAT_EQ(state.sea_temp, 20.0f);
    EXPECT_EQ(state.wind_source, "clkn7, Cape Lookout NC");

    // Status bar, map, toolbars and menus.
    EXPECT_EQ(window.panels[3], "");
    EXPECT_EQ(window.panels[4], "RWE Mode");
    EXPECT_EQ(window.mapName, "Map");
    EXPECT_EQ((window.images[{1, "run"}]), "runoff");
    EXPECT_EQ((window.images[{1, "printt"}]), "print");
    EXPECT_EQ((window.images[{2, "pointer"}]), "pointer");
    EXPECT_EQ(window.images.size(), 18u);
    for (const char* key : {"bathy", "shore", "wind", "addpoint", "drawpoly", "run", "printt", "delete"})
        EXPECT_FALSE((window.buttons.at({1, key}))) << key;
    for (const char* key : {"zoomin", "zoomout", "zoomselect", "fullextent", "pan", "identify"})
        EXPECT_FALSE((window.buttons.at({2, key}))) << key;
    EXPECT_EQ(window.buttons.count({1, "new"}), 0u);
    EXPECT_EQ(window.buttons.count({2, "pointer"}), 0u);

    const std::vector<std::pair<std::string, bool>> menus = {
        {"PIIndex", false}, {"batch", true},    {"Addbathy", false}, {"Addshore", false}, {"Addwind", false},
        {"addshape", false}, {"Addpointc", false}, {"Tide", false},   {"enterpt", false},  {"projprop", false},
        {"RemPr", false},   {"Savepr", false},  {"Savepra", false},  {"Printt", false},   {"Printset", false},
        {"Zoomout", false}, {"zoomin", false},  {"Fullext", false},  {"wind_pt_mnu", false}};
    EXPECT_EQ(window.menuCalls, menus);
}

TEST_F(Startup, StoredFastAlgorithmAndMissingControlsAreHandledStepByStep) {
    store.write("Quor3", "Settings", "wv_indexcheck", "1");
    window.missing = {"PIIndex", "Tide"};
    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_EQ(window.panels[3], "Fast Algorithm");
    EXPECT_EQ(state.wv_indexcheck, 1);
    // The steps after a missing control still ran.
    EXPECT_EQ(window.menuCalls.front().first, "batch");
    EXPECT_EQ(window.menuCalls.back().first, "wind_pt_mnu");
    EXPECT_EQ(window.mapName, "Map");
}

TEST_F(Startup, ScreensWiderThanSixteenBitTwipsStillStartNormally) {
    window.screen = {7680, 4320};
    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_EQ(form.xscreen, 7680);
    EXPECT_EQ(form.yscreen, 4320);
    EXPECT_EQ(window.left, 3840 - 350);
    EXPECT_EQ(form.Fetch, 10000);  // settings were loaded
    EXPECT_FALSE((window.buttons.at({1, "run"})));
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(Startup, WindowThatCannotBePlacedEndsStartUpWithItsMessage) {
    window.failGeometry = true;
    EXPECT_EQ(run(), StartupOutcome::WindowFailed);
    ASSERT_EQ(messages.texts(), std::vector<std::string>{"Error opening Quor"});
    EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Critical);
    EXPECT_EQ(form.Fetch, 0);
    EXPECT_FALSE(store.contains("Quor3", "Settings", "Fetch"));
    EXPECT_FALSE(isDir(docs() + "/Quor"));
    EXPECT_TRUE(window.menuCalls.empty());
}

TEST_F(Startup, ExistingProjectFolderGetsOnlyItsMissingSubfolder) {
    const std::string project = home.path() + "/projects";
    QDir().mkpath(QString::fromStdString(project + "/output_data/Wave_depth_first"));
    QDir().mkpath(QString::fromStdString(project + "/output_data/Wave_depth_second"));
    QDir().mkpath(QString::fromStdString(project + "/output_data/Wave_HT_first"));
    QDir().mkpath(QString::fromStdString(project + "/Batch_Process_Wind_Data"));
    store.write("Quor3", "Settings", "default", project);

    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_EQ(form.dir_path, project);
    EXPECT_TRUE(isDir(project + "/output_data/Wave_HT_second"));
    // Nothing made under the data folder's own "Project".
    EXPECT_FALSE(isDir(docs() + "/Quor/Quor 4/Project"));
    EXPECT_EQ(stored("default"), project);
}

TEST_F(Startup, ProjectFolderWithoutParentCreatesNothingAndStartUpFinishes) {
    const std::string project = home.path() + "/gone/projects";
    store.write("Quor3", "Settings", "default", project);
    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_FALSE(isDir(home.path() + "/gone"));
    EXPECT_FALSE(isDir(project));
    EXPECT_EQ(window.panels[4], "RWE Mode");
    EXPECT_EQ(holder.optionindex, 1);
}

TEST_F(Startup, MissingDocumentsFolderAsksForTheFallback) {
    env.documents = {platform::DocumentsFolder::Status::DoesNotExist, home.path() + "/NoDocs"};
    QDir().mkpath(QString::fromStdString(home.path() + "/shared/Quor"));

    EXPECT_EQ(run(), StartupOutcome::Complete);
    ASSERT_EQ(messages.texts(),
              std::vector<std::string>{"Default folder doesn't exist, do you want to create it?"});
    EXPECT_TRUE(messages.entries[0].isQuestion);
    EXPECT_EQ(state.app_folder, env.fallbackFolder);
    EXPECT_TRUE(isDir(env.fallbackFolder));
    EXPECT_EQ(form.dir_path, env.fallbackFolder + "/Project");
    for (const char* sub : kOutput) EXPECT_TRUE(isDir(env.fallbackFolder + "/Project/" + sub)) << sub;
    EXPECT_FALSE(isDir(home.path() + "/NoDocs"));
}

TEST_F(Startup, FallbackWithoutItsParentIsNotCreatedAndNothingElseIs) {
    env.documents = {platform::DocumentsFolder::Status::DoesNotExist, home.path() + "/NoDocs"};
    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_EQ(state.app_folder, env.fallbackFolder);
    EXPECT_FALSE(isDir(home.path() + "/shared"));
    EXPECT_EQ(window.panels[4], "RWE Mode");
}

TEST_F(Startup, DecliningTheFallbackLeavesNoFolderAnywhere) {
    env.documents = {platform::DocumentsFolder::Status::DoesNotExist, home.path() + "/NoDocs"};
    messages.answers = {false};
    const QString before = QDir::currentPath();
    test::TempDir work;
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(work.path())));

    const StartupOutcome outcome = run();
    QDir::setCurrent(before);

    EXPECT_EQ(outcome, StartupOutcome::Complete);
    EXPECT_EQ(state.app_folder, "");
    EXPECT_EQ(form.dir_path, "");
    EXPECT_FALSE(store.contains("Quor3", "Settings", "default"));
    EXPECT_TRUE(QDir(QString::fromStdString(work.path())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    EXPECT_TRUE(QDir(QString::fromStdString(home.path())).entryList({"shared"}, QDir::Dirs).isEmpty());
    // The rest of start-up still ran: no project commands enabled.
    EXPECT_EQ(window.panels[4], "RWE Mode");
    EXPECT_FALSE((window.buttons.at({1, "run"})));
    EXPECT_EQ(holder.windcatno, 3);
}

TEST_F(Startup, DocumentsFolderNotValidEndsAfterItsMessage) {
    env.documents = {platform::DocumentsFolder::Status::NotValid, ""};
    EXPECT_EQ(run(), StartupOutcome::FolderNotValid);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Default folder not valid in this OS"});
    EXPECT_EQ(state.app_folder, "Folder Not Valid on this OS");
    EXPECT_EQ(form.Fetch, 10000);  // the first settings were loaded
    EXPECT_FALSE(store.contains("Quor3", "Settings", "default"));
    EXPECT_FALSE(store.contains("Quor3", "Settings", "Bathy_dist"));
    EXPECT_TRUE(window.panels.empty());
    EXPECT_TRUE(window.menuCalls.empty());
    EXPECT_EQ(window.mapName, "");
}

TEST_F(Startup, DocumentsFolderThatCannotTakeFoldersIsSkippedSilently) {
    // A file where the documents folder should be: nothing can be made in it.
    const std::string blocked = home.path() + "/blocked";
    { QFile f(QString::fromStdString(blocked)); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); }
    env.documents = {platform::DocumentsFolder::Status::Found, blocked};

    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_TRUE(messages.entries.empty());
    EXPECT_EQ(state.app_folder, blocked + "/Quor/Quor 4");
    EXPECT_FALSE(isDir(state.app_folder));
    EXPECT_EQ(window.panels[4], "RWE Mode");
    EXPECT_EQ(holder.windcatno, 3);
}

TEST_F(Startup, StoredValuesTheDialogsWouldRefuseAreReportedOnceAtTheEnd) {
    store.write("Quor3", "Settings", "Fetch", "1e308");
    store.write("Quor3", "Parameter", "alpha", "-2");
    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_EQ(form.Fetch, 10000);
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_NE(messages.entries[0].text.find("Fetch = \"1e308\" is now 10000"), std::string::npos);
    EXPECT_NE(messages.entries[0].text.find("alpha = \"-2\" is now 1.909"), std::string::npos);
    EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Exclamation);
    messages.entries.clear();
    EXPECT_EQ(run(), StartupOutcome::Complete);
    EXPECT_TRUE(messages.entries.empty());
}
