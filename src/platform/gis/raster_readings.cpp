#include "platform/gis/raster_readings.h"

#include <gdal.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "platform/file_digest.h"
#include "platform/file_lock.h"
#include "platform/file_stamp.h"
#include "platform/folders.h"

namespace quor::platform::gis {

namespace {

// The first line. The extremes depend on how GDAL decodes a block and
// judges NoData, and on this program's scan: the GDAL release is part of
// it, and the number changes whenever the scan or this layout does.
std::string heading() { return std::string("quor raster readings 2 GDAL ") + GDALVersionInfo("RELEASE_NAME"); }

// Enough entries for every raster a user works with, and for the tiles of
// its mosaics; the oldest go first.
constexpr std::size_t kMostReadings = 256;
constexpr std::size_t kMostFiles = 16384;
// A file larger than this is not one of ours.
constexpr std::int64_t kMostBytes = 4 << 20;
// How long ago a file must have last changed for its stamp to stand for
// the bytes read: a write within the same tick of the file system's clock
// leaves the stamp as it was.
constexpr std::int64_t kSettledNs = 3'000'000'000;

// A line's own check: a line cut short or changed reads as no entry.
std::string checkOf(const std::string& text) { return bytesDigest(text).substr(0, 16); }

std::string exact(double v) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

template <typename T>
bool parsed(const std::string& text, T& v) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && !text.empty();
}

struct Reading {
    std::string digest;
    std::pair<double, double> extremes;
};

struct KnownFile {
    FileStamp stamp;
    std::string digest;
};

struct Entries {
    std::vector<Reading> readings;
    std::vector<KnownFile> files;
};

std::string withCheck(const std::string& text) { return text + " " + checkOf(text); }

std::string lineOf(const Reading& e) {
    return withCheck("reading " + e.digest + " " + exact(e.extremes.first) + " " + exact(e.extremes.second));
}

std::string lineOf(const KnownFile& e) {
    const FileStamp& s = e.stamp;
    return withCheck("file " + std::to_string(s.device) + " " + std::to_string(s.inode) + " " + std::to_string(s.size) +
                     " " + std::to_string(s.modified) + " " + std::to_string(s.changed) + " " + e.digest);
}

// Adds the entry a line holds; a line that is not whole adds nothing.
void addEntry(const std::string& line, Entries& into) {
    const auto last = line.rfind(' ');
    if (last == std::string::npos || line.substr(last + 1) != checkOf(line.substr(0, last))) return;
    std::istringstream in(line.substr(0, last));
    std::vector<std::string> f;
    for (std::string field; in >> field;) f.push_back(field);
    if (f.size() == 4 && f[0] == "reading" && f[1].size() == 64) {
        Reading e{f[1], {}};
        if (parsed(f[2], e.extremes.first) && parsed(f[3], e.extremes.second)) into.readings.push_back(e);
    } else if (f.size() == 7 && f[0] == "file" && f[6].size() == 64) {
        KnownFile e{{true}, f[6]};
        FileStamp& s = e.stamp;
        if (parsed(f[1], s.device) && parsed(f[2], s.inode) && parsed(f[3], s.size) && parsed(f[4], s.modified) &&
            parsed(f[5], s.changed))
            into.files.push_back(e);
    }
}

// The file's text when it is a plain file of a size of ours; links,
// devices and pipes are never opened through.
std::optional<std::string> ownText(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMostBytes) {
        text.emplace(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t got = 0;
        while (got < text->size()) {
            const ssize_t n = ::read(fd, text->data() + got, text->size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        text->resize(got);
    }
    ::close(fd);
    return text;
}

// The entries of the file, oldest first; none when it is missing, not
// ours, or from another GDAL.
Entries readEntries() {
    Entries entries;
    const std::string file = readingsFile();
    if (file.empty()) return entries;
    const auto text = ownText(file);
    if (!text) return entries;
    std::istringstream in(*text);
    std::string line;
    if (!std::getline(in, line) || line != heading()) return entries;
    while (std::getline(in, line)) addEntry(line, entries);
    return entries;
}

// Whatever is in the file's place when it is not a plain file is not ours.
bool placeIsOurs(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 ? errno == ENOENT : S_ISREG(st.st_mode);
}

// The lock that one run at a time holds to change the file. Others hold
// it for a moment only; after a few seconds the change is given up.
std::unique_ptr<FileLock> changeLock() {
    const std::string path = cacheFolder() + "/raster-readings.lock";
    for (int tries = 0; tries < 1000; ++tries) {
        auto lock = std::make_unique<FileLock>(path, FileLock::Mode::Exclusive);
        // A disk that keeps no locks: the change is made without one.
        if (lock->held() || lock->unsupported()) return lock;
        if (!lock->heldElsewhere()) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return nullptr;
}

void keepNewest(Entries& e) {
    if (e.readings.size() > kMostReadings) e.readings.erase(e.readings.begin(), e.readings.end() - kMostReadings);
    if (e.files.size() > kMostFiles) e.files.erase(e.files.begin(), e.files.end() - kMostFiles);
}

// Writes the file whole under a name of its own and renames it into place:
// a reader never meets half a file, and a link put in the file's place is
// replaced, never written through.
void writeEntries(const Entries& entries) {
    std::string text = heading() + "\n";
    for (const Reading& e : entries.readings) text += lineOf(e) + "\n";
    for (const KnownFile& e : entries.files) text += lineOf(e) + "\n";
    std::string temp = readingsFile() + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return;
    bool ok = true;
    for (std::size_t put = 0; ok && put < text.size();) {
        const ssize_t n = ::write(fd, text.data() + put, text.size() - put);
        ok = n > 0;
        if (ok) put += static_cast<std::size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), readingsFile().c_str()) != 0) ::unlink(temp.c_str());
}

// Changes the file under the lock, on what it holds then: what other runs
// added since it was read stays.
void update(const std::function<void(Entries&)>& change) {
    if (readingsFile().empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(cacheFolder(), ec);
    const auto lock = changeLock();
    if (!lock || !placeIsOurs(readingsFile())) return;
    Entries entries = readEntries();
    change(entries);
    keepNewest(entries);
    writeEntries(entries);
}

std::optional<std::string> digestOf(const Entries& known, const FileStamp& stamp) {
    if (!stamp.exists) return std::nullopt;
    for (auto e = known.files.rbegin(); e != known.files.rend(); ++e)
        if (e->stamp == stamp) return e->digest;
    return std::nullopt;
}

std::optional<std::pair<double, double>> extremesOf(const Entries& known, const std::string& digest) {
    for (auto e = known.readings.rbegin(); e != known.readings.rend(); ++e)
        if (e->digest == digest) return e->extremes;
    return std::nullopt;
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string readingsFile() {
    const std::string folder = cacheFolder();
    return folder.empty() ? folder : folder + "/raster-readings";
}

RememberedReading rememberedReading(const std::vector<std::string>& files, const std::string& folder) {
    const Entries known = readEntries();
    std::vector<std::string> digests;
    std::vector<KnownFile> learned;
    for (const auto& file : files) {
        // A file of GDAL's virtual file layer has no stamp of its own: it is read each time.
        const FileStamp stamp = isGdalVirtualPath(file) ? FileStamp{} : stampOfFile(file);
        if (auto digest = digestOf(known, stamp)) {
            digests.push_back(*digest);
            continue;
        }
        const std::int64_t started = nowNs();
        digests.push_back(fileDigest(file));
        // Unchanged while it was read, and settled before.
        if (stamp.exists && stamp.changed < started - kSettledNs && stampOfFile(file) == stamp)
            learned.push_back({stamp, digests.back()});
    }
    if (!learned.empty())
        update([&](Entries& e) {
            std::erase_if(e.files, [&](const KnownFile& f) {
                return std::any_of(learned.begin(), learned.end(), [&](const KnownFile& l) { return l.stamp == f.stamp; });
            });
            e.files.insert(e.files.end(), learned.begin(), learned.end());
        });
    RememberedReading reading{filesDigest(files, digests, folder), {}};
    reading.extremes = extremesOf(known, reading.digest);
    return reading;
}

std::optional<std::pair<double, double>> rememberedExtremes(const std::string& digest) {
    return extremesOf(readEntries(), digest);
}

void rememberExtremes(const std::string& digest, std::pair<double, double> extremes) {
    update([&](Entries& e) {
        std::erase_if(e.readings, [&](const Reading& r) { return r.digest == digest; });
        e.readings.push_back({digest, extremes});
    });
}

}  // namespace quor::platform::gis
