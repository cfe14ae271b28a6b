#pragma once
// The dialog in which the user picks a shapefile, a feature class of a
// coverage or GeoPackage, or a raster (a file or a grid folder). It opens
// in the folder last chosen from, else the project folder; a path can be
// typed or pasted into its path box ("~" standing for the home folder),
// which says why when it cannot take it, and typing in the list finds a
// name.
#include <QDialog>
#include <QString>

#include <functional>
#include <string>

#include "gis/shorebathy.h"

class QTreeView;
class QListWidget;
class QFileSystemModel;
class QDialogButtonBox;
class QLineEdit;
class QLabel;

namespace quor::gis::ui {

class DatasetChooserDialog : public QDialog {
    Q_OBJECT
public:
    DatasetChooserDialog(DatasetFilter filter, const QString& title, QWidget* parent = nullptr,
                         const QString& projectFolder = {});
    ~DatasetChooserDialog() override;
    std::vector<DatasetItem> selectedItems() const;
    void setStartFolder(const QString& folder);
    // The folder the dialog opened in.
    const QString& startFolder() const { return start_; }
    QLineEdit* pathBox() const { return path_; }
    QTreeView* list() const { return tree_; }
    // Selects a file or folder as the user would; false when it is not shown.
    bool selectPath(const QString& path);
    // Selects a class in the class list (feature-class filter); false when absent.
    bool selectClass(const QString& name);
    QStringList classNames() const;
    bool canAccept() const;

private:
    void selectionChanged();
    void fillClasses(const QString& workspacePath);
    QString currentPath() const;
    void goToTypedPath(const QString& text);
    void showTypedPath();
    void tellTypedPath();
    // Why a typed path cannot be taken; empty when it can.
    QString problemOf(const QString& typed) const;

    DatasetFilter filter_;
    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QListWidget* classes_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    QLineEdit* path_ = nullptr;
    QLabel* problem_ = nullptr;
    QString start_;
    QString pending_;
};

// The chooser the application hands to Getshoreline and Getbathymetry.
class QtDatasetChooser final : public DatasetChooser {
public:
    // `projectFolder` names the open project's folder (empty without one).
    explicit QtDatasetChooser(QWidget* parent = nullptr, std::function<std::string()> projectFolder = {})
        : parent_(parent), projectFolder_(std::move(projectFolder)) {}
    std::optional<std::vector<DatasetItem>> choose(DatasetFilter filter, const std::string& title) override;

private:
    QWidget* parent_;
    std::function<std::string()> projectFolder_;
};

}  // namespace quor::gis::ui
