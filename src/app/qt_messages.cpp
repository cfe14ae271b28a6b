#include "app/qt_messages.h"

#include <QMessageBox>

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

}  // namespace

void QtMessages::message(const std::string& text, platform::MessageIcon icon, const std::string& title) {
    QMessageBox box(boxIcon(icon), caption(title), QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtMessages::question(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, caption(title), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace quor::app
