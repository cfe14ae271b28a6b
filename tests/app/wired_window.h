#pragma once
// The main window as the program wires it: the window, then the run
// command, on their own settings file in a temporary home.
#include "app/main_form.h"
#include "app/run_command.h"
#include "platform/settings_store.h"
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

}  // namespace quor::test
