#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <qgsapplication.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/main_layout.h"
#include "app/progress_form.h"
#include "platform/settings_store.h"
#include "settled_window.h"
#include "test_support.h"

using namespace quor;

namespace {

struct Window : ::testing::Test {
    test::TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    test::RecordingMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    app::MainForm window{state, form, holder, store, &messages};

    // These tests are about the layout: no welcome dialog on activation.
    // Every command counts as connected, so that the designed states show.
    Window() {
        state.welcome_done = true;
        for (const auto& e : app::CommandTable::entries()) window.commands().connect(e.name, [] {});
        window.refreshCommandStates();
    }

    app::StartupOutcome load() {
        app::StartupEnvironment env;
        env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
        env.fallbackFolder = home.path() + "/fallback";
        return window.Form_Load(env);
    }
};

std::vector<std::string> menuTitles(QMenuBar* bar) {
    std::vector<std::string> out;
    for (QAction* a : bar->actions()) out.push_back(a->menu()->title().toStdString());
    return out;
}

}  // namespace

TEST_F(Window, MenuBarCaptionsShortcutsAndDesignedStates) {
    EXPECT_EQ(window.windowTitle(), "  Quor");
    EXPECT_EQ(menuTitles(window.menuBar()),
              (std::vector<std::string>{"Project ", "Data ", "Wind", "Display  ", "Help   "}));

    struct Item {
        const char* name;
        const char* caption;
        const char* shortcut;
    };
    const Item items[] = {
        {"Newpr", "New Project...    ", "Ctrl+N"},   {"del", "Delete Project...   ", "Ctrl+D"},
        {"Savepra", "Save Project As...    ", ""},    {"Exit", "Exit", "Ctrl+Q"},
        {"Addshore", "Change Shoreline Coverage...", "Ctrl+H"}, {"Chgset", "Settings...", "Ctrl+F2"},
        {"Anal_wind", "Download/Create Wind Data...", "Ctrl+A"}, {"Expcov", "Export Coverage As Image...  ", ""},
        {"zoomin", "  Zoom In", "Shift+F1"},          {"Fullext", "  Full Extent", "Shift+F3"},
        {"Refresh", "Refresh", "F4"},                 {"Content", "Content...", "F1"},
        {"Quordel", "About Quor...", "F12"},
    };
    for (const Item& i : items) {
        QAction* a = window.menuItem(i.name);
        ASSERT_NE(a, nullptr) << i.name;
        EXPECT_EQ(a->objectName().toStdString(), i.name);
        EXPECT_EQ(a->text().toStdString(), i.caption) << i.name;
        EXPECT_EQ(a->shortcut().toString().toStdString(), i.shortcut) << i.name;
    }

    // Order of the Project menu, separators included.
    std::vector<std::string> fileNames;
    for (QAction* a : window.menu("File")->actions()) fileNames.push_back(a->objectName().toStdString());
    EXPECT_EQ(fileNames, (std::vector<std::string>{"Newpr", "Openpr", "blank", "RemPr", "del", "Blank1", "Savepr",
                                                   "Savepra", "Blank2", "Printt", "Printset", "Blank3", "Exit"}));
    EXPECT_TRUE(window.menuItem("Blank3")->isSeparator());
    EXPECT_EQ(window.menu("Zoom")->title(), "Zoom Data");
    EXPECT_EQ(window.menu("Zoom")->actions().size(), 3);

    // Designed states, before start-up changes anything.
    for (const char* name : {"enterpt", "batchwind", "Opencov", "Expcov", "Opensur", "Expsur"})
        EXPECT_FALSE(window.menuItem(name)->isEnabled()) << name;
    EXPECT_FALSE(window.menuItem("Opensur")->isVisible());
    EXPECT_FALSE(window.menuItem("Expsur")->isVisible());
    EXPECT_TRUE(window.menuItem("Opencov")->isVisible());
    EXPECT_TRUE(window.menuItem("Addbathy")->isEnabled());
    EXPECT_TRUE(window.menuItem("PIIndex")->isEnabled());
}

