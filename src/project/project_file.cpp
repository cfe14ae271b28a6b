#include "project/project_file.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "model/model_state.h"
#include "platform/textfile.h"

namespace fs = std::filesystem;

namespace quor::project {

std::string projectExtension(uint8_t model_mode) {
    return model_mode == model::REI_MODE ? ".tesk_REI" : ".tesk_RWE";
}

std::string projectTitle(uint8_t model_mode) {
    return model_mode == model::REI_MODE ? "Quor REI Project File" : "Quor RWE Project File";
}

std::string projectFilePath(const std::string& folder, const std::string& name, uint8_t model_mode) {
    return folder + "/" + name + projectExtension(model_mode);
}

std::string projectLockPath(const std::string& folder, const std::string& name) { return folder + "/" + name + ".lock"; }

bool holdsLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

std::vector<std::string> projectFileLines(const std::string& title, const std::string& createdOn,
                                          const ProjectFileContent& c) {
    std::vector<std::string> lines = {title,
                                      "",
                                      "Created on: " + createdOn,
                                      "",
                                      c.bathycov,
                                      c.bathyname,
                                      c.bathy_positive != 0 ? "1" : "0",
                                      c.shorecov,
                                      c.shorename,
                                      c.shorefeature,
                                      c.wind_path,
                                      c.wind_name,
                                      c.bathyunits,
                                      c.windunits};
    if (!c.geodatabase.empty()) lines.push_back(c.geodatabase);
    return lines;
}

std::string currentDateTimeText() {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return (locale.toString(now.date(), QLocale::ShortFormat) + " " + locale.toString(now.time(), QLocale::ShortFormat))
        .toStdString();
}

void writeProjectFile(const std::string& path, const std::vector<std::string>& lines) {
    if (std::any_of(lines.begin(), lines.end(), holdsLineBreak))
        throw ProjectFileError("A value of the project holds a line break and cannot be written to " + path + ".");
    platform::replaceTextLines(path, lines);
}

std::vector<std::string> readProjectFileLines(const std::string& path) {
    auto lines = platform::readTextLines(path);
    if (static_cast<int>(lines.size()) > kProjectFileMaxLines)
        throw ProjectFileError(path + " has more than " + std::to_string(kProjectFileMaxLines) + " lines.");
    return lines;
}

std::string storedPathToNative(const std::string& text) {
    if (text.find('/') != std::string::npos) return text;
    std::string out = text;
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

}  // namespace quor::project
