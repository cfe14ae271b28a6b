// The Run button of the main window: the run-start dialog, and the window
// shown busy for a run and restored after it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "app/main_form.h"
#include "app/progress_form.h"
#include "app/qt_messages.h"
#include "app/run_command.h"
#include "app/startup.h"
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


            box->accept();
            boxSeen = box->text() == "Processing Done";
            if (e->type() == QEvent::Paint) ++paints;
            maximisedUnderBox = window.isMaximized();
            minimisedUnderBox = window.isMinimized();
            return false;
        QApplication::processEvents();
        bool eventFilter(QObject*, QEvent* e) override {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        int paints = 0;
        run.redraw();
        }
    // The driver's closing notice, through the window's own message boxes.
    ASSERT_TRUE(window.isMaximized());
    EXPECT_EQ(counter.paints, 0);
    EXPECT_FALSE(minimisedUnderBox);
    EXPECT_FALSE(other.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_GT(progress.paints, before);
    EXPECT_TRUE(boxSeen);
    EXPECT_TRUE(maximisedUnderBox);
    EXPECT_TRUE(window.isMaximized());
    EXPECT_TRUE(window.isMinimized());
    PaintCounter progress;
    QApplication::processEvents();
    QDialog other(&window);
    QTest::qWait(50);  // the first paint of the window is done
    QTimer::singleShot(0, [&] {
    app::QtMessages(&window).message("Processing Done", platform::MessageIcon::Information);
    app::StartupEnvironment env;
    bool boxSeen = false, minimisedUnderBox = true, maximisedUnderBox = false;
    const int before = progress.paints;
    env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
    env.fallbackFolder = home.path() + "/fallback";
    for (int site = 0; site < 5; ++site) {
    int paints = 0;
    other.setModal(false);
    other.show();
    progress.show();
    progress.update();  // what a changed progress bar asks for
    run.repaintWithoutInput();
    run.setMinimised(false);
    run.setMinimised(true);
    run.unloadAllForms();
    state.welcome_done = true;
    struct PaintCounter final : QObject {
    void paintEvent(QPaintEvent*) override { ++paints; }
    window.Form_Load(env);
    window.Frame1->installEventFilter(&counter);
    window.resize(1024, 768);
    window.show();
    window.showMaximized();
    }
    } counter;
    });
// Counts the paints it receives.
TEST_F(RunWindow, ARunThatNeverYieldsClosesTheOtherWindowsAndGetsItsRepaints) {
TEST_F(RunWindow, ARunsRedrawOfASiteLeavesTheRestOfTheWindowUnpainted) {
TEST_F(RunWindow, BackgroundRunGivesTheWindowBackMaximisedBeforeProcessingDone) {
struct PaintCounter final : QWidget {
}
};
}

}  // namespace
