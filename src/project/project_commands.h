#pragma once
// The project commands of the main window: new, open, save, save as,
// remove and delete a project; replace its bathymetry, shoreline and wind
// data; add and remove point datasets; show the project's layers.
//
// Every handler reports its own failures through Messages and returns.
// The window wires its menus, toolbar buttons and pop-ups to these.
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/gis/raster.h"
#include "project/project_context.h"
#include "project/interrogation_distance.h"
#include "project/project_file.h"
#include "project/project_window.h"

namespace quor::project {

// Texts the commands show.
inline constexpr const char* kAskSaveCurrent = "Do you want to save the current project";
inline constexpr const char* kCorruptedProject = "Project file is corrupted or not in right format.";
inline constexpr const char* kNotRweProject =
    "Project file is not in RWE mode, please select the project file with RWE extension";
inline constexpr const char* kNotReiProject =
    "Project file is not in REI mode, please select the project file with REI extension";
inline constexpr const char* kReadOnlyFolder = "Selected directory is read only, can't save the prject";
inline constexpr const char* kNotAPointDataset =
    "The selected shapefile does not hold points. Please select a point shapefile.";
inline constexpr const char* kErrorSaving = "Error saving project file";
inline constexpr const char* kNoProjectToSave = "No current project to save";
inline constexpr const char* kEmptyProjectName = "Please enter a name for the project.";
inline constexpr const char* kAskRemove = "Are you sure you want to remove current project?";
inline constexpr const char* kErrorRemoving = "Error removing project file";
inline constexpr const char* kNoShorelineProject =
    "Selected project file does not have shoreline and is for Fast Algorithm mode. Please change the mode to Fast "
    "Algorithm or use appropriate project file.";
inline constexpr const char* kTemporaryWindWarning =
    "Warning: Wind data of current project is from temporary file, please check and change appropriately";
inline constexpr const char* kMissingWindFile1 = "The wind data file ";
inline constexpr const char* kMissingWindFile2 =
    " of this project is missing. The project opens without wind data; please choose a wind data file with Change "
    "Wind Data.";
inline constexpr const char* kUnusableWindFile1 = "The wind data file ";
inline constexpr const char* kUnusableWindFile2 =
    " of this project cannot be used. The project opens without wind data; please choose a wind data file with "
    "Change Wind Data.";
inline constexpr const char* kDisplayCorrupted = "Data or Project file corrupted";
inline constexpr const char* kFastAlgorithmNoShoreline = "Fast Algorithm mode is on, hence no shoreline coverage required";

// The open and save filters and the project file dialogs' titles.
std::string openProjectFilter(uint8_t model_mode);
std::string saveProjectFilter(uint8_t model_mode);

// The name New Project gives: proj_name, "_RWE" or "_REI", and the smallest
// n from 1 for which no project file of the current mode exists in dir_path.
std::string nextProjectName(const std::string& dir_path, const std::string& proj_name, uint8_t model_mode);

// "shp" and the name when the name starts with "Pointdata" in any letter
// case (such layers are told apart from the project's own point classes).
std::string shapefileLayerName(const std::string& datasetName);

// The point list's shapefiles as layers on top of the map, in the list's
// order, named as Add Point Coverage names them; a file gone since it was
// listed is left out.
void showListedShapefiles(const model::MainFormState& form, platform::gis::Map& map);

// True when the folder exists and nobody may write into it: no write
// permission bit, or a folder the system refuses to write (a read-only disk).
bool folderIsReadOnly(const std::string& folder);

// The wind file chooser: the mode's wind files, starting in the data
// folder's "Sample Data". On a choice sets wind_path and wind_name and
// returns the path; on cancel (or a refused choice, with its message)
// returns nothing and changes nothing.
std::optional<std::string> selwindfile(model::ModelState& state, platform::Messages& messages, FileChooser& chooser);
// The wind dialog's filter of the mode.
std::string windFileFilter(uint8_t model_mode);

// Runs the REI wind reader of the hooks; false (with a message when the
// reader is missing) when the file was not loaded.
bool loadReiWind(ProjectContext& context, const std::string& windpath);
inline constexpr const char* kWindReaderMissing = "Reading REI wind files is not available in this build.";

// Reads the project file projfile/projname of the current mode into the
// state, as ProjectCommands::loadproject does; also for a run without the
// window.
bool loadProjectFile(ProjectContext& context);

class ProjectCommands {
public:
    ProjectCommands(ProjectContext context, ProjectWindow& window);

    ProjectContext& context() { return ctx_; }

    // File menu.
    void NewPr_Click();
    void OpenPr_Click();
    void Savepr_Click();
    void Savepra_Click();
    void RemPr_Click();
    void del_Click();

    // Reads projfile/projname in the current mode into the state (through
    // loadProjectFile); false when the file cannot be used (the caller reports it). A geodatabase
    // that is missing, read-only or locked throws ProjectFileError with
    // that reason. An REI project whose wind file is missing or unusable
    // loads without wind and says which file it is (and the line at fault).
    bool loadproject();
    // Writes the open project's file (mode title, geodatabase line).
    // Throws on failure.
    void writeProjectFile(const std::string& title, bool withGeodatabaseLine);

    // Input layers.
    void Addbathy_Click();
    void Addshore_Click();
    void Addwind_Click();
    void Addpointc_Click();
    void addshape_Click();
    // The point dataset named by the project-tree node the user right-clicked.
    void rem_ptdata(const std::string& nodeText);
    void feat_no(const std::string& nodeText);
    void rem_shpdata();
    void Shp_proper() {}
    void deletefeatureclass();

    // The tree and the layers of the open project: the window's four nodes,
    // then displaylayers().
    void buildprojtree();
    // Bathymetry at the bottom, the shoreline above it (not with the fast
    // algorithm), the full extent, then the point classes on top.
    void displaylayers();
    // The bathymetry raster of bathycov/bathyname, or null after showing why.
    std::shared_ptr<platform::gis::Raster> rasterdata();
    // Proposes an interrogation distance from the raster's cell size.
    void bathydist();

private:
    // reiBathymetryProposal() of the raster, read under the progress window.
    std::optional<InterrogationProposal> reiBathymetryShown(const platform::gis::Raster& raster);
    void clearWindow();
    // The tree and the map built again after a replaced bathymetry or
    // shoreline, with the project's point datasets shown as before.
    void rebuildAfterLayerChange();
    // Lets go of the project's open files, so that they can be deleted,
    // copied or opened by another program once the project is closed.
    void releaseProjectFiles();
    void saveProjectAs(const std::string& folder, const std::string& name);
    bool createNewProject();

    ProjectContext ctx_;
    ProjectWindow& window_;
};

}  // namespace quor::project
