#pragma once
// The project tree of the main window: the open project's four fixed nodes
// (project, bathymetry, shoreline, wind) and one node per point dataset,
// the visibility switch of a node's map layer and the pop-up menu that
// fits a node. The tree is the program's record of whether a project is
// open: it is open exactly while the tree has a node.
#include <QString>

#include <map>
#include <memory>
#include <string>

#include "platform/feedback.h"
#include "platform/gis/map.h"

class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace quor::app {

// Pictures of the tree's nodes, by their index in the tree's image list.
enum TreePicture { kPictureShore = 1, kPictureProject = 2, kPictureBathy = 3, kPictureWind = 4, kPicturePoint = 5 };

// The pop-up menu a right press opens.
enum class TreePopup { None, Root, Bathymetry, Shoreline, PointData, Wind };

class ProjectTree {
public:
    ProjectTree(QTreeWidget* tree, platform::gis::Map& map, platform::Messages& messages);

    // Number of nodes in the whole tree.
    int nodeCount() const;
    // The node at a 1-based position in the order the nodes were added
    // (1 the project, 2 to 4 the fixed inputs, 5 on the point datasets);
    // null when there is none.
    QTreeWidgetItem* node(int position) const;
    int positionOf(const QTreeWidgetItem* item) const;
    QString text(int position) const;
    int picture(int position) const;
    void setNode(int position, const QString& text, int picture);

    // The four fixed nodes, expanded under the project node.
    void addFixedNodes(const std::string& projname, const std::string& bathyname, const std::string& shorename,
                       const std::string& wind_name);
    // A point dataset's node below the project node; returns its position.
    int addPointNode(const std::string& className);
    void clear();

    // Ties a node to its map layer, so that its visibility switch never
    // depends on where the layer lies in the drawing order.
    void bindLayer(const QTreeWidgetItem* item, std::shared_ptr<platform::gis::Layer> layer);
    // The map layer of a node: the bound one while it is on the map, or
    // else the layer named like the node (the raster for the bathymetry
    // node, a feature layer for the others). Null for the project and wind
    // nodes and when the map holds no such layer.
    std::shared_ptr<platform::gis::Layer> layerOf(const QTreeWidgetItem* item) const;

    // A press on the tree: `hit` is the node under the mouse (null for
    // empty space). Left switches the node's layer, right chooses a pop-up.
    void leftPress(QTreeWidgetItem* hit);
    TreePopup rightPress(QTreeWidgetItem* hit);
    QTreeWidgetItem* clicknode() const { return clicknode_; }
    QString clicknodeText() const;

private:
    QTreeWidget* tree_;
    platform::gis::Map& map_;
    platform::Messages& messages_;
    QTreeWidgetItem* clicknode_ = nullptr;
    std::map<qulonglong, std::weak_ptr<platform::gis::Layer>> bound_;  // by the node's binding id
    qulonglong nextBinding_ = 1;
};

}  // namespace quor::app
