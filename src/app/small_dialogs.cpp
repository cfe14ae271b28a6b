#include "app/small_dialogs.h"
#include "platform/ui/dialog_buttons.h"

#include <ogr_spatialref.h>
#include <proj.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>

#include "app/qgis_runtime.h"

namespace quor::app {

namespace {

// Twips to pixels at the screen's resolution.
int tw(const QWidget& w, float twips) { return qRound(twips * w.logicalDpiX() / 1440.0f); }

void place(QWidget* child, float left, float top, float width, float height) {
    const QWidget& ref = *child;
    child->setGeometry(tw(ref, left), tw(ref, top), tw(ref, width), tw(ref, height));
}

QPixmap picture(int w, int h, const QString& text) {
    QPixmap pm(w, h);
    pm.fill(QColor(225, 238, 245));
    QPainter p(&pm);
    p.setPen(QColor(0, 90, 120));
    QFont f = p.font();
    f.setPixelSize(std::max(10, h / 4));
    f.setBold(true);
    // The text shrinks until it fits the banner's width with a margin.
    while (f.pixelSize() > 6 && QFontMetrics(f).horizontalAdvance(text) > w - w / 10)
        f.setPixelSize(f.pixelSize() - 1);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, text);
    return pm;
}

}  // namespace

void centreOnReference(QWidget& w, const model::MainFormState& form) {
    w.move(form.xscreen / 2 - w.width() / 2, form.yscreen / 2 - w.height() / 2);
}

std::vector<std::string> projectionLines(const platform::gis::SpatialReference& sr) {
    std::vector<std::string> lines;
    if (sr.isNone()) return lines;
    if (sr.isProjected())
        lines.push_back("Projected coordinate system");
    else if (sr.isGeographic())
        lines.push_back("Geographic coordinate system");
    lines.push_back(sr.name());
    // Remarks, as the coordinate system's definition carries them.
    std::string remarks;
    if (PJ* pj = proj_create(nullptr, sr.wkt().c_str())) {
        if (const char* r = proj_get_remarks(pj)) remarks = r;
        proj_destroy(pj);
    }
    lines.push_back(remarks);
    // Abbreviation: the authority's short code, e.g. "EPSG:32755".
    std::string abbreviation;
    if (const OGRSpatialReference* o = sr.ogr()) {
        const char* auth = o->GetAuthorityName(nullptr);
        const char* code = o->GetAuthorityCode(nullptr);
        if (auth && code) abbreviation = std::string(auth) + ":" + code;
    }
    lines.push_back(abbreviation);
    // Alias: the same system under its ESRI name.
    std::string alias;
    if (const OGRSpatialReference* o = sr.ogr()) {
        char* wkt = nullptr;
        const char* options[] = {"FORMAT=WKT1_ESRI", nullptr};
        if (o->exportToWkt(&wkt, options) == OGRERR_NONE && wkt) {
            const std::string text = wkt;
            const auto open = text.find("[\"");
            const auto close = open == std::string::npos ? open : text.find('"', open + 2);
            if (close != std::string::npos) alias = text.substr(open + 2, close - open - 2);
        }
        CPLFree(wkt);
    }
    lines.push_back(alias);
    return lines;
}

proj_prop::proj_prop(const model::MainFormState& form, QWidget* parent) : QDialog(parent), form_(form) {
    setObjectName(QStringLiteral("proj_prop"));
    setWindowTitle(QStringLiteral("  Projection Properties"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(*this, 5295), tw(*this, 3615));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    place(List1, 120, 120, 5055, 2775);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 2040, 3000, 1215, 375);
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Form_Load();
}

void proj_prop::Form_Load() { centreOnReference(*this, form_); }
void proj_prop::Command1_Click() { close(); }

void showprojection(const platform::gis::SpatialReference& sr, platform::Messages& messages,
                    const model::MainFormState& form, QWidget* parent, QPointer<proj_prop>& dialog) {
    if (sr.isNone()) {
        messages.message("Shapefile doesn't have spatial reference", platform::MessageIcon::Critical);
        return;
    }
    if (!dialog) dialog = new proj_prop(form, parent);
    for (const std::string& line : projectionLines(sr)) dialog->List1->addItem(QString::fromStdString(line));
    dialog->show();
}

