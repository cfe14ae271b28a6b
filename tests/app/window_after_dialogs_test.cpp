// The main window with dialogs that open other dialogs, driven as a user
// drives them: menus clicked, boxes typed into, buttons pressed.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolBar>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main_form.h"
#include "gis/ui/dataset_chooser.h"
#include "platform/gis/workspace.h"
#include "project/ui/new_project_dialog.h"
#include "project/ui/ptdatasel_dialog.h"
#include "wave/ui/batch_dialogs.h"
#include "test_support.h"
#include "user_steps.h"
#include "wind/ui/wind_text_dialog.h"
#include "wind/ui/windanly.h"
#include "wired_window.h"

using namespace quor;
using test::activeModal;

namespace {

struct WindowAfterDialogs : ::testing::Test, test::WiredWindow {
    test::TempDir files;

    WindowAfterDialogs() {
        load();
        window.resize(1024, 768);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Whether a click on the menu bar, delivered as the window system
    // delivers it, opens the menu under it.
    bool menuBarAnswersTheMouse() {
        QMenu* menu = window.menu("File");
        QMenuBar* bar = window.menuBar();
        const QPoint at = bar->mapTo(&window, bar->actionGeometry(menu->menuAction()).center());
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
        const bool opened = QTest::qWaitFor([&] { return menu->isVisible(); }, 1000);
        menu->hide();
        return opened;
    }

    // Clicks a top-level menu and then one of its items, as the mouse does.
    void clickMenuItem(const char* menuName, const char* itemName) {
        QMenu* menu = window.menu(menuName);
        QMenuBar* bar = window.menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000)) << menuName << " did not open";
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(window.menuItem(itemName)).center());
    }

    void clickRunButton() {
        QWidget* run = window.Toolbar1->widgetForAction(window.toolbarButton(app::kProjectToolbar, "run"));
        QTest::mouseClick(run, Qt::LeftButton, {}, run->rect().center());
    }

    // A project with a point shapefile to run on.
    void openProject() {
        form.projfile = files.file("projects");
        std::filesystem::create_directories(form.projfile);
        platform::gis::Workspace::open(files.path())->createFeatureClass("sites", platform::gis::GeometryType::Point, {});
        form.shpcol = {files.file("sites.shp")};
        form.projname = "Bay";
        window.buildprojtree();
        messages.entries.clear();
    }
};

QPushButton* button(QWidget& dialog, const QString& text) {
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == text && b->isVisible()) return b;
    return nullptr;
}

void click(QWidget* w) {
    ASSERT_TRUE(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

void type(QWidget* w, const QString& text) {
    ASSERT_TRUE(w);
    w->setFocus();
    QTest::keyClicks(w, text);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < bytes.size();) {
        const size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) break;
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

}  // namespace

// The column chooser used to hide the analysis dialog, which ended the
// dialog's own loop: the dialog was gone once the chooser closed, nothing
// was analysed, and the menus ignored the mouse afterwards.
TEST_F(WindowAfterDialogs, WindMenuAnalysesALocalRecordIntoAWindFile) {
    const std::string record = files.file("bay.txt");
    std::ofstream(record, std::ios::binary) << "YY MM DD hh WSPD WDIR\r\n"
                                               "yr mo dy hr m/s degT\r\n"
                                               "1995 01 01 00 5 90\r\n"
                                               "1998 06 15 12 7 180\r\n"
                                               "2001 03 02 06 9 180\r\n"
                                               "2002 12 31 23 3 0\r\n";
    const std::string saved = files.file("bay.Wind_RWE");

    test::UserSteps steps;
    steps.then("the analysis dialog",
               [] { return activeModal<wind::windanly>(); },
               [](QWidget& d) { click(button(d, "For analyzing wind data text file on your local drive, click here")); })
        .then("the column chooser",
              [] { return activeModal<wind::ui::WindTextDialog>(); },
              [&](QWidget& d) {
                  auto boxes = d.findChildren<QLineEdit*>();
                  type(boxes.front(), QString::fromStdString(record));  // the file box comes first
                  QTest::keyClick(boxes.front(), Qt::Key_Tab);
                  const auto fields = d.findChildren<QComboBox*>();  // the row, then the seven columns
                  ASSERT_EQ(fields.size(), 8);
                  const char* names[] = {"YY", "MM", "DD", "hh", "", "WSPD", "WDIR"};
                  for (int i = 0; i < 7; ++i) type(fields[i + 1]->lineEdit(), names[i]);
                  click(button(d, "OK"));
              })
        .then("the analysis dialog again, for a local file",
              [] {
                  auto* d = activeModal<wind::windanly>();
                  return d && d->Text1->isVisible() ? d : nullptr;
              },
              [](QWidget& w) {
                  auto& d = static_cast<wind::windanly&>(w);
                  type(d.Text1, "Bay");
                  click(d.Slider1);
                  QTest::keyClick(d.Slider1, Qt::Key_End);  // the top 100 %
                  click(d.Command1);
              })
        .then("the save dialog",
              [] { return activeModal<QFileDialog>(); },
              [&](QWidget& d) {
                  type(d.findChild<QLineEdit*>("fileNameEdit"), QString::fromStdString(saved));
                  QTest::keyClick(&d, Qt::Key_Return);
              })
        .then("the analysis dialog after the analysis",
              [] {
                  auto* d = activeModal<wind::windanly>();
                  return d && d->windowTitle() == "Wind Analysis" ? d : nullptr;
              },
              [](QWidget& w) { click(static_cast<wind::windanly&>(w).Command2); });
    steps.start();
    clickMenuItem("Wind", "Anal_wind");
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps.finished(); }, 60000));
    EXPECT_EQ(steps.missed(), "");

    const auto lines = crlfLines(readFile(saved));
    ASSERT_EQ(lines.size(), 121u) << "no wind file written";
    EXPECT_EQ(lines[3], "Bay");
    EXPECT_EQ(lines[6], "0m/s");
    // 0, 90 and 180 degrees: sectors 0, 14 and 28 of 56.
    EXPECT_EQ(lines[9 + 0], "3");
    EXPECT_EQ(lines[9 + 14], "5");
    EXPECT_EQ(lines[9 + 28], "8");
    EXPECT_EQ(lines[9 + 56 + 0], "25");
    EXPECT_EQ(lines[9 + 56 + 14], "25");
    EXPECT_EQ(lines[9 + 56 + 28], "50");
    EXPECT_TRUE(menuBarAnswersTheMouse());
    EXPECT_EQ(messages.texts().back().rfind("Wind Analysis Done", 0), 0u);
}

