#pragma once
// The program's main window: menu bar, the project and map toolbars, the
// project window (project tree, point list, "Bathymetry on top"), the
// display window with the map, the status frame and the splitter between
// the two windows. Its load runs start-up.
#include <QIcon>
#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/main_layout.h"
#include "app/map_view.h"
#include "app/startup.h"
#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/settings_store.h"

class QAction;
class QCheckBox;
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
class QtMessages;
class ToolButtons;
class MapMouseHandler;
class PointEntry;

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
    platform::Messages& messages() { return *messages_; }

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
    void lblHorDrag_MouseMove(int button, float x);
    float innerWidthTwips() const;
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
    QLabel* panels_[4] = {};
    Form1* progress_ = nullptr;
    MainLayout layout_;
    std::string mapName_;
    bool loaded_ = false;
    bool inLayout_ = false;
    // The map view's side of the window.
    struct MapSupport;
    struct MapSupportDeleter {
        void operator()(MapSupport* p) const;
    };
    void connectMapView();
    std::unique_ptr<MapSupport, MapSupportDeleter> mapSupport_;
};

}  // namespace quor::app