TEST_F(Window, StartUpLeavesTheNoProjectStateOnScreen) {
    ASSERT_EQ(load(), app::StartupOutcome::Complete);
    EXPECT_TRUE(messages.entries.empty());

    EXPECT_EQ(window.statusPanel(4), "RWE Mode");
    EXPECT_EQ(window.statusPanel(3), "");
    EXPECT_EQ(window.mapName(), "Map");
    EXPECT_EQ(window.MapControl2->objectName(), "MapControl2");

    for (const char* name : {"Addbathy", "Addshore", "Addwind", "addshape", "Addpointc", "Tide", "enterpt",
                             "projprop", "RemPr", "Savepr", "Savepra", "Printt", "Printset", "Zoomout", "zoomin",
                             "Fullext", "wind_pt_mnu", "PIIndex", "batchwind", "Opencov"})
        EXPECT_FALSE(window.menuItem(name)->isEnabled()) << name;
    for (const char* name : {"Newpr", "Openpr", "del", "Exit", "QuorMode", "Chgset", "orbital", "batch",
                             "Anal_wind", "kobu", "Refresh", "Content", "Quordel", "Website"})
        EXPECT_TRUE(window.menuItem(name)->isEnabled()) << name;

    // Only "new", "open", "save" and "pointer" stay clickable.
    int enabled1 = 0, enabled2 = 0;
    for (QAction* a : window.Toolbar1->actions())
        if (!a->isSeparator() && !a->objectName().isEmpty() && a->isEnabled()) ++enabled1;
    for (QAction* a : window.Toolbar2->actions())
        if (!a->isSeparator() && a->isEnabled()) ++enabled2;
    EXPECT_EQ(enabled1, 3);
    EXPECT_EQ(enabled2, 1);
    for (const char* key : {"new", "open", "save"}) EXPECT_TRUE(window.toolbarButton(1, key)->isEnabled()) << key;
    EXPECT_TRUE(window.toolbarButton(2, "pointer")->isEnabled());
    EXPECT_FALSE(window.toolbarButton(1, "run")->isEnabled());
    EXPECT_FALSE(window.toolbarButton(2, "zoomin")->isEnabled());
    EXPECT_FALSE(window.toolbarButton(1, "run")->icon().isNull());
    EXPECT_EQ(window.toolbarButton(1, "delete")->toolTip(), "Remove");

    // Point entry's buttons start hidden and disabled.
    EXPECT_TRUE(window.canceladdpt->isHidden());
    EXPECT_FALSE(window.refresher->isEnabled());

    // Showing does not run start-up a second time.
    messages.entries.clear();
    window.show();
    QApplication::processEvents();
    EXPECT_TRUE(messages.entries.empty());
    EXPECT_EQ(window.statusPanel(4), "RWE Mode");
    window.hide();
}

TEST_F(Window, CoordinateMessageShowsBothNumbersWithABlank) {
    window.showcoords(12, -7);
    window.showcoords(-2147483647, 300000);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"12 -7", "-2147483647 300000"}));
    EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::None);
}

