#include "app/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>

#include <qgsapplication.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "app/command_enabling.h"
#include "app/command_wiring.h"
#include "app/map_view.h"
#include "app/progress_form.h"
#include "app/project_tree.h"
#include "app/qt_messages.h"
#include "app/status_panel.h"
#include "platform/ui/modal_dialog.h"

namespace quor::app {

namespace {

// The status label's text while a run goes on.
const QString kRunningModel = QStringLiteral("Running model");

// Designed state of a menu item.
enum class Design { Normal, Disabled, HiddenDisabled };

struct ItemDef {
    const char* name;
    const char* caption;  // "-" for a separator line
    const char* shortcut;
    Design design = Design::Normal;
};

struct MenuDef {
    const char* name;
    const char* caption;
    std::vector<ItemDef> items;
};

const std::vector<MenuDef>& menuTree() {
    static const std::vector<MenuDef> tree = {
        {"File",
         "Project ",
         {{"Newpr", "New Project...    ", "Ctrl+N"},
          {"Openpr", "Open Project...    ", "Ctrl+O"},
          {"blank", "-", ""},
          {"RemPr", "Remove Project    ", "Ctrl+R"},
          {"del", "Delete Project...   ", "Ctrl+D"},
          {"Blank1", "-", ""},
          {"Savepr", "Save Project    ", "Ctrl+S"},
          {"Savepra", "Save Project As...    ", ""},
          {"Blank2", "-", ""},
          {"Printt", "Print...    ", "Ctrl+P"},
          {"Printset", "Print Setup...    ", ""},
          {"Blank3", "-", ""},
          {"Exit", "Exit", "Ctrl+Q"}}},
        {"data",
         "Data ",
         {{"Addbathy", "Change Bathymetry Coverage...", "Ctrl+B"},
          {"Addshore", "Change Shoreline Coverage...", "Ctrl+H"},
          {"blank10", "-", ""},
          {"addshape", "Add Shapefile...", ""},
          {"Blank4", "-", ""},
          {"Addpointc", "Add Point Coverage...", "Ctrl+T"},
          {"enterpt", "Enter Point Data...", "", Design::Disabled},
          {"Blank5", "-", ""},
          {"QuorMode", "Quor Mode...", "Ctrl+M"},
          {"Chgset", "Settings...", "Ctrl+F2"},
          {"blank11", "-", ""},
          {"orbital", "Orbital Velocity Mode...", ""},
          {"batch", "Batch Processing Mode...", ""},
          {"blank14", "-", ""},
          {"projprop", "Projection Properties...", ""},
          {"blank12", "-", ""},
          {"Tide", "Water Level Adjustment...", ""}}},
        {"Wind",
         "Wind",
         {{"wind_pt_mnu", "Wind Parameter Display...", ""},
          {"Addwind", "Change Wind Data...", "Ctrl+W"},
          {"PIIndex", "Process IIndex File...", ""},
          {"blank13", "-", ""},
          {"Anal_wind", "Download/Create Wind Data...", "Ctrl+A"},
          {"batchwind", "Batch Process Wind Data...", "", Design::Disabled},
          {"kobu", "Kobu website...", ""}}},
        {"Disp",
         "Display  ",
         {{"Opencov", "Open Coverage...", "", Design::Disabled},
          {"Expcov", "Export Coverage As Image...  ", "", Design::Disabled},
          {"Blank6", "-", ""},
          {"Opensur", "Open Surface...", "", Design::HiddenDisabled},
          {"Expsur", "Export Surface As Image...", "", Design::HiddenDisabled},
          {"Blank7", "-", ""},
          {"Zoom", "Zoom Data", ""},  // the submenu below
          {"Blank8", "-", ""},
          {"Refresh", "Refresh", "F4"}}},
        {"Help",
         "Help   ",
         {{"Content", "Content...", "F1"},
          {"Blank9", "-", ""},
          {"Quordel", "About Quor...", "F12"},
          {"Website", "Quor Website...", ""}}},
    };
    return tree;
}

const std::vector<ItemDef>& zoomItems() {
    static const std::vector<ItemDef> items = {
        {"zoomin", "  Zoom In", "Shift+F1"},
        {"Zoomout", "  Zoom Out", "Shift+F2"},
        {"Fullext", "  Full Extent", "Shift+F3"},
    };
    return items;
}

// Toolbar buttons by key with their captions, shown as their tooltips;
// nullptr marks a button without a key, which only separates the groups.
struct ButtonDef {
    const char* key;
    const char* caption;
};

const std::vector<ButtonDef> kProjectButtons = {
    {"new", "New Project"},      {"open", "Open Project"},   {"save", "Save Project"}, {nullptr, nullptr},
    {"printt", "Print"},         {nullptr, nullptr},          {"delete", "Remove"},     {nullptr, nullptr},
    {"bathy", "Change Bathymetry"}, {"shore", "Change Shoreline"}, {"wind", "Change Wind"}, {nullptr, nullptr},
    {"addpoint", "Create Points"}, {"drawpoly", "Add Points"}, {nullptr, nullptr},      {"run", "Run"},
    {nullptr, nullptr},          {nullptr, nullptr},          {nullptr, nullptr},
};

const std::vector<ButtonDef> kMapButtons = {
    {"zoomin", "Zoom in"}, {"zoomout", "Zoom Out"}, {nullptr, nullptr},     {"zoomselect", "Zoom select"},
    {"pan", "Pan"},        {nullptr, nullptr},      {"fullextent", "Full Extent"}, {nullptr, nullptr},
    {"pointer", "Arrow"},  {nullptr, nullptr},      {"identify", "Identify"},
};

// A 16 by 16 picture with a short glyph, in the toolbar's teal.
QIcon glyphIcon(const QString& glyph) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0, 128, 128));
    QFont f = p.font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, glyph);
    return QIcon(pm);
}

}  // namespace

