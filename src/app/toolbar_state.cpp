// The two toolbars of the main window: what a click on each button does,
// the buttons' values (up or down), the map pointer, and the enabling of
// commands by the state of the program.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QToolBar>

#include "app/command_enabling.h"
#include "app/main_form.h"
#include "app/map_tools.h"
#include "app/map_view.h"
#include "app/point_entry.h"

namespace quor::app {

namespace {
const char* const kMapTools[] = {"zoomin", "zoomout", "zoomselect", "fullextent", "pan", "identify"};

template <class F>
void attemptQuietly(F&& step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

int MainForm::toolbarValue(int toolbar, const std::string& key) const {
    if (toolbar != kProjectToolbar && toolbar != kMapToolbar) return 0;
    return mapSupport_ && const_cast<MainForm*>(this)->toolButtons().pressed(toolbar, key) ? 1 : 0;
}

std::string MainForm::toolbarButtonImage(int toolbar, const std::string& key) const {
    if (toolbar != kProjectToolbar && toolbar != kMapToolbar) return {};
    const auto& images = toolbarImages_[toolbar - 1];
    auto it = images.find(key);
    return it == images.end() ? std::string() : it->second;
}

void MainForm::setToolbarValue(int toolbar, const std::string& key, int value) {
    if (!toolbarButton(toolbar, key)) throw std::out_of_range("no such toolbar button: " + key);
    toolButtons().setPressed(toolbar, key, value != 0);
}

int MainForm::mapPointer() const { return MapControl2->mousePointer(); }

void MainForm::setMapPointer(int pointer) { MapControl2->setMousePointer(pointer); }

void MainForm::runEnded() {
    for (const char* key : {"bathy", "shore", "wind", "addpoint", "drawpoly", "run", "printt", "delete"})
        attemptQuietly([&] { setToolbarValue(kProjectToolbar, key, 0); });
    for (const char* key : kMapTools) attemptQuietly([&] { setToolbarValue(kMapToolbar, key, 0); });
    attemptQuietly([&] { setToolbarButtonImage(kProjectToolbar, "run", "runoff"); });
}

void MainForm::disablecontrols() { app::disablecontrols(*this); }

void MainForm::setcontrols(bool enabled) { app::setcontrols(*this, enabled); }

void MainForm::Toolbar1_ButtonClick(const std::string& key) {
    // A click toggles a checkable button by itself; the value decides.
    if (QAction* a = toolbarButton(kProjectToolbar, key)) a->setChecked(toolbarValue(kProjectToolbar, key) != 0);
    if (state_.run_lock.active()) return;
    if (key == "run") {
        setToolbarButtonImage(kProjectToolbar, "run", "runon");
        resetmaptools();
        setMapPointer(1);
        // The run command of the run subsystem shows the chooser when it is
        // connected here; otherwise it listens to the button itself.
        if (commands_.available("ptdatasel")) commands_.run("ptdatasel", *messages_);
    } else if (key == "addpoint") {
        pointEntry().start();
    } else {
        const std::string command = CommandTable::forProjectButton(key);
        if (!command.empty()) commands_.run(command, *messages_);
    }
    if (Toolbar1) Toolbar1->update();
}

}  // namespace quor::app
