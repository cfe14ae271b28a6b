// The welcome and mode dialogs, the shut-down questions, the web pages and
// the manual.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>

#include "app/mode_dialog.h"
#include "app/progress_form.h"
#include "model/settings_loader.h"
#include "app/shell_settings.h"
#include "app/welcome_dialog.h"
#include "shell_fixture.h"

using namespace quor;

namespace {

struct Dialogs : ::testing::Test, test::Shell {
    int welcomeShown = 0;
    // Answers the welcome dialog the way a test says.
    void answerWelcome(std::function<void(app::mainDialog&)> answer) {
        window.setModalRunner([this, answer](QDialog& d) {
            ++welcomeShown;
            auto& dialog = dynamic_cast<app::mainDialog&>(d);
            EXPECT_EQ(dialog.windowTitle(), " Welcome");
            EXPECT_TRUE(dialog.Option1->isChecked());
            EXPECT_FALSE(dialog.Option2->isChecked());
            answer(dialog);
            return dialog.result();
        });
    }
    // Closed dialogs delete themselves at the next turn of the event loop.
    static void flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    app::QuorMode_fr* openModeDialog() {
        window.QuorMode_Click();
        return window.findChild<app::QuorMode_fr*>();
    }
};

TEST_F(Dialogs, WelcomeOkStartsNewProjectOnceAndIsNeverShownAgain) {
    state.welcome_done = false;
    answerWelcome([](app::mainDialog& d) { d.OKButton->click(); });
    window.Form_Activate();
    EXPECT_EQ(ran, std::vector<std::string>{"NewPr_Click"});
    EXPECT_TRUE(state.welcome_done);
    EXPECT_TRUE(messages.entries.empty());  // no reminder without the fast algorithm
    window.Form_Activate();
    EXPECT_EQ(welcomeShown, 1);
}

TEST_F(Dialogs, WelcomeRemindsOfTheFastAlgorithmBeforeTheProjectCommand) {
    holder.indexcheck = 1;
    state.welcome_done = false;
    answerWelcome([this](app::mainDialog& d) {
        d.Option2->click();
        EXPECT_FALSE(d.Option1->isChecked());
        window.commands().connect("OpenPr_Click", [this, &d] {
            EXPECT_FALSE(d.isVisible());
            EXPECT_EQ(messages.entries.size(), 1u);  // the reminder came first
            ran.push_back("OpenPr_Click");
        });
        d.OKButton->click();
    });
    window.Form_Activate();
    EXPECT_EQ(ran, std::vector<std::string>{"OpenPr_Click"});
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Make sure to select project that has bathymetry clipped "
                                                          "with the shoreline for this algorithm to work properly"}));
    EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Information);
}

TEST_F(Dialogs, WelcomeCancelOpensNothingAndActivationAfterwardsShowsNothing) {
    state.welcome_done = false;
    answerWelcome([](app::mainDialog& d) { d.CancelButton->click(); });
    window.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return welcomeShown == 1; }, 10000)) << "the activation shows the dialog";
    window.Form_Activate();
    EXPECT_EQ(welcomeShown, 1);
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(state.welcome_done);
    EXPECT_FALSE(window.projectOpen());
}

