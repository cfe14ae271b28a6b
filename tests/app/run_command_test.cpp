// The Run button of the main window: the run-start dialog, and the window
// shown busy for a run and restored after it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QGroupBox>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QTimer>
#include <QWidget>

#include <filesystem>

#include "app/main_form.h"
#include "app/progress_form.h"
#include "app/qt_messages.h"
#include "app/run_command.h"
#include "app/startup.h"
#include "platform/gis/workspace.h"
#include "project/ui/ptdatasel_dialog.h"
#include "wave/ui/batch_dialogs.h"
#include "wind/ui/windprocess_form.h"
#include "platform/settings_store.h"
#include "settled_window.h"
#include "test_support.h"
#include "wired_window.h"

using namespace quor;
namespace pg = quor::platform::gis;

namespace {

struct RunWindow : ::testing::Test, test::WiredWindow {};

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
    EXPECT_EQ(window.toolbarButtonImage(app::kProjectToolbar, "run"), "runoff") << "closed by its close box";
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
    ASSERT_TRUE(test::waitUntilSettled(progress, [&] { return progress.paints > 0; }));
    const int before = progress.paints;
    progress.update();  // what a changed progress bar asks for
    run.repaintWithoutInput();
    EXPECT_GT(progress.paints, before);
}

TEST_F(RunWindow, BackgroundRunGivesTheWindowBackMaximisedBeforeProcessingDone) {
    load();
    // A window manager changes a window's state when it has handled the
    // request, and may tell of a state on the way there first.
    window.showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isMaximized(); }));

    run.setMinimised(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isMinimized(); }));
    // The driver's closing notice, through the window's own message boxes.
    bool boxSeen = false, minimisedUnderBox = true, maximisedUnderBox = false;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxSeen = box->text() == "Processing Done";
            minimisedUnderBox = !QTest::qWaitFor([&] { return !window.isMinimized(); });
            maximisedUnderBox = QTest::qWaitFor([&] { return window.isMaximized(); });
            box->accept();
        }
    });
    app::QtMessages(&window).message("Processing Done", platform::MessageIcon::Information);
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(minimisedUnderBox);
    EXPECT_TRUE(maximisedUnderBox);

    run.setMinimised(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized() && window.isMaximized(); }));
}

TEST_F(RunWindow, ARunsRedrawOfASiteLeavesTheRestOfTheWindowUnpainted) {
    load();
    window.resize(1024, 768);
    struct PaintCounter final : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    window.Frame1->installEventFilter(&counter);
    window.show();
    ASSERT_TRUE(test::waitUntilSettled(window, [&] { return counter.paints > 0; }));
    counter.paints = 0;
    for (int site = 0; site < 5; ++site) {
        run.redraw();
        QApplication::processEvents();
    }
    EXPECT_EQ(counter.paints, 0);
}

// The window as the program builds it: the main window, then the run
// command. A run holds the lock; nothing else may start or change under it.
TEST_F(RunWindow, DuringARunEveryCommandToolWindowAndControlIsRefused) {
    window.show();
    window.commands().run("Windprocess", messages);
    wind::ui::WindprocessForm* tool = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = dynamic_cast<wind::ui::WindprocessForm*>(w); f && f->isVisible()) tool = f;
    ASSERT_TRUE(tool);

    std::vector<QAction*> actions;
    for (QAction* top : window.menuBar()->actions()) {
        actions.push_back(top);
        if (top->menu())
            for (QAction* a : top->menu()->actions())
                if (!a->isSeparator()) actions.push_back(a);
    }
    for (QToolBar* bar : {window.Toolbar1, window.Toolbar2})
        for (QAction* a : bar->actions())
            if (!a->isSeparator() && !a->inherits("QWidgetAction")) actions.push_back(a);  // not the bar holding the map toolbar
    std::map<QAction*, bool> before;
    for (QAction* a : actions) before[a] = a->isEnabled();
    {
        model::RunLock::Scope busy(state.run_lock);
        for (QAction* a : actions) EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
        EXPECT_FALSE(window.TreeView1->isEnabled());
        EXPECT_FALSE(window.List1->isEnabled());
        EXPECT_FALSE(window.Check1->isEnabled()) << "Bathymetry on top would reorder the layers";
        EXPECT_FALSE(tool->isEnabled());
        // Reached some other way, the commands still do nothing.
        tool->newpro_ok_Click();
        for (QAction* a : actions)
            if (!a->menu() && !a->objectName().isEmpty()) window.menuItem_Click(a->objectName().toStdString());
        EXPECT_TRUE(messages.entries.empty()) << messages.entries.front().text;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != &window && w != tool && w->isVisible() && !w->inherits("QMenu"))
                ADD_FAILURE() << "opened during the run: " << w->windowTitle().toStdString();
    }
    for (QAction* a : actions) EXPECT_EQ(a->isEnabled(), before[a]) << a->objectName().toStdString();
    EXPECT_TRUE(window.TreeView1->isEnabled());
    EXPECT_TRUE(window.Check1->isEnabled());
    EXPECT_TRUE(tool->isEnabled());
    tool->close();
}

// A batch run's set-up: the water-level Browse starts in the project
// folder, and cancelling the set-up leaves the Run button idle.
TEST_F(RunWindow, BatchSetUpBrowsesInTheProjectFolderAndCancelLeavesTheRunButtonIdle) {
    form.projfile = home.file("projects");
    std::filesystem::create_directories(form.projfile);
    pg::Workspace::open(home.path())->createFeatureClass("sites", pg::GeometryType::Point, {});
    form.shpcol = {home.file("sites.shp")};
    state.model_mode = model::RWE_MODE;
    state.batch_mode = 1;

    QString browsedIn;
    bool setUpSeen = false;
    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [&] {
        // The innermost window answers first.
        QFileDialog* files = nullptr;
        wave::ui::BatchProcessDialog* setUp = nullptr;
        project::ui::PtdataselDialog* chooser = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible()) continue;
            if (auto* f = qobject_cast<QFileDialog*>(w)) files = f;
            if (auto* b = dynamic_cast<wave::ui::BatchProcessDialog*>(w)) setUp = b;
            if (auto* c = dynamic_cast<project::ui::PtdataselDialog*>(w)) chooser = c;
        }
        if (files) {
            browsedIn = files->directory().absolutePath();
            files->reject();
        } else if (setUp && !setUpSeen) {
            setUpSeen = true;
            setUp->Check1->setChecked(true);
            QTimer::singleShot(0, setUp->Command3, &QPushButton::click);
        } else if (setUp && !browsedIn.isEmpty()) {
            QTimer::singleShot(0, setUp->Command2, &QPushButton::click);
        } else if (chooser && !setUpSeen) {
            QTimer::singleShot(0, chooser->Command1, &QPushButton::click);
        }
    });
    user.start();
    run.Run_Click();
    user.stop();
    ASSERT_TRUE(setUpSeen);
    EXPECT_EQ(browsedIn, QDir(QString::fromStdString(form.projfile)).absolutePath());
    EXPECT_EQ(window.toolbarButtonImage(app::kProjectToolbar, "run"), "runoff");
    EXPECT_EQ(state.batch_mode, 0);
}

}  // namespace
