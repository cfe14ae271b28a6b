#include "gis/ui/dataset_chooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QCompleter>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <exception>

#include "platform/folders.h"
#include "platform/gis/workspace.h"

namespace quor::gis::ui {

namespace {

// The folder of the last dataset chosen while the program runs.
QString lastFolder;

// The first of the last folder used and the project folder that still
// exists, else the home folder; never the file system's root.
QString firstFolder(const QString& projectFolder) {
    for (const QString& f : {lastFolder, projectFolder})
        if (!f.isEmpty() && QFileInfo(f).isDir()) return QDir(f).absolutePath();
    return QDir::homePath();
}

bool isGridFolder(const QFileInfo& fi) {
    return fi.isDir() && (QFileInfo::exists(fi.filePath() + "/hdr.adf") || QFileInfo::exists(fi.filePath() + "/HDR.ADF"));
}

bool isWorkspace(const QFileInfo& fi) {
    if (fi.isFile()) return fi.suffix().compare("gpkg", Qt::CaseInsensitive) == 0;
    return fi.isDir();
}

// What the list offers, for a typed file it does not offer.
QString offeredKind(DatasetFilter filter) {
    switch (filter) {
        case DatasetFilter::Shapefiles:
        case DatasetFilter::PointShapefiles: return QObject::tr("a shapefile (.shp)");
        case DatasetFilter::FeatureClasses: return QObject::tr("a GeoPackage (.gpkg) or a folder");
        case DatasetFilter::Rasters: break;
    }
    return QObject::tr("a raster of a kind listed here (.tif, .tiff, .asc, .img, .bil, .flt, .vrt, .dem, .nc, .grd, "
                       ".bt) or a grid folder");
}

QString typedPathOf(const QString& text) { return QString::fromStdString(platform::typedPath(text.toStdString())); }

}  // namespace

DatasetChooserDialog::DatasetChooserDialog(DatasetFilter filter, const QString& title, QWidget* parent,
                                           const QString& projectFolder)
    : QDialog(parent), filter_(filter) {
    setWindowTitle(title);
    resize(720, 460);
    model_ = new QFileSystemModel(this);
    model_->setRootPath(QDir::rootPath());
    model_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    switch (filter) {
        case DatasetFilter::Shapefiles:
        case DatasetFilter::PointShapefiles: model_->setNameFilters({"*.shp", "*.SHP"}); break;
        case DatasetFilter::FeatureClasses: model_->setNameFilters({"*.gpkg", "*.GPKG"}); break;
        case DatasetFilter::Rasters:
            model_->setNameFilters({"*.tif", "*.tiff", "*.TIF", "*.asc", "*.ASC", "*.img", "*.IMG", "*.bil", "*.flt",
                                    "*.vrt", "*.dem", "*.nc", "*.grd", "*.bt"});
            break;
    }
    model_->setNameFilterDisables(false);

    tree_ = new QTreeView(this);
    tree_->setModel(model_);
    tree_->setSelectionMode(filter == DatasetFilter::FeatureClasses || filter == DatasetFilter::Rasters
                                ? QAbstractItemView::SingleSelection
                                : QAbstractItemView::ExtendedSelection);
    for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
    tree_->header()->hide();

    path_ = new QLineEdit(this);
    path_->setPlaceholderText(tr("Type or paste the path of a dataset"));
    auto* completer = new QCompleter(this);
    auto* completions = new QFileSystemModel(completer);
    completions->setRootPath(QString());
    completer->setModel(completions);
    path_->setCompleter(completer);
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this] { showTypedPath(); });
    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->hide();
    connect(path_, &QLineEdit::textEdited, this, [this](const QString& t) {
        problem_->hide();
        goToTypedPath(t);
    });
    connect(path_, &QLineEdit::returnPressed, this, [this] { goToTypedPath(path_->text()); });
    // Told once the user is done typing (Enter, or leaving the box), not
    // at every key while the path is still growing.
    connect(path_, &QLineEdit::editingFinished, this, [this] { tellTypedPath(); });

    auto* row = new QHBoxLayout;
    row->addWidget(tree_, 2);
    if (filter == DatasetFilter::FeatureClasses) {
        auto* right = new QVBoxLayout;
        right->addWidget(new QLabel(tr("Feature classes"), this));
        classes_ = new QListWidget(this);
        right->addWidget(classes_);
        row->addLayout(right, 1);
        connect(classes_, &QListWidget::currentRowChanged, this, [this] { selectionChanged(); });
    }
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(path_);
    layout->addWidget(problem_);
    layout->addLayout(row);
    layout->addWidget(buttons_);
    connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (classes_) fillClasses(currentPath());
        // The box shows what the list chose; a typed text is left as typed.
        const QString chosen = currentPath();
        if (!chosen.isEmpty() && !path_->hasFocus()) {
            path_->setText(chosen);
            problem_->hide();
        }
        selectionChanged();
    });
    start_ = firstFolder(projectFolder);
    // The start folder is read first; the rest of the disk as it is opened.
    model_->setRootPath(start_);
    setStartFolder(start_);
    path_->setText(start_);
    // Typing in the list finds the typed name among what it shows.
    tree_->setFocus();
    selectionChanged();
}

