#include "wind/ui/windanly.h"
#include "platform/ui/dialog_buttons.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/numbers.h"
#include "wind/ui/rwe_text_hooks.h"
#include "wind/ui/threaded_fetcher.h"
#include "wind/ui/wind_pt.h"
#include "wind/wind_datetime.h"

namespace quor::wind {

namespace {

const char* kSettingsApp = "Quor3";

const char* const kStations[] = {
    "clkn7, Cape Lookout NC",  "tplm2, Thomas Point MD",   "chlv2, Chesapeake Light VA", "ducn7, Duck Pier NC",
    "dsln7, Diamond Shoal NC", "venf1, Venice FL",         "fwyf1, Fowey Rocks, FL",     "mlrf1, Molasses Reef, FL",
    "lonf1, Long Key, FL",     "smkf1, Sombrero Key, FL",  "sanf1, Sand Key, FL",        "dryf1, Dry Tortugas, FL",
    "egkf1, Egmont Key, FL",   "ttiw1, Tatoosh Island WA", "sisw1, Smith Island WA",     "blia2, Bligh Reef Light AK"};

std::optional<int16_t> listNumber(const QComboBox* box) {
    return platform::parseInt16(box->currentText().toStdString());
}

}  // namespace

windanly::windanly(WindanlyEnv env, QWidget* parent) : QDialog(parent), env_(std::move(env)) {
    if (!env_.fetcher) env_.fetcher = std::make_shared<ThreadedYearFetcher>(std::make_shared<HttpYearFetcher>());
    if (!env_.chooser) env_.chooser = std::make_shared<ui::QtSavePathChooser>(this);
    if (!env_.rweAnalysis && !env_.localFileCall && !env_.showColumnChooser)
        ui::connectRweTextHooks(env_, std::make_shared<WindTextChoice>(), [this] { return this; });
    if (!env_.showSummary) {
        // The display outlives this dialog, which closes once the analysis ends.
        env_.showSummary = [this] {
            auto* display = new ui::WindPtForm(env_.holder, parentWidget());
            display->setAttribute(Qt::WA_DeleteOnClose);
            display->show();
        };
    }
    setWindowTitle(QStringLiteral("  Wind Analysis"));

    auto* top = new QVBoxLayout(this);
    Label1[0] = new QLabel(QStringLiteral("Select Station to downlaod data from Kobu website"), this);
    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    Label1[1] = new QLabel(QStringLiteral("Type Station name for metadata (optional)"), this);
    Text1 = new QLineEdit(this);
    top->addWidget(Label1[0]);
    top->addWidget(Combo1);
    top->addWidget(Label1[1]);
    top->addWidget(Text1);

    Frame3 = new QGroupBox(QStringLiteral("Web download"), this);
    auto* grid = new QGridLayout(Frame3);
    const char* startCaptions[] = {"Start Year (Included)", "Month", "Day", "Hour"};
    const char* endCaptions[] = {"End Year (Included)", "Month", "Day", "Hour"};
    for (int i = 0; i < 4; ++i) {
        Combo2[i] = new QComboBox(Frame3);
        Combo3[i] = new QComboBox(Frame3);
        grid->addWidget(new QLabel(QString::fromLatin1(startCaptions[i]), Frame3), 0, i);
        grid->addWidget(Combo2[i], 1, i);
        grid->addWidget(new QLabel(QString::fromLatin1(endCaptions[i]), Frame3), 2, i);
        grid->addWidget(Combo3[i], 3, i);
    }
    top->addWidget(Frame3);

    top->addWidget(new QLabel(QStringLiteral("Choose the top percentage of wind speed for analysis"), this));
    auto* sliderRow = new QHBoxLayout;
    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setRange(0, 100);
    Label5 = new QLabel(this);
    sliderRow->addWidget(Slider1);
    sliderRow->addWidget(Label5);
    top->addLayout(sliderRow);
    connect(Slider1, &QSlider::valueChanged, this,
            [this](int v) { Label5->setText(QString::number(v) + QStringLiteral(" %")); });

    auto* note = new QLabel(
        QStringLiteral("All wind data come from the Kobu web site. So please make sure whether data are available for "
                       "the station for the particular years before running the analysis. Link is provided in Wind "
                       "menu."),
        this);
    note->setWordWrap(true);
    top->addWidget(note);

    Label4 = new QLabel(this);
    Animation1 = new QProgressBar(this);
    Animation1->setRange(0, 0);  // an endless busy indicator
    Animation1->setTextVisible(false);
    top->addWidget(Label4);
    top->addWidget(Animation1);

    Command3 = new QPushButton(QStringLiteral("For analyzing wind data text file on your local drive, click here"), this);
    top->addWidget(Command3);
    auto* buttons = new QHBoxLayout;
    Command1 = new QPushButton(QStringLiteral("Analyze Wind Data"), this);
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    top->addLayout(buttons);
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });

    Form_Load();
}

