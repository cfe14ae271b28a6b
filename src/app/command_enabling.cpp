#include "app/command_enabling.h"

#include "model/model_state.h"

namespace quor::app {

const CommandSet& projectOpenCommands() {
    static const CommandSet set{
        {"bathy", "shore", "wind", "addpoint", "drawpoly", "run", "delete"},
        {"zoomin", "zoomout", "zoomselect", "fullextent", "pan", "identify"},
        {"Addbathy", "Addshore", "Addwind", "addshape", "Addpointc", "projprop", "RemPr", "Savepr", "Savepra",
         "Zoomout", "zoomin", "Fullext", "wind_pt_mnu", "Tide"},
    };
    return set;
}

const CommandSet& noProjectCommands() {
    static const CommandSet set{
        {"bathy", "shore", "wind", "addpoint", "drawpoly", "run", "delete"},
        {"zoomin", "zoomout", "zoomselect", "fullextent", "pan", "identify"},
        {"Addbathy", "Addshore", "Addwind", "addshape", "Addpointc", "enterpt", "projprop", "Zoomout", "zoomin",
         "Fullext", "Tide", "RemPr", "Savepr", "Savepra"},
    };
    return set;
}

const CommandSet& pointEntryCommands() {
    static const CommandSet set{
        {"bathy", "shore", "wind", "drawpoly", "run", "delete", "new", "open", "save", "addpoint"},
        {"identify"},
        {"Addbathy", "Addshore", "Addwind", "addshape", "Addpointc", "projprop", "Zoomout", "zoomin", "Fullext",
         "RemPr", "Savepr", "Savepra", "Openpr", "Newpr", "del", "Chgset", "Tide"},
    };
    return set;
}

namespace {
template <class F>
void attempt(F&& step) {
    try {
        step();
    } catch (...) {
    }
}
}  // namespace

void applyCommandSet(StartupWindow& window, const CommandSet& set, bool enabled) {
    for (const std::string& key : set.projectButtons)
        attempt([&] { window.setToolbarButtonEnabled(kProjectToolbar, key, enabled); });
    for (const std::string& key : set.mapButtons)
        attempt([&] { window.setToolbarButtonEnabled(kMapToolbar, key, enabled); });
    for (const std::string& name : set.menuItems) attempt([&] { window.setMenuItemEnabled(name, enabled); });
}

void disablecontrols(StartupWindow& window) { applyCommandSet(window, noProjectCommands(), false); }

void setcontrols(StartupWindow& window, bool enabled) { applyCommandSet(window, pointEntryCommands(), enabled); }

void enableProjectCommands(StartupWindow& window) { applyCommandSet(window, projectOpenCommands(), true); }

void applyModeCommands(StartupWindow& window, uint8_t model_mode) {
    const bool rei = model_mode == model::REI_MODE;
    attempt([&] { window.setMenuItemEnabled("batch", !rei); });
    attempt([&] { window.setMenuItemEnabled("PIIndex", rei); });
}

}  // namespace quor::app
