#include "app/project_window_adapter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QTreeWidget>

#include "app/main_form.h"
#include "app/progress_form.h"
#include "app/project_tree.h"
#include "gis/ui/dataset_chooser.h"
#include "project/ui/new_project_dialog.h"

namespace quor::app {

namespace {

// "Quor Project(*.tesk_RWE)|*.tesk_RWE" as Qt writes a filter.
QString qtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString name = parts[i];
        const int paren = name.indexOf(QLatin1Char('('));
        if (paren >= 0) name = name.left(paren).trimmed();
        out << QStringLiteral("%1 (%2)").arg(name, patterns);
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace

ProjectWindowAdapter::ProjectWindowAdapter(MainForm& window)
    : w_(window), datasets_(std::make_unique<gis::ui::QtDatasetChooser>(&window, [&window] { return window.project().projfile; })) {}

ProjectWindowAdapter::~ProjectWindowAdapter() = default;

std::optional<std::string> ProjectWindowAdapter::chooseFile(const project::FileDialogRequest& request) {
    const QString title = QString::fromStdString(request.title);
    const QString start = QString::fromStdString(request.startFolder);
    const QString filter = qtFilter(request.filter);
    const QString path = request.kind == project::FileDialogRequest::Kind::Save
                             ? QFileDialog::getSaveFileName(&w_, title, start, filter)
                             : QFileDialog::getOpenFileName(&w_, title, start, filter);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

void ProjectWindowAdapter::addPointDatasetNode(int /*position*/, const std::string& /*key*/, const std::string& text,
                                               int image) {
    ProjectTree& tree = w_.projectTree();
    const int position = tree.addPointNode(text);
    if (position > 0) tree.setNode(position, QString::fromStdString(text), image);
}

int ProjectWindowAdapter::treeNodeCount() const { return w_.projectTree().nodeCount(); }
std::string ProjectWindowAdapter::treeNodeText(int node) const { return w_.projectTree().text(node).toStdString(); }
int ProjectWindowAdapter::treeNodeImage(int node) const { return w_.projectTree().picture(node); }

void ProjectWindowAdapter::setTreeNode(int node, const std::string& text, int image) {
    w_.projectTree().setNode(node, QString::fromStdString(text), image);
}

void ProjectWindowAdapter::removeTreeNode(int node) { delete w_.projectTree().node(node); }
void ProjectWindowAdapter::clearTree() { w_.projectTree().clear(); }
void ProjectWindowAdapter::buildprojtree() { w_.buildprojtree(); }
void ProjectWindowAdapter::disablecontrols() { w_.disablecontrols(); }

void ProjectWindowAdapter::clearPointList() { w_.List1->clear(); }
void ProjectWindowAdapter::addPointListEntry(const std::string& text) {
    w_.List1->addItem(QString::fromStdString(text));
}
int ProjectWindowAdapter::pointListCount() const { return w_.List1->count(); }
std::string ProjectWindowAdapter::pointListEntry(int index) const {
    QListWidgetItem* item = w_.List1->item(index);
    return item ? item->text().toStdString() : std::string();
}
std::vector<int> ProjectWindowAdapter::selectedPointListEntries() const {
    std::vector<int> out;
    for (int i = 0; i < w_.List1->count(); ++i)
        if (w_.List1->item(i)->isSelected()) out.push_back(i);
    return out;
}
void ProjectWindowAdapter::removePointListEntry(int index) { delete w_.List1->takeItem(index); }

bool ProjectWindowAdapter::bathymetryOnTop() const { return w_.Check1->isChecked(); }

void ProjectWindowAdapter::setBathymetryOnTop(bool onTop) {
    if (w_.Check1->isChecked() == onTop) return;
    w_.Check1->setChecked(onTop);
    w_.Check1_Click();
}

void ProjectWindowAdapter::enableMapTools() {
    for (const char* key : {"zoomin", "zoomout", "zoomselect", "fullextent", "pan"}) {
        try {
            w_.setToolbarButtonEnabled(kMapToolbar, key, true);
        } catch (const std::exception&) {
        }
    }
}

void ProjectWindowAdapter::setBusy(bool busy, const std::string& statusText) {
    if (busy && !busy_) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!busy && busy_) QApplication::restoreOverrideCursor();
    busy_ = busy;
    w_.Label1->setText(QString::fromStdString(statusText));
}

void ProjectWindowAdapter::setStatusPanel(int panel, const std::string& text) { w_.setStatusPanel(panel, text); }

gis::DatasetChooser& ProjectWindowAdapter::datasetChooser() { return *datasets_; }

void ProjectWindowAdapter::showNewProjectDialog(project::NewProjectForm& form) {
    project::ui::NewProjectDialog dialog(form, &w_);
    w_.showModal(dialog);
}

platform::Progress& PaintingProgress::form() const { return w_.progressForm(); }
void PaintingProgress::show() { form().show(); }
void PaintingProgress::hide() { form().hide(); }
void PaintingProgress::setMaximum(int bar, int maximum) { form().setMaximum(bar, maximum); }
void PaintingProgress::setValue(int bar, int value) { form().setValue(bar, value); }
int PaintingProgress::value(int bar) const { return form().value(bar); }
void PaintingProgress::setLabel(int label, const std::string& text) { form().setLabel(label, text); }
std::string PaintingProgress::label(int label) const { return form().label(label); }
void PaintingProgress::yield() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace quor::app
