#pragma once
// A loaded main window whose commands record what they were asked to do.
#include <QAction>
#include <QMenu>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/project_tree.h"
#include "platform/settings_store.h"
#include "test_support.h"

namespace quor::test {

struct Shell {
    TempDir home;
    platform::IniSettingsStore store{home.path() + "/config"};
    RecordingMessages messages;
    model::ModelState state;
    model::MainFormState form;
    model::SettingsHolder holder;
    app::MainForm window{state, form, holder, store, &messages};
    std::vector<std::string> ran;  // commands run, in order

    Shell() {
        state.welcome_done = true;
        app::StartupEnvironment env;
        env.documents = {platform::DocumentsFolder::Status::Found, home.path()};
        env.fallbackFolder = home.path() + "/fallback";
        window.Form_Load(env);
        messages.entries.clear();
        connectAll();
    }

    void connectAll() {
        for (const auto& e : app::CommandTable::entries()) {
            const std::string name = e.name;
            if (name == "displaylayers") continue;
            window.commands().connect(name, [this, name] { ran.push_back(name); });
        }
        window.refreshCommandStates();
    }

    void openProject(const std::string& name = "Bay") {
        form.projname = name;
        form.bathyname = "bathy.tif";
        form.shorename = "water.shp";
        state.wind_name = "sample.Wind_RWE";
        window.buildprojtree();
    }

    // Enabled state of every keyed button and every menu item but separators.
    std::map<std::string, bool> enabledTable() const {
        std::map<std::string, bool> t;
        for (const char* key : {"new", "open", "save", "printt", "delete", "bathy", "shore", "wind", "addpoint",
                                "drawpoly", "run"})
            t[std::string("T1.") + key] = window.toolbarButton(1, key)->isEnabled();
        for (const char* key : {"zoomin", "zoomout", "zoomselect", "pan", "fullextent", "pointer", "identify"})
            t[std::string("T2.") + key] = window.toolbarButton(2, key)->isEnabled();
        for (const char* name : {"Newpr", "Openpr", "RemPr", "del", "Savepr", "Savepra", "Printt", "Printset",
                                 "Exit", "Addbathy", "Addshore", "addshape", "Addpointc", "enterpt", "QuorMode",
                                 "Chgset", "orbital", "batch", "projprop", "Tide", "wind_pt_mnu", "Addwind",
                                 "PIIndex", "Anal_wind", "batchwind", "kobu", "Opencov", "Expcov", "Opensur",
                                 "Expsur", "Zoom", "zoomin", "Zoomout", "Fullext", "Refresh", "Content",
                                 "Quordel", "Website"})
            t[name] = window.menuItem(name)->isEnabled();
        return t;
    }
};

// A table in which exactly the named commands are disabled.
inline std::map<std::string, bool> allEnabledBut(const std::map<std::string, bool>& like,
                                                 const std::set<std::string>& disabled) {
    std::map<std::string, bool> t;
    for (const auto& [name, on] : like) t[name] = disabled.count(name) == 0;
    return t;
}

}  // namespace quor::test
