#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdlib>

namespace quor::platform {

DocumentsFolder queryDocumentsFolder() {
    DocumentsFolder out;
    QString path;
    if (const char* env = std::getenv("QUOR_DOCUMENTS"); env && *env)
        path = QString::fromLocal8Bit(env);
    else
        path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (path.isEmpty()) {
        out.status = DocumentsFolder::Status::NotValid;
        return out;
    }
    out.path = QDir::cleanPath(path).toStdString();
    out.status = QFileInfo(path).isDir() ? DocumentsFolder::Status::Found : DocumentsFolder::Status::DoesNotExist;
    return out;
}

std::string fallbackDataFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("Quor/Quor 4")).toStdString();
}

bool IsDir(const std::string& d) {
    // An empty text names the root, as it always has: it answers True.
    QString p = QString::fromStdString(d).trimmed();
    if (!p.endsWith('/')) p += '/';
    return QFileInfo(p).isDir();
}

bool createFolder(const std::string& path) {
    QString p = QString::fromStdString(path).trimmed();
    // "/a/b/" names the folder b, as a stored project folder may be written.
    while (p.size() > 1 && p.endsWith('/')) p.chop(1);
    if (p.isEmpty()) return false;
    QFileInfo info(p);
    if (info.isDir()) return true;
    QDir parent = info.absoluteDir();
    if (!parent.exists()) return false;
    return parent.mkdir(info.fileName());
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace quor::platform