MainForm::MainForm(model::ModelState& state, model::MainFormState& form, model::SettingsHolder& holder,
                   platform::SettingsStore& store, platform::Messages* messages, QWidget* parent)
    : QMainWindow(parent), state_(state), form_(form), holder_(holder), store_(store) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("  Quor"));
    if (messages) {
        messages_ = messages;
    } else {
        ownMessages_ = std::make_unique<QtMessages>(this);
        messages_ = ownMessages_.get();
    }
    buildImageList();
    buildMenus();
    buildWindows();
    buildToolbars();
    applyLayout();
    connectMapView();
    resize(px(kDesignInnerWidth), py(kDesignInnerHeight) + menuBar()->sizeHint().height());
    connectShell();
    connectCommands(*this);
    refreshCommandStates();
}

MainForm::~MainForm() {
    // The model state outlives the window.
    state_.run_lock.removeListener(runLockListener_);
}

void MainForm::connectShell() {
    tree_ = std::make_unique<ProjectTree>(TreeView1, MapControl2->map(), *messages_);
    buildTreeMenus();
    for (auto& [name, action] : menuItems_) {
        wanted_[action] = action->isEnabled();
        if (action->menu()) continue;
        const std::string item = name;
        actionCommand_[action] = CommandTable::forMenuItem(item);
        QObject::connect(action, &QAction::triggered, this, [this, item] { menuItem_Click(item); });
    }
    // The map toolbar's clicks are connected with the map view.
    for (int t = 0; t < 2; ++t) {
        for (auto& [key, action] : toolbarButtons_[t]) {
            wanted_[action] = action->isEnabled();
            action->setCheckable(true);
            if (t == 1) continue;
            const std::string k = key;
            actionCommand_[action] = CommandTable::forProjectButton(k);
            QObject::connect(action, &QAction::triggered, this, [this, k] { Toolbar1_ButtonClick(k); });
        }
    }
    // The settings item serves whichever model is active.
    if (QAction* a = menuItem("Chgset")) actionCommand_[a] = "wv_property|fm_property";
    TreeView1->viewport()->installEventFilter(this);
    List1->viewport()->installEventFilter(this);
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    runLockListener_ = state_.run_lock.addListener([this](bool active) { onRunLock(active); });
}

