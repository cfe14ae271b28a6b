#pragma once
// The program's main window: menu bar, the project and map toolbars, the
// project window (project tree, point list, "Bathymetry on top"), the
// display window with the map, the status frame and the splitter between
// the two windows. Its load runs start-up.
#include <QIcon>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/command_table.h"
#include "app/main_layout.h"
#include "app/map_view.h"
#include "app/startup.h"
#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/map.h"
#include "platform/settings_store.h"

class QAction;
class QCheckBox;
class QDialog;
class QUrl;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QStatusBar;
class QToolBar;
class QTreeWidget;

namespace quor::app {

class Form1;
class ProjectTree;
class QtMessages;
class ToolButtons;
class MapMouseHandler;
class PointEntry;
class StatusPanel;

class MainForm final : public QMainWindow, public StartupWindow {
public:
    // Without `messages` the window asks and tells through message boxes.
    MainForm(model::ModelState& state, model::MainFormState& form, model::SettingsHolder& holder,
             platform::SettingsStore& store, platform::Messages* messages = nullptr, QWidget* parent = nullptr);
    ~MainForm() override;

    // The window's load: start-up against the given folders. Showing the
    // window runs it against the system's folders when it has not run.
    StartupOutcome Form_Load(const StartupEnvironment& env);
    bool loaded() const { return loaded_; }

    // The coordinate message of point entry: "x y".
    void showcoords(int32_t x, int32_t y);

    // Background runs minimise the window for their length and give it back
    // in the state it had (maximised stays maximised).
    void minimiseForRun(bool minimise);

    // The shared progress window, created on first use.
    Form1& progressForm();

    // Elements by the names the rest of the program uses.
    QMenu* menu(const std::string& name) const;
    QAction* menuItem(const std::string& name) const;
    QAction* toolbarButton(int toolbar, const std::string& key) const;
    QString statusPanel(int panel) const;
    const std::string& mapName() const { return mapName_; }
    const MainLayout& layoutTwips() const { return layout_; }

    model::ModelState& state() { return state_; }
    model::MainFormState& project() { return form_; }
    model::SettingsHolder& holder() { return holder_; }
    // The wind summary holder that the wind commands fill and show.
    model::WindSummary& winddata() { return winddata_; }
    platform::SettingsStore& settingsStore() { return store_; }
    platform::Messages& messages() { return *messages_; }

    // The map the map view draws and the project commands fill.
    platform::gis::Map& map();
    // Handlers of the other subsystems' commands; see connectCommands.
    CommandTable& commands() { return commands_; }
    ProjectTree& projectTree() { return *tree_; }
    // A project is open exactly while the project tree has a node.
    bool projectOpen() const;

    // Toolbar buttons' values: 1 shown down, 0 up.
    int toolbarValue(int toolbar, const std::string& key) const;
    // The key of the picture a toolbar button shows ("runon", "runoff" ...).
    std::string toolbarButtonImage(int toolbar, const std::string& key) const;
    void setToolbarValue(int toolbar, const std::string& key, int value);
    // The map's pointer by the platform's numbers: 1 arrow, 2 crosshair,
    // 50 zoom, 51 zoom in, 52 zoom out, 53 pan, 55 identify.
    int mapPointer() const;
    void setMapPointer(int pointer);

    // Toolbars and command enabling.
    void Toolbar1_ButtonClick(const std::string& key);
    // What the run drivers do to the toolbars when a run ends: every
    // project and map tool up, the run button idle.
    void runEnded();
    void disablecontrols();
    void setcontrols(bool enabled);

    // Project tree and point list.
    void buildprojtree();
    void TreeView1_MouseDown(int button, const QPoint& pos);
    void List1_MouseDown(int button);
    // The pop-up menus of the tree and the list, by their names
    // ("mnutreeview", "rootmnu", "covbathy", "covshore", "ptdata", "listv").
    QMenu* treemnu(const std::string& name) const;
    // The menu the last press on the tree or the list popped up.
    const std::string& lastPopup() const { return lastPopup_; }

    // Menu commands: the click of the named menu item.
    void menuItem_Click(const std::string& name);
    void QuorMode_Click();
    void Content_Click();
    void openWebPage(const std::string& settingKey);

    // Welcome and shut-down.
    void Form_Activate();
    void Exit_Click();
    void Form_Unload();
    void UnloadAllForms(const std::string& FormToIgnore);

