#include "project/project_commands.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "gis/geodatabase.h"
#include "platform/folders.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "platform/textfile.h"
#include "project/geodatabase_copy.h"
#include "project/new_project_form.h"
#include "project/project_file.h"
#include "project/project_locks.h"
#include "project/run_hold.h"

namespace fs = std::filesystem;

namespace quor::project {

namespace pg = platform::gis;
using platform::MessageIcon;

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The extension's length with its dot: ".tesk_RWE" and ".tesk_REI" are both 9.
constexpr size_t kExtensionLength = 9;

std::string folderOf(const std::string& path) {
    std::string s = fs::path(path).parent_path().string();
    return s.empty() ? "." : s;
}

std::string fileTitle(const std::string& path) { return fs::path(path).filename().string(); }

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
    return fs::weakly_canonical(fs::absolute(a, ec), ec) == fs::weakly_canonical(fs::absolute(b, ec), ec);
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

std::string openElsewhereText(const std::string& name, const std::string& notDone) {
    return "The project " + name + " is open in another Quor and cannot be " + notDone +
           ". Please close it there first.";
}

// Why another program's work on the project stops this one, or nothing.
std::optional<std::string> claimRefusal(const ProjectClaim& claim, const std::string& name,
                                        const std::string& notDone) {
    switch (claim.obstacle()) {
        // Named: it need not be the project open here.
        case ProjectClaim::Obstacle::Running: return projectRunElsewhereText(name);
        case ProjectClaim::Obstacle::Open: return openElsewhereText(name, notDone);
        case ProjectClaim::Obstacle::None: break;
    }
    return std::nullopt;
}

// A claim that cannot keep other programs away is no refusal, but the
// user hears of it once, as of a run that goes unguarded.
void tellUnguardedClaim(const ProjectClaim& claim, const std::string& name, const std::string& notDone,
                        model::ModelState& state, platform::Messages& messages) {
    const auto why = claim.unguardedWhy();
    if (!why || state.unguarded_claim_told) return;
    messages.message("Quor cannot stop another Quor from opening or running the project " + name + " while it is " +
                         notDone + ": " + *why + ". Please make sure that no other Quor uses it meanwhile.",
                     MessageIcon::Exclamation);
    state.unguarded_claim_told = true;
}

}  // namespace

std::string openProjectFilter(uint8_t mode) {
    return mode == model::REI_MODE ? "Quor Project(*.tesk_REI)|*.tesk_REI" : "Quor Project(*.tesk_RWE)|*.tesk_RWE";
}

std::string saveProjectFilter(uint8_t mode) {
    return mode == model::REI_MODE ? "Quor REI Project(*.tesk_REI)|*.tesk_REI"
                                   : "Quor RWE Project(*.tesk_RWE)|*.tesk_RWE";
}

std::string nextProjectName(const std::string& dir_path, const std::string& proj_name, uint8_t mode) {
    const std::string base = proj_name + (mode == model::REI_MODE ? "_REI" : "_RWE");
    for (long n = 1;; ++n) {
        const std::string name = base + std::to_string(n);
        std::error_code ec;
        if (!fs::exists(projectFilePath(dir_path, name, mode), ec)) return name;
    }
}

bool folderIsReadOnly(const std::string& folder) {
    std::error_code ec;
    const auto st = fs::status(folder, ec);
    if (ec || !fs::is_directory(st)) return false;
    const auto writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((st.permissions() & writeBits) == fs::perms::none) return true;
    // A read-only disk keeps its permission bits.
    return ::access(folder.c_str(), W_OK) != 0;
}

bool loadReiWind(ProjectContext& ctx, const std::string& windpath) {
    if (!ctx.hooks.loadwind) {
        ctx.messages.message(kWindReaderMissing, MessageIcon::Exclamation);
        ctx.state.dlg_cancel = true;
        return false;
    }
    return ctx.hooks.loadwind(windpath);
}

ProjectCommands::ProjectCommands(ProjectContext context, ProjectWindow& window)
    : ctx_(std::move(context)), window_(window) {}

