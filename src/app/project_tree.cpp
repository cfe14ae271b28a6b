#include "app/project_tree.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>

#include <algorithm>

namespace quor::app {

namespace pg = platform::gis;

namespace {

constexpr int kPictureRole = Qt::UserRole + 1;
constexpr int kBindingRole = Qt::UserRole + 2;

QIcon nodeIcon(int picture) {
    static const char* glyphs[] = {"", "S", "P", "B", "W", "."};
    static const QColor colors[] = {Qt::black, QColor(139, 90, 43), QColor(0, 0, 139), QColor(0, 105, 148),
                                    QColor(0, 128, 0), QColor(200, 0, 0)};
    if (picture < 1 || picture > 5) return {};
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(colors[picture]);
    QFont f = p.font();
    f.setPixelSize(picture == kPicturePoint ? 20 : 13);
    f.setBold(true);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, QString::fromLatin1(glyphs[picture]));
    return QIcon(pm);
}

}  // namespace

ProjectTree::ProjectTree(QTreeWidget* tree, pg::Map& map, platform::Messages& messages)
    : tree_(tree), map_(map), messages_(messages) {}

int ProjectTree::nodeCount() const {
    int n = 0;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) n += 1 + tree_->topLevelItem(i)->childCount();
    return n;
}

QTreeWidgetItem* ProjectTree::node(int position) const {
    if (position < 1) return nullptr;
    int p = 0;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = tree_->topLevelItem(i);
        if (++p == position) return top;
        if (position - p <= top->childCount()) return top->child(position - p - 1);
        p += top->childCount();
    }
    return nullptr;
}

int ProjectTree::positionOf(const QTreeWidgetItem* item) const {
    for (int p = 1, n = nodeCount(); p <= n; ++p)
        if (node(p) == item) return p;
    return 0;
}

QString ProjectTree::text(int position) const {
    QTreeWidgetItem* n = node(position);
    return n ? n->text(0) : QString();
}

int ProjectTree::picture(int position) const {
    QTreeWidgetItem* n = node(position);
    return n ? n->data(0, kPictureRole).toInt() : 0;
}

namespace {

// A node's name, also as its tooltip: a long name is cut at the pane's edge.
void showNode(QTreeWidgetItem* n, const QString& text, int picture) {
    n->setText(0, text);
    n->setToolTip(0, text);
    n->setData(0, kPictureRole, picture);
    n->setIcon(0, nodeIcon(picture));
}

}  // namespace

void ProjectTree::setNode(int position, const QString& text, int picture) {
    if (QTreeWidgetItem* n = node(position)) showNode(n, text, picture);
}

void ProjectTree::addFixedNodes(const std::string& projname, const std::string& bathyname,
                                const std::string& shorename, const std::string& wind_name) {
    auto* root = new QTreeWidgetItem(tree_);
    tree_->addTopLevelItem(root);
    const int base = positionOf(root);
    setNode(base, QString::fromStdString(projname), kPictureProject);
    const std::pair<const std::string*, int> children[] = {
        {&bathyname, kPictureBathy}, {&shorename, kPictureShore}, {&wind_name, kPictureWind}};
    for (const auto& [name, picture] : children) {
        showNode(new QTreeWidgetItem(root), QString::fromStdString(*name), picture);
    }
    root->setExpanded(true);
}

int ProjectTree::addPointNode(const std::string& className) {
    QTreeWidgetItem* root = node(1);
    if (!root) return 0;
    auto* child = new QTreeWidgetItem(root);
    showNode(child, QString::fromStdString(className), kPicturePoint);
    return positionOf(child);
}

void ProjectTree::clear() {
    // clicknode outlives the project, but never a deleted node.
    clicknode_ = nullptr;
    bound_.clear();
    tree_->clear();
}

void ProjectTree::bindLayer(const QTreeWidgetItem* item, std::shared_ptr<pg::Layer> layer) {
    if (!item) return;
    qulonglong id = item->data(0, kBindingRole).toULongLong();
    if (id == 0) {
        id = nextBinding_++;
        const_cast<QTreeWidgetItem*>(item)->setData(0, kBindingRole, id);
    }
    bound_[id] = layer;
}

std::shared_ptr<pg::Layer> ProjectTree::layerOf(const QTreeWidgetItem* item) const {
    const int position = positionOf(item);
    if (position < 2 || position == 4) return nullptr;
    const auto& layers = map_.layers();
    auto it = bound_.find(item->data(0, kBindingRole).toULongLong());
    if (it != bound_.end()) {
        auto layer = it->second.lock();
        if (layer && std::find(layers.begin(), layers.end(), layer) != layers.end()) return layer;
    }
    const std::string name = item->text(0).toStdString();
    if (name.empty()) return nullptr;
    const pg::LayerKind kind = position == 2 ? pg::LayerKind::Raster : pg::LayerKind::Feature;
    // From the bottom: the project's own layers lie below the work layers a
    // run puts on top.
    for (auto l = layers.rbegin(); l != layers.rend(); ++l)
        if ((*l)->kind() == kind && (*l)->name() == name) return *l;
    return nullptr;
}

void ProjectTree::leftPress(QTreeWidgetItem* hit) {
    clicknode_ = hit;
    if (!hit) return;
    try {
        if (nodeCount() >= 4 && hit->text(0) == text(4)) return;
        auto layer = layerOf(hit);
        if (!layer) return;
        tree_->setCurrentItem(hit);
        layer->setVisible(!layer->visible());
        map_.refresh();
    } catch (...) {
        messages_.message("Error encountered");
    }
}

TreePopup ProjectTree::rightPress(QTreeWidgetItem* hit) {
    clicknode_ = hit;
    if (!hit) return TreePopup::None;
    tree_->setCurrentItem(hit);
    const QString t = hit->text(0);
    if (t == text(1)) return TreePopup::Root;
    if (t == text(2)) return TreePopup::Bathymetry;
    if (t == text(3)) return TreePopup::Shoreline;
    if (t != text(4)) return TreePopup::PointData;
    return TreePopup::Wind;
}

QString ProjectTree::clicknodeText() const {
    // A press can outlive its node (a removed dataset): ask the tree.
    if (!clicknode_ || positionOf(clicknode_) == 0) return {};
    return clicknode_->text(0);
}

}  // namespace quor::app
