#pragma once
// Hand-made yearly buoy records in the two layouts the server delivers.
#include <cstdio>
#include <string>
#include <vector>

namespace quor::test {

struct Obs {
    int month, day, hour;
    std::string dir, speed;
};

inline std::string buoyYearText(int year, const std::vector<Obs>& obs) {
    const bool minute = year >= 2005;
    std::string t = minute ? "#YY  MM DD hh mm WDIR WSPD GST  WVHT\n#yr  mo dy hr mn degT m/s  m/s     m\n"
                           : "YYYY MM DD hh  WD WSPD GST  WVHT\nyr   mo dy hr degT m/s m/s     m\n";
    char buf[160];
    for (const auto& o : obs) {
        if (minute)
            std::snprintf(buf, sizeof buf, "%d %02d %02d %02d 50 %s %s 9.0 99.00\n", year, o.month, o.day, o.hour,
                          o.dir.c_str(), o.speed.c_str());
        else
            std::snprintf(buf, sizeof buf, "%d %02d %02d %02d %s %s 9.0 99.00\n", year, o.month, o.day, o.hour,
                          o.dir.c_str(), o.speed.c_str());
        t += buf;
    }
    return t;
}

// `n` hourly records from 1 January, direction and speed cycling.
inline std::string hourlyYear(int year, int n) {
    std::vector<Obs> obs;
    for (int i = 0; i < n; ++i) {
        const int day = i / 24, hour = i % 24;
        int month = 1, d = day;
        static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        while (month <= 12 && d >= len[month - 1]) d -= len[month++ - 1];
        obs.push_back({month, d + 1, hour, std::to_string((i * 37) % 360), std::to_string(1 + (i * 7) % 200 / 10.0)});
    }
    return buoyYearText(year, obs);
}

}  // namespace quor::test
