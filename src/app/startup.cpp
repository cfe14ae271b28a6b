#include "app/startup.h"

#include "app/shell_settings.h"
#include "model/settings_loader.h"
#include "platform/log.h"

#include <cstdlib>

namespace quor::app {

namespace {

using platform::createFolder;
using platform::IsDir;
using platform::joinPath;

// Every step after the window is placed is attempted on its own: a step
// that fails is skipped and start-up goes on.
template <class F>
void attempt(F&& step) {
    try {
        step();
    } catch (...) {
        platform::logCause("A start-up step was skipped", platform::currentCause());
    }
}

const char* const kOutputSubfolders[] = {"Wave_depth_first", "Wave_depth_second", "Wave_HT_first", "Wave_HT_second"};

// Buttons that start-up gives a picture, with the picture's key.
struct ButtonImage {
    int toolbar;
    const char* key;
    const char* image;
};
const ButtonImage kButtonImages[] = {
    {kProjectToolbar, "new", "new"},         {kProjectToolbar, "open", "open"},
    {kProjectToolbar, "save", "save"},       {kProjectToolbar, "printt", "print"},
    {kProjectToolbar, "delete", "delete"},   {kProjectToolbar, "bathy", "bathy"},
    {kProjectToolbar, "shore", "shore"},     {kProjectToolbar, "wind", "wind"},
    {kProjectToolbar, "addpoint", "addpoint"}, {kProjectToolbar, "drawpoly", "drawpoly"},
    {kProjectToolbar, "run", "runoff"},      {kMapToolbar, "zoomout", "zoomout"},
    {kMapToolbar, "zoomin", "zoomin"},       {kMapToolbar, "zoomselect", "zoomselect"},
    {kMapToolbar, "pan", "pan"},             {kMapToolbar, "fullextent", "fullextent"},
    {kMapToolbar, "pointer", "pointer"},     {kMapToolbar, "identify", "identify"},
};

const char* const kProjectButtonsOff[] = {"bathy", "shore", "wind", "addpoint", "drawpoly",
                                          "run",   "printt", "stop", "delete"};
const char* const kMapButtonsOff[] = {"zoomin", "zoomout", "zoomselect", "fullextent", "pan", "identify"};
const char* const kMenuItemsOff[] = {"Addbathy", "Addshore", "Addwind", "addshape", "Addpointc", "Tide",
                                     "enterpt",  "projprop", "RemPr",   "Savepr",   "Savepra",   "Printt",
                                     "Printset", "Zoomout",  "zoomin",  "Fullext",  "wind_pt_mnu"};

// Finds the data folder and says how it was found.
enum class FolderAnswer { Found, Declined, Fallback, NotValid };

FolderAnswer findDataFolder(model::ModelState& state, std::string& productFolder, platform::Messages& messages,
                            const StartupEnvironment& env) {
    using Status = platform::DocumentsFolder::Status;
    switch (env.documents.status) {
    case Status::Found:
        productFolder = joinPath(env.documents.path, kProductFolder);
        state.app_folder = joinPath(env.documents.path, kDataFolder);
        return FolderAnswer::Found;
    case Status::DoesNotExist:
        state.app_folder = "Folder Does Not Exist";
        if (messages.question("Default folder doesn't exist, do you want to create it?")) {
            // One level only: when the fallback's parents are missing the
            // creation fails and the path stays as it is.
            createFolder(env.fallbackFolder);
            state.app_folder = env.fallbackFolder;
            return FolderAnswer::Fallback;
        }
        // Without a data folder, every later folder would land relative to
        // the working directory: keep the data folder empty instead.
        state.app_folder.clear();
        return FolderAnswer::Declined;
    case Status::NotValid:
    default:
        state.app_folder = "Folder Not Valid on this OS";
        messages.message("Default folder not valid in this OS");
        return FolderAnswer::NotValid;
    }
}

}  // namespace

StartupEnvironment StartupEnvironment::fromSystem() {
    StartupEnvironment env;
    env.documents = platform::queryDocumentsFolder();
    env.fallbackFolder = platform::fallbackDataFolder();
    // A home folder that no desktop session has set up yet has no documents
    // folder; the session would create it, so do the same (one level, in an
    // existing home) rather than asking about a fallback. A folder named
    // through QUOR_DOCUMENTS is taken as it is.
    const char* named = std::getenv("QUOR_DOCUMENTS");
    if (env.documents.status == platform::DocumentsFolder::Status::DoesNotExist && !(named && *named) &&
        createFolder(env.documents.path))
        env.documents.status = platform::DocumentsFolder::Status::Found;
    return env;
}

void createOutputFolders(const std::string& dir_path) {
    const std::string output = joinPath(dir_path, "output_data");
    const std::string batch = joinPath(dir_path, "Batch_Process_Wind_Data");
    if (!IsDir(dir_path)) {
        createFolder(dir_path);
        createFolder(output);
        for (const char* sub : kOutputSubfolders) createFolder(joinPath(output, sub));
        createFolder(batch);
    }
    if (!IsDir(batch)) createFolder(batch);
    if (!IsDir(output)) {
        createFolder(output);
        for (const char* sub : kOutputSubfolders) createFolder(joinPath(output, sub));
    }
    for (const char* sub : kOutputSubfolders) {
        const std::string path = joinPath(output, sub);
        if (!IsDir(path)) createFolder(path);
    }
}

StartupOutcome runStartup(StartupTargets t, platform::SettingsStore& store, platform::Messages& messages,
                          StartupWindow& window, const StartupEnvironment& env) {
    // Centre the window. The screen size is kept in plain ints so that no
    // screen is too large for it.
    try {
        const PixelSize screen = window.screenSize();
        t.form.yscreen = screen.height;
        t.form.xscreen = screen.width;
        const PixelSize size = window.windowSize();
        window.moveWindow(t.form.xscreen / 2 - size.width / 2, t.form.yscreen / 2 - size.height / 2);
    } catch (...) {
        platform::logCause("Error opening Quor", platform::currentCause());
        messages.message("Error opening Quor", platform::MessageIcon::Critical);
        return StartupOutcome::WindowFailed;
    }

    // Stored values the settings dialogs would refuse are replaced as they
    // are read, and reported together once start-up is through.
    model::ReplacedSettings replaced;
    attempt([&] { model::loadSettingsParameters(store, t.state, t.form, &replaced); });

    std::string productFolder;
    FolderAnswer answer = FolderAnswer::Found;
    try {
        answer = findDataFolder(t.state, productFolder, messages, env);
    } catch (...) {
        platform::logCause("Finding the data folder", platform::currentCause());
    }
    if (answer == FolderAnswer::NotValid) return StartupOutcome::FolderNotValid;

    if (answer == FolderAnswer::Declined) {
        // No folders at all; a project folder the user stored earlier is
        // still offered to new projects.
        attempt([&] {
            const std::string stored = store.read(kSettingsApp, "Settings", "default");
            if (!stored.empty()) t.form.dir_path = stored;
        });
    } else {
        attempt([&] {
            if (!IsDir(productFolder)) {
                createFolder(productFolder);
                createFolder(t.state.app_folder);
            }
            if (!IsDir(t.state.app_folder)) createFolder(t.state.app_folder);
        });
        attempt([&] { model::loadSettingsProjectFolder(store, t.state, t.form); });
        attempt([&] { createOutputFolders(t.form.dir_path); });
    }

    attempt([&] { model::loadSettingsHolder(store, t.state, t.form, t.holder, &replaced); });

    // Every start is in RWE mode.
    attempt([&] { window.setMenuItemEnabled("PIIndex", false); });
    attempt([&] { window.setMenuItemEnabled("batch", true); });
    attempt([&] { window.setStatusPanel(kPanelAlgorithm, t.state.wv_indexcheck == 1 ? "Fast Algorithm" : ""); });

    model::startSwitches(t.state);
    attempt([&] { model::loadSettingsSea(store, t.state, &replaced); });
    attempt([&] { model::loadSettingsThreads(store, &replaced); });

    attempt([&] { window.setStatusPanel(kPanelMode, "RWE Mode"); });
    t.state.wind_source = kFirstWindStation;
    t.state.buoy_station = kFirstWindStation;

    for (const ButtonImage& b : kButtonImages)
        attempt([&] { window.setToolbarButtonImage(b.toolbar, b.key, b.image); });

    for (const char* key : kProjectButtonsOff)
        attempt([&] {
            if (window.hasToolbarButton(kProjectToolbar, key)) window.setToolbarButtonEnabled(kProjectToolbar, key, false);
        });
    for (const char* key : kMapButtonsOff) attempt([&] { window.setToolbarButtonEnabled(kMapToolbar, key, false); });
    for (const char* name : kMenuItemsOff) attempt([&] { window.setMenuItemEnabled(name, false); });

    attempt([&] { window.setMapName("Map"); });
    // The web pages have no built-in address: the keys are written empty
    // so that a user finds where to put them.
    for (const char* key : {kKobuWebsiteKey, kQuorWebsiteKey})
        attempt([&] {
            if (!store.contains(kSettingsApp, "Settings", key)) store.write(kSettingsApp, "Settings", key, "");
        });
    if (!replaced.empty()) messages.message(model::replacedSettingsMessage(replaced), platform::MessageIcon::Exclamation);
    return StartupOutcome::Complete;
}

}  // namespace quor::app
