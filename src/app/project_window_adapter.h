#pragma once
// The main window as the project commands see it: the project tree, the
// point list, the file and dataset choosers and the New Project dialog.
#include <memory>

#include "platform/feedback.h"
#include "project/project_window.h"

namespace quor::gis::ui {
class QtDatasetChooser;
}

namespace quor::app {

class MainForm;

class ProjectWindowAdapter final : public project::ProjectWindow {
public:
    explicit ProjectWindowAdapter(MainForm& window);
    ~ProjectWindowAdapter() override;

    std::optional<std::string> chooseFile(const project::FileDialogRequest& request) override;
    void addPointDatasetNode(int position, const std::string& key, const std::string& text, int image) override;

    int treeNodeCount() const override;
    std::string treeNodeText(int node) const override;
    int treeNodeImage(int node) const override;
    void setTreeNode(int node, const std::string& text, int image) override;
    void removeTreeNode(int node) override;
    void clearTree() override;
    void buildprojtree() override;
    void disablecontrols() override;

    void clearPointList() override;
    void addPointListEntry(const std::string& text) override;
    int pointListCount() const override;
    std::string pointListEntry(int index) const override;
    std::vector<int> selectedPointListEntries() const override;
    void removePointListEntry(int index) override;

    bool bathymetryOnTop() const override;
    void setBathymetryOnTop(bool onTop) override;
    void enableMapTools() override;
    void setBusy(bool busy, const std::string& statusText) override;
    void setStatusPanel(int panel, const std::string& text) override;

    gis::DatasetChooser& datasetChooser() override;
    void showNewProjectDialog(project::NewProjectForm& form) override;

private:
    MainForm& w_;
    std::unique_ptr<gis::ui::QtDatasetChooser> datasets_;
    bool busy_ = false;
};

// The shared progress window for project work that hands no control back
// (opening a project): it paints as the work goes on, while the user's
// input waits until the work is over.
class PaintingProgress final : public platform::Progress {
public:
    explicit PaintingProgress(MainForm& window) : w_(window) {}
    void show() override;
    void hide() override;
    void setMaximum(int bar, int maximum) override;
    void setValue(int bar, int value) override;
    int value(int bar) const override;
    void setLabel(int label, const std::string& text) override;
    std::string label(int label) const override;
    void yield() override;

private:
    // The window is made when first wanted, not with the main window.
    platform::Progress& form() const;
    MainForm& w_;
};

}  // namespace quor::app
