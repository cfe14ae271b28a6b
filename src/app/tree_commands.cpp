// The main window's side of the project tree and the point list: building
// the tree of an open project, the mouse presses and the pop-up menus.
#include <QAction>
#include <QCursor>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>

#include "app/command_enabling.h"
#include "app/main_form.h"
#include "app/project_tree.h"

namespace quor::app {

namespace {
struct PopupItem {
    const char* name;
    const char* caption;
    const char* command;  // the handler it hands over to
};
struct PopupDef {
    const char* name;
    const char* caption;
    std::vector<PopupItem> items;
};

const std::vector<PopupDef>& popupMenus() {
    static const std::vector<PopupDef> menus = {
        {"mnutreeview", "treeview", {{"data", "Wind Data", "Wind_pt"}, {"remove", "Remove", "Addwind_Click"}}},
        {"rootmnu", "root", {{"remove1", "Remove", "RemPr_Click"}}},
        {"covbathy", "Covbathy", {{"remove2", "Remove", "Addbathy_Click"}, {"projec", "Projection", "showprojection"}}},
        {"covshore", "covshore", {{"remove3", "Remove", "Addshore_Click"}, {"projec1", "Projection", "showprojection"}}},
        {"ptdata", "Ptdata", {{"remove4", "Remove", "rem_ptdata"}, {"noFeat", "Number of Features", "feat_no"}}},
        {"listv", "Listview", {{"remove5", "Remove", "rem_shpdata"}, {"properties", "Properties", ""}}},
    };
    return menus;
}

const char* popupName(TreePopup p) {
    switch (p) {
    case TreePopup::Root: return "rootmnu";
    case TreePopup::Bathymetry: return "covbathy";
    case TreePopup::Shoreline: return "covshore";
    case TreePopup::PointData: return "ptdata";
    case TreePopup::Wind: return "mnutreeview";
    case TreePopup::None: break;
    }
    return "";
}
}  // namespace

void MainForm::buildTreeMenus() {
    for (const PopupDef& def : popupMenus()) {
        auto* menu = new QMenu(QString::fromLatin1(def.caption), this);
        menu->setObjectName(QString::fromLatin1(def.name));
        for (const PopupItem& item : def.items) {
            QAction* a = menu->addAction(QString::fromLatin1(item.caption));
            a->setObjectName(QString::fromLatin1(item.name));
            const std::string command = item.command;
            if (command.empty()) {
                a->setEnabled(false);
                continue;
            }
            QObject::connect(a, &QAction::triggered, this, [this, command] {
                if (state_.run_lock.active()) return;
                // Wind Data shows the REI wind summary; RWE has none to show.
                if (command == "Wind_pt" && state_.model_mode != model::REI_MODE) return;
                commands_.run(command, *messages_);
            });
        }
        treeMenus_[def.name] = menu;
    }
}

QMenu* MainForm::treemnu(const std::string& name) const {
    auto it = treeMenus_.find(name);
    return it == treeMenus_.end() ? nullptr : it->second;
}

void MainForm::popup(const std::string& name) {
    lastPopup_ = name;
    if (QMenu* m = treemnu(name)) m->popup(QCursor::pos());
}

void MainForm::buildprojtree() {
    tree_->addFixedNodes(form_.projname, form_.bathyname, form_.shorename, state_.wind_name);
    enableProjectCommands(*this);
    // Drawing the project's layers belongs to the project commands, which
    // build the tree only once they exist.
    if (commands_.available("displaylayers")) commands_.run("displaylayers", *messages_);
}

void MainForm::TreeView1_MouseDown(int button, const QPoint& pos) {
    if (state_.run_lock.active()) return;
    lastPopup_.clear();
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QTreeWidgetItem* hit = TreeView1->itemAt(pos);
    if (button == 2) {
        const TreePopup p = tree_->rightPress(hit);
        if (p != TreePopup::None) popup(popupName(p));
    } else if (button == 1) {
        tree_->leftPress(hit);
    }
}

void MainForm::List1_MouseDown(int button) {
    if (state_.run_lock.active()) return;
    lastPopup_.clear();
    if (button == 2 && !List1->selectedItems().isEmpty()) popup("listv");
}

}  // namespace quor::app
