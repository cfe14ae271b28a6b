#include "platform/folders.h"
#include "platform/gis/shapefile_files.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace quor::platform::gis::detail {

std::string partBeside(const std::string& file, const std::string& ext) {
    const fs::path shp(file);
    std::string upper;
    for (char c : ext) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::error_code ec;
    for (const std::string& x : {ext, upper}) {
        fs::path p = shp;
        p.replace_extension(x);
        if (fs::exists(p, ec)) return p.string();
    }
    return {};
}

namespace {

}  // namespace

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

namespace {

FileStamp stampOf(const struct stat& st) {
    const auto ns = [](const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return {true,
            static_cast<std::uint64_t>(st.st_dev),
            static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            ns(st.st_mtim),
            ns(st.st_ctim)};
}

}  // namespace

FileStamp stampOfFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 ? stampOf(st) : FileStamp{};
}

FileStamp stampOfOpenFile(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? stampOf(st) : FileStamp{};
}

std::string shapefileStamp(const std::string& shp) {
    std::string stamp;
    for (const char* ext : {".shp", ".shx", ".dbf"}) {
        const std::string p = ext == std::string(".shp") ? shp : partBeside(shp, ext);
        struct stat st {};
        if (p.empty() || ::stat(p.c_str(), &st) != 0) {
            stamp += "-/";
            continue;
        }
        stamp += std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
                 std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + "/";
    }
    return stamp;
}

}  // namespace quor::platform::gis::detail