TEST_F(Dialogs, ModeSwitchSetsTheModeThePanelsAndTheModeTools) {
    form.Fetch = 10000;
    form.dist_bathy = 24.5;
    holder.indexcheck = 1;
    app::QuorMode_fr* dialog = openModeDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->Option1[0]->isChecked());
    dialog->Option1[1]->setChecked(true);
    dialog->Command1->click();
    flush();
    EXPECT_EQ(state.model_mode, model::REI_MODE);
    EXPECT_EQ(window.statusPanel(4), "REI Mode");
    EXPECT_EQ(window.statusPanel(3), "IIndex True");
    EXPECT_EQ(window.statusPanel(2), "F= 10000 B I= 24.5");
    EXPECT_TRUE(window.menuItem("PIIndex")->isEnabled());
    EXPECT_FALSE(window.menuItem("batch")->isEnabled());
    EXPECT_FALSE(window.findChild<app::QuorMode_fr*>());

    // Reopening reads the mode back from the status bar.
    state.model_mode = model::RWE_MODE;
    dialog = openModeDialog();
    EXPECT_EQ(state.model_mode, model::REI_MODE);
    EXPECT_TRUE(dialog->Option1[1]->isChecked());
    dialog->Option1[0]->setChecked(true);
    dialog->Command1->click();
    flush();
    EXPECT_EQ(state.model_mode, model::RWE_MODE);
    EXPECT_EQ(window.statusPanel(4), "RWE Mode");
    EXPECT_EQ(window.statusPanel(3), "");
    EXPECT_EQ(window.statusPanel(2), "");
    EXPECT_FALSE(window.menuItem("PIIndex")->isEnabled());
    EXPECT_TRUE(window.menuItem("batch")->isEnabled());
    EXPECT_TRUE(messages.entries.empty());

    // Closing with the close box keeps the mode.
    dialog = openModeDialog();
    dialog->Option1[1]->setChecked(true);
    dialog->close();
    flush();
    EXPECT_EQ(state.model_mode, model::RWE_MODE);
    EXPECT_EQ(window.statusPanel(4), "RWE Mode");
}

TEST_F(Dialogs, ModeIsNotChangedWithAProjectOpenNeitherAtOpeningNorAtOk) {
    openProject();
    window.menuItem("QuorMode")->trigger();
    EXPECT_FALSE(window.findChild<app::QuorMode_fr*>());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{app::kModeChangeRefused});
    EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Information);

    // The dialog was opened before the project.
    window.projectTree().clear();
    messages.entries.clear();
    app::QuorMode_fr* dialog = openModeDialog();
    ASSERT_TRUE(dialog);
    openProject();
    dialog->Option1[1]->setChecked(true);
    dialog->Command1->click();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{app::kModeChangeRefused});
    EXPECT_EQ(state.model_mode, model::RWE_MODE);
    EXPECT_EQ(window.statusPanel(4), "RWE Mode");
    EXPECT_FALSE(window.menuItem("PIIndex")->isEnabled());
}

TEST_F(Dialogs, SettingsAndWindDisplayFollowTheMode) {
    window.menuItem("Chgset")->trigger();
    window.menuItem("wind_pt_mnu")->setEnabled(true);
    window.menuItem_Click("wind_pt_mnu");
    state.model_mode = model::REI_MODE;
    window.menuItem("Chgset")->trigger();
    window.menuItem_Click("wind_pt_mnu");
    EXPECT_EQ(ran, (std::vector<std::string>{"wv_property", "fm_property", "Wind_pt"}));
    // The plain hand-overs of the menus.
    ran.clear();
    for (const char* item : {"orbital", "batch", "Anal_wind", "Quordel"}) window.menuItem(item)->trigger();
    EXPECT_EQ(ran, (std::vector<std::string>{"Orbital_velocity_frm", "Batch_Processing_mode", "windanly", "About"}));
}

TEST_F(Dialogs, ExitAsksThenSavesBeforeAnyWindowCloses) {
    openProject();
    window.show();
    app::Form1& other = window.progressForm();
    other.show();
    bool otherOpenAtSave = false;
    window.commands().connect("Savepr_Click", [&] {
        otherOpenAtSave = other.isVisible();
        ran.push_back("Savepr_Click");
    });

    messages.answers = {false};
    window.menuItem("Exit")->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(ran.empty());

    messages.entries.clear();
    messages.answers = {true, true};
    window.menuItem("Exit")->trigger();
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Are you sure you want to exit?", "Do you want to save the project?"}));
    EXPECT_EQ(ran, std::vector<std::string>{"Savepr_Click"});
    EXPECT_TRUE(otherOpenAtSave);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(other.isVisible());
}