bool MainForm::actionAvailable(QAction* action) const {
    auto it = actionCommand_.find(action);
    if (it == actionCommand_.end() || it->second.empty()) return true;
    const std::string& names = it->second;
    for (size_t start = 0; start <= names.size();) {
        const size_t bar = std::min(names.find('|', start), names.size());
        if (commands_.available(names.substr(start, bar - start))) return true;
        start = bar + 1;
    }
    return false;
}

void MainForm::updateAction(QAction* action) {
    auto it = wanted_.find(action);
    const bool wanted = it == wanted_.end() ? action->isEnabled() : it->second;
    action->setEnabled(wanted && !runLocked_ && actionAvailable(action));
}

void MainForm::refreshCommandStates() {
    for (auto& [action, wanted] : wanted_) updateAction(action);
}

void MainForm::onRunLock(bool active) {
    // Only the progress window's Cancel stays usable while a run goes on.
    runLocked_ = active;
    refreshCommandStates();
    TreeView1->setEnabled(!active);
    List1->setEnabled(!active);
    // A tick would reorder the map's layers under the run.
    Check1->setEnabled(!active);
    // The menu titles too, so that no menu opens at all.
    if (active) {
        menusBeforeRun_.clear();
        for (QAction* a : menuBar()->actions()) {
            menusBeforeRun_[a] = a->isEnabled();
            a->setEnabled(false);
        }
    } else {
        for (QAction* a : menuBar()->actions())
            if (auto it = menusBeforeRun_.find(a); it != menusBeforeRun_.end()) a->setEnabled(it->second);
        menusBeforeRun_.clear();
    }
    // Tool windows left open beside the main window (the index-file tool,
    // the water level) would start work or change the run's inputs.
    if (active) {
        greyedForRun_.clear();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top == this || top == progress_ || !top->isVisible() || !top->isEnabled()) continue;
            if (!qobject_cast<QDialog*>(top)) continue;
            top->setEnabled(false);
            greyedForRun_.emplace_back(top);
        }
    } else {
        for (const QPointer<QWidget>& top : greyedForRun_)
            if (top) top->setEnabled(true);
        greyedForRun_.clear();
    }
}

int MainForm::showModal(QDialog& dialog) {
    return modalRunner_ ? modalRunner_(dialog) : platform::ui::runModal(dialog);
}

bool MainForm::projectOpen() const { return tree_ && tree_->nodeCount() > 0; }

platform::gis::Map& MainForm::map() { return MapControl2->map(); }

int MainForm::px(float twips) const { return qRound(twips * logicalDpiX() / 1440.0f); }
int MainForm::py(float twips) const { return qRound(twips * logicalDpiY() / 1440.0f); }
float MainForm::tx(int pixels) const { return pixels * 1440.0f / logicalDpiX(); }
float MainForm::ty(int pixels) const { return pixels * 1440.0f / logicalDpiY(); }

