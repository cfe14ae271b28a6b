#include "platform/gis/raster_readings.h"

#include <QSaveFile>

#include <gdal.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/file_digest.h"
#include "platform/folders.h"

namespace quor::platform::gis {

namespace {

// The first line. The extremes depend on how GDAL decodes a block and
// judges NoData, and on this program's scan: the GDAL release is part of
// it, and the number changes whenever the scan or this layout does.
std::string heading() { return std::string("quor raster readings 1 GDAL ") + GDALVersionInfo("RELEASE_NAME"); }

// Enough entries for every raster a user works with; the oldest go first.
constexpr std::size_t kMostEntries = 256;
// A file larger than this is not one of ours.
constexpr std::uintmax_t kMostBytes = 1 << 20;

// A line's own check: a line cut short or changed reads as no entry.
std::string checkOf(const std::string& text) { return bytesDigest(text).substr(0, 16); }

std::string exact(double v) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

bool parsed(const std::string& text, double& v) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

struct Entry {
    std::string digest;
    std::pair<double, double> extremes;
};

std::string lineOf(const Entry& e) {
    const std::string text = e.digest + " " + exact(e.extremes.first) + " " + exact(e.extremes.second);
    return text + " " + checkOf(text);
}

std::optional<Entry> entryOf(const std::string& line) {
    std::istringstream fields(line);
    std::string digest, low, high, check, more;
    if (!(fields >> digest >> low >> high >> check) || (fields >> more)) return std::nullopt;
    Entry e{digest, {}};
    if (digest.size() != 64 || !parsed(low, e.extremes.first) || !parsed(high, e.extremes.second)) return std::nullopt;
    if (check != checkOf(digest + " " + low + " " + high)) return std::nullopt;
    return e;
}

// The entries of the file, oldest first; none when it is missing, not
// ours, or from another GDAL.
std::vector<Entry> readEntries() {
    std::vector<Entry> entries;
    const std::string path = readingsFile();
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMostBytes) return entries;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != heading()) return entries;
    while (std::getline(in, line))
        if (auto e = entryOf(line)) entries.push_back(std::move(*e));
    return entries;
}

}  // namespace

std::string readingsFile() { return cacheFolder() + "/raster-readings"; }

std::optional<std::pair<double, double>> rememberedExtremes(const std::string& digest) {
    std::optional<std::pair<double, double>> found;
    for (const Entry& e : readEntries())
        if (e.digest == digest) found = e.extremes;
    return found;
}

void rememberExtremes(const std::string& digest, std::pair<double, double> extremes) {
    std::vector<Entry> entries;
    for (Entry& e : readEntries())
        if (e.digest != digest) entries.push_back(std::move(e));
    entries.push_back({digest, extremes});
    if (entries.size() > kMostEntries) entries.erase(entries.begin(), entries.end() - kMostEntries);
    std::string text = heading() + "\n";
    for (const Entry& e : entries) text += lineOf(e) + "\n";
    std::error_code ec;
    std::filesystem::create_directories(cacheFolder(), ec);
    // A file of its own name for each writer, renamed into place whole:
    // runs side by side never read half a file, and the last one's stays.
    QSaveFile file(QString::fromStdString(readingsFile()));
    if (!file.open(QIODevice::WriteOnly)) return;
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) return;
    file.commit();
}

}  // namespace quor::platform::gis
