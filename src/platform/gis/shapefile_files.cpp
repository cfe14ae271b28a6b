#include "platform/ascii_case.h"
#include "platform/folders.h"
#include "platform/gis/shapefile_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace quor::platform::gis::detail {

namespace {

// The ".shp" and the ".shx" alike begin with a header of 100 bytes whose
// lengths count 16-bit words, big-endian; each entry of the ".shx" gives a
// shape's place and length in the ".shp", each shape there its own again.
constexpr std::uint64_t kMainHeaderBytes = 100;
constexpr std::uint64_t kFileLengthAt = 24;
constexpr std::uint64_t kEntryBytes = 8;
constexpr std::uint64_t kShapeHeaderBytes = 8;
constexpr std::uint64_t kBytesPerWord = 2;

std::uint64_t readBe32(const std::string& bytes, std::size_t at) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

std::optional<std::string> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

// The whole shapes the ".shp" holds from `from` on, each by its own header.
std::uint64_t shapesFrom(const std::string& shp, std::uint64_t from) {
    std::ifstream in(shp, std::ios::binary);
    std::error_code ec;
    const std::uint64_t size = fs::file_size(shp, ec);
    if (!in || ec) return 0;
    std::uint64_t shapes = 0;
    std::string header(kShapeHeaderBytes, '\0');
    for (std::uint64_t at = from; at + kShapeHeaderBytes <= size; ++shapes) {
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(header.data(), static_cast<std::streamsize>(header.size()))) break;
        const std::uint64_t end = at + kShapeHeaderBytes + readBe32(header, 4) * kBytesPerWord;
        if (end > size) break;
        at = end;
    }
    return shapes;
}

}  // namespace

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

std::optional<std::string> partsDisagreement(const std::string& shp, const std::string& dbf, std::uint64_t tableRows) {
    const std::string shx = partBeside(shp, ".shx");
    const auto index = shx.empty() ? std::nullopt : fileBytes(shx);
    if (!index || index->size() < kMainHeaderBytes) return std::nullopt;
    const std::string notOneDataset = ": one of them is damaged, or they are not the files of one dataset";
    const std::uint64_t length = readBe32(*index, kFileLengthAt) * kBytesPerWord;
    if (length != index->size())
        return "the header of its index " + shx + " gives the index's length as " + std::to_string(length) +
               " bytes; the file holds " + std::to_string(index->size()) + ": the index is damaged";
    if ((length - kMainHeaderBytes) % kEntryBytes != 0)
        return "its index " + shx + " of " + std::to_string(length) +
               " bytes holds no whole number of entries: the index is damaged";
    const std::uint64_t shapes = (length - kMainHeaderBytes) / kEntryBytes;
    if (shapes != tableRows)
        return "its index " + shx + " lists " + std::to_string(shapes) + " shapes, its table " + dbf + " " +
               std::to_string(tableRows) + " rows" + notOneDataset;
    std::uint64_t listedEnd = kMainHeaderBytes;
    for (std::uint64_t at = kMainHeaderBytes; at < length; at += kEntryBytes)
        listedEnd = std::max(listedEnd, (readBe32(*index, at) + readBe32(*index, at + 4)) * kBytesPerWord +
                                            kShapeHeaderBytes);
    if (const std::uint64_t beyond = shapesFrom(shp, listedEnd); beyond > 0)
        return shp + " holds " + std::to_string(beyond) + (beyond == 1 ? " more shape" : " more shapes") +
               " than the " + std::to_string(shapes) + " its index " + shx + " lists" + notOneDataset;
    return std::nullopt;
}

std::vector<FileStamp> shapefileStamp(const std::string& shp) {
    std::vector<FileStamp> stamp;
    for (const char* ext : {".shp", ".shx", ".dbf"})
        stamp.push_back(stampOfFile(ext == std::string(".shp") ? shp : partBeside(shp, ext)));
    return stamp;
}

}  // namespace quor::platform::gis::detail