void MainForm::buildImageList() {
    // QGIS's own pictures, so that the tools look as in any GIS; a picture
    // the library lacks falls back to the style's or to a letter.
    struct Picture {
        const char* key;
        const char* theme;
        QStyle::StandardPixmap fallback;
    };
    static const Picture pictures[] = {
        {"print", "mActionFilePrint.svg", QStyle::SP_CustomBase},
        {"open", "mActionFileOpen.svg", QStyle::SP_DialogOpenButton},
        {"stop", "mActionStop.svg", QStyle::SP_MediaStop},
        {"save", "mActionFileSave.svg", QStyle::SP_DialogSaveButton},
        {"new", "mActionFileNew.svg", QStyle::SP_FileIcon},
        {"runon", "mTaskRunning.svg", QStyle::SP_MediaSeekForward},
        {"runoff", "mActionStart.svg", QStyle::SP_MediaPlay},
        {"copy", "mActionEditCopy.svg", QStyle::SP_CustomBase},
        {"delete", "mActionRemove.svg", QStyle::SP_TrashIcon},
        {"shore", "mIconPolygonLayer.svg", QStyle::SP_CustomBase},
        {"drawpoly", "mIconPointLayer.svg", QStyle::SP_CustomBase},
        {"bathy", "mIconRasterLayer.svg", QStyle::SP_CustomBase},
        {"addpoint", "mActionCapturePoint.svg", QStyle::SP_CustomBase},
        {"wind", "north_arrow.svg", QStyle::SP_CustomBase},
        {"zoomin", "mActionZoomIn.svg", QStyle::SP_CustomBase},
        {"zoomout", "mActionZoomOut.svg", QStyle::SP_CustomBase},
        {"zoomselect", "mActionZoomToArea.svg", QStyle::SP_CustomBase},
        {"pan", "mActionPan.svg", QStyle::SP_CustomBase},
        {"fullextent", "mActionZoomFullExtent.svg", QStyle::SP_CustomBase},
        {"pointer", "mActionSelect.svg", QStyle::SP_ArrowUp},
        {"identify", "mActionIdentify.svg", QStyle::SP_MessageBoxInformation},
    };
    for (const Picture& pic : pictures) {
        QIcon icon = QgsApplication::getThemeIcon(QStringLiteral("/") + QLatin1String(pic.theme));
        if (icon.isNull() || icon.pixmap(16, 16).isNull())
            icon = pic.fallback != QStyle::SP_CustomBase ? style()->standardIcon(pic.fallback)
                                                         : glyphIcon(QString(QLatin1Char(pic.key[0])).toUpper());
        ImageList1_[pic.key] = icon;
    }
}

void MainForm::buildMenus() {
    auto addItem = [this](QMenu* menu, const ItemDef& def) {
        auto* action = new QAction(menu);
        action->setObjectName(QString::fromLatin1(def.name));
        if (std::string(def.caption) == "-") {
            action->setSeparator(true);
        } else {
            action->setText(QString::fromLatin1(def.caption));
            if (*def.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(def.shortcut)));
        }
        action->setEnabled(def.design == Design::Normal);
        action->setVisible(def.design != Design::HiddenDisabled);
        menu->addAction(action);
        menuItems_[def.name] = action;
    };
    for (const MenuDef& m : menuTree()) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        menus_[m.name] = menu;
        for (const ItemDef& item : m.items) {
            if (std::string(item.name) == "Zoom") {
                QMenu* zoom = menu->addMenu(QString::fromLatin1(item.caption));
                zoom->setObjectName(QStringLiteral("Zoom"));
                zoom->menuAction()->setObjectName(QStringLiteral("Zoom"));
                menus_["Zoom"] = zoom;
                menuItems_["Zoom"] = zoom->menuAction();
                for (const ItemDef& z : zoomItems()) addItem(zoom, z);
            } else {
                addItem(menu, item);
            }
        }
    }
}

