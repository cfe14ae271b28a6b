#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/ascii_case.h"

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

std::string cacheFolder() {
    // Without a home (a service, a bare environment) the system would
    // answer a folder at the root: there is no place of the user's.
    if (!QDir::isAbsolutePath(qEnvironmentVariable("XDG_CACHE_HOME")) &&
        !QDir::isAbsolutePath(qEnvironmentVariable("HOME")))
        return {};
    // A relative XDG_CACHE_HOME is not one: the base-directory rules say
    // to ignore it, rather than keep the cache wherever a run starts.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir(base).filePath(QStringLiteral("quor")).toStdString();
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

namespace {

// The home folder of the account `name`; nothing when there is none.
std::optional<QString> homeOf(const QString& name) {
    const long hinted = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hinted > 0 ? static_cast<std::size_t>(hinted) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwnam_r(name.toLocal8Bit().constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return QString::fromLocal8Bit(found->pw_dir);
}

}  // namespace

std::string typedPath(const std::string& typed) {
    const QString path = QString::fromStdString(typed).trimmed();
    if (!path.startsWith('~')) return path.toStdString();
    const int slash = path.indexOf('/');
    const QString name = path.mid(1, slash < 0 ? -1 : slash - 1);
    const std::optional<QString> home = name.isEmpty() ? QDir::homePath() : homeOf(name);
    // "~x" where no account x exists is a name like any other.
    if (!home) return path.toStdString();
    return (slash < 0 ? *home : *home + path.mid(slash)).toStdString();
}

bool isGdalVirtualPath(const std::string& path) { return path.rfind("/vsi", 0) == 0; }

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string lowerExtension(const std::string& path) {
    return lowerAscii(std::filesystem::path(path).extension().string());
}

}  // namespace quor::platform
