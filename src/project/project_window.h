#pragma once
// What the project commands need of the main window. The main window
// implements this; tests use a fake. Everything the commands decide lives
// in ProjectCommands: the window only shows and asks.
//
// Project tree: nodes are numbered from 1. buildprojtree() makes the four
// fixed nodes (1 project, 2 bathymetry, 3 shoreline, 4 wind; images
// kImageProject, kImageBathymetry, kImageShoreline, kImageWind) and enables
// the project commands. It must NOT put layers on the map: the commands
// call ProjectCommands::displaylayers() right after it, which also adds a
// node per point dataset through addPointDatasetNode (gis::PointDatasetTree).
#include <optional>
#include <string>
#include <vector>

#include "gis/point_display.h"

namespace quor::gis {
class DatasetChooser;
}

namespace quor::project {

class NewProjectForm;

// Image indexes of the four fixed tree nodes.
inline constexpr int kImageShoreline = 1;
inline constexpr int kImageProject = 2;
inline constexpr int kImageBathymetry = 3;
inline constexpr int kImageWind = 4;

// A common file dialog request. `filter` pairs description and patterns
// with "|" ("Quor Project(*.tesk_RWE)|*.tesk_RWE"; several patterns are
// separated by ";").
struct FileDialogRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    std::string filter;
    std::string title;
    std::string startFolder;
};

// The common file dialog.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<std::string> chooseFile(const FileDialogRequest& request) = 0;
};

class ProjectWindow : public FileChooser, public gis::PointDatasetTree {
public:
    // Project tree.
    virtual int treeNodeCount() const = 0;
    virtual std::string treeNodeText(int node) const = 0;
    virtual int treeNodeImage(int node) const = 0;
    virtual void setTreeNode(int node, const std::string& text, int image) = 0;
    virtual void removeTreeNode(int node) = 0;
    virtual void clearTree() = 0;
    virtual void buildprojtree() = 0;
    // Disables every project-dependent command (the state of no project).
    virtual void disablecontrols() = 0;

    // The point list (entries from 0), parallel to MainFormState::shpcol.
    virtual void clearPointList() = 0;
    virtual void addPointListEntry(const std::string& text) = 0;
    virtual int pointListCount() const = 0;
    virtual std::string pointListEntry(int index) const = 0;
    virtual std::vector<int> selectedPointListEntries() const = 0;  // ascending
    virtual void removePointListEntry(int index) = 0;

    // "Bathymetry on top"; unticking it moves the bathymetry back to the bottom.
    virtual bool bathymetryOnTop() const = 0;
    virtual void setBathymetryOnTop(bool onTop) = 0;
    // Enables the map toolbar's zoom-in, zoom-out, zoom-select, full-extent and pan.
    virtual void enableMapTools() = 0;
    // Hourglass and the status label ("" and false restore the arrow).
    virtual void setBusy(bool busy, const std::string& statusText) = 0;
    // A panel of the status bar (2 = fetch and interrogation distance).
    virtual void setStatusPanel(int panel, const std::string& text) = 0;

    // The dataset chooser for rasters, shorelines and shapefiles.
    virtual gis::DatasetChooser& datasetChooser() = 0;
    // Shows the New Project dialog modally over the form and returns when
    // it has closed (by OK or Cancel; the form records which).
    virtual void showNewProjectDialog(NewProjectForm& form) = 0;
};

}  // namespace quor::project