void ProjectCommands::clearWindow() {
    ctx_.form.shpcol.clear();
    ctx_.form.shpcount = 0;
    window_.clearPointList();
    window_.clearTree();
    ctx_.map.clearLayers();
    ctx_.map.refresh();
    window_.disablecontrols();
    releaseProjectFiles();
}

void ProjectCommands::releaseProjectFiles() {
    ctx_.form.projectHold.reset();
    ctx_.form.sfeatureclass1.reset();
    ctx_.form.pfeatureworkspace.reset();
    ctx_.form.ptworkspace.reset();
    ctx_.state.bathy_raster.reset();
}

void ProjectCommands::writeProjectFile(const std::string& title, bool withGeodatabaseLine) {
    const auto& f = ctx_.form;
    const auto& st = ctx_.state;
    ProjectFileContent c;
    c.bathycov = f.bathycov;
    c.bathyname = f.bathyname;
    c.bathy_positive = st.bathy_positive;
    c.shorecov = f.shorecov;
    c.shorename = f.shorename;
    c.shorefeature = f.shorefeature;
    c.wind_path = st.wind_path;
    c.wind_name = st.wind_name;
    c.bathyunits = f.bathyunits;
    c.windunits = ctx_.wind.windunits;
    if (withGeodatabaseLine) c.geodatabase = gis::geodatabaseFileName(f.projname);
    project::writeProjectFile(projectFilePath(f.projfile, f.projname, st.model_mode),
                              projectFileLines(title, currentDateTimeText(), c));
}

// ---------------------------------------------------------------- New

void ProjectCommands::NewPr_Click() {
    if (window_.treeNodeCount() > 0 && ctx_.messages.question(kAskSaveCurrent)) Savepr_Click();
    clearWindow();
    ctx_.form.projfile = ctx_.form.dir_path;

    NewProjectForm dialog(ctx_, window_);
    dialog.Form_Load();
    window_.showNewProjectDialog(dialog);
    if (!dialog.closed) dialog.newpro_cancel_Click();  // closed by its close box
    if (ctx_.state.dlg_cancel) {
        ctx_.state.dlg_cancel = false;
        return;
    }
    if (!createNewProject()) return;
    buildprojtree();
    if (ctx_.state.model_mode == model::REI_MODE) bathydist();
}

// Names the project, then creates its geodatabase and its file so that a
// failure leaves neither behind (an existing geodatabase is reused, never
// removed).
bool ProjectCommands::createNewProject() {
    auto& f = ctx_.form;
    auto& st = ctx_.state;
    const std::string name = nextProjectName(f.dir_path, f.proj_name, st.model_mode);
    const std::string gdbPath = gis::geodatabasePath(f.dir_path, name);
    std::error_code ec;
    const bool gdbExisted = fs::exists(gdbPath, ec);
    std::shared_ptr<pg::Workspace> ws;
    std::unique_ptr<platform::FileLock> hold;
    try {
        if (holdsLineBreak(f.dir_path) || holdsLineBreak(name)) throw ProjectFileError(kLineBreakInPath);
        // The hold is taken first: a disk that keeps no locks is told as
        // such, before the geodatabase fails there in its own words.
        hold = holdOpenProject(f.dir_path, name);
        if (hold->unsupported()) throw ProjectFileError(noFileLocksText(f.dir_path, "create"));
        ws = gis::createWorkspace(f.dir_path, name);
        const std::string oldName = f.projname;
        f.projname = name;
        f.projfile = f.dir_path;
        try {
            writeProjectFile(projectTitle(st.model_mode), true);
        } catch (...) {
            f.projname = oldName;
            throw;
        }
    } catch (const std::exception& e) {
        if (hold && hold->createdFile()) removeQuietly(hold->path());
        if (ws && !gdbExisted) {
            ws.reset();
            try {
                gis::removeGeodatabase(gdbPath);
            } catch (const pg::GisError&) {
            }
        }
        ctx_.messages.message(std::string("Error creating the project file: ") + e.what(), MessageIcon::Critical);
        return false;
    }
    st.wind_pathcopy = st.wind_path;
    f.windpath = st.wind_path;
    f.ptworkspace = ws;
    f.geodatabasename = gis::geodatabaseFileName(name);
    f.projectHold = std::move(hold);
    return true;
}

// ---------------------------------------------------------------- Open

