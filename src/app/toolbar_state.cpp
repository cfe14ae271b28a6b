// The two toolbars of the main window: what a click on each button does,
// the buttons' values (up or down), the map pointer, and the enabling of
// commands by the state of the program.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QToolBar>

#include "app/command_enabling.h"
#include "app/main_form.h"
#include "gis/geodatabase.h"

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

Qt::CursorShape cursorFor(int pointer) {
    switch (pointer) {
    case 2: return Qt::CrossCursor;
    case 50:
    case 51:
    case 52: return Qt::CrossCursor;
    case 53: return Qt::OpenHandCursor;
    case 55: return Qt::WhatsThisCursor;
    default: return Qt::ArrowCursor;
    }
}
}  // namespace

int MainForm::toolbarValue(int toolbar, const std::string& key) const {
    if (toolbar != kProjectToolbar && toolbar != kMapToolbar) return 0;
    const auto& values = toolbarValues_[toolbar - 1];
    auto it = values.find(key);
    return it == values.end() ? 0 : it->second;
}

std::string MainForm::toolbarButtonImage(int toolbar, const std::string& key) const {
    if (toolbar != kProjectToolbar && toolbar != kMapToolbar) return {};
    const auto& images = toolbarImages_[toolbar - 1];
    auto it = images.find(key);
    return it == images.end() ? std::string() : it->second;
}

void MainForm::setToolbarValue(int toolbar, const std::string& key, int value) {
    QAction* a = toolbarButton(toolbar, key);
    if (!a) throw std::out_of_range("no such toolbar button: " + key);
    toolbarValues_[toolbar - 1][key] = value;
    a->setChecked(value != 0);
}

void MainForm::syncToolbarChecks(int toolbar) {
    // A click toggles a checkable button by itself; the value decides.
    for (auto& [key, value] : toolbarValues_[toolbar - 1])
        if (QAction* a = toolbarButton(toolbar, key)) a->setChecked(value != 0);
}

void MainForm::setMapPointer(int pointer) {
    mapPointer_ = pointer;
    if (MapControl2) MapControl2->setCursor(cursorFor(pointer));
}

void MainForm::presszoomselect() { setToolbarValue(kMapToolbar, "zoomselect", 1); }

void MainForm::resetmaptools() {
    for (const char* key : kMapTools) setToolbarValue(kMapToolbar, key, 0);
}

void MainForm::runEnded() {
    for (const char* key : {"bathy", "shore", "wind", "addpoint", "drawpoly", "run", "printt", "delete"})
        attemptQuietly([&] { setToolbarValue(kProjectToolbar, key, 0); });
    for (const char* key : kMapTools) attemptQuietly([&] { setToolbarValue(kMapToolbar, key, 0); });
    attemptQuietly([&] { setToolbarButtonImage(kProjectToolbar, "run", "runoff"); });
}

void MainForm::disablecontrols() { app::disablecontrols(*this); }

void MainForm::setcontrols(bool enabled) { app::setcontrols(*this, enabled); }

void MainForm::Toolbar1_ButtonClick(const std::string& key) {
    syncToolbarChecks(kProjectToolbar);
    if (state_.run_lock.active()) return;
    if (key == "run") {
        setToolbarButtonImage(kProjectToolbar, "run", "runon");
        resetmaptools();
        setMapPointer(1);
        commands_.run("ptdatasel", *messages_);
        // The chooser's Cancel puts "runoff" back itself; without a chooser
        // no run can start, so nothing would.
        if (!commands_.available("ptdatasel")) setToolbarButtonImage(kProjectToolbar, "run", "runoff");
    } else if (key == "addpoint") {
        startPointEntry();
    } else {
        const std::string command = CommandTable::forProjectButton(key);
        if (!command.empty()) commands_.run(command, *messages_);
    }
    if (Toolbar1) Toolbar1->update();
}

void MainForm::startPointEntry() {
    if (toolbarValue(kProjectToolbar, "addpoint") != 0) return;
    bool started = false;
    std::string failure;
    try {
        if (!messages_->question("Do you want to create a new point feature class in current project?")) {
            setToolbarValue(kProjectToolbar, "addpoint", 0);
            setMapPointer(1);
            return;
        }
        setToolbarValue(kProjectToolbar, "addpoint", 1);
        setToolbarButtonEnabled(kProjectToolbar, "addpoint", false);
        setcontrols(false);
        started = true;
        setMapPointer(2);
        // Without a class the geodatabase layer has already said why.
        form_.sfeatureclass1 = gis::createAccessWorkspace(form_, *messages_, form_.projfile, form_.projname);
        if (form_.sfeatureclass1) {
            form_.geodatabasename = gis::geodatabaseFileName(form_.projname);
            form_.crt = 0;
            canceladdpt->setVisible(true);
            canceladdpt->setEnabled(true);
            return;
        }
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown error";
    }
    // Point entry never started: every command comes back, not only Exit.
    attemptQuietly([&] { setToolbarValue(kProjectToolbar, "addpoint", 0); });
    setMapPointer(1);
    if (started) {
        setcontrols(true);
        canceladdpt->setVisible(false);
        canceladdpt->setEnabled(false);
    }
    if (!failure.empty()) messages_->message("Could not start point entry: " + failure);
}

void MainForm::Toolbar2_ButtonClick(const std::string& key) {
    syncToolbarChecks(kMapToolbar);
    if (state_.run_lock.active()) return;
    if (Toolbar2) Toolbar2->update();
    setMapPointer(1);
    if (key == "zoomselect") {
        presszoomselect();
        setMapPointer(50);
    } else if (key == "fullextent") {
        attemptQuietly([&] { map_.setExtent(map_.fullExtent()); });
    } else if (key == "zoomin") {
        setToolbarValue(kMapToolbar, key, 1);
        setMapPointer(51);
    } else if (key == "zoomout") {
        setToolbarValue(kMapToolbar, key, 1);
        setMapPointer(52);
    } else if (key == "pan") {
        setToolbarValue(kMapToolbar, key, 1);
        setMapPointer(53);
    } else if (key == "identify") {
        setToolbarValue(kMapToolbar, key, 1);
        setMapPointer(55);
    }
}

}  // namespace quor::app
