// The main window's menu items that are not project or input commands:
// the mode, the settings and model dialogs, the zoom items, the manual and
// the two web pages.
#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QUrl>

#include "app/main_form.h"
#include "app/map_view.h"
#include "app/mode_dialog.h"
#include "app/shell_settings.h"

namespace quor::app {

std::optional<bool> pdfViewerInstalled() {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty()) return std::nullopt;
    QProcess query;
    query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/pdf")});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit) {
        query.kill();
        query.waitForFinished(1000);
        return std::nullopt;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

void MainForm::menuItem_Click(const std::string& name) {
    if (state_.run_lock.active()) return;
    try {
        if (name == "Exit") {
            Exit_Click();
        } else if (name == "QuorMode") {
            QuorMode_Click();
        } else if (name == "Chgset") {
            commands_.run(state_.model_mode == model::REI_MODE ? "fm_property" : "wv_property", *messages_);
        } else if (name == "wind_pt_mnu") {
            if (state_.model_mode == model::REI_MODE) commands_.run("Wind_pt", *messages_);
        } else if (name == "kobu") {
            openWebPage(kKobuWebsiteKey);
        } else if (name == "Website") {
            openWebPage(kQuorWebsiteKey);
        } else if (name == "zoomin") {
            setToolbarValue(kMapToolbar, "zoomout", 0);
            setToolbarValue(kMapToolbar, "zoomin", 1);
            setMapPointer(51);
        } else if (name == "Zoomout") {
            setToolbarValue(kMapToolbar, "zoomin", 0);
            setToolbarValue(kMapToolbar, "zoomout", 1);
            setMapPointer(52);
        } else if (name == "Fullext") {
            MapControl2->setVisibleBounds(MapControl2->fullMapExtent());
            MapControl2->refreshView();
        } else if (name == "Refresh") {
            MapControl2->refreshView();
            TreeView1->viewport()->update();
        } else if (name == "Content") {
            Content_Click();
        } else {
            const std::string command = CommandTable::forMenuItem(name);
            if (!command.empty()) commands_.run(command, *messages_);
        }
    } catch (...) {
        // A dialog or map operation that fails ends its command silently.
    }
}

void MainForm::QuorMode_Click() {
    if (projectOpen()) {
        messages_->message(kModeChangeRefused, platform::MessageIcon::Information);
        return;
    }
    auto* dialog = new QuorMode_fr(*this);
    dialog->show();
}

std::string MainForm::helpFolder() const {
    if (!helpFolder_.empty()) return helpFolder_;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Help")).toStdString();
}

void MainForm::Content_Click() {
    const QString file = QDir(QString::fromStdString(helpFolder())).filePath(QStringLiteral("Quor_V4.pdf"));
    const QUrl url = QUrl::fromLocalFile(file);
    bool opened = false;
    if (urlOpener_)
        opened = urlOpener_(url);
    else
        // The desktop's opener reports success before any viewer is found,
        // so a desktop that names no PDF viewer is not asked.
        opened = pdfViewerInstalled() != std::optional<bool>(false) && QDesktopServices::openUrl(url);
    if (!opened)
        messages_->message("No PDF viewer is installed to show the manual. Install one, or open " +
                               file.toStdString() + " with a program of your choice.",
                           platform::MessageIcon::Information);
}

void MainForm::openWebPage(const std::string& settingKey) {
    // Which browser window shows the page is the desktop's choice.
    bool opened = false;
    try {
        const std::string address = store_.read(kSettingsApp, "Settings", settingKey);
        if (address.empty()) {
            const auto* ini = dynamic_cast<const platform::IniSettingsStore*>(&store_);
            const std::string file = ini ? ini->filePath(kSettingsApp) : std::string(kSettingsApp) + ".ini";
            messages_->message("No address is set for this page. Fill the setting " + settingKey +
                                   " under [Settings] in " + file + ".",
                               platform::MessageIcon::Information);
            return;
        }
        const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
        if (!address.empty() && url.isValid() && !url.scheme().isEmpty())
            opened = urlOpener_ ? urlOpener_(url) : QDesktopServices::openUrl(url);
    } catch (...) {
        opened = false;
    }
    if (!opened) messages_->message("Website not found", platform::MessageIcon::Information);
}

}  // namespace quor::app