void ProjectCommands::OpenPr_Click() {
    if (window_.treeNodeCount() > 0 && ctx_.messages.question(kAskSaveCurrent)) Savepr_Click();
    clearWindow();
    auto& f = ctx_.form;
    auto& st = ctx_.state;
    const auto chosen = window_.chooseFile({FileDialogRequest::Kind::Open, openProjectFilter(st.model_mode),
                                            "Select a Quor project file to open", f.dir_path});
    if (!chosen || chosen->empty()) return;
    // The whole extension must match: a name merely ending in the mode's
    // three letters is not a project file of this mode.
    if (!endsWith(*chosen, projectExtension(st.model_mode))) {
        ctx_.messages.message(st.model_mode == model::REI_MODE ? kNotReiProject : kNotRweProject,
                              MessageIcon::Critical);
        window_.setBusy(false, "");
        return;
    }
    if (holdsLineBreak(*chosen)) {
        ctx_.messages.message(kLineBreakInPath, MessageIcon::Exclamation);
        return;
    }
    const std::string title = fileTitle(*chosen);
    const std::string name = title.substr(0, title.size() - kExtensionLength);
    // Held from before its file is read, so that no other program deletes
    // or replaces the project while it is open here.
    std::shared_ptr<platform::FileLock> hold = holdOpenProject(folderOf(*chosen), name);
    // Its geodatabase could not be opened there either, and would be
    // taken for one locked by another program.
    if (hold->unsupported()) {
        ctx_.messages.message(noFileLocksText(folderOf(*chosen), "open"), MessageIcon::Critical);
        return;
    }
    if (hold->heldElsewhere()) {
        ctx_.messages.message("Another Quor is deleting or replacing the project " + name +
                                  ". Please try again when it has finished.",
                              MessageIcon::Exclamation);
        return;
    }
    f.projname = name;
    f.projfile = folderOf(*chosen);
    f.projectHold = std::move(hold);
    bool loaded = false;
    try {
        loaded = loadproject();
        if (!loaded) ctx_.messages.message(kCorruptedProject, MessageIcon::Critical);
    } catch (const std::exception& e) {
        // A refusal that knows its cause says it.
        ctx_.messages.message(e.what(), MessageIcon::Critical);
    }
    if (!loaded) {
        f.projectHold.reset();
        st.wind_name.clear();
        f.bathycov.clear();
        f.bathyname.clear();
        f.shorecov.clear();
        f.shorename.clear();
        st.wind_path.clear();
        return;
    }
    try {
        window_.setBusy(true, "Wait.. opening Project");
        buildprojtree();
        if (st.model_mode == model::REI_MODE) bathydist();
        window_.setBusy(false, "");
    } catch (const std::exception& e) {
        window_.setBusy(false, "");
        ctx_.messages.message(e.what(), MessageIcon::Critical);
    }
}

bool ProjectCommands::loadproject() { return loadProjectFile(ctx_); }

