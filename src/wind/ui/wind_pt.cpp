#include "wind/ui/wind_pt.h"
#include "platform/ui/dialog_buttons.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

#include "wind/wind_display.h"

namespace quor::wind::ui {

namespace {

// The rose's spokes and rings behind the captions.
class RoseWidget : public QWidget {
public:
    explicit RoseWidget(QWidget* parent) : QWidget(parent) { setMinimumSize(420, 360); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF c(width() / 2.0, height() / 2.0);
        const double r = std::min(width(), height()) / 2.0 - 40;
        for (int k = 0; k < 8; ++k) {
            const double a = k * M_PI / 4;
            p.drawLine(c, c + QPointF(r * std::cos(a), -r * std::sin(a)));
        }
        p.drawEllipse(c, r / 2, r / 2);
    }
};

}  // namespace

WindPtForm::WindPtForm(const model::WindSummary& winddata, QWidget* parent) : QDialog(parent) {
    setWindowTitle("  Wind Data");
    const WindRoseText text = windRoseText(winddata);

    auto* rose = new RoseWidget(this);
    auto* grid = new QGridLayout(rose);
    // Grid cells of the rose positions, anticlockwise from east.
    const int cell[8][2] = {{2, 4}, {0, 4}, {0, 2}, {0, 0}, {2, 0}, {4, 0}, {4, 2}, {4, 4}};
    for (int k = 0; k < 8; ++k) {
        Label1[k] = new QLabel(QString::fromStdString(text.rose[k]), rose);
        Label1[k]->setAlignment(Qt::AlignCenter);
        grid->addWidget(Label1[k], cell[k][0], cell[k][1]);
    }
    const std::pair<const char*, std::array<int, 2>> ends[] = {
        {"East", {2, 3}}, {"North", {1, 2}}, {"West", {2, 1}}, {"South", {3, 2}}};
    for (const auto& [caption, at] : ends) {
        auto* l = new QLabel(caption, rose);
        l->setAlignment(Qt::AlignCenter);
        grid->addWidget(l, at[0], at[1]);
    }

    auto* frame2 = new QGroupBox("Information", this);
    auto* info = new QVBoxLayout(frame2);
    for (int i = 0; i < 4; ++i) {
        Label4[i] = new QLabel(text.info ? QString::fromStdString((*text.info)[i]) : QString("Label4"), frame2);
        info->addWidget(Label4[i]);
    }

    Label5 = new QLabel(QString::fromStdString(text.file), this);
    Command1 = new QPushButton("OK", this);
    platform::ui::setOkButton(*this, Command1);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel("Wind Frequency % ,  Wind Speed m/s", this));
    top->addWidget(rose);
    top->addWidget(frame2);
    top->addWidget(Label5);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    top->addLayout(buttons);
}

}  // namespace quor::wind::ui
