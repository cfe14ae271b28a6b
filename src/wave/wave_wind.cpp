#include "wave/wave_wind.h"

#include <algorithm>
#include <cstdint>

#include "model/wind_values.h"
#include "platform/numbers.h"
#include "platform/textfile.h"

namespace quor::wave {

namespace {

using Check = std::optional<std::string> (*)(double);

double numberAt(const std::vector<std::string>& lines, int index, Check check) {
    if (index < 0 || index >= static_cast<int>(lines.size()))
        throw WindFormatError("The wind file ends before line " + std::to_string(index + 1) + ".");
    const std::string& text = lines[static_cast<std::size_t>(index)];
    const auto v = platform::parseNumber(text);
    const auto value = v ? v : model::nonFiniteNumber(text);
    if (!value) throw WindFormatError(model::windLineRefusal(index + 1, text, "not a number"));
    if (auto problem = check(*value)) throw WindValueError(model::windLineRefusal(index + 1, text, *problem));
    return *v;
}

int16_t sectorCount(const std::vector<std::string>& lines) {
    if (lines.size() < 8) throw WindFormatError("The wind file ends before line 8, its sector count.");
    std::optional<int16_t> m;
    try {
        m = platform::parseInt16(lines[7]);
    } catch (const platform::OverflowError&) {
        throw WindValueError(model::windLineRefusal(8, lines[7], "the sector count is far too large"));
    }
    if (!m) throw WindFormatError(model::windLineRefusal(8, lines[7], "the sector count is not a number"));
    if (*m < 1) throw WindFormatError(model::windLineRefusal(8, lines[7], "a wind file needs at least one sector"));
    // The reader's tables hold the sectors and seven wrap-around copies.
    if (*m > kWindFileMaxSectors)
        throw WindValueError(model::windLineRefusal(
            8, lines[7], "a wind file holds at most " + std::to_string(kWindFileMaxSectors) + " sectors"));
    return *m;
}

std::string textAt(const std::vector<std::string>& lines, int index) {
    return index < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(index)] : std::string();
}

}  // namespace

RweWindFile parseRweWindFile(const std::vector<std::string>& lines) {
    if (static_cast<int>(lines.size()) > kWindFileMaxLines)
        throw WindFormatError("Line " + std::to_string(kWindFileMaxLines + 1) + " of the wind file: a wind file has at most " +
                              std::to_string(kWindFileMaxLines) + " lines.");
    RweWindFile f;
    f.station = textAt(lines, 3);
    f.startdate = textAt(lines, 4);
    f.enddate = textAt(lines, 5);
    f.cutoff = textAt(lines, 6);
    const int m = f.sectors = sectorCount(lines);
    for (int i = 0; i < m; ++i) f.speeds.push_back(numberAt(lines, 9 + i, model::windSpeedProblem));
    double total = 0;
    for (int i = 0; i < m; ++i) {
        f.percents.push_back(numberAt(lines, 9 + m + i, model::windPercentProblem));
        total += f.percents.back();
    }
    if (auto problem = model::windPercentTotalProblem(total))
        throw WindValueError("Lines " + std::to_string(10 + m) + " to " + std::to_string(9 + 2 * m) +
                             " of the wind file: " + *problem + ".");
    return f;
}

std::vector<double> raySpeeds(const std::vector<double>& speeds, int n) {
    const int m = static_cast<int>(speeds.size());
    std::vector<double> out(static_cast<std::size_t>(n), 0.0);
    if (m == 0 || n <= 0) return out;
    if (m == n) return speeds;
    const double r = 360.0 / n, s = 360.0 / m;
    auto S = [&](int i) { return speeds[static_cast<std::size_t>(i % m)]; };
    out[0] = S(0);
    // Running sums, as the angles of rays and sector bounds are stepped.
    double a = r, lo = 0, hi = s;
    int i = 0;
    for (int d = 1; d < n; ++d) {
        while (!(a < hi) && i < m - 1) {
            lo += s;
            hi += s;
            ++i;
        }
        out[static_cast<std::size_t>(d)] = ((a - lo) * S(i + 1) + (hi - a) * S(i)) / s;
        a += r;
    }
    return out;
}

std::vector<double> rayPercents(const std::vector<double>& percents, int n) {
    const int m = static_cast<int>(percents.size());
    std::vector<double> out(static_cast<std::size_t>(n), 0.0);
    if (m == 0 || n <= 0) return out;
    if (m == n) return percents;
    if (m > n) {
        // Angles in units of 360 / (2 m n) degrees, so that edges compare
        // exactly: sector i's lower edge is (2i - 1) n, bin j's upper edge
        // is (2j + 1) m.
        out[0] = percents[0];
        long j = 0;
        for (long i = 1; i < m; ++i) {
            if ((2 * i - 1) * n >= (2 * j + 1) * m) ++j;
            out[static_cast<std::size_t>(j % n)] += percents[static_cast<std::size_t>(i)];
        }
        return out;
    }
    // Fewer sectors than rays: sector i spans [(2i - 1) n, (2i + 1) n] and
    // bin d spans [(2d - 1) m, (2d + 1) m] of a circle of 2 m n units.
    const long circle = 2L * m * n;
    for (long i = 0; i < m; ++i) {
        const long s0 = (2 * i - 1) * n, s1 = (2 * i + 1) * n;
        for (long d = 0; d < n; ++d) {
            long shared = 0;
            for (long shift : {-circle, 0L, circle}) {
                const long b0 = (2 * d - 1) * m + shift, b1 = (2 * d + 1) * m + shift;
                shared += std::max(0L, std::min(s1, b1) - std::max(s0, b0));
            }
            if (shared > 0)
                out[static_cast<std::size_t>(d)] +=
                    percents[static_cast<std::size_t>(i)] * static_cast<double>(shared) / static_cast<double>(s1 - s0);
        }
    }
    return out;
}

void wave_wind_cls::wavewind(int16_t norays) {
    s_.err_wind = 0;
    s_.durarray.erase();
    s_.windarray.erase();
    try {
        const RweWindFile f = parseRweWindFile(platform::readTextLines(mf_.windpath));
        wind_.wind_station = f.station;
        wind_.wind_startdate = f.startdate;
        wind_.wind_enddate = f.enddate;
        wind_.wind_cutoff = f.cutoff;
        wind_.wind_num = f.sectors;
        const int m = f.sectors, n = norays;
        if (n < 1 || n > model::BoundedArray<double, 60>::upper)
            throw WindFormatError("The run has an unusable number of rays.");
        const auto speeds = raySpeeds(f.speeds, n);
        const auto percents = rayPercents(f.percents, n);
        for (int d = 0; d < n; ++d) {
            s_.windarray(d) = speeds[static_cast<std::size_t>(d)];
            s_.durarray(d) = percents[static_cast<std::size_t>(d)];
        }
        if (m != n && debugOutputEnabled(s_)) {
            const std::string path = debugOutputFolder(s_.app_folder) + "/wind-dur.txt";
            debug_.writeArray(path, kWaveHeightFileTitle, s_.durarray);
        }
    } catch (const std::exception& e) {
        // The line at fault (or the file's own trouble) is named, so the user can mend it.
        s_.err_wind = 1;
        messages_.message(std::string(kWindFormatMessage) + "\n" + e.what(), platform::MessageIcon::Exclamation);
    }
}

}  // namespace quor::wave