About::About(const model::MainFormState& form, QWidget* parent) : QDialog(parent), form_(form) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("  About Quor"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(*this, 4800), tw(*this, 7380));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    place(Image1, 120, 120, 4560, 900);
    Image1->setPixmap(picture(Image1->width(), Image1->height(), QStringLiteral("Quor")));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setText(QStringLiteral("Quor\nWave exposure of coastal sites\nVersion 1.0\n\n"
                                   "Created for coastal scientists.\n"
                                   "Model and software designed by the Quor developers."));
    place(Label1, 120, 1140, 4560, 2300);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setText(QStringLiteral("Date Compiled:  3/25/2010\nCompiled for ") +
                    QString::fromStdString(gisLibraryVersions()));
    place(Label2, 120, 3500, 4560, 1300);
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 1800, 6840, 1215, 375);
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Form_Load();
}

void About::Form_Load() {
    centreOnReference(*this, form_);
    place(Image2, 120, 4920, 4560, 1820);
    Image2->setPixmap(picture(Image2->width(), Image2->height(), QStringLiteral("Coastal wave exposure")));
}

void About::Command1_Click() { close(); }

Form2::Form2(std::function<void()> showMain, QWidget* parent) : QDialog(parent), showMain_(std::move(showMain)) {
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(*this, 9600), tw(*this, 6600));
    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    place(Picture1, 0, 0, 9600, 6600);
    Picture1->setPixmap(picture(Picture1->width(), Picture1->height(), QStringLiteral("Quor")));
    Frame1 = new QGroupBox(QStringLiteral("Disclaimer"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    place(Frame1, 4920, 240, 4500, 5400);
    Label7 = new QLabel(QStringLiteral("\"NOT FOR USE INVOLVING HUMAN SAFETY AND WELFARE.\""), Frame1);
    Label7->setWordWrap(true);
    place(Label7, 120, 300, 4260, 500);
    const QString consent = QStringLiteral(
        "By using this software tool, you indicate your awareness of and consent to the following terms and "
        "conditions of use:");
    Label6 = new QLabel(consent, Frame1);
    Label6->setWordWrap(true);
    place(Label6, 120, 840, 4260, 700);
    Label4 = new QLabel(consent, Frame1);
    Label4->setWordWrap(true);
    Label4->hide();  // a second copy of the same caption lies under the first
    place(Label4, 120, 840, 4260, 700);
    Label5 = new QLabel(QStringLiteral(
                            "Information provided from this software tool is NOT intended to be used for decisions "
                            "involving human safety and welfare risks. The developers of this program and their "
                            "organisation accept no liability for any end use of the software. Please label all "
                            "output produced with it as coming from this tool."),
                        Frame1);
    Label5->setWordWrap(true);
    place(Label5, 120, 1600, 4260, 2300);
    Option1[0] = new QRadioButton(QStringLiteral("I Accept"), Frame1);
    place(Option1[0], 360, 4000, 1800, 300);
    Option1[1] = new QRadioButton(QStringLiteral("I Decline"), Frame1);
    place(Option1[1], 2400, 4000, 1800, 300);
    Command1 = new QPushButton(QStringLiteral("OK"), Frame1);
    place(Command1, 1560, 4560, 1215, 375);
    Label3 = new QLabel(QStringLiteral("The Quor developers"), this);
    place(Label3, 240, 5880, 4500, 300);
    Label2 = new QLabel(QStringLiteral("  V 4.0"), this);
    place(Label2, 240, 5400, 1500, 300);
    const char* letters[4] = {"Q", "U", "O", "R"};
    for (int i = 0; i < 4; ++i) {
        Label1[i] = new QLabel(QString::fromLatin1(letters[i]), this);
        place(Label1[i], 480 + i * 960, 1200, 900, 900);
    }
    Line1 = new QFrame(this);
    Line1->setFrameShape(QFrame::VLine);
    place(Line1, 4680, 240, 15, 6000);
    Line2 = new QFrame(this);
    Line2->setFrameShape(QFrame::HLine);
    place(Line2, 240, 5280, 4300, 15);
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Form_Load();
}

QString Form2::logoPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/VelmPleth.bmp"); }

void Form2::Form_Load() {
    // Neither choice is made for the user.
    for (QRadioButton* o : Option1) {
        o->setAutoExclusive(false);
        o->setChecked(false);
        o->setAutoExclusive(true);
    }
}

void Form2::Command1_Click() {
    if (!(Option1[0]->isChecked() && !Option1[1]->isChecked())) {
        close();
        return;
    }
    if (QFile::exists(logoPath())) Picture1->setPixmap(QPixmap(logoPath()));
    Picture1->setAutoFillBackground(true);
    Picture1->setBackgroundRole(QPalette::Base);
    Label3->hide();
    Line1->setGeometry(tw(*this, 4800), Line1->y(), Line1->width(), Line1->height());
    Picture1->repaint();
    Option1[0]->hide();
    Option1[1]->hide();
    Command1->hide();
    Frame1->hide();
    repaint();
    // A short pause with only the picture showing, without blocking the
    // event loop, then the main window.
    QTimer::singleShot(1500, this, [this] {
        auto showMain = showMain_;
        close();
        if (showMain) showMain();
    });
}

MDIForm1::MDIForm1(std::function<void()> showProgress, QWidget* parent)
    : QMainWindow(parent), showProgress_(std::move(showProgress)) {
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Quor - Wave Exposure of Coastal Sites"));
    struct Menu {
        const char* title;
        std::vector<const char*> items;
    };
    const std::vector<Menu> menus = {
        {"File",
         {"New Project...", "Open Project...", "Close Project", "Delete All", "Save Project", "Save Project As...",
          "Print", "Print Setup...", "Exit"}},
        {"Data", {"Add Bathymetry Coverage", "Add Shoreline Coverage", "Add Point Coverage", "Fetch", "Tide"}},
        {"Display",
         {"Open Coverage...", "Export Coverage As Image...", "Open Surface...", "Export Surface As Image...", "Zoom",
          "Refresh"}},
        {"Help", {"Contents", "About Quor...", "Website"}},
    };
    for (const Menu& m : menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.title));
        if (!popup_) popup_ = menu;
        for (const char* item : m.items) {
            const QString text = QString::fromLatin1(item);
            if (text == QLatin1String("Zoom")) {
                QMenu* zoom = menu->addMenu(text);
                for (const char* z : {"Zoom In", "Zoom Out", "Full Extent"}) zoom->addAction(QString::fromLatin1(z));
                continue;
            }
            QAction* a = menu->addAction(text);
            if (text == QLatin1String("New Project...")) connect(a, &QAction::triggered, this, [this] { Newpr_Click(); });
            if (text == QLatin1String("Open Project...")) connect(a, &QAction::triggered, this, [this] { Openpr_Click(); });
        }
    }
    Toolbar3 = addToolBar(QStringLiteral("Toolbar3"));
    Toolbar3->setObjectName(QStringLiteral("Toolbar3"));
    for (const char* tip : {"New Project", "Open Project", "Save Project", "Print", "Add Shoreline", "Add Bathymetry",
                            "Add Point Coverage", "Refresh", "Zoom In", "Zoom Out", "Full Extent", "Zoom Select"}) {
        QAction* a = Toolbar3->addAction(QString::fromLatin1(tip).left(1));
        a->setToolTip(QString::fromLatin1(tip));
    }
    MDIForm_Load();
}

void MDIForm1::MDIForm_Load() {
    // Loaded, not shown.
    form2_ = new Form2({}, this);
}

void MDIForm1::Newpr_Click() {
    if (showProgress_) showProgress_();
}

void MDIForm1::Openpr_Click() {
    // The chosen file is not used.
    QFileDialog::getOpenFileName(this, QStringLiteral("Open"));
}

void MDIForm1::mouseReleaseEvent(QMouseEvent* event) {
    // The File menu pops up at the pointer; its items answer the right button too.
    if (event->button() == Qt::RightButton && popup_) popup_->popup(event->globalPos());
    QMainWindow::mouseReleaseEvent(event);
}

}  // namespace quor::app
