#include "project/metadata_file.h"

#include <filesystem>

#include "platform/folders.h"

namespace quor::project {

namespace {

// A layer names the dataset only in a file that holds several.
bool layered(const std::string& file) { return platform::lowerExtension(file) == ".gpkg"; }

}  // namespace

std::string metadataName(const std::string& file, const std::string& layer) {
    const std::string name = std::filesystem::path(file).filename().string();
    return layered(file) ? name + "." + layer : name;
}

std::string metadataPath(const std::string& file, const std::string& layer, const char* end) {
    return (std::filesystem::path(file).parent_path() / (metadataName(file, layer) + end)).string();
}

std::string pointDataText(const std::string& file, const std::string& layer) {
    return layered(file) ? file + " (layer " + layer + ")" : file;
}

std::vector<std::string> withPointData(std::vector<std::string> lines, const std::string& file,
                                       const std::string& layer) {
    const std::string line = kPointDataLabel + pointDataText(file, layer);
    for (auto& l : lines)
        if (l.rfind(kPointDataLabel, 0) == 0) {
            l = line;
            return lines;
        }
    lines.insert(lines.begin(), line);
    return lines;
}

}  // namespace quor::project
