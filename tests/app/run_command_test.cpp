// The Run button of the main window: the run-start dialog, and the window
// shown busy for a run and restored after it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include "app/main_form.h"
#include "app/progress_form.h"
#include "app/qt_messages.h"
#include "app/run_command.h"
#include "platform/settings_store.h"
#include "test_support.h"

using namespace quor;

namespace {

struct RunWindow : ::testing::Test {
    test::TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    test::RecordingMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    model::WindSummary wind;
    app::MainForm window{state, form, holder, store, &messages};
    app::RunCommand run{window, wind};
};

TEST_F(RunWindow, RunButtonOpensTheChooserAndARunRestoresTheWindow) {
    // The button shows the chooser; Cancel closes it without a run.
    bool shown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == "Select Point Dataset") {
                shown = true;
                w->close();
            }
    });
    window.toolbarButton(app::kProjectToolbar, "run")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(messages.entries.empty()) << messages.entries.front().text;

    // A run shows the window busy and gives it back as it was.
    window.Check1->setChecked(true);
    run.runStarted();
    EXPECT_EQ(window.Label1->text().toStdString(), "Running model");
    EXPECT_FALSE(window.Check1->isChecked());
    EXPECT_TRUE(QApplication::overrideCursor() != nullptr);
    run.setTitle("Quor running..1 of 2");
    EXPECT_EQ(window.windowTitle().toStdString(), "Quor running..1 of 2");
    run.runEnded();
    EXPECT_TRUE(window.Label1->text().isEmpty());
    EXPECT_TRUE(QApplication::overrideCursor() == nullptr);

    // While a run holds the lock the button does nothing.
    model::RunLock::Scope busy(state.run_lock);
    shown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == "Select Point Dataset") {
                shown = true;
                w->close();
            }
    });
    run.Run_Click();
    QApplication::processEvents();
    EXPECT_FALSE(shown);
}

TEST_F(RunWindow, WhileARunHoldsTheLockCommandsAreGreyAndClosingCancels) {
    QAction* open = window.menuItem("Openpr");
    ASSERT_TRUE(open);
    QAction* runButton = window.toolbarButton(app::kProjectToolbar, "run");
    const bool openBefore = open->isEnabled();
    {
        model::RunLock::Scope busy(state.run_lock);
        for (QAction* a : window.menuBar()->actions()) EXPECT_FALSE(a->isEnabled());
        EXPECT_FALSE(runButton->isEnabled());
        EXPECT_FALSE(window.close());  // closing asks the run to stop instead
        EXPECT_TRUE(state.cancel_flag);
        state.cancel_flag = false;
        window.progressForm().show();
        window.progressForm().close();
        EXPECT_TRUE(state.cancel_flag);
    }
    EXPECT_EQ(open->isEnabled(), openBefore);
    for (QAction* a : window.menuBar()->actions()) EXPECT_TRUE(a->isEnabled());
}

// Counts the paints it receives.
struct PaintCounter final : QWidget {
    int paints = 0;
    void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST_F(RunWindow, ARunThatNeverYieldsClosesTheOtherWindowsAndGetsItsRepaints) {
    QDialog other(&window);
    other.setModal(false);
    other.show();
    run.unloadAllForms();
    EXPECT_FALSE(other.isVisible());

    PaintCounter progress;
    progress.show();
    QApplication::processEvents();
    const int before = progress.paints;
    progress.update();  // what a changed progress bar asks for
    run.repaintWithoutInput();
    EXPECT_GT(progress.paints, before);
}

TEST_F(RunWindow, BackgroundRunGivesTheWindowBackMaximisedBeforeProcessingDone) {
    state.welcome_done = true;
    app::StartupEnvironment env;
    env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
    window.Form_Load(env);
    window.showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(window.isMaximized());

    run.setMinimised(true);
    QApplication::processEvents();
    EXPECT_TRUE(window.isMinimized());
    // The driver's closing notice, through the window's own message boxes.
    bool boxSeen = false, minimisedUnderBox = true, maximisedUnderBox = false;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxSeen = box->text() == "Processing Done";
            minimisedUnderBox = window.isMinimized();
            maximisedUnderBox = window.isMaximized();
            box->accept();
        }
    });
    app::QtMessages(&window).message("Processing Done", platform::MessageIcon::Information);
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(minimisedUnderBox);
    EXPECT_TRUE(maximisedUnderBox);

    run.setMinimised(false);
    QApplication::processEvents();
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isMaximized());
}

}  // namespace