bool loadProjectFile(ProjectContext& ctx) {
    auto& f = ctx.form;
    auto& st = ctx.state;
    const std::string path = projectFilePath(f.projfile, f.projname, st.model_mode);
    std::vector<std::string> lines;
    try {
        lines = readProjectFileLines(path);
    } catch (const platform::FileError& e) {
        // A pipe, a folder or a huge file is no damaged project: say what it is.
        throw ProjectFileError(std::string("The project cannot be opened. ") + e.what());
    } catch (const std::exception&) {
        return false;
    }
    auto line = [&](size_t i) { return i < lines.size() ? lines[i] : std::string(); };
    std::optional<int16_t> positive;
    bool number = true;
    try {
        positive = platform::parseInt16(line(6));
    } catch (const platform::OverflowError&) {
        number = false;
    }
    if (!positive && number) return false;
    // Any other sign leaves every depth of an RWE run without a value.
    if (!positive || (*positive != 0 && *positive != 1))
        throw ProjectFileError(std::string(kCorruptedProject) + "\nLine 7 of " + path + ", \"" + line(6) +
                               "\": the bathymetry sign must be 0 (negative depths) or 1 (positive depths).");
    f.bathycov = storedPathToNative(line(4));
    f.bathyname = line(5);
    st.bathy_positive = *positive;
    f.shorecov = storedPathToNative(line(7));
    f.shorename = line(8);
    f.shorefeature = line(9);
    st.wind_path = storedPathToNative(line(10));
    st.wind_name = line(11);
    f.bathyunits = line(12);
    ctx.wind.windunits = line(13);
    // A batch project may have been created without wind data: its empty
    // wind line is accepted, and a single run then fails in the wind reader.
    if (st.model_mode == model::RWE_MODE && !st.wind_path.empty() && !endsWith(st.wind_path, ".Wind_RWE"))
        return false;
    st.wind_pathcopy = st.wind_path;
    f.windpath = st.wind_path;
    // "polygon" marks a coverage; so does a shoreline that is not a
    // shapefile (a coverage's class may carry another kind name).
    const bool shapefile = platform::lowerExtension(f.shorename) == ".shp";
    f.option_arccov = (f.shorefeature == "polygon" || (!shapefile && !f.shorename.empty())) ? 2 : 1;
    if (!model::fastAlgorithm(st, ctx.holder) && f.shorecov.empty()) {
        ctx.messages.message(kNoShorelineProject, MessageIcon::Exclamation);
        return false;
    }
    if (st.wind_name == "Temporary_wind") ctx.messages.message(kTemporaryWindWarning, MessageIcon::Exclamation);
    if (static_cast<int>(lines.size()) > kLinesWithoutGeodatabase) {
        f.geodatabasename = gis::geodatabaseFileName(f.projname);
        try {
            f.ptworkspace = pg::Workspace::openGeoPackage(gis::geodatabasePath(f.projfile, f.projname));
        } catch (const pg::GisError& e) {
            // Missing, read-only or locked: the reason, not a damaged file.
            throw ProjectFileError(std::string("The project cannot be opened. ") + e.what());
        }
    }
    if (st.model_mode == model::REI_MODE) {
        std::error_code ec;
        if (!st.wind_path.empty() && !fs::exists(st.wind_path, ec)) {
            // The project is still usable: the user picks other wind data.
            ctx.messages.message(kMissingWindFile1 + st.wind_path + kMissingWindFile2, MessageIcon::Exclamation);
            st.wind_path.clear();
            st.wind_name.clear();
            st.wind_pathcopy.clear();
            f.windpath.clear();
            return true;
        }
        const auto problem = ctx.hooks.reiWindProblem ? ctx.hooks.reiWindProblem(st.wind_path) : std::nullopt;
        const bool ok = !problem && loadReiWind(ctx, st.wind_path);
        // The flag tells New Project that its dialog was cancelled; a failed
        // load while opening must not cancel the next New Project.
        st.dlg_cancel = false;
        if (!ok) {
            // As with a missing file, the project opens and Change Wind Data mends it.
            ctx.messages.message(kUnusableWindFile1 + st.wind_path + kUnusableWindFile2 +
                                      (problem ? "\n" + *problem : std::string()),
                                  MessageIcon::Exclamation);
            st.wind_path.clear();
            st.wind_name.clear();
            st.wind_pathcopy.clear();
            f.windpath.clear();
        }
    }
    return true;
}

// ---------------------------------------------------------------- Save

void ProjectCommands::Savepr_Click() {
    auto& f = ctx_.form;
    if (f.projfile.empty()) return;
    if (folderIsReadOnly(f.projfile)) {
        ctx_.messages.message(kReadOnlyFolder);
        return;
    }
    if (window_.treeNodeCount() == 0) return;
    try {
        writeProjectFile(projectTitle(ctx_.state.model_mode), true);
    } catch (const std::exception&) {
        ctx_.messages.message(kErrorSaving, MessageIcon::Critical);
    }
}