DatasetChooserDialog::~DatasetChooserDialog() {
    // A dialog closed by its destructor takes the focus from the box,
    // which would tell the typed path to a dialog no longer there.
    disconnect(path_, nullptr, this, nullptr);
}

void DatasetChooserDialog::goToTypedPath(const QString& text) {
    const QString typed = typedPathOf(text);
    if (typed.isEmpty()) return;
    if (!problemOf(typed).isEmpty()) {
        // OK must not take a dataset chosen before what the box now says.
        pending_.clear();
        tree_->selectionModel()->clearSelection();
        return;
    }
    const QString path = QFileInfo(typed).absoluteFilePath();
    // The list reads folders in the background: a path it does not show
    // yet is selected once its folder has been read.
    pending_ = path;
    showTypedPath();
}

QString DatasetChooserDialog::problemOf(const QString& typed) const {
    if (typed.isEmpty()) return {};
    const QFileInfo fi(typed);
    if (!fi.exists()) return tr("There is no file or folder %1.").arg(typed);
    if (fi.isDir() || QDir::match(model_->nameFilters(), fi.fileName())) return {};
    return tr("%1 is not %2.").arg(typed, offeredKind(filter_));
}

void DatasetChooserDialog::tellTypedPath() {
    const QString problem = problemOf(typedPathOf(path_->text()));
    problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
}

void DatasetChooserDialog::showTypedPath() {
    if (pending_.isEmpty() || !selectPath(pending_)) return;
    const QModelIndex idx = model_->index(pending_);
    tree_->scrollTo(idx);
    if (QFileInfo(pending_).isDir()) tree_->expand(idx);
    pending_.clear();
}

void DatasetChooserDialog::setStartFolder(const QString& folder) {
    const QModelIndex idx = model_->index(folder);
    if (!idx.isValid()) return;
    tree_->setCurrentIndex(idx);
    tree_->scrollTo(idx);
    tree_->expand(idx);
}

bool DatasetChooserDialog::selectPath(const QString& path) {
    const QModelIndex idx = model_->index(path);
    if (!idx.isValid()) return false;
    tree_->selectionModel()->select(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tree_->setCurrentIndex(idx);
    return true;
}

bool DatasetChooserDialog::selectClass(const QString& name) {
    if (!classes_) return false;
    const auto found = classes_->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    classes_->setCurrentItem(found.front());
    return true;
}

QStringList DatasetChooserDialog::classNames() const {
    QStringList out;
    if (classes_)
        for (int i = 0; i < classes_->count(); ++i) out << classes_->item(i)->text();
    return out;
}

bool DatasetChooserDialog::canAccept() const { return buttons_->button(QDialogButtonBox::Ok)->isEnabled(); }

QString DatasetChooserDialog::currentPath() const {
    const auto rows = tree_->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : model_->filePath(rows.front());
}

void DatasetChooserDialog::fillClasses(const QString& workspacePath) {
    classes_->clear();
    if (workspacePath.isEmpty() || !isWorkspace(QFileInfo(workspacePath))) return;
    try {
        auto ws = platform::gis::Workspace::open(workspacePath.toStdString());
        for (const auto& n : ws->featureClassNames()) classes_->addItem(QString::fromStdString(n));
    } catch (const std::exception&) {
        // Not a workspace GDAL can read: nothing to choose from.
    }
}

void DatasetChooserDialog::selectionChanged() {
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!selectedItems().empty());
}

std::vector<DatasetItem> DatasetChooserDialog::selectedItems() const {
    std::vector<DatasetItem> items;
    const auto rows = tree_->selectionModel()->selectedRows();
    for (const auto& idx : rows) {
        const QFileInfo fi(model_->filePath(idx));
        switch (filter_) {
            case DatasetFilter::Shapefiles:
            case DatasetFilter::PointShapefiles:
                if (fi.isFile() && fi.suffix().compare("shp", Qt::CaseInsensitive) == 0)
                    items.push_back({fi.filePath().toStdString(), {}});
                break;
            case DatasetFilter::Rasters:
                if (fi.isFile() || isGridFolder(fi)) items.push_back({fi.filePath().toStdString(), {}});
                break;
            case DatasetFilter::FeatureClasses:
                if (classes_ && classes_->currentItem())
                    items.push_back({fi.filePath().toStdString(), classes_->currentItem()->text().toStdString()});
                break;
        }
    }
    return items;
}

std::optional<std::vector<DatasetItem>> QtDatasetChooser::choose(DatasetFilter filter, const std::string& title) {
    const QString project = projectFolder_ ? QString::fromStdString(projectFolder_()) : QString();
    DatasetChooserDialog dlg(filter, QString::fromStdString(title), parent_, project);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    auto items = dlg.selectedItems();
    if (!items.empty()) lastFolder = QFileInfo(QString::fromStdString(items.front().path)).absolutePath();
    return items;
}

}  // namespace quor::gis::ui
