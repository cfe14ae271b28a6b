// The main window's map side: tool button values, the map toolbar's
// clicks, the map's events, "Bathymetry on top" and point entry.
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>

#include <functional>
#include <map>

#include "app/main_form.h"
#include "app/map_tools.h"
#include "app/map_view.h"
#include "app/point_entry.h"
#include "app/project_tree.h"
#include "app/small_dialogs.h"

namespace quor::app {

namespace {

// The map toolbar's buttons that stay down as the tool a press on the map applies.
const char* const kExclusiveMapTools[] = {"zoomin", "zoomout", "zoomselect", "pan", "identify"};

bool isMapTool(const std::string& key) {
    for (const char* t : kExclusiveMapTools)
        if (key == t) return true;
    return false;
}

void preOrder(QTreeWidgetItem* item, std::vector<QTreeWidgetItem*>& out) {
    out.push_back(item);
    for (int i = 0; i < item->childCount(); ++i) preOrder(item->child(i), out);
}

std::vector<QTreeWidgetItem*> treeNodes(QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> out;
    if (!tree) return out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) preOrder(tree->topLevelItem(i), out);
    return out;
}

}  // namespace

struct MainForm::MapSupport final : ToolButtons, PointEntryHost {
    explicit MapSupport(MainForm& w)
        : window(w),
          handler(*w.MapControl2, *this, [&w](const std::string& t) { w.setStatusPanel(1, t); }),
          entry(w.state_, w.form_, w.holder_, *w.messages_, *w.MapControl2, *this, *this) {
        handler.setPointEntry(&entry);
    }

    // ToolButtons: the value of each keyed button, shown as its checked state.
    bool pressed(int toolbar, const std::string& key) const override {
        auto it = values[toolbar == kProjectToolbarId ? 0 : 1].find(key);
        return it != values[toolbar == kProjectToolbarId ? 0 : 1].end() && it->second;
    }
    void setPressed(int toolbar, const std::string& key, bool down) override {
        // The map tools exclude one another: pressing one releases the rest.
        if (down && toolbar == kMapToolbarId && isMapTool(key))
            for (const char* other : kExclusiveMapTools)
                if (key != other && pressed(toolbar, other)) {
                    values[1][other] = false;
                    showValue(toolbar, other);
                }
        values[toolbar == kProjectToolbarId ? 0 : 1][key] = down;
        showValue(toolbar, key);
    }
    void showValue(int toolbar, const std::string& key) {
        if (QAction* a = window.toolbarButton(toolbar, key)) {
            a->setCheckable(true);
            a->setChecked(pressed(toolbar, key));
        }
    }

    // PointEntryHost
    void setcontrols(bool on) override { window.setcontrols(on); }
    void setAddPointEnabled(bool on) override {
        try {
            window.setToolbarButtonEnabled(kProjectToolbarId, "addpoint", on);
        } catch (const std::exception&) {
        }
    }
    void showCancel(bool on) override {
        window.canceladdpt->setVisible(on);
        window.canceladdpt->setEnabled(on);
    }
    void showBuild(bool on) override {
        window.refresher->setVisible(on);
        window.refresher->setEnabled(on);
    }
    void showcoords(int32_t x, int32_t y) override { window.showcoords(x, y); }
    void Savepr_Click() override {
        if (saveProject)
            saveProject();
        else if (window.commands().available("Savepr_Click"))
            window.commands().run("Savepr_Click", *window.messages_);
    }
    void removePointDatasetNodes() override {
        auto nodes = treeNodes(window.TreeView1);
        for (std::size_t i = nodes.size(); i > 4; --i) delete nodes[i - 1];
    }
    void addPointDatasetNode(int /*position*/, const std::string& key, const std::string& text, int image) override {
        // Through the tree, so that the node shows its picture as every other node does.
        ProjectTree& tree = window.projectTree();
        const int at = tree.addPointNode(text);
        QTreeWidgetItem* item = tree.node(at);
        if (!item) return;
        item->setData(0, Qt::UserRole, QString::fromStdString(key));
        tree.setNode(at, QString::fromStdString(text), image);
        if (item->parent()) item->parent()->setExpanded(true);
    }