    // How modal dialogs are run and pages opened; tests answer in place of a
    // user. A dialog runs until it is closed, also when it steps aside for a
    // dialog of its own.
    using ModalRunner = std::function<int(QDialog&)>;
    void setModalRunner(ModalRunner runner) { modalRunner_ = std::move(runner); }
    int showModal(QDialog& dialog);
    using UrlOpener = std::function<bool(const QUrl&)>;
    void setUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }
    // Where Help > Content looks for the manual; the program's "Help" folder
    // unless set.
    void setHelpFolder(const std::string& folder) { helpFolder_ = folder; }
    std::string helpFolder() const;

    // Keeps what the connected commands work through alive with the window.
    void keepWithWindow(std::shared_ptr<void> part) { kept_.push_back(std::move(part)); }

    // Enables the commands whose handlers are connected (after connecting
    // more of them) and keeps the rest greyed.
    void refreshCommandStates();

    // StartupWindow
    PixelSize screenSize() const override;
    PixelSize windowSize() const override;
    void moveWindow(int left, int top) override;
    void setStatusPanel(int panel, const std::string& text) override;
    void setMenuItemEnabled(const std::string& name, bool enabled) override;
    bool hasToolbarButton(int toolbar, const std::string& key) const override;
    void setToolbarButtonEnabled(int toolbar, const std::string& key, bool enabled) override;
    void setToolbarButtonImage(int toolbar, const std::string& key, const std::string& image) override;
    void setMapName(const std::string& name) override;

    QToolBar* Toolbar1 = nullptr;
    QToolBar* Toolbar2 = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;
    QFrame* Frame3 = nullptr;
    QCheckBox* Check1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* canceladdpt = nullptr;
    QPushButton* refresher = nullptr;
    MapView* MapControl2 = nullptr;
    QFrame* Frame4 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblHorDrag = nullptr;

    // The map view's side of the window (main_form_map.cpp): the tool
    // buttons' values, the map's event handlers and point entry.
    ToolButtons& toolButtons();
    MapMouseHandler& mapHandler();
    PointEntry& pointEntry();
    void Toolbar2_ButtonClick(const std::string& key);
    void presszoomselect();
    void resetmaptools();
    void Check1_Click();
    // Projection Properties of the map's spatial reference, and the About box.
    void showprojection();
    void showAbout();
    // Save Project as the project commands do it; point entry's Build calls it.
    void setSaveProject(std::function<void()> save);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbars();
    void buildImageList();
    void buildWindows();
    void Form_Resize();
    void applyLayout();
    void fitStatusBar();
    void lblHorDrag_MouseMove(int button, float x);
    float innerWidthTwips() const;
    void connectShell();
    void onRunLock(bool active);
    void updateAction(QAction* action);
    bool actionAvailable(QAction* action) const;
    void buildTreeMenus();
    void popup(const std::string& menu);
    int px(float twips) const;
    int py(float twips) const;
    float tx(int pixels) const;
    float ty(int pixels) const;

    model::ModelState& state_;
    model::MainFormState& form_;
    model::SettingsHolder& holder_;
    platform::SettingsStore& store_;
    std::unique_ptr<QtMessages> ownMessages_;
    platform::Messages* messages_;

    QWidget* central_ = nullptr;
    std::map<std::string, QMenu*> menus_;
    std::map<std::string, QAction*> menuItems_;
    std::map<std::string, QAction*> toolbarButtons_[2];
    std::map<std::string, QIcon> ImageList1_;
    StatusPanel* panels_[4] = {};
    Form1* progress_ = nullptr;
    MainLayout layout_;
    model::WindSummary winddata_;
    CommandTable commands_;
    std::unique_ptr<ProjectTree> tree_;
    std::map<std::string, QMenu*> treeMenus_;
    std::string lastPopup_;
    std::map<std::string, std::string> toolbarImages_[2];
    std::map<QAction*, bool> wanted_;  // enabled state the program asked for
    std::map<QAction*, std::string> actionCommand_;
    bool runLocked_ = false;
    int runLockListener_ = 0;
    // The open tool windows greyed for the length of a run.
    std::vector<QPointer<QWidget>> greyedForRun_;
    std::map<QAction*, bool> menusBeforeRun_;
    ModalRunner modalRunner_;
    UrlOpener urlOpener_;
    std::string helpFolder_;
    bool welcomeShowing_ = false;
    std::vector<std::shared_ptr<void>> kept_;
    std::string mapName_;
    bool loaded_ = false;
    bool inLayout_ = false;
    bool minimisedForRun_ = false;
    Qt::WindowStates stateBeforeRun_ = Qt::WindowNoState;
    // The map view's side of the window.
    struct MapSupport;
    struct MapSupportDeleter {
        void operator()(MapSupport* p) const;
    };
    void connectMapView();
    std::unique_ptr<MapSupport, MapSupportDeleter> mapSupport_;
};

}  // namespace quor::app
