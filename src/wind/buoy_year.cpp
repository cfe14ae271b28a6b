#include "wind/buoy_year.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <array>
#include <cctype>

#include "platform/numbers.h"
#include "platform/textfile.h"
#include "wind/wind_datetime.h"

namespace quor::wind {

namespace {

// Splits text into lines at LF, CR LF or CR.
template <typename F>
void forEachLine(std::string_view text, F&& f) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            if (!f(text.substr(pos))) return;
            return;
        }
        if (!f(text.substr(pos, end - pos))) return;
        pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Up to N blank-separated fields; returns how many the line has in all.
template <size_t N>
size_t splitFields(std::string_view line, std::array<std::string_view, N>& out) {
    size_t count = 0, i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (count < N) out[count] = line.substr(start, i - start);
        ++count;
    }
    return count;
}

bool blankLine(std::string_view line) {
    for (char c : line)
        if (!isBlank(c)) return false;
    return true;
}

std::optional<int> wholeNumber(std::string_view field) {
    auto v = platform::parseNumber(field);
    if (!v || *v != static_cast<double>(static_cast<long>(*v)) || *v < -1e6 || *v > 1e6) return std::nullopt;
    return static_cast<int>(*v);
}

}  // namespace

bool validStationId(std::string_view id) {
    if (id.size() != 5) return false;
    for (unsigned char c : id)
        if (!std::isalnum(c) || c > 127) return false;
    return true;
}

std::string buoyYearPath(std::string_view stationId, int year) {
    return "/view_text_file.php?filename=" + platform::percentEncode(stationId) + "h" + std::to_string(year) +
           ".txt.gz&dir=data/historical/stdmet/";
}

std::string buoyYearUrl(std::string_view serverAddress, std::string_view stationId, int year) {
    std::string base(serverAddress);
    while (!base.empty() && (base.back() == '/' || isBlank(base.back()))) base.pop_back();
    while (!base.empty() && isBlank(base.front())) base.erase(base.begin());
    if (base.find("://") == std::string::npos) base = "http://" + base;
    return base + buoyYearPath(stationId, year);
}

bool looksLikeBuoyYear(std::string_view text, int year) {
    int lineNo = 0;
    bool ok = false;
    forEachLine(text, [&](std::string_view line) {
        ++lineNo;
        std::array<std::string_view, 8> f{};
        const size_t n = splitFields(line, f);
        if (lineNo == 1) {
            if (n < 6) return false;
            std::string_view first = f[0];
            if (!first.empty() && first.front() == '#') first.remove_prefix(1);
            if (first.size() < 2 || std::toupper(static_cast<unsigned char>(first[0])) != 'Y' ||
                std::toupper(static_cast<unsigned char>(first[1])) != 'Y')
                return false;
            return true;
        }
        if (lineNo == 2) return true;
        const size_t needed = yearHasMinuteField(year) ? 7 : 6;
        if (n < needed) return false;
        for (size_t i = 0; i < needed; ++i)
            if (!platform::parseNumber(f[i])) return false;
        ok = true;
        return false;
    });
    return ok;
}

BuoyYear parseBuoyYear(std::string_view text, int year) {
    BuoyYear out;
    const bool minute = yearHasMinuteField(year);
    const size_t dirField = minute ? 5 : 4;
    const size_t speedField = dirField + 1;
    int lineNo = 0;
    forEachLine(text, [&](std::string_view line) {
        if (++lineNo <= 2) return true;
        if (blankLine(line)) return false;  // the data block ends here
        ++out.dataRows;
        std::array<std::string_view, 8> f{};
        const size_t n = splitFields(line, f);
        BuoyRecord r;
        if (n >= 4) {
            auto y = wholeNumber(f[0]), m = wholeNumber(f[1]), d = wholeNumber(f[2]), h = wholeNumber(f[3]);
            if (y && m && d && h) {
                if (auto t = windDateTime(*y, *m, *d, *h)) {
                    r.time = *t;
                    r.hasTime = true;
                }
            }
        }
        if (n > dirField) {
            if (auto v = platform::parseNumber(f[dirField])) {
                r.direction = *v;
                r.hasDirection = true;
            }
        }
        if (n > speedField) {
            if (auto v = platform::parseNumber(f[speedField])) {
                r.speed = *v;
                r.hasSpeed = true;
            }
        }
        out.records.push_back(r);
        return true;
    });
    return out;
}

void writeFileReplacing(const std::string& path, std::string_view bytes) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        throw platform::FileError("Cannot create " + path + ": " + file.errorString().toStdString());
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        file.cancelWriting();
        throw platform::FileError("Cannot write " + path + ": " + file.errorString().toStdString());
    }
    if (!file.commit()) throw platform::FileError("Cannot write " + path + ": " + file.errorString().toStdString());
}

void saveBuoyYearCopy(const std::string& path, std::string_view text, bool scratch) {
    std::string quoted;
    quoted.reserve(text.size() + 4);
    quoted += '"';
    quoted += text;
    quoted += "\"\r\n";
    if (!scratch) return writeFileReplacing(path, quoted);
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(quoted.data(), static_cast<qint64>(quoted.size())) != static_cast<qint64>(quoted.size()))
        throw platform::FileError("Cannot write " + path);
}

YearDownload downloadBuoyYear(YearFetcher& fetcher, std::string_view serverAddress, std::string_view stationId,
                              int year) {
    YearDownload out;
    if (!validStationId(stationId)) {
        out.error = "Station identifier must be five letters or digits";
        return out;
    }
    auto answer = fetcher.fetch(buoyYearUrl(serverAddress, stationId, year));
    if (!answer.ok()) {
        out.error = answer.error;
        out.transferFailed = answer.status != platform::HttpResult::Status::HttpError;
        return out;
    }
    if (!looksLikeBuoyYear(answer.body, year)) {
        out.error = "The answer for " + std::to_string(year) + " is not a yearly wind record";
        return out;
    }
    out.ok = true;
    out.text = std::move(answer.body);
    return out;
}

}  // namespace quor::wind
