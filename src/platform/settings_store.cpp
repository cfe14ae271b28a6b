#include "platform/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace quor::platform {

namespace {

// QSettings is case-sensitive on Linux: find the stored spelling first.
QString storedKey(QSettings& s, const std::string& section, const std::string& key) {
    const QString wanted = QString::fromStdString(key);
    s.beginGroup(QString::fromStdString(section));
    QString found;
    const QStringList keys = s.childKeys();
    for (const QString& k : keys) {
        if (k.compare(wanted, Qt::CaseInsensitive) == 0) {
            found = k;
            break;
        }
    }
    s.endGroup();
    return found;
}

QString storedSection(QSettings& s, const std::string& section) {
    const QString wanted = QString::fromStdString(section);
    const QStringList groups = s.childGroups();
    for (const QString& g : groups)
        if (g.compare(wanted, Qt::CaseInsensitive) == 0) return g;
    return wanted;
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string folder) : folder_(std::move(folder)) {}
IniSettingsStore::~IniSettingsStore() = default;

std::unique_ptr<IniSettingsStore> IniSettingsStore::ofFile(const std::string& path) {
    auto store = std::make_unique<IniSettingsStore>(QFileInfo(QString::fromStdString(path)).absolutePath().toStdString());
    store->file_ = path;
    return store;
}

std::string IniSettingsStore::defaultFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(base).filePath(QStringLiteral("Quor")).toStdString();
}

std::string IniSettingsStore::filePath(const std::string& app) const {
    if (!file_.empty()) return file_;
    return QDir(QString::fromStdString(folder_)).filePath(QString::fromStdString(app) + ".ini").toStdString();
}

QSettings& IniSettingsStore::settingsFor(const std::string& app) const {
    auto it = files_.find(app);
    if (it == files_.end()) {
        auto s = std::make_unique<QSettings>(QString::fromStdString(filePath(app)), QSettings::IniFormat);
        it = files_.emplace(app, std::move(s)).first;
    }
    return *it->second;
}

std::string IniSettingsStore::read(const std::string& app, const std::string& section, const std::string& key) const {
    QSettings& s = settingsFor(app);
    const QString sec = storedSection(s, section);
    const QString k = storedKey(s, sec.toStdString(), key);
    if (k.isEmpty()) return {};
    const QVariant value = s.value(sec + "/" + k);
    // A value typed into the file with a comma and without quotes reads
    // back as a list, whose plain text would be empty.
    if (value.userType() == QMetaType::QStringList) return value.toStringList().join(", ").toStdString();
    return value.toString().toStdString();
}

bool IniSettingsStore::contains(const std::string& app, const std::string& section, const std::string& key) const {
    QSettings& s = settingsFor(app);
    const QString sec = storedSection(s, section);
    return !storedKey(s, sec.toStdString(), key).isEmpty();
}

void IniSettingsStore::write(const std::string& app, const std::string& section, const std::string& key,
                             const std::string& value) {
    QSettings& s = settingsFor(app);
    const QString sec = storedSection(s, section);
    QString k = storedKey(s, sec.toStdString(), key);
    if (k.isEmpty()) k = QString::fromStdString(key);
    s.setValue(sec + "/" + k, QString::fromStdString(value));
    s.sync();
}

}  // namespace quor::platform