void MainForm::buildToolbars() {
    Toolbar1 = new QToolBar(central_);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar2 = new QToolBar(Toolbar1);
    Toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    Toolbar2->setIconSize(QSize(16, 16));
    Toolbar2->setMovable(false);
    Toolbar2->setFloatable(false);
    // Inside the project toolbar it needs no frame of its own, or its
    // pictures shrink to fit the project toolbar's height.
    Toolbar2->setStyleSheet(QStringLiteral("QToolBar { border: 0px; padding: 0px; margin: 0px; spacing: 0px; }"));

    auto fill = [](QToolBar* bar, const std::vector<ButtonDef>& defs, std::map<std::string, QAction*>& keyed) {
        for (const ButtonDef& b : defs) {
            if (!b.key) {
                bar->addSeparator();
                continue;
            }
            auto* action = new QAction(bar);
            action->setObjectName(QString::fromLatin1(b.key));
            // The key stays the action's name; the user sees the caption.
            action->setText(QString::fromLatin1(b.caption));
            action->setToolTip(QString::fromLatin1(b.caption));
            bar->addAction(action);
            keyed[b.key] = action;
        }
    };
    fill(Toolbar1, kProjectButtons, toolbarButtons_[0]);
    fill(Toolbar2, kMapButtons, toolbarButtons_[1]);
    // The map toolbar sits inside the project toolbar, after its buttons.
    Toolbar1->addWidget(Toolbar2);
}

void MainForm::buildWindows() {
    central_ = new QWidget(this);
    central_->setObjectName(QStringLiteral("MainFormClient"));
    setCentralWidget(central_);

    Frame1 = new QGroupBox(QStringLiteral("Project WIndow"), central_);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    List1 = new QListWidget(Frame1);
    List1->setObjectName(QStringLiteral("List1"));
    Frame3 = new QFrame(Frame1);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Check1 = new QCheckBox(QStringLiteral("Bathymetry on top"), Frame3);
    Check1->setObjectName(QStringLiteral("Check1"));

    // The tree lies over the project window's upper part without being
    // part of it.
    TreeView1 = new QTreeWidget(central_);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    // Long dataset names scroll sideways instead of being cut.
    TreeView1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TreeView1->header()->setStretchLastSection(false);

    Frame2 = new QGroupBox(QStringLiteral("Display Window"), central_);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    MapControl2 = new MapView(Frame2);
    canceladdpt = new QPushButton(QStringLiteral("Cancel"), Frame2);
    canceladdpt->setObjectName(QStringLiteral("canceladdpt"));
    canceladdpt->setEnabled(false);
    canceladdpt->setVisible(false);
    refresher = new QPushButton(QStringLiteral("Build"), Frame2);
    refresher->setObjectName(QStringLiteral("refresher"));
    refresher->setEnabled(false);
    refresher->setVisible(false);

    Frame4 = new QFrame(central_);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Label1 = new QLabel(Frame4);
    Label1->setObjectName(QStringLiteral("Label1"));
    StatusBar1 = new QStatusBar(Frame4);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new StatusPanel(px(kPanelWidths[i]), StatusBar1);
        panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        StatusBar1->addWidget(panels_[i]);
    }

    Label2 = new QLabel(central_);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAutoFillBackground(true);
    Label2->setBackgroundRole(QPalette::Button);
    Label2->setCursor(Qt::SizeVerCursor);

    lblHorDrag = new QLabel(central_);
    lblHorDrag->setObjectName(QStringLiteral("lblHorDrag"));
    lblHorDrag->setCursor(Qt::SizeHorCursor);
    lblHorDrag->installEventFilter(this);

    central_->installEventFilter(this);
}