// Dialogs that open dialogs of their own, each walked through and closed;
// the window then answers the mouse again.
TEST_F(WindowAfterDialogs, AfterEveryDialogThatOpensAnotherTheMenuBarAnswersTheMouse) {
    openProject();
    auto escape = [](QWidget& d) { QTest::keyClick(&d, Qt::Key_Escape); };
    struct Walk {
        const char* name;
        std::function<void(test::UserSteps&)> steps;
        std::function<void()> open;
    };
    const std::vector<Walk> walks = {
        {"wind analysis, the column chooser cancelled",
         [](test::UserSteps& s) {
             s.then("analysis", [] { return activeModal<wind::windanly>(); },
                    [](QWidget& d) { click(static_cast<wind::windanly&>(d).Command3); })
                 .then("chooser", [] { return activeModal<wind::ui::WindTextDialog>(); },
                       [](QWidget& d) { click(button(d, "Cancel")); })
                 .then("analysis again", [] { return activeModal<wind::windanly>(); },
                       [](QWidget& d) { click(static_cast<wind::windanly&>(d).Command2); });
         },
         [this] { clickMenuItem("Wind", "Anal_wind"); }},
        {"the point-dataset chooser",
         [](test::UserSteps& s) {
             s.then("chooser", [] { return activeModal<project::ui::PtdataselDialog>(); },
                    [](QWidget& d) { click(static_cast<project::ui::PtdataselDialog&>(d).Command2); });
         },
         [this] { clickRunButton(); }},
        {"batch set-up",
         [escape](test::UserSteps& s) {
             using wave::ui::BatchProcessDialog;
             s.then("chooser", [] { return activeModal<project::ui::PtdataselDialog>(); },
                    [](QWidget& d) { click(static_cast<project::ui::PtdataselDialog&>(d).Command1); })
                 .then("set-up", [] { return activeModal<BatchProcessDialog>(); },
                       [](QWidget& d) { click(static_cast<BatchProcessDialog&>(d).Browse); })
                 .then("folder chooser", [] { return activeModal<QFileDialog>(); }, escape)
                 .then("set-up again", [] { return activeModal<BatchProcessDialog>(); },
                       [](QWidget& d) { click(static_cast<BatchProcessDialog&>(d).Command2); });
         },
         [this] {
             state.batch_mode = 1;
             clickRunButton();
         }},
        // Last: New Project closes the open project first.
        {"New Project's choosers",
         [escape](test::UserSteps& s) {
             using project::ui::NewProjectDialog;
             s.then("new project", [] { return activeModal<NewProjectDialog>(); },
                    [](QWidget& d) { click(static_cast<NewProjectDialog&>(d).Command1); })
                 .then("bathymetry chooser", [] { return activeModal<gis::ui::DatasetChooserDialog>(); }, escape)
                 .then("new project again", [] { return activeModal<NewProjectDialog>(); },
                       [](QWidget& d) { click(static_cast<NewProjectDialog&>(d).Command2); })
                 .then("shoreline chooser", [] { return activeModal<gis::ui::DatasetChooserDialog>(); }, escape)
                 .then("new project once more", [] { return activeModal<NewProjectDialog>(); },
                       [](QWidget& w) {
                           auto& d = static_cast<NewProjectDialog&>(w);
                           click(d.Option_text);
                           click(d.Command3);
                       })
                 .then("wind file chooser", [] { return activeModal<QFileDialog>(); }, escape)
                 .then("new project at last", [] { return activeModal<NewProjectDialog>(); },
                       [](QWidget& d) { click(static_cast<NewProjectDialog&>(d).newpro_cancel); });
         },
         [this] { clickMenuItem("File", "Newpr"); }},
    };
    for (const Walk& walk : walks) {
        SCOPED_TRACE(walk.name);
        test::UserSteps steps;
        walk.steps(steps);
        steps.start();
        walk.open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return steps.finished(); }, 60000));
        EXPECT_EQ(steps.missed(), "");
        EXPECT_TRUE(menuBarAnswersTheMouse());
    }
}
