#include "app/progress_form.h"
#include "platform/ui/dialog_buttons.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <stdexcept>

namespace quor::app {

namespace {
// The shortest time between two turns of the event loop a run asks for.
constexpr qint64 kYieldIntervalMs = 5;
constexpr float kDesignWidth = 6270;
constexpr float kDesignHeight = 2775;
constexpr float kBatchHeight = 3000;
constexpr float kSingleHeight = 1500;
// Gap between the window's bottom and the main window's bottom edge.
constexpr float kBottomGap = 500;
// The heights are the window's outer heights; its title bar and frame take
// this much of them.
constexpr float kFrameHeight = 405;
}  // namespace

Form1::Form1(model::ModelState& state, const model::MainFormState& form, QWidget* mainWindow)
    : QDialog(mainWindow), state_(state), form_(form), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("  Processing"));
    paint_.setSingleShot(true);
    paint_.setInterval(40);
    QObject::connect(&paint_, &QTimer::timeout, this, [this] {
        ProgressBar1->update();
        ProgressBar2->update();
    });
    setModal(false);

    auto place = [this](QWidget* w, float l, float t, float wd, float h) {
        w->setGeometry(px(l), py(t), px(wd), py(h));
    };
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    place(ProgressBar1, 360, 240, 4215, 255);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 480, 600, 3975, 255);
    Command1 = new QPushButton(QStringLiteral("Cancel"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 4800, 120, 1335, 375);
    ProgressBar2 = new QProgressBar(this);
    ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
    place(ProgressBar2, 360, 1200, 4215, 255);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    place(Label2, 360, 1560, 4215, 255);
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(Label3, 360, 1920, 4215, 735);
    for (QProgressBar* b : {ProgressBar1, ProgressBar2}) {
        b->setRange(0, 100);
        b->setValue(0);
        b->setTextVisible(false);
    }
    resize(px(kDesignWidth), py(kDesignHeight));
    platform::ui::setOkButton(*this, nullptr);
    QObject::connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

int Form1::px(float twips) const { return qRound(twips * logicalDpiX() / 1440.0f); }
int Form1::py(float twips) const { return qRound(twips * logicalDpiY() / 1440.0f); }

void Form1::placeWindow() {
    const int width = px(kDesignWidth);
    const int left = form_.xscreen / 2 - width / 2;
    // Computed from the designed height, so the top edge is the same in
    // both sizes and only the bottom edge moves.
    int top = 0;
    if (mainWindow_) {
        const QRect main = mainWindow_->frameGeometry();
        top = main.top() + main.height() - py(kDesignHeight + kFrameHeight) - py(kBottomGap);
    }
    const float outer = state_.batch_mode == 1 ? kBatchHeight : kSingleHeight;
    resize(width, py(outer - kFrameHeight));
    move(left, top);
}

void Form1::show() {
    placeWindow();
    QDialog::show();
}

void Form1::hide() {
    // Hiding ends the run's use of the window: the next run finds it as
    // freshly loaded, not with the last run's bars or "Cancelling..." caption.
    QDialog::hide();
    for (QProgressBar* b : {ProgressBar1, ProgressBar2}) {
        b->setRange(0, 100);
        b->setValue(0);
    }
    for (QLabel* l : {Label1, Label2, Label3}) l->clear();
}

QProgressBar* Form1::bar(int n) const {
    if (n == 1) return ProgressBar1;
    if (n == 2) return ProgressBar2;
    throw std::out_of_range("no such progress bar");
}

QLabel* Form1::caption(int n) const {
    if (n == 1) return Label1;
    if (n == 2) return Label2;
    if (n == 3) return Label3;
    throw std::out_of_range("no such caption");
}

void Form1::setMaximum(int n, int maximum) { bar(n)->setMaximum(maximum); }
void Form1::setValue(int n, int value) {
    // The value is the bar's at once, but a bar paints itself at once on
    // every visible change: a run moves the bars dozens of times per site,
    // so they are painted with their latest values a few times a second.
    QProgressBar* b = bar(n);
    const bool wasOff = b->testAttribute(Qt::WA_UpdatesDisabled);
    b->setAttribute(Qt::WA_UpdatesDisabled, true);
    b->setValue(value);
    b->setAttribute(Qt::WA_UpdatesDisabled, wasOff);
    if (!paint_.isActive()) paint_.start();
}
int Form1::value(int n) const { return bar(n)->value(); }
void Form1::setLabel(int n, const std::string& text) { caption(n)->setText(QString::fromStdString(text)); }
std::string Form1::label(int n) const { return caption(n)->text().toStdString(); }
void Form1::yield() {
    // A run yields dozens of times per site. A turn of the event loop every
    // few milliseconds keeps the windows live and Cancel at hand; one at
    // every call cost the run more than its own work.
    if (lastYield_.isValid() && lastYield_.elapsed() < kYieldIntervalMs) return;
    QCoreApplication::processEvents();
    lastYield_.restart();
}

void Form1::Command1_Click() {
    // Only a request: the run sees it at its next turn of the event loop.
    state_.cancel_flag = true;
    Label1->setText(QStringLiteral("Cancelling the project..."));
}

}  // namespace quor::app

namespace quor::app {

void Form1::closeEvent(QCloseEvent* event) {
    if (state_.run_lock.active()) {
        Command1_Click();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void Form1::reject() {
    if (state_.run_lock.active()) {
        Command1_Click();
        return;
    }
    QDialog::reject();
}

}  // namespace quor::app