void MainForm::applyLayout() {
    auto place = [this](QWidget* w, const TwipRect& r) {
        if (w) w->setGeometry(px(r.Left), py(r.Top), px(r.Width), py(r.Height));
    };
    // The project window is never narrower than the "Bathymetry on top"
    // caption: the splitter stands where that caption shows whole.
    if (Check1) {
        const float needed = layout_.Check1.Left + tx(Check1->sizeHint().width()) + 60;
        if (layout_.Frame3.Width < needed) widenProjectPane(layout_, std::ceil(needed - layout_.Frame3.Width));
    }
    const MainLayout& l = layout_;
    place(Toolbar1, l.Toolbar1);
    place(Frame1, l.Frame1);
    place(List1, l.List1);
    place(Frame3, l.Frame3);
    place(Check1, l.Check1);
    // The caption must stay readable in fonts wider than the designed one.
    if (Check1 && Frame3 && Check1->sizeHint().width() > Check1->width())
        Check1->resize(std::min(Check1->sizeHint().width(), Frame3->width() - Check1->x()), Check1->height());
    if (Check1 && Frame3 && Check1->sizeHint().height() > Check1->height()) {
        const int h = std::min(Check1->sizeHint().height(), Frame3->height());
        Check1->setGeometry(Check1->x(), std::min(Check1->y(), Frame3->height() - h), Check1->width(), h);
    }
    place(TreeView1, l.TreeView1);
    place(Frame2, l.Frame2);
    place(canceladdpt, l.canceladdpt);
    place(refresher, l.refresher);
    place(MapControl2, l.MapControl2);
    place(Frame4, l.Frame4);
    place(StatusBar1, l.StatusBar1);
    place(Label1, l.Label1);
    fitStatusBar();
    place(Label2, l.Label2);
    place(lblHorDrag, l.lblHorDrag);
    if (TreeView1) TreeView1->raise();
}

void MainForm::fitStatusBar() {
    if (!StatusBar1 || !Frame4 || !Label1) return;
    // The bar keeps its right edge and grows to the left, up to the status
    // label's text, until every panel shows its whole text.
    const TwipRect& r = layout_.StatusBar1;
    const int right = px(r.Left + r.Width);
    const int designLeft = px(r.Left);
    // The status label keeps room for the longest text it shows.
    const int labelRight = px(layout_.Label1.Left) + Label1->fontMetrics().horizontalAdvance(kRunningModel) + 12;
    // The bar's own hint lags behind its panels' new texts: add them up,
    // with room for the bar's margins and the gaps between panels.
    int wanted = 2 * 4 + 3 * 8;
    for (StatusPanel* p : panels_) wanted += p->sizeHint().width();
    const int left = std::min(designLeft, std::max(labelRight, right - wanted));
    StatusBar1->setGeometry(left, py(r.Top), right - left, py(r.Height));
}

float MainForm::innerWidthTwips() const { return tx(central_->width()); }

void MainForm::Form_Resize() {
    if (inLayout_) return;
    inLayout_ = true;
    try {
        const float outerWidth = tx(central_->width()) + kFrameExtraWidth;
        const float outerHeight = ty(central_->height()) + kFrameExtraHeight;
        const ResizeResult r = formResize(layout_, isMinimized(), outerWidth, outerHeight);
        if (r.ran) {
            applyLayout();
            if (r.snapped)
                resize(px(r.outerWidth - kFrameExtraWidth),
                       py(r.outerHeight - kFrameExtraHeight) + menuBar()->height());
        }
    } catch (...) {
        // A refused size ends the pass; what was placed stays placed.
    }
    inLayout_ = false;
}

void MainForm::lblHorDrag_MouseMove(int button, float x) {
    if (splitterDrag(layout_, button, x, innerWidthTwips())) applyLayout();
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == TreeView1->viewport() || watched == List1->viewport())) {
        auto* me = static_cast<QMouseEvent*>(event);
        const int button = me->button() == Qt::LeftButton ? 1 : me->button() == Qt::RightButton ? 2 : 0;
        if (watched == TreeView1->viewport()) {
            TreeView1_MouseDown(button, me->pos());
            // A right press selects without starting an edit or a drag.
            if (button == 2) return true;
        } else {
            List1_MouseDown(button);
            if (button == 2) return true;
        }
    }
    if (watched == central_ && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == lblHorDrag && event->type() == QEvent::MouseMove) {
        auto* me = static_cast<QMouseEvent*>(event);
        const int button = me->buttons() == Qt::LeftButton ? 1 : static_cast<int>(me->buttons() & 0x7);
        lblHorDrag_MouseMove(button, tx(me->pos().x()));
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::changeEvent(QEvent* event) {
    // Restoring from the minimized state runs a full pass even when the
    // size has not changed.
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) Form_Resize();
    QMainWindow::changeEvent(event);
}

