#include "project/ui/file_chooser_dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace quor::project::ui {

QString qtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const int paren = description.indexOf('(');
        if (paren > 0) description = description.left(paren).trimmed();
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (auto& p : patterns) p = p.trimmed();
        filters << description + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

std::optional<std::string> QtFileChooser::chooseFile(const FileDialogRequest& r) {
    const QString title = QString::fromStdString(r.title);
    const QString folder = QString::fromStdString(r.startFolder);
    const QString filter = qtFilter(r.filter);
    const QString chosen = r.kind == FileDialogRequest::Kind::Save
                               ? QFileDialog::getSaveFileName(parent_, title, folder, filter)
                               : QFileDialog::getOpenFileName(parent_, title, folder, filter);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

}  // namespace quor::project::ui
