#include "app/qt_messages.h"

#include <QMessageBox>
#include <QWidget>

namespace quor::app {

namespace {

QMessageBox::Icon boxIcon(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Information: return QMessageBox::Information;
    case platform::MessageIcon::Exclamation: return QMessageBox::Warning;
    case platform::MessageIcon::Critical: return QMessageBox::Critical;
    case platform::MessageIcon::Question: return QMessageBox::Question;
    case platform::MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QString caption(const std::string& title) {
    return QString::fromStdString(title.empty() ? std::string(kProgramTitle) : title);
}

// A box over a minimised window would wait unseen: the window comes back
// first, in the state it had (Qt keeps "maximised" while minimised).
void restoreMinimised(QWidget* parent) {
    if (!parent) return;
    QWidget* w = parent->window();
    if (!w->isMinimized()) return;
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
}

}  // namespace

void QtMessages::message(const std::string& text, platform::MessageIcon icon, const std::string& title) {
    restoreMinimised(parent_);
    QMessageBox box(boxIcon(icon), caption(title), QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtMessages::question(const std::string& text, const std::string& title) {
    restoreMinimised(parent_);
    QMessageBox box(QMessageBox::NoIcon, caption(title), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace quor::app