windanly::~windanly() = default;

void windanly::Form_Load() {
    if (env_.form.xscreen > 0 && env_.form.yscreen > 0) {
        adjustSize();
        move(env_.form.xscreen / 2 - width() / 2, env_.form.yscreen / 2 - height() / 2);
    }
    Label4->clear();
    Animation1->hide();
    setLocalFileLayout(false);
    for (const char* s : kStations) Combo1->addItem(QString::fromLatin1(s));
    for (int y = 1984; y <= 2006; ++y) Combo2[0]->addItem(QString::number(y));
    for (int y = 1984; y <= 2006; ++y) Combo3[0]->addItem(QString::number(y));
    for (int m = 1; m <= 12; ++m) {
        Combo2[1]->addItem(QString::number(m));
        Combo3[1]->addItem(QString::number(m));
    }
    for (int d = 1; d <= 31; ++d) {
        Combo2[2]->addItem(QString::number(d));
        Combo3[2]->addItem(QString::number(d));
    }
    for (int h = 0; h <= 23; ++h) {
        Combo2[3]->addItem(QString::number(h));
        Combo3[3]->addItem(QString::number(h));
    }
    Combo1->setCurrentText(QString::fromStdString(env_.state.buoy_station));
    // Lists that are not editable show a preset text only when it is one of their entries.
    auto preset = [](QComboBox* box, const QString& text) {
        const int i = box->findText(text);
        if (i >= 0) box->setCurrentIndex(i);
    };
    preset(Combo2[0], QStringLiteral("1995"));
    preset(Combo3[0], QStringLiteral("2002"));
    preset(Combo2[1], QStringLiteral("1"));
    preset(Combo3[1], QStringLiteral("12"));
    preset(Combo2[2], QStringLiteral("1"));
    preset(Combo3[2], QStringLiteral("31"));
    preset(Combo2[3], QStringLiteral("0"));
    preset(Combo3[3], QStringLiteral("23"));
    const bool rwe = env_.state.model_mode == model::RWE_MODE;
    Command3->setVisible(rwe);
    Command3->setEnabled(rwe);
    env_.state.wind_webflag = true;
    Slider1->setValue(5);
    Label5->setText(QStringLiteral("5 %"));
}

void windanly::setLocalFileLayout(bool local) {
    Combo1->setVisible(!local);
    Label1[0]->setVisible(!local);
    Combo1->setEnabled(!local);
    Text1->setVisible(local);
    Label1[1]->setVisible(local);
    Text1->setEnabled(local);
    Frame3->setTitle(local ? QStringLiteral("Date range") : QStringLiteral("Web download"));
}

void windanly::setInputsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(Command2), static_cast<QWidget*>(Command1),
                       static_cast<QWidget*>(Combo1)})
        w->setEnabled(enabled);
    for (int i = 0; i < 4; ++i) {
        Combo2[i]->setEnabled(enabled);
        Combo3[i]->setEnabled(enabled);
    }
    if (Combo1->isHidden()) Combo1->setEnabled(false);
}

void windanly::setBusyPointer(bool busy) {
    if (env_.mainWindowBusy) env_.mainWindowBusy(busy);
    if (busy) setCursor(Qt::WaitCursor);
    else unsetCursor();
}

void windanly::restore(bool failed) {
    setBusyPointer(false);
    Label4->clear();
    setInputsEnabled(true);
    Animation1->hide();
    setWindowTitle(QStringLiteral("Wind Analysis"));
    if (failed) env_.messages.message("Please use valid station name and valid year");
}

WindDialogHooks windanly::hooks() {
    WindDialogHooks h;
    h.status = [this](const std::string& text) {
        Label4->setText(QString::fromStdString(text));
        Label4->repaint();
    };
    h.stopBusy = [this] { Animation1->hide(); };
    h.closeDialog = [this] {
        hide();
        closeRequested_ = true;
    };
    return h;
}