void ProjectCommands::Savepra_Click() {
    auto& f = ctx_.form;
    const uint8_t mode = ctx_.state.model_mode;
    if (window_.treeNodeCount() == 0) {
        ctx_.messages.message(kNoProjectToSave);
        return;
    }
    const auto chosen = window_.chooseFile(
        {FileDialogRequest::Kind::Save, saveProjectFilter(mode), "Save the current project As", f.projfile});
    if (!chosen || chosen->empty()) return;
    std::string path = *chosen;
    if (!endsWith(path, projectExtension(mode))) path += projectExtension(mode);
    if (holdsLineBreak(path)) {
        ctx_.messages.message(kLineBreakInPath, MessageIcon::Exclamation);
        return;
    }
    const std::string folder = folderOf(path);
    const std::string title = fileTitle(path);
    const std::string name = title.substr(0, title.size() - kExtensionLength);
    if (name.find_first_not_of(" \t") == std::string::npos) {
        ctx_.messages.message(kEmptyProjectName, MessageIcon::Exclamation);
        return;
    }
    if (folderIsReadOnly(folder)) {
        ctx_.messages.message(kReadOnlyFolder);
        return;
    }
    // The open project is not copied in the middle of another program's
    // run: the copy would hold part of the run's results.
    const platform::FileLock sourceRun(projectLockPath(f.projfile, f.projname), platform::FileLock::Mode::Exclusive,
                                       kRunSlot);
    if (sourceRun.heldElsewhere()) {
        ctx_.messages.message(kProjectRunElsewhere, MessageIcon::Exclamation);
        return;
    }
    // A project that another program runs or has open keeps its files: it
    // would go on working on a geodatabase no longer there. The claim is
    // held until the copy is in place, so that nobody starts a run on it
    // or opens it meanwhile.
    const bool replacesOpenProject = sameFile(projectFilePath(f.projfile, f.projname, mode), path);
    std::optional<ProjectClaim> claim;
    if (!replacesOpenProject) {
        claim.emplace(folder, name);
        if (const auto refusal = claimRefusal(*claim, name, "replaced")) {
            ctx_.messages.message(*refusal, MessageIcon::Exclamation);
            return;
        }
        tellUnguardedClaim(*claim, name, "replaced", ctx_.state, ctx_.messages);
    }
    try {
        saveProjectAs(folder, name);
    } catch (const std::exception& e) {
        ctx_.messages.message(std::string(kErrorSaving) + ": " + e.what(), MessageIcon::Critical);
        return;
    }
    if (claim) f.projectHold = claim->keepOpen();
}

// Writes the project under a new name with a copy of its geodatabase, then
// makes the copy the open project. Until both files are in place the open
// project stays as it was.
void ProjectCommands::saveProjectAs(const std::string& folder, const std::string& name) {
    auto& f = ctx_.form;
    const uint8_t mode = ctx_.state.model_mode;
    const std::string oldFile = projectFilePath(f.projfile, f.projname, mode);
    const std::string newFile = projectFilePath(folder, name, mode);
    const std::string oldGdb = gis::geodatabasePath(f.projfile, f.projname);
    const std::string newGdb = gis::geodatabasePath(folder, name);

    const std::string oldFolder = f.projfile, oldName = f.projname;
    auto writeUnder = [&](const std::string& inFolder, const std::string& asName) {
        f.projfile = inFolder;
        f.projname = asName;
        try {
            writeProjectFile(kSaveAsTitle, true);
        } catch (...) {
            f.projfile = oldFolder;
            f.projname = oldName;
            throw;
        }
    };

    if (sameFile(oldFile, newFile)) {
        writeUnder(folder, name);
        return;
    }
    std::error_code ec;
    const std::string tempGdb = newGdb + ".copying";
    removeQuietly(tempGdb);
    // A log left beside the copy's name would be replayed into it.
    gis::removeGeodatabaseLogs(tempGdb);
    if (fs::exists(oldGdb, ec)) {
        std::shared_ptr<pg::Workspace> source = f.ptworkspace;
        if (!source || !sameFile(source->path(), oldGdb)) source = pg::Workspace::openGeoPackage(oldGdb);
        copyGeoPackage(*source, tempGdb);
    } else {
        // A project file is never written without its geodatabase.
        pg::Workspace::createGeoPackage(tempGdb);
    }
    try {
        writeUnder(folder, name);
    } catch (...) {
        removeQuietly(tempGdb);
        throw;
    }
    auto undoWrite = [&] {
        removeQuietly(tempGdb);
        removeQuietly(newFile);
        f.projfile = oldFolder;
        f.projname = oldName;
    };
    // So would one beside the name it takes (a file it replaces keeps its
    // log until this point).
    try {
        gis::removeGeodatabaseLogs(newGdb);
    } catch (...) {
        undoWrite();
        throw;
    }
    fs::rename(tempGdb, newGdb, ec);
    if (ec) {
        undoWrite();
        throw pg::GisError("The geodatabase could not be written to " + newGdb + ": " + ec.message());
    }
    f.geodatabasename = gis::geodatabaseFileName(name);
    f.ptworkspace = pg::Workspace::openGeoPackage(newGdb);
    if (window_.treeNodeCount() > 0) window_.setTreeNode(1, f.projname, window_.treeNodeImage(1));
}

