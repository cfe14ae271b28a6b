#include "platform/ascii_case.h"
#include "platform/folders.h"
#include "platform/gis/shapefile_files.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace quor::platform::gis::detail {

std::string partBeside(const std::string& file, const std::string& ext) {
    const fs::path shp(file);
    const std::string upper = upperAscii(ext);
    std::error_code ec;
    for (const std::string& x : {ext, upper}) {
        fs::path p = shp;
        p.replace_extension(x);
        if (fs::exists(p, ec)) return p.string();
    }
    return {};
}

std::vector<std::string> shapefileParts(const std::string& shp) {
    std::vector<std::string> parts;
    std::error_code ec;
    if (fs::exists(shp, ec)) parts.push_back(shp);
    for (const char* ext : {".shx", ".dbf"})
        if (auto p = partBeside(shp, ext); !p.empty()) parts.push_back(p);
    return parts;
}

std::string tablePart(const std::vector<std::string>& parts) {
    for (const auto& p : parts)
        if (lowerExtension(p) == ".dbf") return p;
    return {};
}

std::vector<FileStamp> shapefileStamp(const std::string& shp) {
    std::vector<FileStamp> stamp;
    for (const char* ext : {".shp", ".shx", ".dbf"})
        stamp.push_back(stampOfFile(ext == std::string(".shp") ? shp : partBeside(shp, ext)));
    return stamp;
}

}  // namespace quor::platform::gis::detail
