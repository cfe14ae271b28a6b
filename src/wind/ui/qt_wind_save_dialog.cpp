#include "wind/ui/qt_wind_save_dialog.h"

#include <QFileDialog>

namespace quor::wind::ui {

std::optional<std::string> QtWindSaveDialog::chooseSaveFile(const std::string& filter, const std::string& title,
                                                            const std::string& startFolder) {
    const auto bar = filter.find('|');
    const QString caption = QString::fromStdString(filter.substr(0, bar));
    const QString pattern = bar == std::string::npos ? QString() : QString::fromStdString(filter.substr(bar + 1));
    const QString qtFilter = pattern.isEmpty() ? caption : caption + " (" + pattern + ")";
    const QString path =
        QFileDialog::getSaveFileName(parent_, QString::fromStdString(title), QString::fromStdString(startFolder),
                                     qtFilter, nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

}  // namespace quor::wind::ui