TEST_F(Dialogs, CloseBoxAsksOnlyTheSaveQuestionAndOnlyWithAProject) {
    window.show();
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(messages.entries.empty());

    openProject();
    window.show();
    messages.answers = {false};
    EXPECT_TRUE(window.close());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Do you want to save the project?"});
    EXPECT_TRUE(ran.empty());
}

TEST_F(Dialogs, UnloadAllFormsKeepsOnlyTheMainWindow) {
    window.show();
    app::Form1& progress = window.progressForm();
    progress.show();
    QDialog about(&window);
    about.setObjectName("About");
    about.show();
    window.UnloadAllForms("About");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(progress.isVisible());
    EXPECT_FALSE(about.isVisible());
}

TEST_F(Dialogs, WebPagesOpenTheirStoredAddressOrSayWhatIsMissing) {
    std::vector<QUrl> opened;
    bool browserWorks = true;
    window.setUrlOpener([&](const QUrl& u) {
        opened.push_back(u);
        return browserWorks;
    });
    // Start-up wrote both keys, empty: the message names the key and the file.
    ASSERT_TRUE(store.contains(app::kSettingsApp, "Settings", app::kKobuWebsiteKey));
    ASSERT_TRUE(store.contains(app::kSettingsApp, "Settings", app::kQuorWebsiteKey));
    window.menuItem("kobu")->trigger();
    window.menuItem("Website")->trigger();
    const std::string file = store.filePath(app::kSettingsApp);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{
                  "No address is set for this page. Fill the setting kobu_website under [Settings] in " + file + ".",
                  "No address is set for this page. Fill the setting quor_website under [Settings] in " + file +
                      "."}));
    EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Information);
    EXPECT_TRUE(opened.empty());

    store.write(app::kSettingsApp, "Settings", app::kKobuWebsiteKey, "https://buoys.example.org/historical.shtml");
    store.write(app::kSettingsApp, "Settings", app::kQuorWebsiteKey, "not an address");
    messages.entries.clear();
    window.menuItem("kobu")->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), "https://buoys.example.org/historical.shtml");
    EXPECT_TRUE(messages.entries.empty());

    window.menuItem("Website")->trigger();
    EXPECT_EQ(opened.size(), 1u);
    browserWorks = false;
    window.menuItem("kobu")->trigger();
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Website not found", "Website not found"}));
}

TEST_F(Dialogs, ContentOpensTheRenderedManualOrSaysNoViewerIsInstalled) {
    std::vector<QUrl> opened;
    bool viewer = true;
    window.setUrlOpener([&](const QUrl& u) {
        opened.push_back(u);
        return viewer;
    });
    window.setHelpFolder(QUOR_HELP_FOLDER);
    window.menuItem("Content")->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(messages.entries.empty());
    const QString path = opened[0].toLocalFile();
    EXPECT_TRUE(path.endsWith("/Help/Quor_V4.pdf")) << path.toStdString();
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    // Several pages: the whole guide, not an empty document.
    EXPECT_GE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page "), 4);

    viewer = false;
    window.menuItem("Content")->trigger();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"No PDF viewer is installed to show the manual. Install "
                                                         "one, or open " +
                                                         path.toStdString() + " with a program of your choice."});

    // What the desktop names for PDF files decides whether a viewer is there.
    test::TempDir bin;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(bin.path()));
    EXPECT_EQ(app::pdfViewerInstalled(), std::nullopt);
    auto fakeXdgMime = [&](const std::string& answer) {
        const std::string script = bin.path() + "/xdg-mime";
        QFile f(QString::fromStdString(script));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray::fromStdString("#!/bin/sh\necho '" + answer + "'\n"));
        f.close();
        QFile::setPermissions(QString::fromStdString(script), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    fakeXdgMime("");
    EXPECT_EQ(app::pdfViewerInstalled(), std::optional<bool>(false));
    fakeXdgMime("org.gnome.Evince.desktop");
    EXPECT_EQ(app::pdfViewerInstalled(), std::optional<bool>(true));
    qputenv("PATH", oldPath);
}

}  // namespace
