#include "app/status_panel.h"

#include <QResizeEvent>

#include <algorithm>

namespace quor::app {

namespace {
constexpr int kTextPadding = 6;  // room the label's style keeps beside its text
constexpr int kNarrowest = 24;
}  // namespace

StatusPanel::StatusPanel(int designWidth, QWidget* parent) : QLabel(parent), designWidth_(designWidth) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void StatusPanel::setFullText(const QString& text) {
    full_ = text;
    setToolTip(text);
    showFitted();
    updateGeometry();
}

int StatusPanel::wholeTextWidth() const {
    return fontMetrics().horizontalAdvance(full_) + 2 * frameWidth() + 2 * margin() + kTextPadding;
}

QSize StatusPanel::sizeHint() const {
    return {std::max(designWidth_, wholeTextWidth()), QLabel::sizeHint().height()};
}

QSize StatusPanel::minimumSizeHint() const {
    return {std::min(designWidth_, kNarrowest), QLabel::minimumSizeHint().height()};
}

void StatusPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showFitted();
}

void StatusPanel::showFitted() {
    const int room = contentsRect().width() - 2 * margin() - kTextPadding;
    setText(wholeTextWidth() <= width() ? full_ : fontMetrics().elidedText(full_, Qt::ElideRight, std::max(room, 0)));
}

}  // namespace quor::app
