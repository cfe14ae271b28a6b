#pragma once
// The dialog in which the user picks a shapefile, a feature class of a
// coverage or GeoPackage, or a raster (a file or a grid folder).
#include <QDialog>
#include <QString>

#include "gis/shorebathy.h"

class QTreeView;
class QListWidget;
class QFileSystemModel;
class QDialogButtonBox;

namespace quor::gis::ui {

class DatasetChooserDialog : public QDialog {
    Q_OBJECT
public:
    DatasetChooserDialog(DatasetFilter filter, const QString& title, QWidget* parent = nullptr);
    std::vector<DatasetItem> selectedItems() const;
    void setStartFolder(const QString& folder);
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

    DatasetFilter filter_;
    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QListWidget* classes_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

// The chooser the application hands to Getshoreline and Getbathymetry.
class QtDatasetChooser final : public DatasetChooser {
public:
    explicit QtDatasetChooser(QWidget* parent = nullptr) : parent_(parent) {}
    std::optional<std::vector<DatasetItem>> choose(DatasetFilter filter, const std::string& title) override;

private:
    QWidget* parent_;
};

}  // namespace quor::gis::ui
