#pragma once
// The main window as the program wires it: the window, then the run
// command, on their own settings file in a temporary home.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "app/main_form.h"
#include "app/run_command.h"
#include "app/startup.h"
#include "platform/settings_store.h"
#include "project/ui/ptdatasel_dialog.h"
#include "test_support.h"

namespace quor::test {

struct WiredWindow {
    TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    RecordingMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    model::WindSummary wind;
    app::MainForm window{state, form, holder, store, &messages};
    app::RunCommand run{window, wind};

    // Start-up in the temporary home, the welcome dialog seen before.
    void load() {
        state.welcome_done = true;
        app::StartupEnvironment env;
        env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
        env.fallbackFolder = home.path() + "/fallback";
        window.Form_Load(env);
    }
};

// Picks `entry` in the point-dataset chooser the Run button opens and presses OK.
inline void runFromTheRunButton(app::MainForm& window, const std::string& entry) {
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        auto* chooser = dynamic_cast<project::ui::PtdataselDialog*>(QApplication::activeModalWidget());
        if (!chooser) return;
        chooser->Combo1->setCurrentText(QString::fromStdString(entry));
        chosen = chooser->Combo1->currentText().toStdString() == entry;
        chooser->Command1->click();
    });
    window.toolbarButton(app::kProjectToolbar, "run")->trigger();
    EXPECT_TRUE(chosen) << entry << " is not in the chooser";
}

}  // namespace quor::test