TEST_F(Window, ResizeKeepsTheMapAndListInTheirPlaces) {
    load();
    window.show();
    window.resize(1000, 800);
    QApplication::processEvents();
    const app::MainLayout& l = window.layoutTwips();
    EXPECT_FLOAT_EQ(l.MapControl2.Width, l.Frame2.Width - 240);
    EXPECT_FLOAT_EQ(l.MapControl2.Height, l.Frame2.Height - 400);
    EXPECT_FLOAT_EQ(l.Frame3.Top, l.List1.Top + l.List1.Height + 50);
    // The map widget follows the layout in pixels.
    const double perPixel = 1440.0 / window.logicalDpiX();
    EXPECT_NEAR(window.MapControl2->width() * perPixel, l.MapControl2.Width, perPixel);
    EXPECT_GT(window.MapControl2->width(), 500);

    // Dragging the splitter with the left button moves the display window.
    const int frame2Before = window.Frame2->x();
    const QPoint at(40, 5);
    QMouseEvent drag(QEvent::MouseMove, at, window.lblHorDrag->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(window.lblHorDrag, &drag);
    EXPECT_NEAR(window.Frame2->x() - frame2Before, 40 + 120 / perPixel, 2);
    EXPECT_EQ(window.Frame1->width(), window.lblHorDrag->x() + qRound(240 / perPixel));

    // Too small a window snaps back to 7575 by 7000 twips, once the window
    // manager has made it small.
    window.resize(300, 200);
    QTest::qWaitFor([&] {
        return std::abs(window.centralWidget()->width() * perPixel - (7575 - 120)) <= 2 * perPixel &&
               std::abs(window.centralWidget()->height() * perPixel - (7000 - 645)) <= 2 * perPixel;
    });
    EXPECT_NEAR(window.centralWidget()->width() * perPixel, 7575 - 120, 2 * perPixel);
    EXPECT_NEAR(window.centralWidget()->height() * perPixel, 7000 - 645, 2 * perPixel);
    window.hide();
}

TEST_F(Window, ToolbarButtonsShowQgisPicturesWithTheirCaptionsAsTooltips) {
    load();
    struct Expected {
        int toolbar;
        const char* key;
        const char* picture;
        const char* tooltip;
    };
    const Expected buttons[] = {
        {1, "new", "mActionFileNew.svg", "New Project"},
        {1, "open", "mActionFileOpen.svg", "Open Project"},
        {1, "save", "mActionFileSave.svg", "Save Project"},
        {1, "delete", "mActionRemove.svg", "Remove"},
        {1, "bathy", "mIconRasterLayer.svg", "Change Bathymetry"},
        {1, "shore", "mIconPolygonLayer.svg", "Change Shoreline"},
        {1, "wind", "north_arrow.svg", "Change Wind"},
        {1, "addpoint", "mActionCapturePoint.svg", "Create Points"},
        {1, "drawpoly", "mIconPointLayer.svg", "Add Points"},
        {1, "run", "mActionStart.svg", "Run"},
        {2, "zoomin", "mActionZoomIn.svg", "Zoom in"},
        {2, "zoomout", "mActionZoomOut.svg", "Zoom Out"},
        {2, "zoomselect", "mActionZoomToArea.svg", "Zoom select"},
        {2, "pan", "mActionPan.svg", "Pan"},
        {2, "fullextent", "mActionZoomFullExtent.svg", "Full Extent"},
        {2, "identify", "mActionIdentify.svg", "Identify"},
    };
    for (const Expected& b : buttons) {
        QAction* a = window.toolbarButton(b.toolbar, b.key);
        ASSERT_TRUE(a) << b.key;
        const QImage wanted = QgsApplication::getThemeIcon(QString("/") + b.picture).pixmap(16, 16).toImage();
        ASSERT_FALSE(wanted.isNull()) << b.picture;
        EXPECT_EQ(a->icon().pixmap(16, 16).toImage(), wanted) << b.key;
        EXPECT_EQ(a->toolTip().toStdString(), b.tooltip) << b.key;
    }
}

// A button without a tooltip of its own would show its key instead.
TEST_F(Window, NoToolbarButtonShowsItsKeyAsItsTooltip) {
    load();
    for (QToolBar* bar : {window.Toolbar1, window.Toolbar2})
        for (QAction* a : bar->actions()) {
            if (a->objectName().isEmpty()) continue;  // separators and the map toolbar's holder
            EXPECT_FALSE(a->toolTip().isEmpty()) << a->objectName().toStdString();
            EXPECT_NE(a->toolTip(), a->objectName());
        }
}

TEST_F(Window, StatusPanelsShowWholeTextsEachInItsOwnPanel) {
    load();
    window.show();
    const std::vector<std::string> texts = {"321456.12345  -5812345.12345", "F= 10000 B I= 100", "Fast Algorithm",
                                            "REI Mode"};
    for (int i = 0; i < 4; ++i) window.setStatusPanel(i + 1, texts[i]);
    auto panel = [this](int i) { return window.StatusBar1->findChild<QLabel*>(QStringLiteral("Panel%1").arg(i)); };
    auto check = [&](bool wholeExpected) {
        QApplication::processEvents();
        for (int i = 1; i <= 4; ++i) {
            QLabel* p = panel(i);
            ASSERT_TRUE(p);
            const QString full = QString::fromStdString(texts[i - 1]);
            EXPECT_EQ(window.statusPanel(i), full);
            if (p->text() == full) {
                EXPECT_LE(p->fontMetrics().horizontalAdvance(full), p->contentsRect().width()) << i;
            } else {
                EXPECT_TRUE(p->text().endsWith(QChar(0x2026)) && p->toolTip() == full) << i;
            }
            if (wholeExpected) {
                EXPECT_EQ(p->text(), full) << i;
            }
            // Inside the bar, and clear of the next panel.
            EXPECT_GE(p->x(), 0) << i;
            EXPECT_LE(p->geometry().right(), window.StatusBar1->width()) << i;
            if (i < 4) {
                EXPECT_LT(p->geometry().right(), panel(i + 1)->x()) << i;
            }
        }
    };
    // A wide window gives every panel the room for its whole text.
    window.resize(1400, 900);
    check(true);
    // A narrow window cuts the texts visibly instead of hiding their ends.
    window.resize(300, 200);
    check(false);
    window.hide();
}

TEST(MainLayoutPass, TooSmallWindowSnapsBackAndPanesFollowTheSize) {
    app::MainLayout l;
    auto r = app::formResize(l, false, 7000, 9000);
    EXPECT_TRUE(r.snapped);
    EXPECT_EQ(r.outerWidth, 7575);
    EXPECT_EQ(r.outerHeight, 7000);
    EXPECT_EQ(l.Frame2.Height, 7000 - 1535);
    EXPECT_EQ(l.Toolbar1.Width, 7575);

    r = app::formResize(l, false, 12000, 9000);
    EXPECT_FALSE(r.snapped);
    EXPECT_EQ(l.Frame2.Width, 12000 - 120 - 2490 - 40);
    EXPECT_EQ(l.lblHorDrag.Height, 9000 - 1535);
    EXPECT_EQ(l.Frame4.Top, 9000 - 1230);
    EXPECT_EQ(l.Frame4.Width, 12000 - 300);
    EXPECT_EQ(l.Frame1.Height, l.Frame2.Height);
    EXPECT_EQ(l.Label2.Top, l.Frame1.Top + l.Frame1.Height - 10);
    EXPECT_EQ(l.List1.Top, 600 + 1935 - 255);
    EXPECT_EQ(l.List1.Height, l.Frame1.Height - 2845);
    EXPECT_EQ(l.Frame3.Top, l.List1.Top + l.List1.Height + 50);
    EXPECT_EQ(l.MapControl2.Width, l.Frame2.Width - 240);
    EXPECT_EQ(l.MapControl2.Height, l.Frame2.Height - 400);
    EXPECT_EQ(l.refresher.Left, l.MapControl2.Width - 1155);
    EXPECT_EQ(l.StatusBar1.Left, l.Frame4.Width - 7395);

    // Minimized: nothing moves.
    const app::MainLayout before = l;
    r = app::formResize(l, true, 100, 100);
    EXPECT_FALSE(r.ran);
    EXPECT_EQ(l.Frame2.Width, before.Frame2.Width);
}

TEST(MainLayoutPass, SplitterMovesWithinItsBoundsAndIgnoresSmallMoves) {
    app::MainLayout l;
    const float inner = 10275;

    // p = 2400 + x + 120; moves of at most 6 twips change nothing.
    EXPECT_FALSE(app::splitterDrag(l, 1, -114, inner));
    EXPECT_FALSE(app::splitterDrag(l, 1, -126, inner));
    EXPECT_EQ(l.lblHorDrag.Left, 2400);
    // Another button held, or none: nothing.
    EXPECT_FALSE(app::splitterDrag(l, 2, 500, inner));
    EXPECT_FALSE(app::splitterDrag(l, 3, 500, inner));

    ASSERT_TRUE(app::splitterDrag(l, 1, 380, inner));  // p = 2900, d = 500
    EXPECT_EQ(l.lblHorDrag.Left, 2900);
    EXPECT_EQ(l.Frame1.Left, 120);
    EXPECT_EQ(l.Frame1.Width, 2900 + 240);
    EXPECT_EQ(l.TreeView1.Width, 2900);
    EXPECT_EQ(l.List1.Width, 2900);
    EXPECT_EQ(l.Label2.Width, 3140);
    EXPECT_EQ(l.Frame2.Left, 2980);
    EXPECT_EQ(l.Frame2.Width, inner - 2980 - 40);
    EXPECT_EQ(l.MapControl2.Width, l.Frame2.Width - 240);
    EXPECT_EQ(l.refresher.Left, 6480 - 500);

    // Bounds: below 1200 or above inner width - 5800 is refused.
    EXPECT_FALSE(app::splitterDrag(l, 1, 1200 - 2900 - 120 - 1, inner));
    EXPECT_FALSE(app::splitterDrag(l, 1, (inner - 5800) - 2900 - 120 + 1, inner));
    EXPECT_TRUE(app::splitterDrag(l, 1, 1200 - 2900 - 120, inner));
    EXPECT_EQ(l.lblHorDrag.Left, 1200);
    EXPECT_TRUE(app::splitterDrag(l, 1, (inner - 5800) - 1200 - 120, inner));
    EXPECT_EQ(l.lblHorDrag.Left, inner - 5800);

    // Half twips round to the even number.
    app::MainLayout h;
    ASSERT_TRUE(app::splitterDrag(h, 1, 80.5f, inner));  // 2600.5 -> 2600
    EXPECT_EQ(h.lblHorDrag.Left, 2600);
}

TEST(ProgressForm, CancelSetsTheRequestAndTheCaption) {
    model::ModelState state;
    model::MainFormState form;
    form.xscreen = 1920;
    form.yscreen = 1080;
    QWidget main;
    main.setGeometry(100, 100, 800, 600);
    app::Form1 dlg(state, form, &main);
    EXPECT_EQ(dlg.windowTitle(), "  Processing");
    EXPECT_EQ(dlg.Command1->text(), "Cancel");

    platform::Progress& progress = dlg;
    progress.show();
    progress.setMaximum(1, 100);
    progress.setValue(1, 40);
    progress.setLabel(1, "Processing Point 2 of 5");
    EXPECT_EQ(progress.value(1), 40);

    dlg.Command1->click();
    EXPECT_TRUE(state.cancel_flag);
    EXPECT_EQ(progress.label(1), "Cancelling the project...");
    // A second request changes nothing more, and the bars stay as they were.
    dlg.Command1->click();
    EXPECT_TRUE(state.cancel_flag);
    EXPECT_EQ(progress.label(1), "Cancelling the project...");
    EXPECT_EQ(progress.value(1), 40);
    EXPECT_TRUE(dlg.isVisible());
    progress.hide();
    EXPECT_FALSE(dlg.isVisible());

    // The next run finds the window as if newly loaded.
    progress.show();
    EXPECT_EQ(progress.label(1), "");
    EXPECT_EQ(progress.value(1), 0);
    progress.hide();
}

TEST(ProgressForm, HeightFollowsBatchModeAndTheTopEdgeStays) {
    model::ModelState state;
    model::MainFormState form;
    form.xscreen = 1920;
    QWidget main;
    main.setGeometry(100, 100, 800, 600);
    app::Form1 dlg(state, form, &main);
    const double perTwip = dlg.logicalDpiY() / 1440.0;

    dlg.placeWindow();
    const QRect single = dlg.geometry();
    state.batch_mode = 1;
    dlg.placeWindow();
    const QRect batch = dlg.geometry();

    // 1500 and 3000 twips tall with the title bar.
    EXPECT_NEAR(batch.height() - single.height(), 1500 * perTwip, 1);
    EXPECT_EQ(single.top(), batch.top());
    EXPECT_EQ(single.left(), 960 - single.width() / 2);
    const QRect m = main.frameGeometry();
    EXPECT_LT(single.bottom(), m.bottom());
    EXPECT_GT(single.top(), m.top() + m.height() / 2);
    // Only the batch height shows the second bar.
    EXPECT_GT(batch.height(), dlg.ProgressBar2->geometry().bottom());
    EXPECT_LT(single.height(), dlg.ProgressBar2->geometry().top());
}

TEST(ProgressForm, ARunsManyBarValuesArePaintedAFewTimesASecondWithTheLatest) {
    model::ModelState state;
    model::MainFormState form;
    app::Form1 dlg(state, form, nullptr);
    struct PaintCounter final : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    dlg.ProgressBar1->installEventFilter(&counter);
    dlg.show();
    dlg.setMaximum(1, 100);
    ASSERT_TRUE(test::waitUntilSettled(dlg, [&] { return counter.paints > 0; }));
    counter.paints = 0;
    for (int v = 1; v <= 100; ++v) dlg.setValue(1, v);
    EXPECT_EQ(counter.paints, 0) << "no bar is painted at once";
    EXPECT_EQ(dlg.value(1), 100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 10000));
    // What else the burst asked for has been posted by the time the bar is painted.
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(counter.paints, 1) << "painted once for the burst";
}

TEST(ProgressForm, ARunsYieldsTurnTheEventLoopEveryFewMilliseconds) {
    model::ModelState state;
    model::MainFormState form;
    app::Form1 dlg(state, form, nullptr);
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
    ticker.start(0);
    // A burst of yields gives a turn every few milliseconds, not one each; a yield after
    // a pause gives another, so Cancel always gets through.
    for (int i = 0; i < 1000; ++i) dlg.yield();
    EXPECT_LT(turns, 100);
    const int before = turns;
    QTest::qWait(20);
    const int afterWait = turns;
    dlg.yield();
    EXPECT_GT(turns, afterWait);
    EXPECT_GE(afterWait, before);
}