void MainForm::showEvent(QShowEvent* event) {
    if (!loaded_) Form_Load(StartupEnvironment::fromSystem());
    QMainWindow::showEvent(event);
}

StartupOutcome MainForm::Form_Load(const StartupEnvironment& env) {
    loaded_ = true;
    return runStartup({state_, form_, holder_}, store_, *messages_, *this, env);
}

void MainForm::showcoords(int32_t x, int32_t y) { messages_->message(std::to_string(x) + " " + std::to_string(y)); }

void MainForm::minimiseForRun(bool minimise) {
    if (minimise) {
        if (!minimisedForRun_) stateBeforeRun_ = windowState() & ~(Qt::WindowMinimized | Qt::WindowActive);
        minimisedForRun_ = true;
        showMinimized();
    } else if (minimisedForRun_ || isMinimized()) {
        minimisedForRun_ = false;
        setWindowState(stateBeforeRun_);
        show();
        raise();
        activateWindow();
    }
}

Form1& MainForm::progressForm() {
    if (!progress_) progress_ = new Form1(state_, form_, this);
    return *progress_;
}

QMenu* MainForm::menu(const std::string& name) const {
    auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

QAction* MainForm::menuItem(const std::string& name) const {
    auto it = menuItems_.find(name);
    return it == menuItems_.end() ? nullptr : it->second;
}

QAction* MainForm::toolbarButton(int toolbar, const std::string& key) const {
    if (toolbar != kProjectToolbar && toolbar != kMapToolbar) return nullptr;
    const auto& keyed = toolbarButtons_[toolbar - 1];
    auto it = keyed.find(key);
    return it == keyed.end() ? nullptr : it->second;
}

QString MainForm::statusPanel(int panel) const {
    if (panel < 1 || panel > 4) return {};
    return panels_[panel - 1]->fullText();
}

PixelSize MainForm::screenSize() const {
    const QScreen* s = screen();
    if (!s) s = QGuiApplication::primaryScreen();
    if (!s) return {};
    const QRect g = s->geometry();
    return {g.width(), g.height()};
}

PixelSize MainForm::windowSize() const {
    const QRect g = frameGeometry();
    return {g.width(), g.height()};
}

void MainForm::moveWindow(int left, int top) { move(left, top); }

void MainForm::setStatusPanel(int panel, const std::string& text) {
    if (panel < 1 || panel > 4) throw std::out_of_range("no such status panel");
    panels_[panel - 1]->setFullText(QString::fromStdString(text));
    fitStatusBar();
}

void MainForm::setMenuItemEnabled(const std::string& name, bool enabled) {
    QAction* a = menuItem(name);
    if (!a) throw std::out_of_range("no such menu item: " + name);
    wanted_[a] = enabled;
    updateAction(a);
}

bool MainForm::hasToolbarButton(int toolbar, const std::string& key) const {
    return toolbarButton(toolbar, key) != nullptr;
}

void MainForm::setToolbarButtonEnabled(int toolbar, const std::string& key, bool enabled) {
    QAction* a = toolbarButton(toolbar, key);
    if (!a) throw std::out_of_range("no such toolbar button: " + key);
    wanted_[a] = enabled;
    updateAction(a);
}

void MainForm::setToolbarButtonImage(int toolbar, const std::string& key, const std::string& image) {
    QAction* a = toolbarButton(toolbar, key);
    auto it = ImageList1_.find(image);
    if (!a || it == ImageList1_.end()) throw std::out_of_range("no such toolbar picture: " + image);
    a->setIcon(it->second);
    toolbarImages_[toolbar - 1][key] = image;
}

void MainForm::setMapName(const std::string& name) {
    mapName_ = name;
    MapControl2->setProperty("mapName", QString::fromStdString(name));
}

}  // namespace quor::app