// ---------------------------------------------------------------- Remove, Delete

void ProjectCommands::RemPr_Click() {
    if (!ctx_.messages.question(kAskRemove)) return;
    try {
        auto& f = ctx_.form;
        auto& st = ctx_.state;
        window_.clearTree();
        f.bathyname.clear();
        f.shorename.clear();
        st.wind_name.clear();
        f.shorecov.clear();
        f.shorefeature.clear();
        st.wind_path.clear();
        f.geodatabasename.clear();
        ctx_.wind.windunits.clear();
        f.bathyunits.clear();
        window_.disablecontrols();
        ctx_.map.clearLayers();
        window_.setBathymetryOnTop(false);
        window_.clearPointList();
        f.shpcol.clear();
        f.shpcount = 0;
        releaseProjectFiles();
    } catch (const std::exception&) {
        ctx_.messages.message(kErrorRemoving, MessageIcon::Critical);
    }
}

void ProjectCommands::del_Click() {
    auto& f = ctx_.form;
    const uint8_t mode = ctx_.state.model_mode;
    const auto chosen = window_.chooseFile(
        {FileDialogRequest::Kind::Open, openProjectFilter(mode), "Select a Quor project file to delete", f.dir_path});
    if (!chosen || chosen->empty()) return;
    if (!endsWith(*chosen, projectExtension(mode))) {
        ctx_.messages.message(mode == model::REI_MODE ? kNotReiProject : kNotRweProject, MessageIcon::Critical);
        return;
    }
    const std::string title = fileTitle(*chosen);
    const std::string name = title.substr(0, title.size() - kExtensionLength);
    if (window_.treeNodeCount() > 0 && !f.projfile.empty() &&
        sameFile(*chosen, projectFilePath(f.projfile, f.projname, mode))) {
        ctx_.messages.message("The project " + name + " is open and cannot be deleted. Please remove it first.",
                              MessageIcon::Exclamation);
        return;
    }
    // A project that another program runs or has open is left alone. The
    // claim is taken before the question and held until the files are
    // gone, so that nobody starts a run on the project or opens it while
    // the user answers.
    ProjectClaim claim(folderOf(*chosen), name);
    if (const auto refusal = claimRefusal(claim, name, "deleted")) {
        ctx_.messages.message(*refusal, MessageIcon::Exclamation);
        return;
    }
    tellUnguardedClaim(claim, name, "deleted", ctx_.state, ctx_.messages);
    if (!ctx_.messages.question("Are you sure you want to delete " + name + " project file")) return;
    std::error_code ec;
    const std::string gdb = chosen->substr(0, chosen->size() - kExtensionLength) + ".gpkg";
    const std::string parked = *chosen + ".deleting";
    // The project file is set aside first so that it can come back when the
    // geodatabase refuses to go.
    fs::rename(*chosen, parked, ec);
    if (ec) {
        ctx_.messages.message("Error deleting project file: " + ec.message(), MessageIcon::Critical);
        return;
    }
    try {
        gis::removeGeodatabase(gdb);
    } catch (const pg::GisError& e) {
        if (fs::exists(gdb, ec)) {
            std::error_code back;
            fs::rename(parked, *chosen, back);
        } else {
            removeQuietly(parked);
        }
        ctx_.messages.message(std::string("Error deleting project file: ") + e.what(), MessageIcon::Critical);
        return;
    }
    removeQuietly(parked);
    claim.projectDeleted();
    ctx_.messages.message(name + " project file is deleted successfully");
}

}  // namespace quor::project