WindRunOutcome windanly::dispatch(const BuoyWindRequest& rq) {
    model::ModelState& s = env_.state;
    const std::string server = env_.store.read(kSettingsApp, "Settings", kBuoyServerKey);
    if (s.model_mode == model::REI_MODE) {
        ReiAnalysisContext ctx{s, env_.holder, env_.form, env_.messages, *env_.fetcher, *env_.chooser, server, hooks(),
                               env_.showSummary, {}};
        return windanalysis_rei(ctx, rq);
    }
    if (!s.wind_webflag) {
        if (!env_.localFileCall || !env_.rweAnalysis) return WindRunOutcome::Failed;
        auto call = env_.localFileCall();
        if (!call) return WindRunOutcome::Failed;
        call->station_nam = Text1->text().toStdString();
        call->startyr = rq.startYear;
        call->endyr = rq.endYear;
        call->startm = rq.startMonth;
        call->endm = rq.endMonth;
        call->startd = rq.startDay;
        call->endd = rq.endDay;
        call->starth = rq.startHour;
        call->endh = rq.endHour;
        call->percent_wind = rq.topPercent;
        env_.rweAnalysis(*call);
        return WindRunOutcome::Done;
    }
    BuoyDownloadContext ctx{s, env_.messages, *env_.fetcher, server, hooks(), env_.rweAnalysis};
    return download_buoywind(ctx, rq);
}

void windanly::Command1_Click() {
    model::ModelState& s = env_.state;
    setEnabled(false);
    setInputsEnabled(false);
    bool failed = false;
    auto finish = [&] {
        setEnabled(true);
        restore(failed);
        // Closing from inside the handler would destroy the window under
        // its own call; it closes once control is back in the event loop.
        if (closeRequested_) QTimer::singleShot(0, this, [this] { accept(); });
    };

    const std::string station = Combo1->currentText().toStdString();
    if (station.empty()) {
        env_.messages.message("Please select a station for Wind Analysis", platform::MessageIcon::Exclamation);
        return finish();
    }
    if (Combo2[0]->currentText().isEmpty() || Combo3[0]->currentText().isEmpty()) {
        env_.messages.message(" Please select valid year for wind analysis", platform::MessageIcon::Exclamation);
        return finish();
    }
    if (Slider1->value() == 0) {
        env_.messages.message("No wind data will be selected, please choose percentage higher than 0.");
        return finish();
    }
    // Five characters, not five bytes: a hand-typed name may hold any letter.
    const std::string stationId = Combo1->currentText().left(5).toStdString();
    s.wind_source = stationId;

    BuoyWindRequest rq;
    rq.stationEntry = station;
    rq.stationId = stationId;
    std::optional<int16_t> parts[8];
    try {
        parts[0] = listNumber(Combo2[0]);
        parts[1] = listNumber(Combo3[0]);
        parts[2] = listNumber(Combo2[1]);
        parts[3] = listNumber(Combo3[1]);
        parts[4] = listNumber(Combo2[2]);
        parts[5] = listNumber(Combo3[2]);
        parts[6] = listNumber(Combo2[3]);
        parts[7] = listNumber(Combo3[3]);
    } catch (const std::exception&) {
        failed = true;
        return finish();
    }
    for (const auto& p : parts)
        if (!p) {
            failed = true;
            return finish();
        }
    rq.startYear = *parts[0];
    rq.endYear = *parts[1];
    rq.startMonth = *parts[2];
    rq.endMonth = *parts[3];
    rq.startDay = *parts[4];
    rq.endDay = *parts[5];
    rq.startHour = *parts[6];
    rq.endHour = *parts[7];
    rq.topPercent = static_cast<int16_t>(Slider1->value());

    if (s.model_mode == model::REI_MODE && rq.endYear - rq.startYear > 7) {
        env_.messages.message("You can't select more than 7 years for analysis", platform::MessageIcon::Exclamation);
        return finish();
    }
    auto start = windDateTime(rq.startYear, rq.startMonth, rq.startDay, rq.startHour);
    auto end = windDateTime(rq.endYear, rq.endMonth, rq.endDay, rq.endHour);
    if (!start || !end) {
        failed = true;
        return finish();
    }
    s.wind_start = *start;
    s.wind_end = *end;
    if (!(s.wind_start < s.wind_end)) {
        env_.messages.message("Select valid date", platform::MessageIcon::Exclamation);
        return finish();
    }
    const bool web = s.model_mode == model::REI_MODE || s.wind_webflag;
    if (web && env_.store.read(kSettingsApp, "Settings", kBuoyServerKey).empty()) {
        env_.messages.message(std::string("The buoy data server's address is not set. Enter it (for example "
                                          "http://host:port) as \"") +
                                  kBuoyServerKey + "\" in the section \"Settings\" of the program's settings.",
                              platform::MessageIcon::Exclamation);
        return finish();
    }

    Animation1->show();
    setBusyPointer(true);
    setWindowTitle(QStringLiteral("Wind Analysis   Processing>>>>"));
    try {
        failed = dispatch(rq) == WindRunOutcome::Failed;
    } catch (const std::exception&) {
        failed = true;
    }
    finish();
}

void windanly::Command2_Click() { reject(); }

void windanly::Command3_Click() {
    if (env_.showColumnChooser) env_.showColumnChooser();
}

}  // namespace quor::wind
