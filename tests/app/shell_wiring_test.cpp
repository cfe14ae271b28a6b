// The commands the main window connects to the subsystems that exist.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "../gis/rays_test_data.h"
#include "app/main_form.h"
#include "platform/settings_store.h"
#include "platform/textfile.h"
#include "project/project_commands.h"
#include "test_support.h"
#include "project/ui/new_project_dialog.h"
#include "rei/ui/fm_property.h"
#include "wind/ui/winddata_form.h"
#include "wind/ui/wind_pt.h"

using namespace quor;

namespace {

// A main window on its own settings file, in a temporary home.
struct Wiring : ::testing::Test {
    test::TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    test::RecordingMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    std::unique_ptr<app::MainForm> window_;

    Wiring() { state.welcome_done = true; }
    // The window, made once the test has set what it starts from.
    app::MainForm& open() {
        window_ = std::make_unique<app::MainForm>(state, form, holder, store, &messages);
        return *window_;
    }
};

TEST_F(Wiring, WindParameterDisplayShowsTheHoldersWindInReiModeOnly) {
    app::MainForm& window = open();
    ASSERT_TRUE(window.commands().available("Wind_pt"));

    window.menuItem("wind_pt_mnu")->setEnabled(true);
    window.menuItem("wind_pt_mnu")->trigger();
    EXPECT_EQ(window.findChild<wind::ui::WindPtForm*>(), nullptr);

    state.model_mode = model::REI_MODE;
    window.winddata().wind_station = "Station 7";
    window.menuItem("wind_pt_mnu")->trigger();
    auto* shown = window.findChild<wind::ui::WindPtForm*>();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_FALSE(shown->isModal());
    EXPECT_TRUE(messages.entries.empty());
    shown->close();
}

TEST_F(Wiring, AFailedWindLoadDisablesTheWindParameterDisplay) {
    state.model_mode = model::REI_MODE;
    app::MainForm& window = open();
    state.app_folder = home.path();
    std::filesystem::create_directories(home.file("Sample Data"));
    std::ofstream(home.file("Sample Data/broken.txt")) << "not a wind file\n";

    // Change Wind Data picks the broken file in the open dialog.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            // Typed into the name box, as a user would: the dialog's own
            // selection waits for its folder listing.
            const QString path = QString::fromStdString(home.file("Sample Data/broken.txt"));
            d->findChild<QLineEdit*>("fileNameEdit")->setText(path);
            QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        }
    });
    poll.start(20);
    window.menuItem("wind_pt_mnu")->setEnabled(true);
    window.menuItem("Addwind")->setEnabled(true);
    window.menuItem("Addwind")->trigger();
    poll.stop();
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_EQ(messages.entries[0].text.rfind(" Wind data file is not available or not in the right format.\n", 0), 0u)
        << messages.entries[0].text;
    EXPECT_FALSE(window.menuItem("wind_pt_mnu")->isEnabled());
}

TEST_F(Wiring, AnReiProjectWhoseWindFileHoldsAnImpossibleValueOpensWithoutIt) {
    state.model_mode = model::REI_MODE;
    app::MainForm& window = open();
    namespace td = gis::testdata;
    td::writeBathymetry(home.file("bathy.tif"), 0, 0, 30, 40, 40, [](double, double) { return -5.0; });
    std::filesystem::create_directories(home.file("shore"));
    td::writeShoreline(home.file("shore"), "coast", {{{{0, 0}, {1200, 0}, {1200, 1200}, {0, 1200}}}});
    std::vector<std::string> wind = {"Winddata File Quor Project", "", "Created on: today", ""};
    for (int k = 0; k < 8; ++k) {
        wind.push_back("5");
        wind.push_back("12.5");
    }
    platform::writeTextLines(home.file("good.Wind_REI"), wind);
    wind[4] = "1e308";  // line 5, the first speed
    const std::string bad = home.file("bad.Wind_REI");
    platform::writeTextLines(bad, wind);
    platform::writeTextLines(home.file("bay.tesk_REI"),
                             {"Quor REI Project File", "", "Created on: today", "", home.file("bathy.tif"), "bathy.tif",
                              "0", home.file("shore"), "coast.shp", "", bad, "bad.Wind_REI"});

    // Open Project, then Change Wind Data, each answered in its file dialog.
    std::string answer;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            d->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(answer));
            QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        }
    });
    poll.start(20);
    answer = home.file("bay.tesk_REI");
    window.menuItem("Openpr")->setEnabled(true);
    window.menuItem("Openpr")->trigger();
    const std::string said = project::kUnusableWindFile1 + bad + project::kUnusableWindFile2 +
                             "\nLine 5 of the wind file, \"1e308\": a mean wind speed above 100 m/s is not possible.";
    const auto texts = messages.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), said), 1) << ::testing::PrintToString(texts);
    for (const auto& text : texts) EXPECT_NE(text, project::kCorruptedProject);
    EXPECT_EQ(form.bathyname, "bathy.tif");
    EXPECT_EQ(state.wind_path, "");

    answer = home.file("good.Wind_REI");
    window.menuItem("Addwind")->setEnabled(true);
    window.menuItem("Addwind")->trigger();
    poll.stop();
    EXPECT_EQ(state.wind_path, answer);
}

TEST_F(Wiring, HandEnteredWindIsSavedAsAWindTextFile) {
    state.model_mode = model::REI_MODE;
    form.dir_path = home.path();
    app::MainForm& window = open();
    state.app_folder = home.path();

    // New Project > Manual: the wind entry form, typed in and saved as "bay".
    QStringList filters;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            filters = d->nameFilters();
            d->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(home.file("bay")));
            QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        }
    });
    poll.start(20);
    window.setModalRunner([&](QDialog& dialog) {
        if (auto* project = dynamic_cast<project::ui::NewProjectDialog*>(&dialog)) project->Option_manual->click();
        if (auto* entry = dynamic_cast<wind::ui::WindDataForm*>(&dialog)) {
            for (int i = 0; i < 16; ++i) entry->Text1[static_cast<size_t>(i)]->setText(i % 2 ? "10" : "5");
            entry->winddata_ok->click();
        }
        return static_cast<int>(QDialog::Rejected);
    });
    window.menuItem("Newpr")->setEnabled(true);
    window.menuItem("Newpr")->trigger();
    poll.stop();
    EXPECT_EQ(filters, QStringList{"Wind data(*.txt)"});
    EXPECT_TRUE(std::filesystem::exists(home.file("bay.txt")));
}

TEST_F(Wiring, SettingsOpensTheReiSettingsInReiModeAndCancelKeepsTheHolder) {
    state.model_mode = model::REI_MODE;
    holder.indexcheck = 1;
    holder.Power1 = 0.053;
    app::MainForm& window = open();
    ASSERT_TRUE(window.commands().available("fm_property"));

    std::string shownTitle;
    bool wasReiSettings = false;
    window.setModalRunner([&](QDialog& dialog) {
        wasReiSettings = dynamic_cast<rei::ui::FmProperty*>(&dialog) != nullptr;
        shownTitle = dialog.windowTitle().toStdString();
        return static_cast<int>(QDialog::Rejected);
    });
    window.menuItem("Chgset")->setEnabled(true);
    window.menuItem("Chgset")->trigger();
    EXPECT_TRUE(wasReiSettings) << shownTitle;
    EXPECT_EQ(holder.indexcheck, 1);
    EXPECT_EQ(holder.Power1, 0.053);
}

}  // namespace
