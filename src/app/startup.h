#pragma once
// The program's start: centre the main window, load the settings, find or
// create the data folder and its output folders, give the switches their
// start values and put the window's commands into the no-project state.
//
// The window-side effects go through StartupWindow so that the sequence
// runs (and is tested) without widgets.
#include <string>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/folders.h"
#include "platform/settings_store.h"

namespace quor::app {

using platform::kDataFolder;
using platform::kProductFolder;

// The station a wind analysis starts with: the first entry of the wind
// analysis dialog's station list.
inline constexpr const char* kFirstWindStation = "clkn7, Cape Lookout NC";

// Status-bar panels are numbered from 1, left to right.
inline constexpr int kPanelAlgorithm = 3;
inline constexpr int kPanelMode = 4;

// Toolbars: 1 is the project toolbar, 2 the map toolbar.
inline constexpr int kProjectToolbar = 1;
inline constexpr int kMapToolbar = 2;

struct PixelSize {
    int width = 0;
    int height = 0;
};

// What start-up does to the main window. Any of these may throw when a
// control is missing; start-up then skips that one effect.
class StartupWindow {
public:
    virtual ~StartupWindow() = default;
    virtual PixelSize screenSize() const = 0;  // the screen the window opens on
    virtual PixelSize windowSize() const = 0;  // the window's outer size
    virtual void moveWindow(int left, int top) = 0;
    virtual void setStatusPanel(int panel, const std::string& text) = 0;
    virtual void setMenuItemEnabled(const std::string& name, bool enabled) = 0;
    virtual bool hasToolbarButton(int toolbar, const std::string& key) const = 0;
    virtual void setToolbarButtonEnabled(int toolbar, const std::string& key, bool enabled) = 0;
    virtual void setToolbarButtonImage(int toolbar, const std::string& key, const std::string& image) = 0;
    virtual void setMapName(const std::string& name) = 0;
};

// Where the system says the documents live, and the per-user folder to
// fall back on when it has none.
struct StartupEnvironment {
    platform::DocumentsFolder documents;
    std::string fallbackFolder;
    static StartupEnvironment fromSystem();
};

enum class StartupOutcome {
    Complete,
    WindowFailed,    // "Error opening Quor": nothing loaded
    FolderNotValid,  // "Default folder not valid in this OS": ended after the first settings
};

struct StartupTargets {
    model::ModelState& state;
    model::MainFormState& form;
    model::SettingsHolder& holder;
};

StartupOutcome runStartup(StartupTargets targets, platform::SettingsStore& store, platform::Messages& messages,
                          StartupWindow& window, const StartupEnvironment& env);

// Creates the project folder's output folders, one level at a time; a
// folder whose parent is missing is skipped.
void createOutputFolders(const std::string& dir_path);

}  // namespace quor::app