    MainForm& window;
    std::map<std::string, bool> values[2];
    MapMouseHandler handler;
    PointEntry entry;
    // Save Project, as the project commands provide it.
    std::function<void()> saveProject;
    QPointer<proj_prop> projection;
};

void MainForm::MapSupportDeleter::operator()(MapSupport* p) const { delete p; }

void MainForm::connectMapView() {
    mapSupport_.reset(new MapSupport(*this));
    MapSupport& s = *mapSupport_;
    MapControl2->mouseDown = [&s](const MapMouse& m) { s.handler.mousedown(m); };
    MapControl2->mouseMove = [&s](const MapMouse& m) { s.handler.mousemove(m); };
    MapControl2->afterDraw = [&s] { s.handler.afterdraw(); };

    // Shows the tools as one choice; the values above decide which is down.
    auto* tools = new QActionGroup(Toolbar2);
    tools->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const char* key : kExclusiveMapTools)
        if (QAction* a = toolbarButton(kMapToolbarId, key)) {
            a->setCheckable(true);
            tools->addAction(a);
        }
    for (const auto& [key, action] : toolbarButtons_[1]) {
        const std::string k = key;
        connect(action, &QAction::triggered, this, [this, k] {
            mapSupport_->showValue(kMapToolbarId, k);  // the value, not Qt's toggle, decides
            Toolbar2_ButtonClick(k);
        });
    }
    if (QAction* add = toolbarButton(kProjectToolbarId, "addpoint")) add->setCheckable(true);
    connect(canceladdpt, &QPushButton::clicked, this, [this] { mapSupport_->entry.canceladdpt_Click(); });
    connect(refresher, &QPushButton::clicked, this, [this] { mapSupport_->entry.refresher_Click(); });
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
}

ToolButtons& MainForm::toolButtons() { return *mapSupport_; }
MapMouseHandler& MainForm::mapHandler() { return mapSupport_->handler; }
PointEntry& MainForm::pointEntry() { return mapSupport_->entry; }

void MainForm::presszoomselect() { mapSupport_->setPressed(kMapToolbarId, "zoomselect", true); }

void MainForm::resetmaptools() {
    for (const char* key : {"zoomin", "zoomout", "zoomselect", "fullextent", "pan", "identify"})
        mapSupport_->setPressed(kMapToolbarId, key, false);
}

void MainForm::Toolbar2_ButtonClick(const std::string& key) {
    if (state_.run_lock.active()) return;
    Toolbar2->repaint();
    MapControl2->setMousePointer(kPointerArrow);
    // The clicked tool goes down and releases the others (see setPressed);
    // the arrow releases every tool.
    if (key == "pointer") {
        resetmaptools();
    } else if (key == "zoomselect") {
        presszoomselect();
        MapControl2->setMousePointer(kPointerZoom);
    } else if (key == "fullextent") {
        MapControl2->setVisibleBounds(MapControl2->fullMapExtent());
        MapControl2->refreshView();
    } else if (key == "zoomin" || key == "zoomout" || key == "pan" || key == "identify") {
        mapSupport_->setPressed(kMapToolbarId, key, true);
        MapControl2->setMousePointer(key == "zoomin"    ? kPointerZoomIn
                                     : key == "zoomout" ? kPointerZoomOut
                                     : key == "pan"     ? kPointerPan
                                                        : kPointerIdentify);
    }
}

void MainForm::showprojection() {
    app::showprojection(MapControl2->map().spatialReference(), *messages_, form_, this, mapSupport_->projection);
}

void MainForm::setSaveProject(std::function<void()> save) { mapSupport_->saveProject = std::move(save); }

void MainForm::showAbout() { (new About(form_, this))->show(); }

void MainForm::Check1_Click() {
    try {
        const int nodes = static_cast<int>(treeNodes(TreeView1).size());
        if (!bathymetryOnTop(MapControl2->map(), nodes, Check1->isChecked())) Check1->setChecked(false);
    } catch (const std::exception&) {
        // Ends silently.
    }
}

}  // namespace quor::app
